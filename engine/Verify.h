// Checking a written output: it is decoded again and its length compared with the source's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/SourceEntry.h"
#include "decoders/Decoder.h"
#include "engine/Targets.h"
#include "settings/ConversionSettings.h"

namespace wavorax {

// The Status of a row whose output failed the check.
inline constexpr const char* kVerificationFailure = "Verification Failure";

// Asked between blocks while something long runs; false stops it.
using KeepGoing = std::function<bool()>;

// What DecodedFrames answers when `keepGoing` stopped it.
inline constexpr std::int64_t kDecodingStopped = -2;

// Samples per channel that a decoder delivers for `path` until it ends, or -1 when the file
// cannot be opened or breaks off with a decoding error. `rate` receives its sample rate.
std::int64_t DecodedFrames(const DecoderOpener& open, int sourceType, const std::string& path,
                           int musicSampleRate, int& rate, const KeepGoing& keepGoing = nullptr);

// True when an output that decodes to `outputFrames` holds `expectedFrames` (the source's
// length at the output's rate), give or take one codec frame and, when it was `resampled`,
// one sample of rounding.
bool LengthMatches(std::int64_t outputFrames, std::int64_t expectedFrames,
                   const LengthAllowance& allowance, bool resampled);

enum class VerifyOutcome { Matches, Mismatch, Stopped };

// Decodes the converted output of `entry` and the source once more, the target being
// settings.OutputFormat. Matches when both decode and the output's length equals the
// source's at the output's rate within the target's allowance. Otherwise (and when
// `keepGoing` stopped the check) the output is removed (never the source) and
// entry.outputPath is cleared, unless `removeOnMismatch` is false; the row's status is then
// kVerificationFailure, or "Cancelled" when it was stopped.
VerifyOutcome VerifyConvertedOutput(const ConversionSettings& settings, SourceEntry& entry,
                                    const DecoderOpener& open, const KeepGoing& keepGoing = nullptr,
                                    bool removeOnMismatch = true);

}  // namespace wavorax
