#include "engine/ParallelBatch.h"

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>

#include "base/Paths.h"
#include "engine/Engine.h"
#include "engine/OutputPath.h"
#include "engine/Pipelines.h"
#include "engine/Verify.h"

namespace wavorax {

namespace {

// The progress of one file: reports whole percentages and answers the shared cancel flag.
class JobProgress : public IConvertProgress {
 public:
  JobProgress(int index, const std::atomic<bool>& cancel, const BatchEvents& events)
      : index_(index), cancel_(cancel), events_(events) {}
  void SetFileText(const std::string& text) override {
    // The text ends in "<percent>%".
    const auto dots = text.rfind("...");
    if (dots == std::string::npos) return;
    const int percent = std::atoi(text.c_str() + dots + 3);
    if (percent != last_ && events_.onProgress) events_.onProgress(index_, percent);
    last_ = percent;
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
  int last_ = -1;
};

int PipelineFor(int format, const PipelineContext& ctx, int sourceType, const std::string& src,
                const std::string& out, IConvertProgress& progress) {
  switch (format) {
    case kTargetWav:
      return ConvertToWav(ctx, sourceType, src, out, progress);
    case kTargetAac:
      return ConvertToAac(ctx, sourceType, src, out, progress);
    case kTargetM4a:
    case kTargetMp4:
    case kTargetM4b:
      return ConvertToMp4(ctx, sourceType, src, out, progress);
    default:
      return ConvertToMp3(ctx, sourceType, src, out, progress);
  }
}

}  // namespace

BatchSummary RunParallelBatch(const ConversionSettings& settings,
                              const std::vector<SourceEntry*>& entries, int jobs,
                              const DecoderOpener& openDecoder, const std::atomic<bool>& cancel,
                              const BatchEvents& events) {
  const int n = static_cast<int>(entries.size());
  std::mutex mutex;
  std::condition_variable changed;
  int next = 0;         // the next file to take
  int resolveTurn = 0;  // the file whose output path is resolved next
  std::set<std::string> claimed;
  BatchSummary summary;

  auto worker = [&] {
    std::unique_lock lock(mutex);
    for (;;) {
      if (cancel.load() || next >= n) return;
      const int i = next++;
      SourceEntry& entry = *entries[i];
      // Paths are resolved strictly in batch order; a path that a running conversion
      // owns is decided only once that conversion has finished.
      changed.wait(lock, [&] { return resolveTurn == i; });
      std::string outcome;
      Resolution r;
      for (;;) {
        if (cancel.load()) {
          ++resolveTurn;
          changed.notify_all();
          return;
        }
        r = ResolveOutputPathClaiming(settings, entry, outcome, [&](const std::string& p) {
          return claimed.count(NormalisedAbsolute(p)) != 0;
        });
        if (r != Resolution::Busy) break;
        changed.wait(lock);
      }
      ++resolveTurn;
      const std::string key = r == Resolution::Resolved ? NormalisedAbsolute(entry.outputPath) : "";
      if (!key.empty()) claimed.insert(key);
      changed.notify_all();
      lock.unlock();

      bool converted = false;
      std::string status;
      if (r == Resolution::Resolved) {
        if (events.onStart) events.onStart(i, entry);
        JobProgress progress(i, cancel, events);
        const PipelineContext ctx{settings, i + 1, openDecoder};
        const int result = PipelineFor(settings.OutputFormat, ctx, entry.sourceType, entry.path,
                                       entry.outputPath, progress);
        converted = JudgeConversion(result, entry);
        status = converted ? FileNameOf(entry.outputPath) : "Conversion Failure";
        if (converted && settings.VerifyOutputs && !cancel.load() &&
            !VerifyConvertedOutput(settings, entry, openDecoder)) {
          converted = false;
          status = kVerificationFailure;
        }
      } else {
        status = outcome;
      }
      if (!converted) {
        entry.outputPath.clear();
        if (cancel.load()) status = "Cancelled";
      }
      if (events.onFinish) events.onFinish(i, status, converted);

      lock.lock();
      if (!key.empty()) claimed.erase(key);
      ++(converted ? summary.converted : summary.notConverted);
      changed.notify_all();
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
