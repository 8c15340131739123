#include "sources/Adding.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <thread>
#include <fstream>

#include "base/Paths.h"

namespace wavorax {

const std::vector<std::string>& ScanPatterns() {
  static const std::vector<std::string> patterns = {
      "*.mp3", "*.mp2", "*.mp1", "*.wav", "*.ogg", "*.oga", "*.mod", "*.xm",  "*.it",
      "*.s3m", "*.mtm", "*.umx", "*.mo3", "*.au",  "*.snd", "*.amr", "*.aiff", "*.aif",
      "*.aifc", "*.afc", "*.cda", "*.flac", "*.wma", "*.wmv", "*.asf", "*.wv", "*.aac",
      "*.m4a", "*.m4b", "*.mp4", "*.m4v", "*.ac3", "*.adx", "*.ape", "*.mac", "*.mpc",
      "*.mp+", "*.mpp", "*.spx", "*.tta", "*.desktop"};
  return patterns;
}

bool AcceptsExtension(const ConversionSettings& settings, const std::string& extension) {
  if (extension.empty()) return false;
  for (const auto& flag : BatchAddFlags())
    if (EqualsNoCase(extension, flag.extension)) return settings.*(flag.field) != 0;
  return false;
}

namespace {

bool IsSymlink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  const auto e = s.find_last_not_of(" \t\r");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The local path of a file:// URL, or "" for any other URL.
std::string LocalPathOfUrl(const std::string& url) {
  static const std::string kScheme = "file://";
  if (url.compare(0, kScheme.size(), kScheme) != 0) return {};
  std::string rest = url.substr(kScheme.size());
  // file://localhost/path and file:///path are both local.
  if (rest.compare(0, 9, "localhost") == 0) rest.erase(0, 9);
  if (rest.empty() || rest.front() != '/') return {};
  std::string out;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 &&
        HexValue(rest[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
      i += 2;
    } else {
      out += rest[i];
    }
  }
  return out;
}

// The target of a freedesktop link file, or "" when it is not one.
std::string DesktopLinkTarget(const std::string& path) {
  if (!EqualsNoCase(ExtensionOf(path), ".desktop") || IsFolder(path)) return {};
  std::ifstream in(path);
  std::string line, type, url;
  bool inEntry = false;
  int lines = 0;
  while (std::getline(in, line) && ++lines < 1000) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    if (!inEntry) continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    if (key == "Type") type = value;
    if (key == "URL") url = value;
  }
  if (type != "Link") return {};
  return LocalPathOfUrl(url);
}

}  // namespace

bool IsShortcut(const std::string& path) {
  return IsSymlink(path) || !DesktopLinkTarget(path).empty();
}

bool ResolveShortcut(const std::string& shortcut, std::string& target) {
  target.clear();
  if (IsSymlink(shortcut)) {
    std::string buf(4096, '\0');
    const ssize_t n = ::readlink(shortcut.c_str(), buf.data(), buf.size() - 1);
    if (n <= 0) return false;
    buf.resize(static_cast<std::size_t>(n));
    if (buf.front() != '/') {
      const std::string name = FileNameOf(shortcut);
      buf = shortcut.substr(0, shortcut.size() - name.size()) + buf;
    }
    target = buf;
    return true;
  }
  target = DesktopLinkTarget(shortcut);
  return !target.empty();
}

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

std::vector<DirEntry> ListFolder(const std::string& folder) {
  std::vector<DirEntry> out;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return out;
  while (dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    const std::string full = folder + "/" + name;
    if (::lstat(full.c_str(), &st) != 0) continue;
    out.push_back({name, S_ISDIR(st.st_mode)});
  }
  ::closedir(dir);
  return out;
}

void ListFoldersDepthFirst(const std::string& folder, std::vector<std::string>& folders,
                           int depth) {
  folders.push_back(folder);
  if (depth > 256) return;  // a guard against absurd nesting
  for (const DirEntry& e : ListFolder(folder))
    if (e.folder) ListFoldersDepthFirst(folder + "/" + e.name, folders, depth + 1);
}

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  // Every pattern is "*" followed by an extension; matching ignores case.
  const std::string suffix = pattern.substr(1);
  return name.size() >= suffix.size() &&
         EqualsNoCase(name.substr(name.size() - suffix.size()), suffix);
}

}  // namespace

void CollectFolder(const ConversionSettings& settings, std::vector<std::string>& list,
                   const std::string& folder) {
  std::string root = folder;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  std::vector<std::string> folders;
  ListFoldersDepthFirst(root, folders, 0);
  for (const std::string& f : folders) {
    const std::vector<DirEntry> entries = ListFolder(f);
    const std::string prefix = f == "/" ? f : f + "/";
    for (const std::string& pattern : ScanPatterns()) {
      for (const DirEntry& e : entries) {
        if (e.folder || !MatchesPattern(e.name, pattern)) continue;
        const std::string full = prefix + e.name;
        if (IsFolder(full)) continue;  // a link to a folder
        AdmitFile(settings, full, list);
      }
    }
  }
}

namespace {

std::vector<std::optional<SourceEntry>> ProbeAll(const DecoderOpener& opener,
                                                 const std::vector<std::string>& paths, int jobs) {
  std::vector<std::optional<SourceEntry>> results(paths.size());
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i = next++; i < paths.size(); i = next++)
      results[i] = CSourceList::Probe(opener, paths[i]);
  };
  std::vector<std::thread> pool;
  const int threads = std::min<int>(jobs, static_cast<int>(paths.size()));
  for (int t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (auto& t : pool) t.join();
  return results;
}

}  // namespace

std::string AddCollectedFiles(CSourceList& list, const std::vector<std::string>& paths,
                              IAddProgress* progress, const AddObserver& onEach, int jobs) {
  const int total = static_cast<int>(paths.size());
  std::vector<std::optional<SourceEntry>> probed;
  if (jobs > 1) probed = ProbeAll(list.opener(), paths, jobs);
  if (progress) {
    progress->SetRange(total);
    progress->PumpMessages();
  }
  std::string failures;
  int failed = 0;
  for (int i = 0; i < total; ++i) {
    if (progress) {
      progress->SetText("Adding file " + std::to_string(i + 1) + " of " + std::to_string(total) +
                        "...");
      progress->Step();
    }
    int row = -1;
    const CSourceList::AddResult result = probed.empty() ? list.AddSourceFile(paths[i], &row)
                                                         : list.AddProbed(paths[i], probed[i], &row);
    if (onEach) onEach(paths[i], result, row);
    if (result == CSourceList::AddResult::Failed) {
      ++failed;
      if (failed <= 10)
        failures += paths[i] + "\n";
      else if (failed == 11)
        failures += "<more files>...\n";
    }
    if (progress) {
      progress->PumpMessages();
      if (progress->CancelRequested()) break;
    }
  }
  return failures;
}

std::string FailureReport(const std::string& failureText) {
  return "Failed to load the following files.\n\n" + failureText +
         "\nTo get help, please contact <support@quelbrook.example>.";
}

}  // namespace wavorax
