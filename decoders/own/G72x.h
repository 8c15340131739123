// ITU-T G.721 (32 kbit/s) and G.723 (24 and 40 kbit/s) ADPCM decoders: adaptive quantiser
// with fast and slow scale factors, a second-order pole and sixth-order zero predictor,
// and tone and transition detection. Each decoder turns one code into the 14-bit linear
// reconstruction shifted left by 2, as a 16-bit sample.
#pragma once

#include <cstdint>

namespace wavorax {

struct G72xState {
  G72xState() { Reset(); }
  // The reset state the recommendations define.
  void Reset();

  std::int32_t yl;     // slow (locked) quantiser scale factor
  std::int32_t yu;     // fast (unlocked) quantiser scale factor
  std::int32_t dms;    // short-term average of F[I]
  std::int32_t dml;    // long-term average of F[I]
  std::int32_t ap;     // speed control parameter
  std::int32_t a[2];   // pole predictor coefficients
  std::int32_t b[6];   // zero predictor coefficients
  std::int32_t pk[2];  // signs of the last two partial reconstructions
  std::int32_t dq[6];  // last six quantised differences, in the 11-bit float format
  std::int32_t sr[2];  // last two reconstructed samples, in the same format
  std::int32_t td;     // tone detected
};

using G72xDecodeFn = std::int16_t (*)(int code, G72xState& state);

std::int16_t G721Decode(int code, G72xState& state);     // 4-bit codes
std::int16_t G723_24Decode(int code, G72xState& state);  // 3-bit codes
std::int16_t G723_40Decode(int code, G72xState& state);  // 5-bit codes

}  // namespace wavorax
