// The conversion engine: turns Convert commands into one conversion per row.
#pragma once

#include <string>
#include <vector>

#include "base/SourceEntry.h"
#include "decoders/Decoder.h"
#include "engine/LibraryBatch.h"
#include "engine/Progress.h"
#include "engine/Targets.h"
#include "settings/ConversionSettings.h"

namespace wavorax {

class CConversionEngine {
 public:
  // Converts for `host` with the given settings, opening sources with `openDecoder` and
  // writing the targets of `targets`; all of them must outlive the engine.
  CConversionEngine(ConversionSettings& settings, IBatchHost& host, DecoderOpener openDecoder,
                    const TargetTable& targets = Targets());

  // "Convert Selected" and "Convert All".
  void ConvertSelected();
  void ConvertAll();
  // Converts the given rows in order; `entries[i]` belongs to `rows[i]`. With
  // settings.ConvertJobs above 1 that many files convert at once on worker threads, while
  // this thread shows their progress and writes every status; with 1, each file converts
  // on this thread, which pumps the display's messages between blocks.
  void RunBatch(const std::vector<SourceEntry*>& entries, const std::vector<int>& rows);

  bool ResolveOutputPath(SourceEntry& entry, std::string& outcome);

  // 1-based position of the file being converted within the running batch; used as the
  // track number when a tag numbers files by their sequence.
  int batchSequenceNumber = 0;

  // What the last batch's sync did at its end (outputs whose source is gone, a state file
  // that could not be written); empty when it ran no sync.
  SyncSession::Outcome lastSyncOutcome;

  ConversionSettings& settings() { return settings_; }
  const TargetTable& targets() const { return targets_; }

 private:
  // One file after another on this thread; returns how many rows were decided.
  int RunInTurn(const std::vector<SourceEntry*>& entries, const std::vector<int>& rows,
                const TargetInfo& target, IConvertProgress& progress);
  // Converts on `jobs` worker threads while this thread shows their progress and writes the
  // statuses; returns which entries were decided (all of them unless Cancel stopped the batch).
  std::vector<bool> RunConcurrently(const std::vector<SourceEntry*>& entries,
                                    const std::vector<int>& rows, const TargetInfo& target,
                                    int jobs, IConvertProgress& progress);

  SyncSession* sync_ = nullptr;  // the running batch's sync, if any
  ConversionSettings& settings_;
  IBatchHost& host_;
  DecoderOpener openDecoder_;
  const TargetTable& targets_;
};

}  // namespace wavorax
