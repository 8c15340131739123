// The source the encoder benchmarks feed: something with the spread of music (two drifting
// tones, a beat and some noise), so that the encoders work as hard as they would on a real
// recording. The same samples on every run.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace wavorax::bench {

// `frames` interleaved stereo frames at `rate`.
inline std::vector<std::int16_t> MakeMusic(std::size_t frames, int rate) {
  std::vector<std::int16_t> out(frames * 2);
  std::uint32_t x = 1;
  double p1 = 0, p2 = 0;
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = double(i) / rate;
    p1 += 2 * M_PI * (220.0 + 30.0 * std::sin(t * 0.7)) / rate;
    p2 += 2 * M_PI * (1320.0 + 200.0 * std::sin(t * 0.3)) / rate;
    const double beat = std::exp(-std::fmod(t, 0.5) * 12.0);
    x = x * 1664525u + 1013904223u;
    const double noise = (static_cast<int>(x >> 16) - 32768) / 32768.0;
    const double l = 0.35 * std::sin(p1) + 0.15 * std::sin(p2) + 0.25 * beat * noise;
    const double r = 0.30 * std::sin(p1 * 1.01) + 0.18 * std::sin(p2) + 0.25 * beat * noise;
    out[2 * i] = static_cast<std::int16_t>(l * 32000);
    out[2 * i + 1] = static_cast<std::int16_t>(r * 32000);
  }
  return out;
}

}  // namespace wavorax::bench
