// Converting the rows of a batch: one function takes one row from its output path to its
// status, and a pool runs it over a batch with one or more files at once. The window's batch
// driver and wavorax-cli both go through here, so every row is judged by the same rules.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/SourceEntry.h"
#include "decoders/Decoder.h"
#include "engine/BatchLoudness.h"
#include "engine/OutputPath.h"
#include "engine/Progress.h"
#include "engine/Targets.h"
#include "settings/ConversionSettings.h"

namespace wavorax {

class SyncSession;

// Judges a pipeline's result: converted only when the pipeline succeeded and left a non-empty
// output. An empty output is removed, never the source.
bool JudgeConversion(int pipelineResult, const std::string& output, const std::string& source);

// What every row of one batch shares.
struct BatchContext {
  const ConversionSettings& settings;  // OutputFormat is the batch's target
  const TargetInfo& target;
  const DecoderOpener& openDecoder;
  // "Only convert what changed": the batch's decisions; null converts every row.
  SyncSession* sync = nullptr;
  // Loudness measuring, normalisation and album tags; null when the settings ask for none.
  // RunParallelBatch makes its own when this is null and the settings ask for them.
  CBatchLoudness* loudness = nullptr;
};

// The output paths of a batch. Paths are resolved strictly in batch order, and a path that a
// running conversion owns is decided only once that conversion has finished, so every file
// gets the name it would get in a one-at-a-time run, whichever finishes first.
class OutputClaims {
 public:
  OutputClaims();
  // Waits for row `index`'s turn, then resolves its output path: Resolved (the path is the
  // row's until Release, and `resolved` holds its temporary file) or Failed with the outcome
  // text. Busy only when `cancel` was set before the path was decided; the row then gives up
  // its turn undecided.
  // `extra` adds a name made already and an output to bring up to date (a sync's).
  Resolution Claim(const ConversionSettings& settings, int index, SourceEntry& entry,
                   std::string& outcome, ResolvedOutput& resolved, const std::atomic<bool>* cancel,
                   const ResolveRules* extra = nullptr);
  // Row `index` decides on no path (its output is up to date): it only takes its turn. False
  // when `cancel` was set first.
  bool Pass(int index, const std::atomic<bool>* cancel);
  // Whether a conversion of the batch still runs on the path.
  bool Reserved(const std::string& path);
  // The row's conversion has ended: its decided path is free for later rows to decide on, and
  // `produced`, when not empty, is an output the batch wrote.
  void Release(const std::string& claimedPath, const std::string& produced);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int turn_ = 0;
  std::unordered_set<std::string> running_;
  std::unordered_set<std::string> produced_;
  // When the program began: a file written since belongs to a batch running beside this one
  // (another process on the same folder), and overwrite leaves it alone; an older one is an
  // earlier run's, which overwrite replaces.
  std::int64_t startedNs_;
  std::unordered_set<std::string> cleaned_;  // folders whose stale temporary files went
};

struct RowResult {
  bool decided = false;        // false when a cancel kept the row from starting: no status
  bool started = false;        // the output path was resolved and the pipeline ran
  bool converted = false;      // the row's output is complete (and verified when asked)
  bool inDocuments = false;    // the output went to the documents folder instead
  bool upToDate = false;       // a sync found its output up to date: nothing was done
  bool sourceTrashed = false;  // the source went to the Trash after its output was verified
  std::string status;          // the row's Status text
  // What the conversion measured and applied, when the batch measures or normalises.
  std::optional<RowLoudness> loudness;
  // The row was the last of its album to finish: the album's figures and tags.
  std::optional<AlbumLoudness> album;
};

// The Status of a row whose source changed (was cut short, rewritten) while it converted.
inline constexpr const char* kSourceChanged = "Source changed while converting";

// Converts row `index` (0-based; its sequence number is index + 1) of a batch: resolves the
// output path, runs the target's pipeline, judges the result, verifies the output when the
// settings ask for it, and returns the status. `started` is told once the path is resolved
// and before the pipeline runs. A failed or cancelled row loses its output path and its
// partial output; Cancel during verification removes the output and gives "Cancelled".
// With a sync, a row whose output is up to date (or that the sync refuses) only gets its
// status; with TrashSources, the source of a verified output goes to the Trash.
// With `batch.loudness`, the pipeline applies the row's normalisation gain and measures its
// output, the track's gain tags go into the output before it is committed and the track
// gain follows the output's name in the Status; the row's end is counted for its album.
RowResult ConvertRow(const BatchContext& batch, int index, SourceEntry& entry,
                     IConvertProgress& progress, OutputClaims& claims,
                     const std::atomic<bool>* cancel,
                     const std::function<void(int index, const SourceEntry&)>& started);

struct BatchEvents {
  // A file's output path is resolved and its conversion starts (index is 0-based).
  std::function<void(int index, const SourceEntry& entry)> onStart;
  // The whole percentage of a converting file grew.
  std::function<void(int index, int percent)> onProgress;
  // A file ended: its Status text, whether it converted, and where its output went.
  std::function<void(int index, const RowResult& result)> onFinish;
  // The batch's time left changed ("About 3 minutes left"; "" while there is no estimate).
  std::function<void(const std::string& text)> onTimeLeft;
};

struct BatchSummary {
  int converted = 0;
  int notConverted = 0;  // failures, skips and cancelled files
  int notStarted = 0;    // files that a cancel kept from starting
  int upToDate = 0;      // files a sync found up to date (not counted as not converted)
};

// Converts entries[i] as the i-th file of the batch with up to `jobs` files at a time, the
// calling thread being one of the workers. `cancel` works like the Cancel button: running
// files stop and lose their partial output, and no further file starts. The events come
// from the worker threads. When normalising, every source is first decoded once to measure
// it (the files' progress shows nothing then; `cancel` stops it and nothing converts).
BatchSummary RunParallelBatch(const BatchContext& batch, const std::vector<SourceEntry*>& entries,
                              int jobs, const std::atomic<bool>& cancel, const BatchEvents& events);

}  // namespace wavorax
