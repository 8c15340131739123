// Collecting files from folders, drops and shortcuts, and adding them to the source list
// with progress and a failure report.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/ConversionSettings.h"
#include "sources/SourceList.h"

namespace wavorax {

// The scan patterns, in the order a folder is searched; "*.desktop" stands for the
// desktop's link files.
const std::vector<std::string>& ScanPatterns();

// True when the extension is one of the forty that BatchAdd flags govern and its flag is on.
// An absent extension is not accepted.
bool AcceptsExtension(const ConversionSettings& settings, const std::string& extension);

// Whether the path is a shortcut: a symbolic link, or a freedesktop link file
// (Type=Link with a file:// URL).
bool IsShortcut(const std::string& path);

// One step of a shortcut: the path the link names (made absolute against the link's folder).
bool ResolveShortcut(const std::string& shortcut, std::string& target);

// Longest chain of shortcuts followed before giving up.
inline constexpr int kShortcutChainLimit = 16;

// Applies the admission rule to one file: collect it when its extension is accepted, else
// follow shortcuts to an accepted target. Used for dropped files and every scanned file.
void AdmitFile(const ConversionSettings& settings, const std::string& path,
               std::vector<std::string>& list);

// Appends every admitted file below `folder`: folder by folder (each folder before its
// subfolders), and within a folder pattern by pattern. Linked folders are never entered.
void CollectFolder(const ConversionSettings& settings, std::vector<std::string>& list,
                   const std::string& folder);

// The adding progress window.
class IAddProgress {
 public:
  virtual ~IAddProgress() = default;
  virtual void SetText(const std::string& text) = 0;
  virtual void SetRange(int maximum) = 0;
  virtual void Step() = 0;
  virtual bool CancelRequested() = 0;
  virtual void PumpMessages() = 0;
};

// Probes each collected path into the list ("Adding file %d of %d..."), stops early on
// Cancel, and returns the failure text: the first ten failed paths, each followed by a line
// feed, then "<more files>...\n" once. Empty when every file loaded. `onEach` hears the
// outcome of every path (the row index, or -1).
using AddObserver =
    std::function<void(const std::string& path, CSourceList::AddResult result, int row)>;
// With jobs above 1 the files are probed on that many threads first (a command-line batch
// has no window to keep responsive), then added in order.
std::string AddCollectedFiles(CSourceList& list, const std::vector<std::string>& paths,
                              IAddProgress* progress, const AddObserver& onEach = {},
                              int jobs = 1);

// The whole message shown for a non-empty failure text.
std::string FailureReport(const std::string& failureText);

}  // namespace wavorax
