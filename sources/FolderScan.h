// Which files a folder, a drop or a shortcut brings into the list: the extension filter, the
// admission rule, and the search of a folder and its subfolders.
#pragma once

#include <string>
#include <vector>

#include "settings/ConversionSettings.h"

namespace wavorax {

// The scan patterns, in the order a folder is searched; "*.desktop" stands for the
// desktop's link files.
const std::vector<std::string>& ScanPatterns();

// True when the extension is one of the forty that BatchAdd flags govern and its flag is on.
// An absent extension is not accepted.
bool AcceptsExtension(const ConversionSettings& settings, const std::string& extension);

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

// Pumps the window's messages and answers whether the user cancelled; false without one.
bool AddingCancelled(IAddProgress* progress);

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

}  // namespace wavorax
