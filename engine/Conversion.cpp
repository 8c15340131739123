#include "engine/Conversion.h"

#include <algorithm>
#include <thread>

#include "base/Paths.h"
#include "engine/Verify.h"

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

bool JudgeConversion(int pipelineResult, const SourceEntry& entry) {
  std::uint64_t size = 0;
  // A pipeline that claims success but left nothing behind did not convert the file.
  const bool converted = pipelineResult != 0 && QueryFileSize(entry.outputPath, size) && size != 0;
  // A pipeline that fails removes its own output; an empty file left by one that claimed
  // success is no output either.
  if (!converted && pipelineResult != 0) DeleteUnlessSame(entry.outputPath, entry.path);
  return converted;
}

Resolution OutputClaims::Claim(const ConversionSettings& settings, int index, SourceEntry& entry,
                               std::string& outcome, const std::atomic<bool>* cancel) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return turn_ == index; });
  Resolution r;
  for (;;) {
    if (cancel && cancel->load()) {
      ++turn_;
      changed_.notify_all();
      return Resolution::Busy;
    }
    r = ResolveOutputPathClaiming(settings, entry, outcome, [&](const std::string& p) {
      return running_.count(NormalisedAbsolute(p)) != 0;
    });
    if (r != Resolution::Busy) break;
    changed_.wait(lock);
  }
  ++turn_;
  if (r == Resolution::Resolved) running_.insert(NormalisedAbsolute(entry.outputPath));
  changed_.notify_all();
  return r;
}

void OutputClaims::Release(const std::string& claimedPath) {
  {
    std::lock_guard lock(mutex_);
    running_.erase(NormalisedAbsolute(claimedPath));
  }
  changed_.notify_all();
}

RowResult ConvertRow(const BatchContext& batch, int index, SourceEntry& entry,
                     IConvertProgress& progress, OutputClaims& claims,
                     const std::atomic<bool>* cancel,
                     const std::function<void(int index, const SourceEntry&)>& started) {
  RowResult row;
  std::string outcome;
  const Resolution resolution = claims.Claim(batch.settings, index, entry, outcome, cancel);
  if (resolution == Resolution::Busy) return row;
  row.decided = true;
  if (resolution != Resolution::Resolved) {
    row.status = outcome;
    return row;
  }
  row.started = true;
  const std::string claimed = entry.outputPath;
  if (started) started(index, entry);

  const PipelineContext ctx{batch.settings, index + 1, batch.openDecoder};
  const int result =
      batch.target.convert(ctx, entry.sourceType, entry.path, entry.outputPath, progress);
  row.converted = JudgeConversion(result, entry);
  row.status = row.converted ? FileNameOf(entry.outputPath) : "Conversion Failure";
  if (row.converted && batch.settings.VerifyOutputs) {
    // The check decodes both files again and can take as long as the conversion, so the
    // window keeps running and Cancel stops it; an output whose check did not finish is
    // not reported as done.
    const auto keepGoing = [&progress] {
      progress.PumpMessages();
      return !progress.CancelRequested();
    };
    const VerifyOutcome verified =
        VerifyConvertedOutput(batch.settings, entry, batch.openDecoder, keepGoing);
    if (verified != VerifyOutcome::Matches) {
      row.converted = false;
      row.status = kVerificationFailure;
    }
  }
  if (!row.converted) {
    entry.outputPath.clear();
    if (progress.CancelRequested()) row.status = "Cancelled";
  }
  claims.Release(claimed);
  return row;
}

BatchSummary RunParallelBatch(const BatchContext& batch, const std::vector<SourceEntry*>& entries,
                              int jobs, const std::atomic<bool>& cancel,
                              const BatchEvents& events) {
  const int n = static_cast<int>(entries.size());
  OutputClaims claims;
  std::mutex mutex;
  int next = 0;  // the next file to take
  BatchSummary summary;

  auto worker = [&] {
    for (;;) {
      int i;
      {
        std::lock_guard lock(mutex);
        if (cancel.load() || next >= n) return;
        i = next++;
      }
      JobProgress progress(i, cancel, events);
      const RowResult row =
          ConvertRow(batch, i, *entries[i], progress, claims, &cancel, events.onStart);
      if (!row.decided) return;
      if (events.onFinish) events.onFinish(i, row.status, row.converted);
      std::lock_guard lock(mutex);
      ++(row.converted ? summary.converted : summary.notConverted);
    }
  };

  const int threads = std::max(1, std::min(jobs, n));
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (auto& t : pool) t.join();
  summary.notStarted = n - summary.converted - summary.notConverted;
  return summary;
}

}  // namespace wavorax
