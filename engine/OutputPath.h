// Where one source's output goes: folder policy, target-exists policy and the single retry
// in the documents folder.
#pragma once

#include <functional>
#include <string>

#include "app/ConversionSettings.h"
#include "base/SourceEntry.h"

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

}  // namespace wavorax
