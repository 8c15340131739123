#include "engine/Conversion.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/Paths.h"
#include "engine/GainTags.h"
#include "engine/LibraryBatch.h"
#include "engine/LoudnessTap.h"
#include "engine/Verify.h"
#include "engine/library/Trash.h"

namespace wavorax {

namespace {

// The progress of one file on a worker thread: the percentage goes to the batch's events,
// and Cancel is the batch's shared flag.
class JobProgress : public IConvertProgress {
 public:
  JobProgress(int index, const std::atomic<bool>& cancel, const BatchEvents& events)
      : index_(index), cancel_(cancel), events_(events) {}
  void SetFileText(const std::string&) override {}
  void SetFilePercent(int percent) override {
    if (events_.onProgress) events_.onProgress(index_, percent);
  }
  int FileBarWidth() override { return 100; }
  void SetFileBarRange(int) override {}
  void SetFileBarPos(int) override {}
  void SetOverallText(const std::string&) override {}
  void SetOverallRange(int) override {}
  void StepOverall() override {}
  bool CancelRequested() override { return cancel_.load(); }
  void PumpMessages() override {}

 private:
  int index_;
  const std::atomic<bool>& cancel_;
  const BatchEvents& events_;
};

}  // namespace

bool JudgeConversion(int pipelineResult, const std::string& output, const std::string& source) {
  std::uint64_t size = 0;
  // A pipeline that claims success but left nothing behind did not convert the file.
  const bool converted = pipelineResult != 0 && QueryFileSize(output, size) && size != 0;
  // A pipeline that fails removes its own output; an empty file left by one that claimed
  // success is no output either.
  if (!converted && pipelineResult != 0) DeleteUnlessSame(output, source);
  return converted;
}

namespace {

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// When this process was created, on the wall clock: the kernel's start time of the process
// (in clock ticks since boot) moved onto the wall clock through the boot-time clock. Another
// process started beside this one on the same folder commits its first output only after it.
std::int64_t ProcessStartNs() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  // The command name in parentheses may hold spaces; the fields after it are plain.
  const auto close = text.rfind(')');
  if (close == std::string::npos) return NowNs();
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i) {
    if (i != 22) continue;
    const long ticks = ::sysconf(_SC_CLK_TCK);
    timespec boot{};
    if (ticks <= 0 || ::clock_gettime(CLOCK_BOOTTIME, &boot) != 0) break;
    const std::int64_t sinceBoot = std::int64_t{boot.tv_sec} * 1'000'000'000 + boot.tv_nsec;
    const std::int64_t startSinceBoot = std::stoll(field) * (1'000'000'000 / ticks);
    return NowNs() - (sinceBoot - startSinceBoot);
  }
  return NowNs();
}

const std::int64_t kProgramStartNs = ProcessStartNs();

}  // namespace

OutputClaims::OutputClaims() : startedNs_(std::min(kProgramStartNs, NowNs())) {}

Resolution OutputClaims::Claim(const ConversionSettings& settings, int index, SourceEntry& entry,
                               std::string& outcome, ResolvedOutput& resolved,
                               const std::atomic<bool>* cancel, const ResolveRules* extra) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return turn_ == index; });
  ResolveRules rules;
  if (extra) {
    rules.relative = extra->relative;
    rules.refresh = extra->refresh;
  }
  rules.busy = [&](const std::string& p) { return running_.count(NormalisedAbsolute(p)) != 0; };
  rules.produced = [&](const std::string& p) {
    if (produced_.count(NormalisedAbsolute(p)) != 0) return true;
    // A rename onto the name marks the file's inode change time, which is when its writer
    // committed it.
    const FileState state = StateOf(p, true);
    return state.exists && state.changedNs >= startedNs_;
  };
  Resolution r;
  for (;;) {
    if (cancel && cancel->load()) {
      ++turn_;
      changed_.notify_all();
      return Resolution::Busy;
    }
    r = ResolveOutputPathClaiming(settings, entry, outcome, rules, resolved);
    if (r != Resolution::Busy) break;
    changed_.wait(lock);
  }
  ++turn_;
  if (r == Resolution::Resolved) {
    running_.insert(NormalisedAbsolute(entry.outputPath));
    // Temporary files that killed runs left behind go the first time the batch writes into
    // their folder.
    const std::string name = FileNameOf(entry.outputPath);
    const std::string folder = entry.outputPath.substr(0, entry.outputPath.size() - name.size());
    if (cleaned_.insert(folder).second) RemoveStaleTemporaries(folder.empty() ? "." : folder);
  }
  changed_.notify_all();
  return r;
}

bool OutputClaims::Pass(int index, const std::atomic<bool>* cancel) {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return turn_ == index; });
    ++turn_;
  }
  changed_.notify_all();
  return !(cancel && cancel->load());
}

bool OutputClaims::Reserved(const std::string& path) {
  std::lock_guard lock(mutex_);
  return running_.count(NormalisedAbsolute(path)) != 0;
}

void OutputClaims::Release(const std::string& claimedPath, const std::string& produced) {
  {
    std::lock_guard lock(mutex_);
    running_.erase(NormalisedAbsolute(claimedPath));
    if (!produced.empty()) produced_.insert(NormalisedAbsolute(produced));
  }
  changed_.notify_all();
}

namespace {

// Whether the source read through the conversion is still the file it was: cut short or
// rewritten in place, it is not; removed, or replaced by another file under its name, the
// conversion read the whole of the file it opened, which stays intact.
enum class SourceState { Same, Changed, Gone };
SourceState CompareSource(const FileState& before, const std::string& path) {
  const FileState now = StateOf(path, true);
  if (!now.exists || now.device != before.device || now.inode != before.inode)
    return SourceState::Gone;
  return now == before ? SourceState::Same : SourceState::Changed;
}

}  // namespace

namespace {

RowResult ConvertOneRow(const BatchContext& batch, int index, SourceEntry& entry,
                        IConvertProgress& progress, OutputClaims& claims,
                        const std::atomic<bool>* cancel,
                        const std::function<void(int index, const SourceEntry&)>& started,
                        CLoudnessTap* tap, std::string& committed) {
  RowResult row;
  const library::SyncItem* item = batch.sync ? batch.sync->Item(entry.path) : nullptr;
  ResolveRules syncRules;
  if (item && item->action != library::SyncAction::Convert) {
    if (!claims.Pass(index, cancel)) return row;
    row.decided = true;
    row.upToDate = item->action == library::SyncAction::UpToDate;
    row.status = library::SyncReasonText(item->reason);
    entry.outputPath.clear();
    return row;
  }
  if (item) {
    syncRules.relative = item->output;
    syncRules.refresh = [&batch, item](const std::string& p) {
      return batch.sync->Refreshes(*item, p);
    };
  }
  std::string outcome;
  ResolvedOutput resolved;
  const Resolution resolution = claims.Claim(batch.settings, index, entry, outcome, resolved,
                                             cancel, item ? &syncRules : nullptr);
  if (resolution == Resolution::Busy) return row;
  row.decided = true;
  if (resolution != Resolution::Resolved) {
    row.status = outcome;
    return row;
  }
  row.started = true;
  row.inDocuments = resolved.inDocuments;
  const std::string decided = entry.outputPath;
  const std::string& temporary = resolved.temporary;
  if (started) started(index, entry);

  const FileState source = StateOf(entry.path, true);
  const PipelineContext ctx{batch.settings, index + 1, batch.openDecoder, tap};
  const int result = batch.target.convert(ctx, entry.sourceType, entry.path, temporary, progress);
  row.converted = JudgeConversion(result, temporary, entry.path);
  if (tap) {
    // The track's tags go into the temporary output, which nobody else sees yet; an output
    // that cannot take them is kept without them.
    RowLoudness loudness;
    loudness.normalised = batch.loudness->normalises();
    loudness.normaliseGainDb = tap->gainDb();
    if (const auto measured = tap->Result()) {
      loudness.measured = *measured;
      loudness.gain =
          ReplayGainOf(*measured, batch.loudness->AlbumOfItsOwn(index) ? &*measured : nullptr);
      if (row.converted && loudness.gain && TakesGainTags(batch.target.code))
        loudness.tagged = WriteGainTags(temporary, batch.target.code, *loudness.gain);
    }
    row.loudness = loudness;
  }
  row.status = row.converted ? FileNameOf(decided) : "Conversion Failure";
  SourceState state = source.exists ? CompareSource(source, entry.path) : SourceState::Same;
  if (row.converted && state == SourceState::Changed) {
    row.converted = false;
    row.status = kSourceChanged;
  }
  bool unverified = false;
  bool passed = false;
  // A source goes to the Trash only after its own output was checked, so the check runs for
  // it whatever VerifyOutputs says.
  const bool trashSource = batch.settings.TrashSources != 0;
  if (row.converted && (batch.settings.VerifyOutputs || trashSource)) {
    if (state == SourceState::Gone) {
      unverified = true;
    } else {
      // The check decodes both files again and can take as long as the conversion, so the
      // window keeps running and Cancel stops it; an output whose check did not finish is
      // not reported as done.
      const auto keepGoing = [&progress] {
        progress.PumpMessages();
        return !progress.CancelRequested();
      };
      SourceEntry written = entry;
      written.outputPath = temporary;
      const VerifyOutcome verified =
          VerifyConvertedOutput(batch.settings, written, batch.openDecoder, keepGoing, false);
      if (verified == VerifyOutcome::Mismatch) {
        // A check that failed because the source went while it ran says nothing against the
        // output, which was written whole: it is kept. A source that changed makes the
        // output as suspect as the check.
        state = CompareSource(source, entry.path);
        if (state == SourceState::Gone) {
          unverified = true;
        } else {
          row.converted = false;
          row.status = state == SourceState::Changed ? kSourceChanged : kVerificationFailure;
        }
      } else if (verified == VerifyOutcome::Stopped) {
        row.converted = false;
        row.status = kVerificationFailure;
      }
      passed = verified == VerifyOutcome::Matches;
    }
  }
  if (row.converted) {
    CommitRequest commit;
    commit.temporary = temporary;
    commit.target = decided;
    commit.base = resolved.base;
    commit.extension = resolved.extension;
    commit.replace = resolved.action == PlannedAction::Overwrite;
    commit.decidedOn = resolved.decidedOn;
    commit.skipExisting = batch.settings.TargetExistsOpt == kExistsSkip;
    commit.reserved = [&claims, &decided](const std::string& p) {
      return p != decided && claims.Reserved(p);
    };
    switch (CommitOutput(commit, committed)) {
      case CommitOutcome::Committed:
        entry.outputPath = committed;
        row.status = FileNameOf(committed);
        if (unverified) row.status += " (not verified: the source is gone)";
        if (item)
          batch.sync->Written(*item, committed,
                              passed ? library::Check::Passed : library::Check::NotRun);
        if (trashSource && passed) {
          // Never the output itself, nor another name of the same file.
          if (SameFile(committed, entry.path) ||
              NormalisedAbsolute(committed) == NormalisedAbsolute(entry.path)) {
            row.status += " (source kept: it is the output)";
          } else {
            const library::TrashResult trashed = library::MoveToTrash(entry.path);
            row.sourceTrashed = trashed.moved;
            if (trashed.moved) {
              row.status += " (source moved to the Trash)";
              if (item) batch.sync->SourceTrashed(*item, committed);
            } else {
              row.status += " (source kept: " + trashed.error + ")";
            }
          }
        }
        break;
      case CommitOutcome::Skipped:
        row.converted = false;
        row.status = "Target exists and skipped";
        break;
      case CommitOutcome::Failed:
        row.converted = false;
        row.status = "Conversion Failure";
        break;
    }
  }
  if (!row.converted) {
    DeleteUnlessSame(temporary, entry.path);
    entry.outputPath.clear();
    if (progress.CancelRequested()) row.status = "Cancelled";
  }
  claims.Release(decided, row.converted ? committed : std::string());
  return row;
}

}  // namespace

RowResult ConvertRow(const BatchContext& batch, int index, SourceEntry& entry,
                     IConvertProgress& progress, OutputClaims& claims,
                     const std::atomic<bool>* cancel,
                     const std::function<void(int index, const SourceEntry&)>& started) {
  std::optional<CLoudnessTap> tap;
  if (batch.loudness)
    tap.emplace(batch.loudness->measures(), batch.loudness->NormaliseGainDb(index));
  std::string committed;
  RowResult row = ConvertOneRow(batch, index, entry, progress, claims, cancel, started,
                                tap ? &*tap : nullptr, committed);
  if (!batch.loudness || !row.decided) return row;
  if (row.converted && row.loudness) {
    // The figure follows the output's name, before anything said about the output.
    const std::size_t name = FileNameOf(committed).size();
    if (row.status.compare(0, name, FileNameOf(committed)) == 0)
      row.status.insert(name, LoudnessStatusSuffix(*row.loudness));
  }
  const bool cancelled = progress.CancelRequested() || (cancel && cancel->load());
  row.album = batch.loudness->Finish(index, tap ? tap->TakeMeter() : std::nullopt,
                                     row.converted ? committed : std::string(), cancelled);
  return row;
}

BatchSummary RunParallelBatch(const BatchContext& batch, const std::vector<SourceEntry*>& entries,
                              int jobs, const std::atomic<bool>& cancel,
                              const BatchEvents& events) {
  const int n = static_cast<int>(entries.size());
  std::unique_ptr<CBatchLoudness> ownLoudness;
  BatchContext withLoudness = batch;
  if (!batch.loudness) {
    ownLoudness = CBatchLoudness::For(batch.settings, batch.target.code, entries);
    withLoudness.loudness = ownLoudness.get();
  }
  if (withLoudness.loudness &&
      !withLoudness.loudness->MeasureSources(entries, batch.openDecoder, jobs,
                                             [&cancel] { return !cancel.load(); })) {
    BatchSummary stopped;
    stopped.notStarted = n;
    return stopped;
  }
  OutputClaims claims;
  std::mutex mutex;
  int next = 0;  // the next file to take
  BatchSummary summary;
  BatchTimeLeft timeLeft(entries);
  std::vector<int> percents(entries.size(), 0);
  const auto tellTimeLeft = [&] {
    if (!events.onTimeLeft) return;
    if (const auto text = timeLeft.Changed()) events.onTimeLeft(*text);
  };
  BatchEvents own = events;
  own.onProgress = [&](int i, int percent) {
    percents[i] = percent;
    timeLeft.Progressed(i, percent);
    if (events.onProgress) events.onProgress(i, percent);
    tellTimeLeft();
  };

  auto worker = [&] {
    for (;;) {
      int i;
      {
        std::lock_guard lock(mutex);
        if (cancel.load() || next >= n) return;
        i = next++;
      }
      JobProgress progress(i, cancel, own);
      const RowResult row =
          ConvertRow(withLoudness, i, *entries[i], progress, claims, &cancel, events.onStart);
      if (!row.decided) return;
      if (row.started)
        timeLeft.Finished(i, row.converted, percents[i]);
      else
        timeLeft.Dropped(i);
      if (events.onFinish) events.onFinish(i, row);
      tellTimeLeft();
      std::lock_guard lock(mutex);
      ++(row.converted  ? summary.converted
         : row.upToDate ? summary.upToDate
                        : summary.notConverted);
    }
  };

  const int threads = std::max(1, std::min(jobs, n));
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (auto& t : pool) t.join();
  summary.notStarted = n - summary.converted - summary.notConverted - summary.upToDate;
  return summary;
}

}  // namespace wavorax
