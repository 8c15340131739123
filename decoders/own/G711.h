// ITU-T G.711 A-law and µ-law expansion to 16-bit linear samples.
#pragma once

#include <array>
#include <cstdint>

namespace wavorax {

// Tables of all 256 codes, computed at compile time.
extern const std::array<std::int16_t, 256> kALawToLinear;
extern const std::array<std::int16_t, 256> kMuLawToLinear;

inline std::int16_t ALawExpand(std::uint8_t code) { return kALawToLinear[code]; }
inline std::int16_t MuLawExpand(std::uint8_t code) { return kMuLawToLinear[code]; }

}  // namespace wavorax
