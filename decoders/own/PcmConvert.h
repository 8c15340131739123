// Sample conversions shared by the WAV and AU readers: every width and byte order down to
// signed 16-bit, and the float conversion with its clipping.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace wavorax::pcm {

inline std::int16_t S16Le(const std::uint8_t* p) {
  return static_cast<std::int16_t>(p[0] | (p[1] << 8));
}
inline std::int16_t S16Be(const std::uint8_t* p) {
  return static_cast<std::int16_t>((p[0] << 8) | p[1]);
}
// 24-bit samples keep their two most significant bytes.
inline std::int16_t S24Le(const std::uint8_t* p) { return S16Le(p + 1); }
inline std::int16_t S24Be(const std::uint8_t* p) { return S16Be(p); }
inline std::int32_t S32Le(const std::uint8_t* p) {
  return static_cast<std::int32_t>(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                                   (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24));
}
inline std::int32_t S32Be(const std::uint8_t* p) {
  return static_cast<std::int32_t>((std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) |
                                   (std::uint32_t(p[2]) << 8) | std::uint32_t(p[3]));
}
// Arithmetic shift: the upper half of a 32-bit sample, rounded toward minus infinity.
inline std::int16_t Top16(std::int32_t v) { return static_cast<std::int16_t>(v >> 16); }

// Full scale ±1.0 maps to 32767/−32768 through a 32-bit intermediate. Values beyond full
// scale are clipped (the product would not fit 32 bits) and NaN becomes silence.
inline std::int16_t FromDouble(double x) {
  if (!(x == x)) return 0;
  if (x > 1.0) x = 1.0;
  if (x < -1.0) x = -1.0;
  return Top16(static_cast<std::int32_t>(x * 2147483647.0));
}

inline float F32Le(const std::uint8_t* p) {
  const std::uint32_t bits = static_cast<std::uint32_t>(S32Le(p));
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}
inline float F32Be(const std::uint8_t* p) {
  const std::uint32_t bits = static_cast<std::uint32_t>(S32Be(p));
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}
inline double F64Le(const std::uint8_t* p) {
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | p[i];
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}
inline double F64Be(const std::uint8_t* p) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = (bits << 8) | p[i];
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

}  // namespace wavorax::pcm
