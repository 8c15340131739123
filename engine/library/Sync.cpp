#include "engine/library/Sync.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

namespace wavorax::library {
namespace {

constexpr std::string_view kHeader = "wavorax-sync 1";
constexpr std::string_view kHeaderPrefix = "wavorax-sync ";
// A state file beyond this is not ours to read (a million records take some 300 MB).
constexpr std::uint64_t kMaxStateBytes = std::uint64_t{1} << 30;

std::uint64_t Fnv1a(std::string_view text, std::uint64_t hash = 14695981039346656037ull) {
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string Hex16(std::uint64_t value) {
  char text[17];
  for (int i = 15; i >= 0; --i, value >>= 4) text[i] = "0123456789abcdef"[value & 15];
  text[16] = '\0';
  return text;
}

void AppendEscaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out.push_back(c);
    }
  }
}

std::optional<std::string> Unescaped(std::string_view text) {
  if (text.find('\\') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out.push_back(text[i]);
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\':
        out.push_back('\\');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

template <typename T>
bool ParseNumber(std::string_view text, T& value, int base = 10) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return ec == std::errc() && end == text.data() + text.size();
}

// The tab-separated fields of a line; more than a record has counts as none.
constexpr std::size_t kMaxFields = 8;
std::size_t SplitTabs(std::string_view line, std::array<std::string_view, kMaxFields>& fields) {
  std::size_t count = 0;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    if (count == kMaxFields) return 0;
    fields[count++] = line.substr(start, tab - start);
    if (tab == std::string_view::npos) return count;
    start = tab + 1;
  }
}

std::string Sealed(std::string line) {
  const std::uint64_t sum = Fnv1a(line);
  line += '\t';
  line += Hex16(sum);
  line += '\n';
  return line;
}

std::int64_t MtimeNs(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// The folder part of a path: "/a/b" for "/a/b/c", "/" for "/a", "" without a slash.
std::string_view ParentOf(std::string_view path) {
  const auto slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  return path.substr(0, slash == 0 ? 1 : slash);
}

std::string InBase(const std::string& base, const std::string& relative) {
  return base.ends_with('/') ? base + relative : base + "/" + relative;
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// stat(2) of many files that come folder by folder, as a scan lists them: each folder is
// opened once and its files are examined relative to it, which spares the kernel the walk
// along the whole path for every file.
class FolderStat {
 public:
  FolderStat() = default;
  FolderStat(const FolderStat&) = delete;
  FolderStat& operator=(const FolderStat&) = delete;
  ~FolderStat() {
    if (fd_ >= 0) ::close(fd_);
  }

  int operator()(const std::string& path, struct stat& st) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return ::stat(path.c_str(), &st);
    const std::string_view folder(path.data(), slash);
    if (folder != folder_) {
      if (fd_ >= 0) ::close(fd_);
      folder_.assign(folder);
      fd_ = ::open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd_ < 0) return ::stat(path.c_str(), &st);
    return ::fstatat(fd_, path.c_str() + slash + 1, &st, 0);
  }

 private:
  std::string folder_;
  int fd_ = -1;
};

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

std::string RealPath(const std::string& path) {
  const std::unique_ptr<char, FreeDeleter> real(::realpath(path.c_str(), nullptr));
  return real ? std::string(real.get()) : std::string();
}

// Whether the output's folder, with every link in it resolved, lies inside the base, so that
// removing an orphan can never reach a file elsewhere through a linked folder.
bool ReallyInside(const std::string& realBase, const std::string& outputPath) {
  const std::string folder = RealPath(outputPath.substr(0, outputPath.rfind('/')));
  return !folder.empty() && !realBase.empty() &&
         (folder == realBase || folder.starts_with(realBase == "/" ? realBase : realBase + "/"));
}

}  // namespace

std::uint64_t NamingHash(const std::string& pattern, const std::string& extension,
                         const NameOptions& options) {
  std::string key = pattern;
  key += '\0';
  key += extension.starts_with('.') ? extension.substr(1) : extension;
  key += '\0';
  key += options.fatSafe ? '1' : '0';
  return Fnv1a(key);
}

bool IsSafeRelativePath(std::string_view path) {
  if (path.empty() || path.front() == '/' || path.find('\0') != std::string_view::npos)
    return false;
  for (std::size_t start = 0;;) {
    const std::size_t slash = path.find('/', start);
    const std::string_view part = path.substr(start, slash - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
}

std::string RecordLine(const SyncRecord& r) {
  std::string line = "R\t";
  AppendEscaped(line, r.output);
  line += '\t';
  AppendEscaped(line, r.source);
  line += '\t' + std::to_string(r.sourceSize) + '\t' + std::to_string(r.sourceMtimeNs) + '\t' +
          std::to_string(r.outputSize) + '\t' + static_cast<char>(r.check) + '\t' + Hex16(r.naming);
  return Sealed(std::move(line));
}

std::string ForgetLine(const std::string& output) {
  std::string line = "F\t";
  AppendEscaped(line, output);
  return Sealed(std::move(line));
}

SyncState SyncState::Parse(std::string_view text, std::size_t* damaged) {
  SyncState state;
  if (damaged) *damaged = 0;
  state.records_.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
  std::size_t bad = 0;
  bool first = true;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const bool isFirst = first;
    first = false;
    if (line.empty()) continue;
    if (isFirst && line == kHeader) continue;
    if (isFirst && line.starts_with(kHeaderPrefix)) {
      // Another version's file: none of it is read, and none of it is damage.
      return SyncState();
    }
    const std::size_t lastTab = line.rfind('\t');
    std::uint64_t sum = 0;
    if (lastTab == std::string_view::npos || line.size() - lastTab - 1 != 16 ||
        !ParseNumber(line.substr(lastTab + 1), sum, 16) || Fnv1a(line.substr(0, lastTab)) != sum) {
      ++bad;
      continue;
    }
    std::array<std::string_view, kMaxFields> f;
    const std::size_t fields = SplitTabs(line.substr(0, lastTab), f);
    std::optional<std::string> output = fields >= 2 ? Unescaped(f[1]) : std::nullopt;
    if (!output || !IsSafeRelativePath(*output)) {
      ++bad;
      continue;
    }
    if (f[0] == "F" && fields == 2) {
      state.records_.erase(*output);
      continue;
    }
    SyncRecord r;
    r.output = std::move(*output);
    std::optional<std::string> source = fields == 8 ? Unescaped(f[2]) : std::nullopt;
    const bool ok = f[0] == "R" && source && !source->empty() &&
                    source->find('\0') == std::string::npos && ParseNumber(f[3], r.sourceSize) &&
                    ParseNumber(f[4], r.sourceMtimeNs) && ParseNumber(f[5], r.outputSize) &&
                    f[6].size() == 1 && (f[6][0] == '-' || f[6][0] == 'v' || f[6][0] == 'x') &&
                    f[7].size() == 16 && ParseNumber(f[7], r.naming, 16);
    if (!ok) {
      ++bad;
      continue;
    }
    r.source = std::move(*source);
    r.check = static_cast<Check>(f[6][0]);
    std::string key = r.output;
    state.records_.insert_or_assign(std::move(key), std::move(r));
  }
  if (damaged) *damaged = bad;
  return state;
}

SyncState SyncState::Load(const std::string& baseFolder, std::size_t* damaged) {
  if (damaged) *damaged = 0;
  const std::string path = InBase(baseFolder, kSyncStateName);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return SyncState();
  struct stat st {};
  std::string text;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<std::uint64_t>(st.st_size) <= kMaxStateBytes) {
    text.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    text.resize(done);
  }
  ::close(fd);
  return Parse(text, damaged);
}

std::string SyncState::Serialise() const {
  std::string text(kHeader);
  text += '\n';
  for (const SyncRecord* r : Records()) text += RecordLine(*r);
  return text;
}

bool SyncState::Save(const std::string& baseFolder, std::string& error) const {
  const std::string target = InBase(baseFolder, kSyncStateName);
  std::string name = target + ".XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    error = std::string("Could not write the sync state: ") + std::strerror(errno);
    return false;
  }
  const std::string text = Serialise();
  const bool written = ::fchmod(fd, 0644) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
  const int writeErrno = errno;
  if (::close(fd) != 0 || !written) {
    ::unlink(name.c_str());
    error = std::string("Could not write the sync state: ") + std::strerror(writeErrno);
    return false;
  }
  if (::rename(name.c_str(), target.c_str()) != 0) {
    error = std::string("Could not write the sync state: ") + std::strerror(errno);
    ::unlink(name.c_str());
    return false;
  }
  // The rename itself lasts once the folder is flushed.
  const int dir = ::open(baseFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

void SyncState::Put(SyncRecord record) {
  std::string key = record.output;
  records_[std::move(key)] = std::move(record);
}

void SyncState::Forget(const std::string& output) { records_.erase(output); }

const SyncRecord* SyncState::Find(const std::string& output) const {
  const auto it = records_.find(output);
  return it == records_.end() ? nullptr : &it->second;
}

std::vector<const SyncRecord*> SyncState::Records() const {
  std::vector<const SyncRecord*> out;
  out.reserve(records_.size());
  for (const auto& [output, record] : records_) out.push_back(&record);
  std::sort(out.begin(), out.end(),
            [](const SyncRecord* a, const SyncRecord* b) { return a->output < b->output; });
  return out;
}

std::unique_ptr<SyncJournal> SyncJournal::Open(const std::string& baseFolder, std::string& error) {
  const std::string path = InBase(baseFolder, kSyncStateName);
  const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = std::string("Could not open the sync state: ") + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return nullptr;
  }
  std::unique_ptr<SyncJournal> journal(new SyncJournal(fd));
  // A killed run may have left half a line: ending it here keeps it from swallowing the
  // first new record, and its checksum still marks it as damage.
  char last = '\n';
  const bool ready = st.st_size == 0 ? journal->Write(std::string(kHeader) + "\n")
                     : ::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n'
                         ? journal->Write("\n")
                         : true;
  if (!ready) {
    error = std::string("Could not write the sync state: ") + std::strerror(errno);
    return nullptr;
  }
  return journal;
}

SyncJournal::~SyncJournal() { ::close(fd_); }

bool SyncJournal::Write(const std::string& line) {
  const std::lock_guard<std::mutex> lock(mutex_);
  return WriteAll(fd_, line) && ::fdatasync(fd_) == 0;
}

bool SyncJournal::Append(const SyncRecord& record) { return Write(RecordLine(record)); }

bool SyncJournal::AppendForget(const std::string& output) { return Write(ForgetLine(output)); }

const char* SyncReasonText(SyncReason reason) {
  switch (reason) {
    case SyncReason::UpToDate:
      return "Up to date";
    case SyncReason::New:
      return "New";
    case SyncReason::SourceChanged:
      return "Changed";
    case SyncReason::OutputMissing:
      return "Output missing";
    case SyncReason::OutputChanged:
      return "Output changed";
    case SyncReason::CheckFailed:
      return "Failed its check";
    case SyncReason::SourceMissing:
      return "Source not found";
    case SyncReason::NoName:
      return "No output name";
    case SyncReason::NameClash:
      return "Output name taken";
  }
  return "";
}

std::size_t SyncPlan::Count(SyncAction action) const {
  return static_cast<std::size_t>(std::count_if(
      items.begin(), items.end(), [action](const SyncItem& i) { return i.action == action; }));
}

OutputNamer PatternNamer(const NamePattern& pattern, const std::string& extension,
                         const NameOptions& options) {
  return [pattern, extension, options](const std::string& source) {
    return pattern.Expand(NameFieldsOfFile(source), extension, options);
  };
}

SyncPlan PlanSync(const std::string& baseFolder, const SyncState& state,
                  const std::vector<std::string>& sources, std::uint64_t naming,
                  const OutputNamer& namer) {
  std::unordered_multimap<std::string_view, const SyncRecord*> bySource;
  bySource.reserve(state.records_.size());
  for (const auto& [output, record] : state.records_) bySource.emplace(record.source, &record);

  SyncPlan plan;
  plan.items.reserve(sources.size());
  std::unordered_map<std::string_view, std::size_t> itemOf;  // source → its item
  itemOf.reserve(sources.size());
  std::unordered_set<std::string_view> claimed;  // views of the items' outputs
  claimed.reserve(sources.size());

  FolderStat statSource, statOutput;
  for (const std::string& source : sources) {
    itemOf.emplace(source, plan.items.size());
    // Worked on in place: the reserved vector never moves, so `claimed` may view its texts.
    SyncItem& item = plan.items.emplace_back();
    item.source = source;
    struct stat st {};
    if (statSource(source, st) != 0 || !S_ISREG(st.st_mode)) continue;  // SourceMissing
    item.sourceSize = static_cast<std::uint64_t>(st.st_size);
    item.sourceMtimeNs = MtimeNs(st);

    // A record made with this naming from this very source state names the output without
    // the tags being read again.
    const SyncRecord* record = nullptr;
    for (auto [it, end] = bySource.equal_range(source); it != end; ++it) {
      const SyncRecord* r = it->second;
      if (r->naming == naming && r->sourceSize == item.sourceSize &&
          r->sourceMtimeNs == item.sourceMtimeNs) {
        record = r;
        break;
      }
    }
    item.output = record ? record->output : namer(source);
    if (item.output.empty() || !IsSafeRelativePath(item.output)) {
      item.output.clear();
      item.reason = SyncReason::NoName;
      continue;
    }
    if (!claimed.insert(item.output).second) {
      item.reason = SyncReason::NameClash;
      continue;
    }
    if (!record) {
      record = state.Find(item.output);
      if (record && record->source != source) record = nullptr;
    }

    item.action = SyncAction::Convert;
    struct stat out {};
    if (!record) {
      item.reason = SyncReason::New;
    } else if (record->sourceSize != item.sourceSize ||
               record->sourceMtimeNs != item.sourceMtimeNs) {
      item.reason = SyncReason::SourceChanged;
    } else if (record->check == Check::Failed) {
      item.reason = SyncReason::CheckFailed;
    } else if (statOutput(InBase(baseFolder, item.output), out) != 0) {
      item.reason = SyncReason::OutputMissing;
    } else if (!S_ISREG(out.st_mode) ||
               static_cast<std::uint64_t>(out.st_size) != record->outputSize) {
      item.reason = SyncReason::OutputChanged;
    } else if (MtimeNs(out) < item.sourceMtimeNs) {
      // Equal times count as newer: FAT keeps times in two-second steps.
      item.reason = SyncReason::SourceChanged;
    } else {
      item.action = SyncAction::UpToDate;
      item.reason = SyncReason::UpToDate;
      if (record->naming != naming) {
        SyncRecord renamed = *record;
        renamed.naming = naming;
        plan.renamed.push_back(std::move(renamed));
      }
    }
  }

  const std::string realBase = RealPath(baseFolder);
  // The folders that hold sources of this batch, and every folder above them, built on
  // first need from the paths alone.
  std::unordered_set<std::string_view> liveFolders;
  const auto live = [&](std::string_view folder) {
    if (liveFolders.empty()) {
      for (const std::string& source : sources) {
        for (std::string_view p = ParentOf(source); p.size() > 1; p = ParentOf(p))
          if (!liveFolders.insert(p).second) break;
      }
    }
    return liveFolders.contains(folder);
  };
  for (const auto& [output, record] : state.records_) {
    if (claimed.contains(output)) continue;
    SyncOrphan orphan{output, record.source, SyncOrphan::Why::SourceGone};
    if (const auto it = itemOf.find(record.source); it != itemOf.end()) {
      // Its source is in the batch but names another output; while that source cannot be
      // converted (not found, no name, name taken), its old output stays.
      if (plan.items[it->second].action == SyncAction::Refused) continue;
      orphan.why = SyncOrphan::Why::Superseded;
    } else {
      // A source outside this batch that still exists is simply not part of this run.
      struct stat st {};
      if (::lstat(record.source.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR))
        continue;
    }
    const std::string path = InBase(baseFolder, output);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
      if (errno == ENOENT || errno == ENOTDIR) plan.stale.push_back(output);
      continue;
    }
    // Only the file that was written is ours to remove: not one the user put in its place,
    // and nothing reached through a linked folder.
    if (!S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) != record.outputSize ||
        !ReallyInside(realBase, path))
      continue;
    // A source is gone only where the batch looked: the nearest folder above it that still
    // exists must hold sources of this batch. A drive that is not mounted, or a library
    // folder left out of this batch, then loses none of its outputs.
    if (orphan.why == SyncOrphan::Why::SourceGone) {
      std::string_view folder = ParentOf(record.source);
      struct stat dir {};
      while (folder.size() > 1 && ::stat(std::string(folder).c_str(), &dir) != 0)
        folder = ParentOf(folder);
      if (!live(folder)) continue;
    }
    plan.orphans.push_back(std::move(orphan));
  }
  std::sort(plan.orphans.begin(), plan.orphans.end(),
            [](const SyncOrphan& a, const SyncOrphan& b) { return a.output < b.output; });
  std::sort(plan.stale.begin(), plan.stale.end());
  return plan;
}

std::optional<SyncRecord> RecordOutput(const std::string& baseFolder, const SyncItem& item,
                                       std::uint64_t naming, Check check) {
  struct stat st {};
  if (item.output.empty() || ::stat(InBase(baseFolder, item.output).c_str(), &st) != 0 ||
      !S_ISREG(st.st_mode))
    return std::nullopt;
  SyncRecord record;
  record.output = item.output;
  record.source = item.source;
  record.sourceSize = item.sourceSize;
  record.sourceMtimeNs = item.sourceMtimeNs;
  record.outputSize = static_cast<std::uint64_t>(st.st_size);
  record.check = check;
  record.naming = naming;
  return record;
}

}  // namespace wavorax::library
