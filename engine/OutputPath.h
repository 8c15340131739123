// Where one source's output goes: folder policy, target-exists policy and the single retry
// in the documents folder.
#pragma once

#include <functional>
#include <string>

#include "base/SourceEntry.h"
#include "settings/ConversionSettings.h"

namespace wavorax {

// On success the entry's outputPath names a path that the output can be created under and
// that holds no file. On failure `outcome` holds the message for the row's Status and the
// entry is unchanged. The source is never written to, truncated or deleted.
bool ResolveOutputPath(const ConversionSettings& settings, SourceEntry& entry,
                       std::string& outcome);

// For converting several files at once: `claimed(path)` says that a conversion still running
// owns the path. Resolution then answers Busy instead of deciding, and the caller retries once
// that conversion has finished, so every file resolves as it would in a one-at-a-time run.
enum class Resolution { Resolved, Failed, Busy };
Resolution ResolveOutputPathClaiming(const ConversionSettings& settings, SourceEntry& entry,
                                     std::string& outcome,
                                     const std::function<bool(const std::string&)>& claimed);

// What a conversion would do with its output, worked out without touching the disk: no folder
// is created and no file is made, not even the probe file of a real resolution.
enum class PlannedAction { New, Renamed, Overwrite, Skipped, SameAsSource, Failed };
struct OutputPlan {
  PlannedAction action = PlannedAction::Failed;
  std::string path;     // the output path, for New, Renamed and Overwrite
  std::string outcome;  // the row's Status for Skipped, SameAsSource and Failed
};
// `planned(path)` says that an earlier file of the same batch will have written the path, so
// that later files see it as existing, as they would in the real run.
OutputPlan PlanOutputPath(const ConversionSettings& settings, const std::string& source,
                          const std::function<bool(const std::string&)>& planned);

}  // namespace wavorax
