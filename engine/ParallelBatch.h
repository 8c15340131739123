// Converting a batch with several files at once, for wavorax-cli's --jobs. Output paths are
// claimed in batch order, so the files produced are the same as in a one-at-a-time run.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "app/ConversionSettings.h"
#include "base/SourceEntry.h"
#include "decoders/Decoder.h"

namespace wavorax {

struct BatchEvents {
  // A file's output path is resolved and its conversion starts (index is 0-based).
  std::function<void(int index, const SourceEntry& entry)> onStart;
  // The whole percentage of a converting file grew.
  std::function<void(int index, int percent)> onProgress;
  // A file ended with its Status text; converted tells success.
  std::function<void(int index, const std::string& status, bool converted)> onFinish;
};

struct BatchSummary {
  int converted = 0;
  int notConverted = 0;  // failures, skips and cancelled files
  int notStarted = 0;    // files that a cancel kept from starting
};

// Converts entries[i] as the i-th file of the batch (sequence number i + 1) to
// settings.OutputFormat with up to `jobs` files at a time. `cancel` works like the Cancel
// button: running files stop and lose their partial output, and no further file starts.
BatchSummary RunParallelBatch(const ConversionSettings& settings,
                              const std::vector<SourceEntry*>& entries, int jobs,
                              const DecoderOpener& openDecoder, const std::atomic<bool>& cancel,
                              const BatchEvents& events);

}  // namespace wavorax
