// The parts of a batch that look at the whole library rather than at one file: "Only convert
// what changed" (a sync session over the base folder's state file) and the time the batch
// has left. Both front ends use them around RunParallelBatch or ConvertRow.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/SourceEntry.h"
#include "engine/library/Sync.h"
#include "engine/library/TimeLeft.h"
#include "settings/ConversionSettings.h"

namespace wavorax {

// One sync over a batch: the decision for every source, made once before anything converts,
// the records of the outputs it writes (journalled as they are finished, so that a killed run
// keeps what it did), and at the end the outputs whose source is gone.
class SyncSession {
 public:
  // Nothing, with `error` empty, when the settings ask for no sync; nothing with `error` set
  // when they do but it cannot run (no base folder, a refused pattern, a base folder that
  // takes no state file). A dry run decides the same and writes nothing.
  static std::unique_ptr<SyncSession> Open(const ConversionSettings& settings,
                                           const std::vector<std::string>& sources, bool dryRun,
                                           std::string& error);
  ~SyncSession();

  // The decision for a source of the batch, or null for a path it was not opened with.
  const library::SyncItem* Item(const std::string& source) const;
  const library::SyncPlan& Plan() const { return plan_; }
  // The base folder, ending in '/'.
  const std::string& Base() const { return base_; }
  // How long the decision took (loading the state, examining sources and outputs).
  double DecisionSeconds() const { return decisionSeconds_; }

  // Whether `path` is the recorded output of `item`'s own source, which converting it again
  // replaces whatever the target-exists policy says.
  bool Refreshes(const library::SyncItem& item, const std::string& path) const;
  // `item`'s output was committed at `committed` (from a worker thread).
  void Written(const library::SyncItem& item, const std::string& committed, library::Check check);
  // The source of `item` went to the Trash after its output `committed` was written: the
  // output stays, no longer tied to a source, so no later run takes it for an orphan.
  void SourceTrashed(const library::SyncItem& item, const std::string& committed);

  // An output whose source is gone: moved to the Trash, kept, or in a dry run to be moved.
  struct Removal {
    std::string output;  // the whole path
    std::string status;
    bool moved = false;
  };
  struct Outcome {
    std::vector<Removal> removals;
    std::string error;  // the state file could not be written
  };
  // The batch is over. With RemoveOrphans the outputs whose source is gone go to the Trash
  // (not after a cancel, and a superseded output only once its source's new one exists);
  // then the state is saved.
  Outcome Finish(bool cancelled);

 private:
  SyncSession() = default;
  std::string RelativeOf(const std::string& committed) const;

  ConversionSettings settings_;
  bool dryRun_ = false;
  std::string base_;
  std::uint64_t naming_ = 0;
  library::SyncState state_;
  library::SyncPlan plan_;
  std::unordered_map<std::string, std::size_t> itemOf_;  // by normalised source path
  std::unique_ptr<library::SyncJournal> journal_;
  double decisionSeconds_ = 0;
  std::mutex mutex_;
  std::vector<library::SyncRecord> written_;
  std::vector<std::string> forgotten_;
  std::unordered_set<std::string> rewritten_;  // sources whose new output exists
};

// The time a batch has left, fed with the batch's events: each file's length is taken from
// its entry, and its whole percentages count as that share of it done. Thread-safe, so that
// workers can feed it. Text() is "" during the first five seconds.
class BatchTimeLeft {
 public:
  explicit BatchTimeLeft(const std::vector<SourceEntry*>& entries,
                         library::TimeLeft::Clock clock = &library::TimeLeft::SteadySeconds);
  void Progressed(int index, int percent);
  // A file ended; `converted` counts its whole length as done.
  void Finished(int index, bool converted, int percentDone);
  // A file that will not convert at all (up to date, refused before it started).
  void Dropped(int index);
  // The text when it differs from the last one handed out, else nothing.
  std::optional<std::string> Changed();
  std::string Text();

 private:
  std::mutex mutex_;
  std::vector<double> lengths_;
  library::TimeLeft estimate_;
  std::string shown_;
};

}  // namespace wavorax
