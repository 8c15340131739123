// Collecting files from folders, drops and shortcuts, and adding them to the source list
// with progress and a failure report.
#pragma once

#include <functional>
#include <string>
#include <string_view>
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

// The local path that the text of a freedesktop link file names: the URL of its
// [Desktop Entry] group when Type is Link and the URL is a file:// address, "" otherwise.
std::string ParseDesktopLink(std::string_view text);

// Largest link file that is read; anything longer is not a link.
inline constexpr std::size_t kMaxDesktopLinkBytes = 64 * 1024;

// One step of a shortcut: the path the link names (made absolute against the link's folder).
bool ResolveShortcut(const std::string& shortcut, std::string& target);

// Longest chain of shortcuts followed before giving up.
inline constexpr int kShortcutChainLimit = 16;

// Applies the admission rule to one file: collect it when its extension is accepted, else
// follow shortcuts to an accepted target. Used for dropped files and every scanned file.
void AdmitFile(const ConversionSettings& settings, const std::string& path,
               std::vector<std::string>& list);

// The adding progress window. Every call comes on the thread that called CollectFolder or
// AddCollectedFiles, at least once per file, whatever the number of jobs, so a window can
// repaint, show "Adding file %d of %d..." and take its Cancel click while files are added.
class IAddProgress {
 public:
  virtual ~IAddProgress() = default;
  virtual void SetText(const std::string& text) = 0;
  virtual void SetRange(int maximum) = 0;
  virtual void Step() = 0;
  // Polled after every file (and every folder of a scan); true stops the work there.
  virtual bool CancelRequested() = 0;
  virtual void PumpMessages() = 0;
};

// What a folder scan met besides files.
struct ScanOutcome {
  bool cancelled = false;
  std::vector<std::string> unreadable;  // folders that could not be listed
};

// Appends every admitted file below `folder`: folder by folder (each folder before its
// subfolders), and within a folder pattern by pattern. Linked folders are never entered.
// With a progress window, messages are pumped and Cancel is polled at each folder and after
// each admitted file; the window's text is left as the caller set it ("Searching files...").
ScanOutcome CollectFolder(const ConversionSettings& settings, std::vector<std::string>& list,
                          const std::string& folder, IAddProgress* progress = nullptr);

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
