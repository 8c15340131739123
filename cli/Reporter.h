// What wavorax-cli tells about a run: the rows it added, the plan of a dry run, and each
// file's start, progress and status. One reporter writes text for a person at a terminal,
// the other one JSON object per line for programs; the run itself never asks which.
#pragma once

#include <memory>
#include <string>

#include "base/SourceEntry.h"
#include "engine/BatchLoudness.h"
#include "engine/LibraryBatch.h"
#include "engine/OutputPath.h"
#include "sources/SourceList.h"

namespace wavorax::cli {

class IReporter {
 public:
  virtual ~IReporter() = default;
  // Adding: a row was added, or a file could not be loaded.
  virtual void RowAdded(const CSourceList& list, int row) = 0;
  virtual void LoadFailed(const std::string& path) = 0;
  // --list, once everything is added.
  virtual void Listing(const CSourceList& list) = 0;
  // --dry-run: what row `index` would do with its output.
  virtual void Plan(int index, const std::string& source, const OutputPlan& plan) = 0;
  // Converting `count` files; these come from the worker threads.
  virtual void Started(int index, int count, const SourceEntry& entry) = 0;
  virtual void Progressed(int index, const SourceEntry& entry, int percent) = 0;
  virtual void Finished(int index, const SourceEntry& entry, const std::string& status,
                        bool converted) = 0;
  // The batch's time left changed ("" while there is none yet); from the worker threads.
  virtual void TimeLeft(const std::string& text) = 0;
  // A sync's output whose source is gone: moved to the Trash, kept, or (dry run) to be moved.
  virtual void Removed(const SyncSession::Removal& removal) = 0;
  // The batch is over: whatever is still held back is written.
  virtual void BatchEnded() = 0;
  // The files that could not be loaded, after everything else (the window's report text).
  virtual void LoadFailures(const std::string& report) = 0;
  // Loudness, when the run measures or normalises: a row's figures (before its status), an
  // album's once its last track is done, and for --dry-run what would be measured and
  // applied (`replayGainMode` 0 off, 1 track, 2 album; `normaliseLufs` null when off).
  virtual void Measured(int /*index*/, const RowLoudness& /*loudness*/) {}
  virtual void AlbumMeasured(const AlbumLoudness& /*album*/) {}
  virtual void LoudnessPlan(int /*replayGainMode*/, const double* /*normaliseLufs*/) {}
  // False once standard output could not be written (its reader went away).
  virtual bool OutputOk() const = 0;
};

// `terminal`: standard error is a terminal, so the progress line is shown there.
std::unique_ptr<IReporter> MakeTextReporter(bool terminal);
std::unique_ptr<IReporter> MakeJsonReporter();

// A JSON string of UTF-8 text. A byte that is not part of well-formed UTF-8 (file names on
// Linux are bytes) is written as the escape \udcXX of its value XX, the lone low surrogate
// that Python's "surrogateescape" uses, so every line stays JSON and the exact name can be
// recovered; no well-formed text ever produces such an escape.
std::string JsonString(const std::string& s);

// A text as one line of a terminal: control characters (a line feed in a file name) are
// shown as '?', so that a name cannot split its row or move the cursor.
std::string OneLine(const std::string& s);

}  // namespace wavorax::cli
