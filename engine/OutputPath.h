// Where one source's output goes: folder policy, target-exists policy and the single retry
// in the documents folder.
#pragma once

#include <functional>
#include <string>

#include "base/SourceEntry.h"
#include "engine/OutputFiles.h"
#include "settings/ConversionSettings.h"

namespace wavorax {

// On success the entry's outputPath names the path the output is to take: a free one, or
// under the overwrite policy an earlier output that the user may replace (it stays until the
// new output is complete). On failure `outcome` holds the message for the row's Status and
// the entry is unchanged. The source is never written to, truncated or deleted.
bool ResolveOutputPath(const ConversionSettings& settings, SourceEntry& entry,
                       std::string& outcome);

// UpToDate: a sync found the output up to date (dry runs only).
enum class PlannedAction { New, Renamed, Overwrite, Skipped, SameAsSource, Failed, UpToDate };

// What one batch knows of the paths its rows decide on.
struct ResolveRules {
  // A conversion of the batch that still runs owns the path: resolution answers Busy instead
  // of deciding, and the caller retries once that conversion has finished, so every file
  // resolves as it would in a one-at-a-time run.
  std::function<bool(const std::string&)> busy;
  // The batch wrote the path: under the overwrite policy it is not replaced, and the row
  // takes the rename policy's numbered name instead.
  std::function<bool(const std::string&)> produced;
  // The output's path below the base folder, with its extension, when the caller has made it
  // already (a sync plan's name); empty: the folder choice makes it.
  std::string relative;
  // An earlier output that this conversion brings up to date: it is replaced whatever the
  // target-exists policy says (never the source itself, nor a file this batch wrote).
  std::function<bool(const std::string&)> refresh;
};

// A decided output, ready to be written: the temporary file the conversion writes into, and
// how it then takes the output's place (see CommitOutput).
struct ResolvedOutput {
  std::string temporary;
  std::string base, extension;
  PlannedAction action = PlannedAction::New;  // New, Renamed or Overwrite
  FileState decidedOn;                        // the earlier output, for Overwrite
  bool inDocuments = false;                   // the documents-folder retry placed it
};

enum class Resolution { Resolved, Failed, Busy };
// Resolution for a batch: on Resolved, `resolved` receives the temporary file created beside
// the output; the caller commits or removes it.
Resolution ResolveOutputPathClaiming(const ConversionSettings& settings, SourceEntry& entry,
                                     std::string& outcome, const ResolveRules& rules,
                                     ResolvedOutput& resolved);

// What a conversion would do with its output, worked out without touching the disk: no folder
// is created and no file is made, not even the probe file of a real resolution.
struct OutputPlan {
  PlannedAction action = PlannedAction::Failed;
  std::string path;          // the output path, for New, Renamed and Overwrite
  std::string outcome;       // the row's Status for Skipped, SameAsSource and Failed
  bool inDocuments = false;  // the documents-folder retry would place it
};
// `planned(path)` says that an earlier file of the same batch will have written the path, so
// that later files see it as existing, and as this batch's own output, as they would in the
// real run.
OutputPlan PlanOutputPath(const ConversionSettings& settings, const std::string& source,
                          const std::function<bool(const std::string&)>& planned);
// The same with the rest of the rules (`rules.produced` plays the part of `planned`).
OutputPlan PlanOutputPath(const ConversionSettings& settings, const std::string& source,
                          const ResolveRules& rules);

// ---- Whole libraries ----

// The folder below which the outputs of a library batch go: NamePatternBase for the pattern
// choice, DestSpecifiedFolder for the custom folder, "" when outputs go beside their sources.
std::string LibraryBaseFolder(const ConversionSettings& settings);

// The output's path below LibraryBaseFolder for `source`, with the target's extension: the
// pattern's expansion of the source's tags, or for the custom folder the source's name
// (below its mirrored folder path when CreateDirs is set). "" with `error` set when the
// pattern is refused or the folder choice has no base folder.
std::string RelativeOutputName(const ConversionSettings& settings, const std::string& source,
                               std::string& error);

}  // namespace wavorax
