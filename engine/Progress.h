// The two small interfaces through which the engine talks to whatever shows it: the
// conversion progress display, and the host that owns the source list.
#pragma once

#include <string>
#include <vector>

#include "base/SourceEntry.h"

namespace wavorax {

// The conversion progress window: a per-file text and bar, an overall text and bar, and
// Cancel. The engine sets everything; the display does no work of its own.
class IConvertProgress {
 public:
  virtual ~IConvertProgress() = default;
  virtual void SetFileText(const std::string& text) = 0;
  // The whole percentage of the file, each time it grows; told just before the text that
  // shows it, for displays that show the number rather than the text.
  virtual void SetFilePercent(int percent) { (void)percent; }
  // Width of the per-file bar in pixels: the bar moves at most once per pixel.
  virtual int FileBarWidth() = 0;
  virtual void SetFileBarRange(int maximum) = 0;
  virtual void SetFileBarPos(int position) = 0;
  virtual void SetOverallText(const std::string& text) = 0;
  virtual void SetOverallRange(int maximum) = 0;
  virtual void StepOverall() = 0;
  // Set once Cancel has been pressed; it stays set.
  virtual bool CancelRequested() = 0;
  // Lets the display repaint and take Cancel between blocks.
  virtual void PumpMessages() = 0;

  // Several files at once: the display shows the overall line first and, under it, one line
  // and bar for each of `jobs` running files instead of the single per-file line.
  virtual void SetJobCount(int jobs) { (void)jobs; }
  // Line `job` (0-based) shows `text` and a bar at `percent` of 100; an empty text clears it.
  virtual void SetJobLine(int job, const std::string& text, int percent) {
    (void)job, (void)text, (void)percent;
  }
  // The time the whole batch has left, as "About 3 minutes left"; "" while there is no
  // estimate yet (the first five seconds). Told only when the text changes.
  virtual void SetTimeLeft(const std::string& text) { (void)text; }
};

// The window (or terminal) that owns the source list and the conversion progress display.
class IBatchHost {
 public:
  virtual ~IBatchHost() = default;
  virtual int RowCount() = 0;
  // The selected rows, top to bottom.
  virtual std::vector<int> SelectedRows() = 0;
  virtual SourceEntry& Entry(int row) = 0;
  // Item data of the format drop-down's selection, or -1 when nothing is selected.
  virtual int SelectedFormatCode() = 0;
  virtual void EnsureRowVisible(int row) = 0;
  virtual void SetRowStatus(int row, const std::string& text) = 0;
  // Shows the file selected in the file manager.
  virtual void RevealOutput(const std::string& path) = 0;
  // A notice with the information icon.
  virtual void ShowInformation(const std::string& text) = 0;
  // Wait cursor and a disabled window for the length of a batch.
  virtual void BeginBatch() = 0;
  virtual void EndBatch() = 0;
  // Shows the conversion progress display; it stays valid until CloseProgress.
  virtual IConvertProgress& OpenProgress() = 0;
  // The same for a batch that converts `jobs` files at once; a display that lays itself out
  // for them before it shows overrides this.
  virtual IConvertProgress& OpenProgressFor(int jobs) {
    IConvertProgress& progress = OpenProgress();
    progress.SetJobCount(jobs);
    return progress;
  }
  virtual void CloseProgress() = 0;
};

}  // namespace wavorax
