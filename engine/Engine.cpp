#include "engine/Engine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "base/Paths.h"
#include "engine/Conversion.h"
#include "engine/OutputPath.h"
#include "engine/Verify.h"

namespace wavorax {

namespace {

// The display of a one-at-a-time batch, with the file's percentages also feeding the batch's
// time left.
class TimedProgress final : public IConvertProgress {
 public:
  TimedProgress(IConvertProgress& inner, BatchTimeLeft& timeLeft)
      : inner_(inner), timeLeft_(timeLeft) {}
  int index = 0;
  int percent = 0;
  void Tell() {
    if (const auto text = timeLeft_.Changed()) inner_.SetTimeLeft(*text);
  }
  void SetFileText(const std::string& text) override { inner_.SetFileText(text); }
  void SetFilePercent(int p) override {
    percent = p;
    timeLeft_.Progressed(index, p);
    inner_.SetFilePercent(p);
    Tell();
  }
  int FileBarWidth() override { return inner_.FileBarWidth(); }
  void SetFileBarRange(int maximum) override { inner_.SetFileBarRange(maximum); }
  void SetFileBarPos(int position) override { inner_.SetFileBarPos(position); }
  void SetOverallText(const std::string& text) override { inner_.SetOverallText(text); }
  void SetOverallRange(int maximum) override { inner_.SetOverallRange(maximum); }
  void StepOverall() override { inner_.StepOverall(); }
  bool CancelRequested() override { return inner_.CancelRequested(); }
  void PumpMessages() override { inner_.PumpMessages(); }
  void SetJobCount(int jobs) override { inner_.SetJobCount(jobs); }
  void SetJobLine(int job, const std::string& text, int p) override {
    inner_.SetJobLine(job, text, p);
  }
  void SetTimeLeft(const std::string& text) override { inner_.SetTimeLeft(text); }

 private:
  IConvertProgress& inner_;
  BatchTimeLeft& timeLeft_;
};

}  // namespace

CConversionEngine::CConversionEngine(ConversionSettings& settings, IBatchHost& host,
                                     DecoderOpener openDecoder, const TargetTable& targets)
    : settings_(settings), host_(host), openDecoder_(std::move(openDecoder)), targets_(targets) {}

bool CConversionEngine::ResolveOutputPath(SourceEntry& entry, std::string& outcome) {
  return wavorax::ResolveOutputPath(settings_, entry, outcome);
}

void CConversionEngine::ConvertSelected() {
  const std::vector<int> rows = host_.SelectedRows();
  if (rows.empty()) {
    host_.ShowInformation("You should select a file at least.");
    return;
  }
  std::vector<SourceEntry*> entries;
  entries.reserve(rows.size());
  for (int row : rows) entries.push_back(&host_.Entry(row));
  RunBatch(entries, rows);
}

void CConversionEngine::ConvertAll() {
  const int count = host_.RowCount();
  if (count <= 0) {
    host_.ShowInformation("There aren't files in list.");
    return;
  }
  std::vector<SourceEntry*> entries;
  std::vector<int> rows;
  for (int row = 0; row < count; ++row) {
    entries.push_back(&host_.Entry(row));
    rows.push_back(row);
  }
  RunBatch(entries, rows);
}

void CConversionEngine::RunBatch(const std::vector<SourceEntry*>& entries,
                                 const std::vector<int>& rows) {
  const int n = static_cast<int>(std::min(entries.size(), rows.size()));
  host_.BeginBatch();
  const int selected = host_.SelectedFormatCode();
  const int format = selected < 0 ? kTargetMp3 : selected;
  settings_.OutputFormat = format;
  // A code the table does not hold reads as MP3 for the texts and the pipeline; its output
  // path cannot be resolved, so nothing is converted.
  const TargetInfo* found = FindTarget(targets_, format);
  if (!found) found = FindTarget(targets_, kTargetMp3);
  const TargetInfo& target = found ? *found : targets_.front();

  // "Only convert what changed" decides for the whole batch before anything converts.
  lastSyncOutcome = {};
  std::unique_ptr<SyncSession> sync;
  if (settings_.SyncOutputs) {
    std::vector<std::string> sources;
    for (int i = 0; i < n; ++i) sources.push_back(entries[i]->path);
    std::string error;
    sync = SyncSession::Open(settings_, sources, false, error);
    if (!sync) {
      host_.EndBatch();
      host_.ShowInformation(error);
      return;
    }
  }
  sync_ = sync.get();

  const int jobs = std::min(std::clamp<int>(settings_.ConvertJobs, 1, kMaxConvertJobs), n);
  IConvertProgress& progress = jobs > 1 ? host_.OpenProgressFor(jobs) : host_.OpenProgress();
  progress.SetOverallRange(n);
  progress.PumpMessages();

  std::vector<bool> decided(n, false);
  if (jobs > 1) {
    decided = RunConcurrently(entries, rows, target, jobs, progress);
  } else {
    std::fill(decided.begin(), decided.begin() + RunInTurn(entries, rows, target, progress), true);
  }

  const bool cancelled = progress.CancelRequested();
  host_.CloseProgress();
  if (sync) lastSyncOutcome = sync->Finish(cancelled);
  sync_ = nullptr;
  host_.EndBatch();

  if (settings_.BrowseOutputFolder) {
    for (int j = 0; j < n; ++j) {
      if (!decided[j]) continue;
      const std::string& out = entries[j]->outputPath;
      if (!out.empty() && FileExists(out)) {
        host_.RevealOutput(out);
        break;
      }
    }
  }
}

int CConversionEngine::RunInTurn(const std::vector<SourceEntry*>& entries,
                                 const std::vector<int>& rows, const TargetInfo& target,
                                 IConvertProgress& progress) {
  const int n = static_cast<int>(std::min(entries.size(), rows.size()));
  const std::vector<SourceEntry*> batchEntries(entries.begin(), entries.begin() + n);
  const std::unique_ptr<CBatchLoudness> loudness =
      CBatchLoudness::For(settings_, target.code, batchEntries);
  const BatchContext batch{settings_, target, openDecoder_, sync_, loudness.get()};
  // Normalisation measures every source before the first converts; the window stays alive
  // and Cancel ends the batch before anything is written.
  if (loudness && !loudness->MeasureSources(batchEntries, openDecoder_, 1, [&progress] {
        progress.PumpMessages();
        return !progress.CancelRequested();
      }))
    return 0;
  OutputClaims claims;
  BatchTimeLeft timeLeft(std::vector<SourceEntry*>(entries.begin(), entries.begin() + n));
  TimedProgress timed(progress, timeLeft);
  int i = 0;
  for (; i < n; ++i) {
    SourceEntry& entry = *entries[i];
    const int row = rows[i];
    batchSequenceNumber = i + 1;
    host_.EnsureRowVisible(row);
    host_.SetRowStatus(row, "Converting...");
    progress.SetOverallText(OverallText(targets_, target.code, batchSequenceNumber, n));
    progress.StepOverall();
    progress.SetFileText(FileText(FileNameOf(entry.path), 0));
    progress.SetFileBarPos(0);
    timed.index = i;
    timed.percent = 0;
    const RowResult result = ConvertRow(batch, i, entry, timed, claims, nullptr, nullptr);
    if (result.started)
      timeLeft.Finished(i, result.converted, timed.percent);
    else
      timeLeft.Dropped(i);
    timed.Tell();
    host_.SetRowStatus(row, result.status);
    if (result.converted) progress.PumpMessages();
    // A Cancel that came while this file converted stops the batch after it; the file does
    // not count as decided, so it is not revealed.
    if (progress.CancelRequested()) break;
  }
  return i;
}

std::vector<bool> CConversionEngine::RunConcurrently(const std::vector<SourceEntry*>& entries,
                                                     const std::vector<int>& rows,
                                                     const TargetInfo& target, int jobs,
                                                     IConvertProgress& progress) {
  const int n = static_cast<int>(std::min(entries.size(), rows.size()));
  // The workers only queue what happened; this thread, the display's own, writes every status
  // and every line, so no widget is ever touched from a worker.
  struct Event {
    enum Kind { kStart, kProgress, kFinish } kind;
    int index;
    int percent = 0;
    std::string status;
  };
  std::mutex mutex;
  std::condition_variable arrived;
  std::string timeLeftText;  // the latest estimate, for this thread to show
  bool timeLeftChanged = false;
  std::deque<Event> queue;
  bool batchDone = false;
  std::atomic<bool> cancel{false};
  auto post = [&](Event e) {
    {
      std::lock_guard lock(mutex);
      queue.push_back(std::move(e));
    }
    arrived.notify_one();
  };
  BatchEvents events;
  events.onStart = [&](int i, const SourceEntry&) { post({Event::kStart, i}); };
  events.onProgress = [&](int i, int percent) { post({Event::kProgress, i, percent}); };
  events.onFinish = [&](int i, const RowResult& result) {
    post({Event::kFinish, i, 0, result.status});
  };
  events.onTimeLeft = [&](const std::string& text) {
    std::lock_guard lock(mutex);
    timeLeftText = text;
    timeLeftChanged = true;
  };

  const std::vector<SourceEntry*> batch(entries.begin(), entries.begin() + n);
  const BatchContext context{settings_, target, openDecoder_, sync_};
  std::thread runner([&] {
    RunParallelBatch(context, batch, jobs, cancel, events);
    {
      std::lock_guard lock(mutex);
      batchDone = true;
    }
    arrived.notify_one();
  });

  std::vector<int> jobOf(n, -1);         // the line each running file shows on
  std::vector<int> lineOwner(jobs, -1);  // the file on each line
  std::vector<bool> decided(n, false);
  int taken = 0;
  auto stepOverall = [&](int index) {
    ++taken;
    batchSequenceNumber = index + 1;
    progress.SetOverallText(OverallText(targets_, target.code, taken, n));
    progress.StepOverall();
  };
  auto showLine = [&](int index, int percent) {
    const int line = jobOf[index];
    if (line >= 0)
      progress.SetJobLine(line, FileText(FileNameOf(entries[index]->path), percent), percent);
  };

  for (;;) {
    std::deque<Event> ready;
    bool done = false;
    std::optional<std::string> timeLeftNow;
    {
      std::unique_lock lock(mutex);
      arrived.wait_for(lock, std::chrono::milliseconds(30),
                       [&] { return !queue.empty() || batchDone; });
      ready.swap(queue);
      done = batchDone;
      if (timeLeftChanged) timeLeftNow = timeLeftText;
      timeLeftChanged = false;
    }
    if (timeLeftNow) progress.SetTimeLeft(*timeLeftNow);
    for (const Event& e : ready) {
      const int row = rows[e.index];
      switch (e.kind) {
        case Event::kStart: {
          const auto free = std::find(lineOwner.begin(), lineOwner.end(), -1);
          if (free != lineOwner.end()) {
            *free = e.index;
            jobOf[e.index] = static_cast<int>(free - lineOwner.begin());
          }
          host_.EnsureRowVisible(row);
          host_.SetRowStatus(row, "Converting...");
          stepOverall(e.index);
          showLine(e.index, 0);
          break;
        }
        case Event::kProgress:
          showLine(e.index, e.percent);
          break;
        case Event::kFinish: {
          // A file refused before it started (skipped, no folder) counts here.
          if (jobOf[e.index] < 0) {
            host_.EnsureRowVisible(row);
            stepOverall(e.index);
          } else {
            progress.SetJobLine(jobOf[e.index], std::string(), 0);
            lineOwner[jobOf[e.index]] = -1;
            jobOf[e.index] = -1;
          }
          host_.SetRowStatus(row, e.status);
          decided[e.index] = true;
          break;
        }
      }
    }
    if (done) break;
    progress.PumpMessages();
    if (progress.CancelRequested()) cancel.store(true);
  }
  runner.join();
  return decided;
}

}  // namespace wavorax
