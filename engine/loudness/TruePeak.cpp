#include "engine/loudness/TruePeak.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

// The kernel is built twice where the compiler can: for AVX2 with FMA and for the baseline,
// chosen when the program loads. The sanitizers are left with the plain build.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__) && \
    !defined(__SANITIZE_UNDEFINED__)
#define WAVORAX_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define WAVORAX_CLONES
#endif

namespace wavorax {

namespace {

constexpr int kHalf = CTruePeak::kTaps / 2;
constexpr int kGroup = 16;
// Up to three points between two samples; at 2× the unused sets of taps are zero.
constexpr int kSets = 3;
// The Kaiser window's shape: passband flat to within 0.01 dB up to 20 kHz at 44.1 kHz.
constexpr double kBeta = 6.0;

double BesselI0(double x) {
  double sum = 1.0, term = 1.0;
  for (int k = 1; k < 40; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
  }
  return sum;
}

// Eight floats in a vector register (or two halves on a processor without AVX). Vectors are
// only ever local variables of the kernel: passed to a function, they would change its
// calling convention between the two builds.
typedef float V8 __attribute__((vector_size(32)));

// The largest magnitude of the interpolated points between buf[n + 7] and buf[n + 8], for
// n in 0 … 16·groups − 1. Sixteen outputs of three phases are six independent accumulators,
// so the multiply-adds overlap instead of waiting on each other.
WAVORAX_CLONES float InterpolatedPeak(const float* buf, int groups, const float* taps) {
  constexpr int kTaps = CTruePeak::kTaps;
  static_assert(kSets == 3 && kGroup == 16);
  V8 high = {}, low = {};
  for (int g = 0; g < groups; ++g) {
    const float* x = buf + kGroup * g;
    V8 a0 = {}, a1 = {}, b0 = {}, b1 = {}, c0 = {}, c1 = {};
    for (int k = 0; k < kTaps; ++k) {
      V8 lo, hi;
      std::memcpy(&lo, x + k, sizeof lo);
      std::memcpy(&hi, x + k + 8, sizeof hi);
      const float ha = taps[k], hb = taps[kTaps + k], hc = taps[2 * kTaps + k];
      a0 += ha * lo;
      a1 += ha * hi;
      b0 += hb * lo;
      b1 += hb * hi;
      c0 += hc * lo;
      c1 += hc * hi;
    }
    // The highest and the lowest value of each lane; the peak is the larger magnitude.
    V8 up = a0 > a1 ? a0 : a1, down = a0 < a1 ? a0 : a1;
    up = b0 > up ? b0 : up, down = b0 < down ? b0 : down;
    up = b1 > up ? b1 : up, down = b1 < down ? b1 : down;
    up = c0 > up ? c0 : up, down = c0 < down ? c0 : down;
    up = c1 > up ? c1 : up, down = c1 < down ? c1 : down;
    high = up > high ? up : high;
    low = down < low ? down : low;
  }
  float result = 0.0f;
  for (int j = 0; j < 8; ++j) result = std::max({result, high[j], -low[j]});
  return result;
}

}  // namespace

CTruePeak::CTruePeak(int sampleRate, int channels) {
  phases_ = sampleRate < 96000 ? 4 : sampleRate < 192000 ? 2 : 1;
  for (int p = 1; p < phases_; ++p) {
    std::array<float, kTaps> h{};
    double sum = 0.0;
    double tap[kTaps];
    for (int k = 0; k < kTaps; ++k) {
      // Tap k weighs the sample k − 7 places from the one before the point p/phases.
      const double x = (k - (kHalf - 1)) - double(p) / phases_;
      const double sinc = std::sin(M_PI * x) / (M_PI * x);
      const double r = x / kHalf;
      tap[k] = sinc * BesselI0(kBeta * std::sqrt(std::max(0.0, 1.0 - r * r))) / BesselI0(kBeta);
      sum += tap[k];
    }
    // Unity gain at DC, so that a constant reads as itself.
    for (int k = 0; k < kTaps; ++k) h[k] = static_cast<float>(tap[k] / sum);
    taps_.push_back(h);
  }
  taps_.resize(kSets, std::array<float, kTaps>{});
  channels_.resize(static_cast<std::size_t>(std::clamp(channels, 0, 2)));
  for (Channel& ch : channels_) {
    ch.buffer.assign(kTaps - 1 + kGroup - 1 + kChunk, 0.0f);
    ch.filled = kTaps - 1;
  }
}

template <typename Convert>
void CTruePeak::Add(int channel, int count, Convert convert) {
  if (channel < 0 || channel >= static_cast<int>(channels_.size()) || count <= 0) return;
  Channel& ch = channels_[static_cast<std::size_t>(channel)];
  for (int done = 0; done < count;) {
    const int n = std::min(count - done, kChunk);
    float* out = ch.buffer.data() + ch.filled;
    float peak = ch.peak;
    for (int i = 0; i < n; ++i) {
      out[i] = convert(done + i);
      const float a = std::fabs(out[i]);
      peak = peak < a ? a : peak;
    }
    ch.peak = peak;
    ch.filled += n;
    Filter(ch);
    done += n;
  }
}

void CTruePeak::Filter(Channel& ch) {
  const int groups = (ch.filled - (kTaps - 1)) / kGroup;
  if (groups <= 0) return;
  if (phases_ > 1)
    ch.peak = std::max(ch.peak, InterpolatedPeak(ch.buffer.data(), groups, taps_.front().data()));
  const int used = groups * kGroup;
  std::memmove(ch.buffer.data(), ch.buffer.data() + used,
               static_cast<std::size_t>(ch.filled - used) * sizeof(float));
  ch.filled -= used;
}

void CTruePeak::Add16(int channel, const std::int16_t* samples, int count) {
  Add(channel, count, [samples](int i) { return samples[i] * (1.0f / 32768.0f); });
}

void CTruePeak::Add32(int channel, const std::int32_t* samples, int count, int width) {
  width = std::clamp(width, 8, 32);
  const float scale = std::ldexp(1.0f, 1 - width);
  const std::int32_t hi = static_cast<std::int32_t>((std::uint32_t{1} << (width - 1)) - 1);
  Add(channel, count, [samples, scale, hi](int i) {
    return static_cast<float>(std::clamp(samples[i], -hi - 1, hi)) * scale;
  });
}

void CTruePeak::AddFloat(int channel, const float* samples, int count) {
  Add(channel, count, [samples](int i) { return samples[i]; });
}

double CTruePeak::Peak() const {
  float peak = 0.0f;
  for (const Channel& ch : channels_) peak = std::max(peak, ch.peak);
  return peak;
}

}  // namespace wavorax
