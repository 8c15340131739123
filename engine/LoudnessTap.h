// The point in a pipeline where the samples are final, just before the encoder takes them:
// the normalisation gain is applied there and the loudness meter measures what the encoder
// receives (after down-mix, resampling and amplification), so no second decode is needed.
// A pipeline without a tap (PipelineContext::loudness null) runs exactly as before.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/loudness/LoudnessMeter.h"

namespace wavorax {

class CLoudnessTap {
 public:
  // `measure`: feed a meter; `gainDb`: the normalisation gain, 0 for none.
  CLoudnessTap(bool measure, double gainDb);

  // The output's rate and channels are known. `meterChannels` differs from `channels` only
  // where the encoder itself mixes two channels into one (LAME's mono mode): the meter then
  // hears the mix the encoder makes.
  void Open(int rate, int channels, int meterChannels = 0);

  // Applies the gain to, then measures, the samples of a 16- or 8-bit (unsigned) block.
  void Process16(std::int16_t* left, std::int16_t* right, int n);
  void Process8(std::uint8_t* left, std::uint8_t* right, int n);
  // The wide pipelines apply the gain at the source width, before the width changes, and
  // measure after it, at the output width.
  void Gain32(std::int32_t* left, std::int32_t* right, int n, int width);
  void Measure32(const std::int32_t* left, const std::int32_t* right, int n, int width);

  bool measuring() const { return meter_.has_value(); }
  double gainDb() const { return gainDb_; }
  // The figures of what was fed, or nothing when the tap did not measure.
  std::optional<LoudnessResult> Result() const;
  // The meter itself, for the album's combined figures; the tap measures nothing after.
  std::optional<CLoudnessMeter> TakeMeter();

 private:
  bool measure_;
  double gainDb_, factor_;
  int channels_ = 0;
  bool mix_ = false;
  std::optional<CLoudnessMeter> meter_;
  std::vector<std::int16_t> mix16_;
  std::vector<std::int32_t> wide8_[2];
};

}  // namespace wavorax
