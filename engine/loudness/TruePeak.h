// The true peak of planar blocks: the highest magnitude of the signal oversampled to at least
// 176.4 kHz (4× below 96 kHz, 2× below 192 kHz, none above), the sample peak included.
//
// libebur128 has this too, but its interpolator is about 60 % of all its work, a quarter of
// what LAME spends on the same samples. This one is a 16-tap Kaiser-windowed sinc per phase,
// written so that the compiler vectorises it (and built for AVX2 as well where the processor
// has it); it costs a sixth of that. On faded tones up to 19 kHz at 44.1 and 48 kHz it reads
// within 0.04 dB of the exact peak (libebur128: 0.1 dB), about what 4× oversampling allows;
// on music-like noise the two agree within a few hundredths.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace wavorax {

class CTruePeak {
 public:
  static constexpr int kTaps = 16;
  // Samples per channel converted and filtered at once; larger blocks go in pieces.
  static constexpr int kChunk = 4096;

  CTruePeak(int sampleRate, int channels);

  // `count` samples of channel `channel` (0 or 1), following that channel's earlier ones.
  void Add16(int channel, const std::int16_t* samples, int count);
  // Signed samples in the low `width` bits (8 … 32), clamped to that width.
  void Add32(int channel, const std::int32_t* samples, int count, int width);
  void AddFloat(int channel, const float* samples, int count);

  // The highest true peak over the channels so far (1.0 is full scale).
  double Peak() const;

 private:
  struct Channel {
    // kTaps − 1 samples of history, then those whose interpolated neighbourhood is not yet
    // computed (fewer than one group of 16), then the new samples.
    std::vector<float> buffer;
    int filled = 0;
    float peak = 0.0f;
  };

  template <typename Convert>
  void Add(int channel, int count, Convert convert);
  void Filter(Channel& ch);

  int phases_ = 1;  // the oversampling factor
  // The taps for the points 1/f, 2/f … between two samples, three sets in a row (zero
  // where the factor f needs fewer).
  std::vector<std::array<float, kTaps>> taps_;
  std::vector<Channel> channels_;
};

}  // namespace wavorax
