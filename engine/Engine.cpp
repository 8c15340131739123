#include "engine/Engine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "base/Paths.h"
#include "engine/OutputPath.h"
#include "engine/ParallelBatch.h"
#include "engine/Verify.h"

namespace wavorax {

std::string OverallText(int targetFormat, int number, int count) {
  const char* target = "MP3";
  switch (targetFormat) {
    case kTargetWav:
      target = "WAV";
      break;
    case kTargetAac:
      target = "AAC";
      break;
    case kTargetM4a:
      target = "M4A";
      break;
    case kTargetMp4:
      target = "MP4";
      break;
    case kTargetM4b:
      target = "M4B";
      break;
    default:
      break;
  }
  return "Converting " + std::to_string(number) + " of " + std::to_string(count) + " file(s) to " +
         target + "...";
}

std::string FileText(const std::string& name, int percent) {
  return "Converting " + name + "..." + std::to_string(percent) + "%";
}

bool JudgeConversion(int pipelineResult, const SourceEntry& entry) {
  std::uint64_t size = 0;
  // A pipeline that claims success but left nothing behind did not convert the file.
  const bool converted = pipelineResult != 0 && QueryFileSize(entry.outputPath, size) && size != 0;
  // A pipeline that fails removes its own output; an empty file left by one that claimed
  // success is no output either.
  if (!converted && pipelineResult != 0) DeleteUnlessSame(entry.outputPath, entry.path);
  return converted;
}

CConversionEngine::CConversionEngine(ConversionSettings& settings, IBatchHost& host)
    : settings_(settings), host_(host) {}

void CConversionEngine::SetPipeline(int targetFormat, Pipeline pipeline) {
  pipelines_[targetFormat] = std::move(pipeline);
}

int CConversionEngine::RunPipeline(int targetFormat, int sourceType, const std::string& sourcePath,
                                   const std::string& outputPath, IConvertProgress& progress) {
  auto it = pipelines_.find(targetFormat);
  if (it == pipelines_.end()) it = pipelines_.find(kTargetMp3);
  if (it == pipelines_.end() || !it->second) return 0;
  return it->second(sourceType, sourcePath, outputPath, progress);
}

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

  const int jobs =
      opener_ ? std::min(std::clamp<int>(settings_.ConvertJobs, 1, kMaxConvertJobs), n) : 1;
  IConvertProgress& progress = jobs > 1 ? host_.OpenProgressFor(jobs) : host_.OpenProgress();
  progress.SetOverallRange(n);
  progress.PumpMessages();

  std::vector<bool> decided(n, false);
  if (jobs > 1) {
    decided = RunConcurrently(entries, rows, format, jobs, progress);
  } else {
    batchSequenceNumber = 1;
    int i = 0;
    while (i < n) {
      SourceEntry& entry = *entries[i];
      const int row = rows[i];
      host_.EnsureRowVisible(row);
      host_.SetRowStatus(row, "Converting...");
      progress.SetOverallText(OverallText(format, batchSequenceNumber, n));
      progress.StepOverall();
      progress.SetFileText(FileText(FileNameOf(entry.path), 0));
      progress.SetFileBarPos(0);

      std::string outcome;
      bool converted = false;
      if (ResolveOutputPath(entry, outcome)) {
        const int result =
            RunPipeline(format, entry.sourceType, entry.path, entry.outputPath, progress);
        converted = JudgeConversion(result, entry);
        if (converted && settings_.VerifyOutputs && opener_ &&
            !VerifyConvertedOutput(settings_, entry, opener_)) {
          converted = false;
          outcome = kVerificationFailure;
        } else if (converted) {
          host_.SetRowStatus(row, FileNameOf(entry.outputPath));
          progress.PumpMessages();
          if (progress.CancelRequested()) break;
        } else {
          outcome = "Conversion Failure";
        }
      }
      if (!converted) {
        entry.outputPath.clear();
        if (progress.CancelRequested()) {
          host_.SetRowStatus(row, "Cancelled");
          break;
        }
        host_.SetRowStatus(row, outcome);
      }
      ++i;
      ++batchSequenceNumber;
    }
    std::fill(decided.begin(), decided.begin() + i, true);
  }

  host_.CloseProgress();
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

std::vector<bool> CConversionEngine::RunConcurrently(const std::vector<SourceEntry*>& entries,
                                                     const std::vector<int>& rows, int format,
                                                     int jobs, IConvertProgress& progress) {
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
  events.onFinish = [&](int i, const std::string& status, bool) {
    post({Event::kFinish, i, 0, status});
  };

  const std::vector<SourceEntry*> batch(entries.begin(), entries.begin() + n);
  std::thread runner([&] {
    RunParallelBatch(settings_, batch, jobs, opener_, cancel, events);
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
    progress.SetOverallText(OverallText(format, taken, n));
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
    {
      std::unique_lock lock(mutex);
      arrived.wait_for(lock, std::chrono::milliseconds(30),
                       [&] { return !queue.empty() || batchDone; });
      ready.swap(queue);
      done = batchDone;
    }
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
