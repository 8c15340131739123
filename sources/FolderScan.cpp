#include "sources/FolderScan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <unordered_map>

#include "base/Paths.h"
#include "sources/NaturalOrder.h"
#include "sources/Shortcuts.h"

namespace wavorax {

const std::vector<std::string>& ScanPatterns() {
  static const std::vector<std::string> patterns = {
      "*.mp3",  "*.mp2", "*.mp1", "*.wav", "*.ogg", "*.oga", "*.mod",  "*.xm",     "*.it",
      "*.s3m",  "*.mtm", "*.umx", "*.mo3", "*.au",  "*.snd", "*.amr",  "*.aiff",   "*.aif",
      "*.aifc", "*.afc", "*.cda", "*.cue", "*.toc", "*.nrg", "*.flac", "*.wma",    "*.wmv",
      "*.asf",  "*.wv",  "*.aac", "*.m4a", "*.m4b", "*.mp4", "*.m4v",  "*.ac3",    "*.adx",
      "*.ape",  "*.mac", "*.mpc", "*.mp+", "*.mpp", "*.spx", "*.tta",  "*.desktop"};
  return patterns;
}

bool AcceptsExtension(const ConversionSettings& settings, const std::string& extension) {
  if (extension.empty()) return false;
  // One flag admits every kind of disc image.
  if (EqualsNoCase(extension, ".cue") || EqualsNoCase(extension, ".toc") ||
      EqualsNoCase(extension, ".nrg"))
    return settings.BatchAddCUE != 0;
  for (const auto& flag : BatchAddFlags())
    if (EqualsNoCase(extension, flag.extension)) return settings.*(flag.field) != 0;
  return false;
}

namespace {

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

void AdmitFile(const ConversionSettings& settings, const std::string& path,
               std::vector<std::string>& list) {
  if (AcceptsExtension(settings, ExtensionOf(path))) {
    list.push_back(path);
    return;
  }
  // A chain of shortcuts is followed to its first accepted target, at most 16 steps, so a
  // link that points back to itself cannot loop.
  std::string current = path, next;
  for (int step = 0; step < kShortcutChainLimit && IsShortcut(current); ++step) {
    if (!ResolveShortcut(current, next)) return;
    current = next;
    if (AcceptsExtension(settings, ExtensionOf(current))) {
      if (!IsFolder(current)) list.push_back(current);
      return;
    }
  }
}

namespace {

struct DirEntry {
  std::string name;
  bool folder;  // a real folder, not a link to one
  bool link;    // a symbolic link, which may name a folder
};

// The entries of one folder; false when it cannot be listed.
// The entries of one folder in the order a file manager shows them; false when it cannot be
// listed. The entry's type comes with the listing where the file system gives it, so that a
// folder of many files costs no call per file.
bool ListFolder(const std::string& folder, const NaturalOrder& order, std::vector<DirEntry>& out) {
  out.clear();
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return false;
  std::vector<std::pair<std::string, DirEntry>> keyed;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    bool isFolder = e->d_type == DT_DIR, isLink = e->d_type == DT_LNK;
    if (e->d_type == DT_UNKNOWN) {
      struct stat st {};
      if (::lstat((folder + "/" + name).c_str(), &st) != 0) continue;
      isFolder = S_ISDIR(st.st_mode);
      isLink = S_ISLNK(st.st_mode);
    }
    std::string key = order.Key(name);
    keyed.push_back({std::move(key), DirEntry{std::move(name), isFolder, isLink}});
  }
  ::closedir(dir);
  std::sort(keyed.begin(), keyed.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  out.reserve(keyed.size());
  for (auto& k : keyed) out.push_back(std::move(k.second));
  return true;
}

// The scan pattern a name matches, or -1. Every pattern is "*" followed by an extension, so a
// name matches the pattern of the extension after its last dot, whatever its case.
int PatternOf(const std::string& name) {
  static const std::unordered_map<std::string, int> kByExtension = [] {
    std::unordered_map<std::string, int> map;
    const auto& patterns = ScanPatterns();
    for (std::size_t i = 0; i < patterns.size(); ++i)
      map.emplace(patterns[i].substr(1), static_cast<int>(i));
    return map;
  }();
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return -1;
  std::string extension = name.substr(dot);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  const auto it = kByExtension.find(extension);
  return it == kByExtension.end() ? -1 : it->second;
}

class FolderScan {
 public:
  FolderScan(const ConversionSettings& settings, std::vector<std::string>& list,
             IAddProgress* progress)
      : settings_(settings), list_(list), progress_(progress) {}

  // Each folder is listed once: its files are admitted, then its subfolders are searched in
  // enumeration order, which is the folder-before-subfolders order of the scan.
  void Scan(const std::string& folder, int depth) {
    if (outcome.cancelled || (outcome.cancelled = AddingCancelled(progress_))) return;
    std::vector<DirEntry> entries;
    if (!ListFolder(folder, order_, entries)) {
      outcome.unreadable.push_back(folder);
      return;
    }
    const std::string prefix = folder == "/" ? folder : folder + "/";
    // Pattern by pattern, each in the folder's order: the files sorted by their pattern,
    // keeping the folder's order among those of one pattern.
    std::vector<std::pair<int, const DirEntry*>> files;
    for (const DirEntry& e : entries) {
      if (e.folder || IsTemporaryOutputName(e.name)) continue;
      const int pattern = PatternOf(e.name);
      if (pattern >= 0) files.push_back({pattern, &e});
    }
    std::stable_sort(files.begin(), files.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [pattern, e] : files) {
      const std::string full = prefix + e->name;
      if (e->link && IsFolder(full)) continue;  // a link to a folder
      const std::size_t before = list_.size();
      AdmitFile(settings_, full, list_);
      if (list_.size() != before && (outcome.cancelled = AddingCancelled(progress_))) return;
    }
    if (depth > 256) return;  // a guard against absurd nesting
    for (const DirEntry& e : entries) {
      if (!e.folder) continue;
      Scan(prefix + e.name, depth + 1);
      if (outcome.cancelled) return;
    }
  }

  ScanOutcome outcome;

 private:
  const ConversionSettings& settings_;
  std::vector<std::string>& list_;
  IAddProgress* progress_;
  NaturalOrder order_;
};

}  // namespace

ScanOutcome CollectFolder(const ConversionSettings& settings, std::vector<std::string>& list,
                          const std::string& folder, IAddProgress* progress) {
  std::string root = folder;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  FolderScan scan(settings, list, progress);
  scan.Scan(root, 0);
  return scan.outcome;
}

bool AddingCancelled(IAddProgress* progress) {
  if (!progress) return false;
  progress->PumpMessages();
  return progress->CancelRequested();
}

}  // namespace wavorax
