// ITU-T G.711 A-law and µ-law expansion to 16-bit linear samples.
#pragma once

#include <cstdint>

namespace wavorax {

// Tables of all 256 codes, filled once at start-up.
extern const std::int16_t kALawToLinear[256];
extern const std::int16_t kMuLawToLinear[256];

inline std::int16_t ALawExpand(std::uint8_t code) { return kALawToLinear[code]; }
inline std::int16_t MuLawExpand(std::uint8_t code) { return kMuLawToLinear[code]; }

}  // namespace wavorax
