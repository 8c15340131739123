// The target pipelines: decode → process → encode, one file per call.
#pragma once

#include <string>

#include "decoders/Decoder.h"
#include "engine/Progress.h"
#include "settings/ConversionSettings.h"

namespace wavorax {

class CLoudnessTap;

// What a pipeline reads besides its arguments.
struct PipelineContext {
  const ConversionSettings& settings;
  int batchSequenceNumber;  // the track number for tags numbered by sequence
  const DecoderOpener& openDecoder;
  // Normalisation gain and loudness meter at the samples' last step before the encoder;
  // null when the batch neither measures nor normalises.
  CLoudnessTap* loudness = nullptr;
};

// Each returns 1 on success and 0 on failure or Cancel. On 0 the incomplete output is
// deleted (never the source).
int ConvertToWav(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                 const std::string& outputPath, IConvertProgress& progress);
int ConvertToMp3(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                 const std::string& outputPath, IConvertProgress& progress);
int ConvertToAac(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                 const std::string& outputPath, IConvertProgress& progress);
// M4A, MP4 and M4B differ only in the extension the output path already carries.
int ConvertToMp4(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                 const std::string& outputPath, IConvertProgress& progress);

// The targets that take samples wider than 16 bits (WidePipelines.cpp).
int ConvertToFlac(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                  const std::string& outputPath, IConvertProgress& progress);
int ConvertToAlac(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                  const std::string& outputPath, IConvertProgress& progress);
int ConvertToOpus(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                  const std::string& outputPath, IConvertProgress& progress);
int ConvertToOgg(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                 const std::string& outputPath, IConvertProgress& progress);
// WAV at 24 bits or 32-bit float: only when the page asks for that width explicitly.
bool WantsWideWav(const ConversionSettings& s);
int ConvertToWideWav(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                     const std::string& outputPath, IConvertProgress& progress);

// The MP3 bit rate for a requested rate in kbit/s: snapped to the MPEG list (a tie goes to
// the smaller), then bounded by the output sample rate.
int SnapMp3BitRate(int kbps, int outputSampleRate);

// The render rate of tracker music for each target.
int MusicRenderRateForMp3(const ConversionSettings& s);
int MusicRenderRateForWav(const ConversionSettings& s);       // also AAC and the MP4 family
int MusicRenderRateForLossless(const ConversionSettings& s);  // FLAC, ALAC and Ogg Vorbis
int MusicRenderRateForOpus(const ConversionSettings& s);

}  // namespace wavorax
