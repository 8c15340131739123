// The targets the program converts to, one row each: everything the combo, the command line,
// the output paths, the progress texts, the batch driver and the verifier know of a target.
// Adding a target is one row here, its encoder and pipeline, and its options page.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/Pipelines.h"
#include "settings/ConversionSettings.h"

namespace wavorax {

// What a decoder of a target's output delivers besides the source's samples: `overhead`, the
// encoder priming that the stream cannot declare and the least padding the encoder adds, and
// `frame`, one codec frame that the rest of the padding may take.
struct LengthAllowance {
  std::int64_t overhead;
  std::int64_t frame;
};

// One conversion of a source into an output path; see Pipelines.h.
using PipelineFunction =
    std::function<int(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                      const std::string& outputPath, IConvertProgress& progress)>;

struct TargetInfo {
  int code;                  // the settings' OutputFormat and the combo's item data
  const char* comboText;     // " to MP3"
  const char* cliName;       // wavorax-cli's -f name
  const char* extension;     // ".mp3"
  const char* progressName;  // "MP3", as in "Converting 1 of 3 file(s) to MP3..."
  PipelineFunction convert;
  // The rate tracker music is rendered at for this target.
  int (*musicRenderRate)(const ConversionSettings&);
  LengthAllowance allowance;
};

using TargetTable = std::vector<TargetInfo>;

// The program's targets, in the order the format combo lists them.
const TargetTable& Targets();

// The row of a code, or null for a code the table does not hold.
const TargetInfo* FindTarget(const TargetTable& table, int code);
// The row of a command-line name, or null.
const TargetInfo* FindTargetByCliName(const TargetTable& table, const std::string& name);

// The output extension of a target code (".mp3" ...), or "" for an unknown code.
std::string ExtensionOfTarget(int targetFormat);

// "Converting %d of %d file(s) to MP3..." and its siblings; a code the table does not hold
// reads as MP3.
std::string OverallText(const TargetTable& table, int targetFormat, int number, int count);
// "Converting %s...%d%%".
std::string FileText(const std::string& name, int percent);

}  // namespace wavorax
