#include "engine/Verify.h"

#include <cstdlib>
#include <vector>

#include "base/Paths.h"
#include "decoders/SourceType.h"

namespace wavorax {

std::int64_t DecodedFrames(const DecoderOpener& open, int sourceType, const std::string& path,
                           int musicSampleRate, int& rate, const KeepGoing& keepGoing) {
  rate = 0;
  if (!open) return -1;
  std::unique_ptr<CDecoder> decoder = open(sourceType, path, musicSampleRate);
  if (!decoder) return -1;
  rate = decoder->GetSampleRate();
  // Blocks hold 16-bit samples at most; two bytes per sample covers 8-bit ones too.
  std::vector<std::int16_t> left(kDecodeBlock), right(kDecodeBlock);
  std::int64_t frames = 0;
  for (;;) {
    if (keepGoing && !keepGoing()) return kDecodingStopped;
    const int n = decoder->Read(left.data(), right.data());
    if (n == kReadFailed) return -1;
    if (n <= 0) break;
    frames += n;
  }
  return rate > 0 ? frames : -1;
}

bool LengthMatches(std::int64_t outputFrames, std::int64_t expectedFrames,
                   const LengthAllowance& allowance, bool resampled) {
  // A resampled length is rounded to the nearest sample, so it may differ by one; a length
  // at the source's own rate is exact.
  const std::int64_t rounding = resampled ? 1 : 0;
  return std::llabs(outputFrames - allowance.overhead - expectedFrames) <=
         allowance.frame + rounding;
}

VerifyOutcome VerifyConvertedOutput(const ConversionSettings& settings, SourceEntry& entry,
                                    const DecoderOpener& open, const KeepGoing& keepGoing,
                                    bool removeOnMismatch) {
  const TargetInfo* target = FindTarget(Targets(), settings.OutputFormat);
  if (!target) target = FindTarget(Targets(), kTargetMp3);
  int outputRate = 0, sourceRate = 0;
  std::int64_t output = DecodedFrames(open, SourceTypeOf(entry.outputPath), entry.outputPath, 0,
                                      outputRate, keepGoing);
  std::int64_t source = -1;
  if (output >= 0)
    source = DecodedFrames(open, entry.sourceType, entry.path, target->musicRenderRate(settings),
                           sourceRate, keepGoing);
  VerifyOutcome outcome = VerifyOutcome::Mismatch;
  if (output == kDecodingStopped || source == kDecodingStopped) {
    outcome = VerifyOutcome::Stopped;
  } else if (output >= 0 && source >= 0) {
    // The source's length at the output's rate, rounded to the nearest sample.
    const std::int64_t expected =
        (source * outputRate + sourceRate / 2) / static_cast<std::int64_t>(sourceRate);
    if (LengthMatches(output, expected, target->allowance, outputRate != sourceRate))
      outcome = VerifyOutcome::Matches;
  }
  if (outcome != VerifyOutcome::Matches && removeOnMismatch) {
    DeleteUnlessSame(entry.outputPath, entry.path);
    entry.outputPath.clear();
  }
  return outcome;
}

}  // namespace wavorax
