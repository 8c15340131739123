// Keeping a converted copy of a library in step with its sources, without a database.
//
// Each output folder (the "base") holds a small state file, .wavorax-sync, with one record
// per output that a sync run converted there: the output's path relative to the base, its
// source's path, the source's size and modification time when it was converted, the
// output's size, whether its check passed, and which naming (pattern, extension, FAT-safe)
// gave its name. A source is then up to date when a record says so and one stat of the
// source and one of the output agree with it; its tags are only read (to name its output)
// when it is new, it changed, or the naming changed.
//
// The file is text, one record per line, each line closed by its own checksum:
//
//   wavorax-sync 1
//   R <output> <source> <source size> <source mtime ns> <output size> <check> <naming> <sum>
//   F <output> <sum>
//
// Fields are separated by one tab; in the two paths \ tab LF CR are written \\ \t \n \r.
// <check> is "-" (not run), "v" (passed) or "x" (failed); <naming> and <sum> are 16 hex
// digits, <sum> being the FNV-1a hash of the line before its last tab. An F line forgets
// the output's record. Later lines win. During a run, records are appended as outputs are
// finished (SyncJournal); at the end the whole state is written to a temporary file, flushed
// and renamed over the old one (SyncState::Save).
//
// Damage is local: a line that fails its checksum or its syntax, such as the half-written
// last line of a killed run, is skipped and only its output counts as unknown (it is then
// converted again). A file of another version is read as empty. No line can name an output
// outside the base: absolute paths and "." or ".." parts are damage too.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/library/NamePattern.h"

namespace wavorax::library {

inline constexpr const char* kSyncStateName = ".wavorax-sync";

enum class Check : char { NotRun = '-', Passed = 'v', Failed = 'x' };

struct SyncRecord {
  std::string output;  // relative to the base folder
  std::string source;  // as the batch named it (absolute)
  std::uint64_t sourceSize = 0;
  std::int64_t sourceMtimeNs = 0;
  std::uint64_t outputSize = 0;
  Check check = Check::NotRun;
  std::uint64_t naming = 0;  // NamingHash of the naming that gave `output`

  bool operator==(const SyncRecord&) const = default;
};

// What identifies a naming: a change of pattern, extension or FAT-safe option means that
// recorded output names can no longer be trusted without reading the tags again.
std::uint64_t NamingHash(const std::string& pattern, const std::string& extension,
                         const NameOptions& options);

// Whether `path` may name an output in a base folder: relative, and no part empty, "." or
// "..", and no NUL.
bool IsSafeRelativePath(std::string_view path);

struct SyncPlan;
// The output name of a source, relative to the base; "" when none can be made.
using OutputNamer = std::function<std::string(const std::string& source)>;

class SyncState {
 public:
  // Reads state-file text. `damaged` receives the number of lines skipped.
  static SyncState Parse(std::string_view text, std::size_t* damaged = nullptr);
  // Reads the base folder's state file; empty when there is none or it cannot be read.
  static SyncState Load(const std::string& baseFolder, std::size_t* damaged = nullptr);

  // The whole state as state-file text, records in output order.
  std::string Serialise() const;
  // Replaces the base folder's state file with this state: written to a temporary file,
  // flushed and renamed over it. False with a reason when it could not be written (the old
  // file then stands).
  bool Save(const std::string& baseFolder, std::string& error) const;

  // Adds the record, replacing any of the same output.
  void Put(SyncRecord record);
  void Forget(const std::string& output);
  const SyncRecord* Find(const std::string& output) const;
  std::size_t Size() const { return records_.size(); }
  // Every record, in output order.
  std::vector<const SyncRecord*> Records() const;

 private:
  friend SyncPlan PlanSync(const std::string& baseFolder, const SyncState& state,
                           const std::vector<std::string>& sources, std::uint64_t naming,
                           const OutputNamer& namer);
  std::unordered_map<std::string, SyncRecord> records_;  // by output
};

// Appends records to the base folder's state file as outputs are finished, each with one
// write and flushed, so that a killed run loses at most the line being written. Close it
// before SyncState::Save replaces the file.
class SyncJournal {
 public:
  static std::unique_ptr<SyncJournal> Open(const std::string& baseFolder, std::string& error);
  ~SyncJournal();
  SyncJournal(const SyncJournal&) = delete;
  SyncJournal& operator=(const SyncJournal&) = delete;

  bool Append(const SyncRecord& record);
  bool AppendForget(const std::string& output);

 private:
  explicit SyncJournal(int fd) : fd_(fd) {}
  bool Write(const std::string& line);
  int fd_;
  std::mutex mutex_;  // workers that finish at once must not interleave their lines
};

// The state file's line for a record, and for forgetting an output (each with its '\n').
std::string RecordLine(const SyncRecord& record);
std::string ForgetLine(const std::string& output);

enum class SyncAction {
  UpToDate,  // nothing to do
  Convert,   // convert to `output` (the caller's target-exists policy applies)
  Refused,   // cannot be converted; `reason` says why
};

enum class SyncReason {
  UpToDate,
  New,            // no record of this output for this source
  SourceChanged,  // size or modification time differ from the record, or newer than output
  OutputMissing,  // the recorded output is gone
  OutputChanged,  // the output's size is not the recorded one
  CheckFailed,    // the output failed its check when it was made
  SourceMissing,  // Refused: the source cannot be examined
  NoName,         // Refused: no output name could be made
  NameClash,      // Refused: an earlier source of the batch has the same output name
};

// A short text for a row's Status ("Up to date", ...).
const char* SyncReasonText(SyncReason reason);

struct SyncItem {
  std::string source;
  std::string output;  // relative to the base; empty for NoName and SourceMissing
  SyncAction action = SyncAction::Refused;
  SyncReason reason = SyncReason::SourceMissing;
  // The source as the decision saw it; RecordOutput records these, so that a source that
  // changes while it converts is converted again next time.
  std::uint64_t sourceSize = 0;
  std::int64_t sourceMtimeNs = 0;
};

struct SyncOrphan {
  enum class Why {
    SourceGone,  // the recorded source no longer exists
    Superseded,  // the source now has another output (its tags or the naming changed)
  };
  std::string output;  // relative to the base
  std::string source;
  Why why = Why::SourceGone;
};

struct SyncPlan {
  std::vector<SyncItem> items;  // one per source, in the order given
  // Outputs this state recorded that no source of the plan claims any more and that are
  // still the files that were written (same size, inside the base), in output order. A
  // source counts as gone only when the nearest folder above it that exists holds sources
  // of this batch, so an unmounted drive or a folder left out of the batch loses nothing.
  // Remove Superseded ones only once their source's new output exists.
  std::vector<SyncOrphan> orphans;
  // Records whose output and source are both gone: SyncState::Forget them.
  std::vector<std::string> stale;
  // Records of up-to-date outputs made under another naming that gives the same name:
  // SyncState::Put them, so that later runs trust them without reading the tags.
  std::vector<SyncRecord> renamed;

  std::size_t Count(SyncAction action) const;
};

// A namer that reads a source's tags and expands `pattern`.
OutputNamer PatternNamer(const NamePattern& pattern, const std::string& extension,
                         const NameOptions& options);

// Decides for each source whether it needs converting, and which recorded outputs have lost
// their source. Each source and each output is examined with one stat; `namer` is called
// only for sources whose record cannot be trusted (new, changed, or other naming).
SyncPlan PlanSync(const std::string& baseFolder, const SyncState& state,
                  const std::vector<std::string>& sources, std::uint64_t naming,
                  const OutputNamer& namer);

// The record for an item whose output has just been written: the source as the plan saw it,
// the output's size now. Nothing when the output cannot be examined.
std::optional<SyncRecord> RecordOutput(const std::string& baseFolder, const SyncItem& item,
                                       std::uint64_t naming, Check check);

}  // namespace wavorax::library
