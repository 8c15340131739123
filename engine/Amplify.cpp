#include "engine/Amplify.h"

#include <algorithm>

namespace wavorax {

float AmplificationFactor(int enabled, int percent) {
  if (!enabled || percent == 100) return 0.0f;
  return static_cast<float>(percent * 0.01);
}

namespace {

void Amplify8(std::uint8_t* data, int n, double factor) {
  for (int i = 0; i < n; ++i) {
    const int v = static_cast<int>((static_cast<int>(data[i]) - 128) * factor);
    data[i] = static_cast<std::uint8_t>(std::clamp(v, -128, 127) + 128);
  }
}

void Amplify16(std::int16_t* data, int n, double factor) {
  for (int i = 0; i < n; ++i) {
    // The product fits a double exactly; the clamp happens before narrowing, so even a
    // factor of 30 cannot overflow.
    const double v = static_cast<double>(data[i]) * factor;
    data[i] = static_cast<std::int16_t>(static_cast<int>(std::clamp(v, -32767.0, 32767.0)));
  }
}

}  // namespace

void AmplifyPcm8(std::uint8_t* left, std::uint8_t* right, int n, int channels, float factor) {
  if (left) Amplify8(left, n, factor);
  if (channels == 2 && right) Amplify8(right, n, factor);
}

void AmplifyPcm16(std::int16_t* left, std::int16_t* right, int n, int channels, float factor) {
  if (left) Amplify16(left, n, factor);
  if (channels == 2 && right) Amplify16(right, n, factor);
}

}  // namespace wavorax
