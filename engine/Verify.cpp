#include "engine/Verify.h"

#include <cstdlib>
#include <vector>

#include "base/Paths.h"
#include "decoders/SourceType.h"
#include "engine/Pipelines.h"

namespace wavorax {

std::int64_t DecodedFrames(const DecoderOpener& open, int sourceType, const std::string& path,
                           int musicSampleRate, int& rate) {
  rate = 0;
  if (!open) return -1;
  std::unique_ptr<CDecoder> decoder = open(sourceType, path, musicSampleRate);
  if (!decoder) return -1;
  rate = decoder->GetSampleRate();
  // Blocks hold 16-bit samples at most; two bytes per sample covers 8-bit ones
  // too.
  std::vector<std::int16_t> left(kDecodeBlock), right(kDecodeBlock);
  std::int64_t frames = 0;
  for (;;) {
    const int n = decoder->Read(left.data(), right.data());
    if (n == kReadFailed) return -1;
    if (n <= 0) break;
    frames += n;
  }
  return rate > 0 ? frames : -1;
}

LengthAllowance AllowanceFor(int targetFormat) {
  switch (targetFormat) {
    case kTargetWav:
      return {0, 0};
    // A raw ADTS stream cannot say that its first frame is encoder priming.
    case kTargetAac:
      return {1024, 1024};
    // The edit list takes the priming away; the last frame's padding may stay.
    case kTargetM4a:
    case kTargetMp4:
    case kTargetM4b:
      return {0, 1024};
    // The MP3 stream carries no gapless information, so its decoder also delivers
    // the encoder's 576 samples of delay, and the encoder pads the end by at
    // least 576 samples.
    default:
      return {576 + 576, 1152};
  }
}

bool LengthMatches(std::int64_t outputFrames, std::int64_t expectedFrames, int targetFormat) {
  // Resampling may round the length by a sample or two.
  constexpr std::int64_t kRounding = 4;
  const LengthAllowance a = AllowanceFor(targetFormat);
  return std::llabs(outputFrames - a.overhead - expectedFrames) <= a.frame + kRounding;
}

bool VerifyConvertedOutput(const ConversionSettings& settings, SourceEntry& entry,
                           const DecoderOpener& open) {
  const int format = settings.OutputFormat;
  const int musicRate =
      format == kTargetMp3 ? MusicRenderRateForMp3(settings) : MusicRenderRateForWav(settings);
  int outputRate = 0, sourceRate = 0;
  const std::int64_t output =
      DecodedFrames(open, SourceTypeOf(entry.outputPath), entry.outputPath, 0, outputRate);
  bool ok = output >= 0;
  if (ok) {
    const std::int64_t source =
        DecodedFrames(open, entry.sourceType, entry.path, musicRate, sourceRate);
    ok = source >= 0;
    if (ok) {
      // The source's length at the output's rate, rounded to the nearest
      // sample.
      const std::int64_t expected =
          (source * outputRate + sourceRate / 2) / static_cast<std::int64_t>(sourceRate);
      ok = LengthMatches(output, expected, format);
    }
  }
  if (!ok) {
    DeleteUnlessSame(entry.outputPath, entry.path);
    entry.outputPath.clear();
  }
  return ok;
}

}  // namespace wavorax
