// The conversion engine: turns Convert commands into one conversion per row.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/ConversionSettings.h"
#include "base/SourceEntry.h"
#include "decoders/Decoder.h"
#include "engine/Progress.h"

namespace wavorax {

// One conversion: (source type, source path, output path, progress) → non-zero on success.
// A pipeline updates the per-file line, stops with 0 when Cancel is requested and deletes
// its own incomplete output.
using Pipeline = std::function<int(int sourceType, const std::string& sourcePath,
                                   const std::string& outputPath, IConvertProgress& progress)>;

// "Converting %d of %d file(s) to MP3..." and its siblings.
std::string OverallText(int targetFormat, int number, int count);
// "Converting %s...%d%%".
std::string FileText(const std::string& name, int percent);

// Judges a pipeline's result for a resolved entry: converted only when the pipeline succeeded
// and left a non-empty output. An empty output is removed, never the source.
bool JudgeConversion(int pipelineResult, const SourceEntry& entry);

class CConversionEngine {
 public:
  CConversionEngine(ConversionSettings& settings, IBatchHost& host);

  // "Convert Selected" and "Convert All".
  void ConvertSelected();
  void ConvertAll();
  // Converts the given rows in order; `entries[i]` belongs to `rows[i]`.
  void RunBatch(const std::vector<SourceEntry*>& entries, const std::vector<int>& rows);

  bool ResolveOutputPath(SourceEntry& entry, std::string& outcome);

  // The pipeline for a target format code. Codes without their own pipeline use MP3's.
  void SetPipeline(int targetFormat, Pipeline pipeline);
  int RunPipeline(int targetFormat, int sourceType, const std::string& sourcePath,
                  const std::string& outputPath, IConvertProgress& progress);
  // The decoders that files converted on worker threads open. With it, settings.ConvertJobs
  // above 1 converts that many files at once through the target pipelines; without it, every
  // batch runs the installed pipelines one file at a time.
  void SetDecoderOpener(DecoderOpener opener) { opener_ = std::move(opener); }

  // 1-based position of the file being converted within the running batch; used as the
  // track number when a tag numbers files by their sequence.
  int batchSequenceNumber = 0;

  ConversionSettings& settings() { return settings_; }

 private:
  ConversionSettings& settings_;
  IBatchHost& host_;
  // Converts on `jobs` worker threads while this thread shows their progress and writes the
  // statuses; returns which entries were decided (all of them unless Cancel stopped the batch).
  std::vector<bool> RunConcurrently(const std::vector<SourceEntry*>& entries,
                                    const std::vector<int>& rows, int format, int jobs,
                                    IConvertProgress& progress);

  std::map<int, Pipeline> pipelines_;
  DecoderOpener opener_;
};

}  // namespace wavorax
