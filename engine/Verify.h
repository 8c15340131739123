// Checking a written output: it is decoded again and its length compared with
// the source's.
#pragma once

#include <cstdint>
#include <string>

#include "app/ConversionSettings.h"
#include "base/SourceEntry.h"
#include "decoders/Decoder.h"

namespace wavorax {

// The Status of a row whose output failed the check.
inline constexpr const char* kVerificationFailure = "Verification Failure";

// Samples per channel that a decoder delivers for `path` until it ends, or -1
// when the file cannot be opened or breaks off with a decoding error. `rate`
// receives its sample rate.
std::int64_t DecodedFrames(const DecoderOpener& open, int sourceType, const std::string& path,
                           int musicSampleRate, int& rate);

// What a decoder of a target's output delivers besides the source's samples:
// `overhead`, the encoder priming that the stream cannot declare and the least
// padding the encoder adds, and `frame`, one codec frame that the rest of the
// padding may take (MP3 1152, AAC 1024, WAV 0).
struct LengthAllowance {
  std::int64_t overhead;
  std::int64_t frame;
};
LengthAllowance AllowanceFor(int targetFormat);

// True when an output that decodes to `outputFrames` holds `expectedFrames`
// (the source's length at the output's rate), give or take one codec frame and
// the resampler's rounding.
bool LengthMatches(std::int64_t outputFrames, std::int64_t expectedFrames, int targetFormat);

// Decodes the converted output of `entry` and the source once more. True when
// both decode and the output's length equals the source's at the output's rate
// within the tolerance. Otherwise the output is removed (never the source),
// entry.outputPath is cleared and false is returned; the row's status is then
// kVerificationFailure.
bool VerifyConvertedOutput(const ConversionSettings& settings, SourceEntry& entry,
                           const DecoderOpener& open);

}  // namespace wavorax
