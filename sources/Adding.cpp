#include "sources/Adding.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "base/Paths.h"
#include "decoders/cd/CdDisc.h"
#include "decoders/cd/CdTrackPath.h"

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

// The text of a link file: only a regular file is read, opened without blocking (a FIFO named
// like a link would otherwise wait for a writer for good) and read up to a bound (a device
// such as /dev/zero behind the name would otherwise never end).
bool ReadLinkFile(const std::string& path, std::string& text) {
  // Checked before opening too: opening some devices has effects of its own.
  struct stat before {};
  if (::stat(path.c_str(), &before) != 0 || !S_ISREG(before.st_mode)) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            st.st_size <= static_cast<off_t>(kMaxDesktopLinkBytes);
  if (ok) {
    text.resize(kMaxDesktopLinkBytes);
    std::size_t got = 0;
    while (got < text.size()) {
      const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    text.resize(got);
  }
  ::close(fd);
  return ok;
}

// The target of a freedesktop link file, or "" when it is not one.
std::string DesktopLinkTarget(const std::string& path) {
  if (!EqualsNoCase(ExtensionOf(path), ".desktop")) return {};
  std::string text;
  if (!ReadLinkFile(path, text)) return {};
  return ParseDesktopLink(text);
}

}  // namespace

std::string ParseDesktopLink(std::string_view text) {
  std::string type, url;
  bool inEntry = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string line = Trim(std::string(text.substr(0, end)));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
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

// Pumps the window's messages and answers whether the user cancelled.
bool Cancelled(IAddProgress* progress) {
  if (!progress) return false;
  progress->PumpMessages();
  return progress->CancelRequested();
}

class FolderScan {
 public:
  FolderScan(const ConversionSettings& settings, std::vector<std::string>& list,
             IAddProgress* progress)
      : settings_(settings), list_(list), progress_(progress) {}

  // Each folder is listed once: its files are admitted, then its subfolders are searched in
  // enumeration order, which is the folder-before-subfolders order of the scan.
  void Scan(const std::string& folder, int depth) {
    if (outcome.cancelled || (outcome.cancelled = Cancelled(progress_))) return;
    std::vector<DirEntry> entries;
    if (!ListFolder(folder, entries)) {
      outcome.unreadable.push_back(folder);
      return;
    }
    const std::string prefix = folder == "/" ? folder : folder + "/";
    for (const std::string& pattern : ScanPatterns()) {
      for (const DirEntry& e : entries) {
        if (e.folder || !MatchesPattern(e.name, pattern)) continue;
        const std::string full = prefix + e.name;
        if (IsFolder(full)) continue;  // a link to a folder
        const std::size_t before = list_.size();
        AdmitFile(settings_, full, list_);
        if (list_.size() != before && (outcome.cancelled = Cancelled(progress_))) return;
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

namespace {

// Probes paths on worker threads a bounded distance ahead of the thread that adds them, so
// that the adding thread reports each file as it comes and a cancel stops the workers soon.
class ProbeAhead {
 public:
  ProbeAhead(const DecoderOpener& opener, const std::vector<std::string>& paths, int jobs)
      : opener_(opener),
        paths_(paths),
        results_(paths.size()),
        ready_(paths.size(), 0),
        window_(static_cast<std::size_t>(jobs) * 4) {
    const int threads = std::min<int>(jobs, static_cast<int>(paths.size()));
    for (int t = 0; t < threads; ++t) pool_.emplace_back([this] { Work(); });
  }
  ~ProbeAhead() { Stop(); }

  // Waits up to `slice` for the result of path i; false when it is not there yet.
  bool WaitFor(std::size_t i, std::chrono::milliseconds slice) {
    std::unique_lock lock(mutex_);
    return done_.wait_for(lock, slice, [&] { return ready_[i] != 0; });
  }
  std::optional<SourceEntry> Take(std::size_t i) {
    std::lock_guard lock(mutex_);
    consumed_ = i + 1;
    room_.notify_all();
    return std::move(results_[i]);
  }
  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    room_.notify_all();
    for (auto& t : pool_) t.join();
    pool_.clear();
  }

 private:
  void Work() {
    for (;;) {
      std::size_t i;
      {
        std::unique_lock lock(mutex_);
        room_.wait(lock,
                   [&] { return stop_ || next_ >= paths_.size() || next_ < consumed_ + window_; });
        if (stop_ || next_ >= paths_.size()) return;
        i = next_++;
      }
      std::optional<SourceEntry> probe = CSourceList::Probe(opener_, paths_[i]);
      std::lock_guard lock(mutex_);
      results_[i] = std::move(probe);
      ready_[i] = 1;
      done_.notify_all();
    }
  }

  const DecoderOpener& opener_;
  const std::vector<std::string>& paths_;
  std::vector<std::optional<SourceEntry>> results_;
  std::vector<char> ready_;
  const std::size_t window_;
  std::size_t next_ = 0, consumed_ = 0;
  bool stop_ = false;
  std::mutex mutex_;
  std::condition_variable done_, room_;
  std::vector<std::thread> pool_;
};

}  // namespace

namespace {

// A disc image or a drive stands for its audio tracks, in track order. One that cannot be
// read stays as it is, so that it is reported with the files that failed to load.
std::vector<std::string> WithDiscTracks(const std::vector<std::string>& collected) {
  std::vector<std::string> paths;
  for (const std::string& path : collected) {
    if (IsDiscImagePath(path) || IsBlockDevice(path)) {
      const std::vector<std::string> tracks = ExpandCdTracks(path);
      if (!tracks.empty()) {
        paths.insert(paths.end(), tracks.begin(), tracks.end());
        continue;
      }
    }
    paths.push_back(path);
  }
  return paths;
}

}  // namespace

std::string AddCollectedFiles(CSourceList& list, const std::vector<std::string>& collected,
                              IAddProgress* progress, const AddObserver& onEach, int jobs) {
  const std::vector<std::string> paths = WithDiscTracks(collected);
  const int total = static_cast<int>(paths.size());
  // Rows may name files that were deleted or replaced since they were added.
  list.RefreshIdentities();
  std::unique_ptr<ProbeAhead> ahead;
  if (jobs > 1 && total > 1) ahead = std::make_unique<ProbeAhead>(list.opener(), paths, jobs);
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
    CSourceList::AddResult result;
    if (ahead) {
      bool cancelled = false;
      while (!ahead->WaitFor(static_cast<std::size_t>(i), std::chrono::milliseconds(20)))
        if ((cancelled = Cancelled(progress))) break;
      if (cancelled) break;
      result = list.AddProbed(paths[i], ahead->Take(static_cast<std::size_t>(i)), &row);
    } else {
      result = list.IsListed(paths[i])
                   ? CSourceList::AddResult::AlreadyListed
                   : list.AddProbed(paths[i], CSourceList::Probe(list.opener(), paths[i]), &row);
    }
    if (onEach) onEach(paths[i], result, row);
    if (result == CSourceList::AddResult::Failed) {
      ++failed;
      if (failed <= 10)
        failures += paths[i] + "\n";
      else if (failed == 11)
        failures += "<more files>...\n";
    }
    if (Cancelled(progress)) break;
  }
  return failures;
}

std::string FailureReport(const std::string& failureText) {
  return "Failed to load the following files.\n\n" + failureText +
         "\nTo get help, please contact <support@quelbrook.example>.";
}

}  // namespace wavorax
