// Loudness scaling of planar PCM blocks, in place.
#pragma once

#include <cstdint>

namespace wavorax {

// The factor for a coefficient in percent (100 → 1.0), or 0 when amplification is off:
// the switch is clear or the coefficient is 100.
float AmplificationFactor(int enabled, int percent);

// Unsigned 8-bit samples (silence 128), clamped to the 8-bit range. The right buffer is
// processed only for two channels.
void AmplifyPcm8(std::uint8_t* left, std::uint8_t* right, int n, int channels, float factor);
// Signed 16-bit samples, truncated toward zero and clamped to -32767..32767, so that a
// loud passage stays symmetric.
void AmplifyPcm16(std::int16_t* left, std::int16_t* right, int n, int channels, float factor);

}  // namespace wavorax
