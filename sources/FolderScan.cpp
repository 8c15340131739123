#include "sources/FolderScan.h"

#include <dirent.h>
#include <sys/stat.h>

#include "base/Paths.h"
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
};

// The entries of one folder; false when it cannot be listed.
bool ListFolder(const std::string& folder, std::vector<DirEntry>& out) {
  out.clear();
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return false;
  while (dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    const std::string full = folder + "/" + name;
    if (::lstat(full.c_str(), &st) != 0) continue;
    out.push_back({name, S_ISDIR(st.st_mode)});
  }
  ::closedir(dir);
  return true;
}

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  // Every pattern is "*" followed by an extension; matching ignores case.
  const std::string suffix = pattern.substr(1);
  return name.size() >= suffix.size() &&
         EqualsNoCase(name.substr(name.size() - suffix.size()), suffix);
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
    if (!ListFolder(folder, entries)) {
      outcome.unreadable.push_back(folder);
      return;
    }
    const std::string prefix = folder == "/" ? folder : folder + "/";
    for (const std::string& pattern : ScanPatterns()) {
      for (const DirEntry& e : entries) {
        if (e.folder || !MatchesPattern(e.name, pattern) || IsTemporaryOutputName(e.name)) continue;
        const std::string full = prefix + e.name;
        if (IsFolder(full)) continue;  // a link to a folder
        const std::size_t before = list_.size();
        AdmitFile(settings_, full, list_);
        if (list_.size() != before && (outcome.cancelled = AddingCancelled(progress_))) return;
      }
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
