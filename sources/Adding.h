// Adding collected files to the source list with progress and a failure report.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sources/FolderScan.h"
#include "sources/Shortcuts.h"
#include "sources/SourceList.h"

namespace wavorax {

// Probes each collected path into the list ("Adding file %d of %d..."), stops early on
// Cancel, and returns the failure text: the first ten failed paths, each followed by a line
// feed, then "<more files>...\n" once. Empty when every file loaded. `onEach` hears the
// outcome of every path (the row index, or -1), on the calling thread and in path order.
// A path counts as listed when it names the same file as a row's path does now (a row whose
// file was deleted or replaced since is judged by what its path names today).
using AddObserver =
    std::function<void(const std::string& path, CSourceList::AddResult result, int row)>;
// With jobs above 1, up to that many threads probe a little ahead of the calling thread,
// which adds the rows in path order, reports progress per file, and waits for the next
// result in short slices with PumpMessages in between. Cancel stops the probing threads
// before the function returns; files probed ahead but not yet added are dropped.
std::string AddCollectedFiles(CSourceList& list, const std::vector<std::string>& paths,
                              IAddProgress* progress, const AddObserver& onEach = {}, int jobs = 1);

// The whole message shown for a non-empty failure text.
std::string FailureReport(const std::string& failureText);

}  // namespace wavorax
