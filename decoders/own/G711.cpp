#include "decoders/own/G711.h"

#include <array>

namespace wavorax {
namespace {

// A-law: even bits are inverted on the line; 3-bit segment, 4-bit step, sign set = positive.
constexpr std::int16_t ExpandALaw(std::uint8_t code) {
  const int v = code ^ 0x55;
  int magnitude = (v & 0x0F) << 4;
  const int segment = (v & 0x70) >> 4;
  if (segment == 0) {
    magnitude += 8;
  } else {
    magnitude = (magnitude + 0x108) << (segment - 1);
  }
  return static_cast<std::int16_t>((v & 0x80) ? magnitude : -magnitude);
}

// µ-law: all bits inverted on the line; biased segments, sign set = negative.
constexpr std::int16_t ExpandMuLaw(std::uint8_t code) {
  constexpr int kBias = 0x84;
  const int v = static_cast<std::uint8_t>(~code);
  const int t = (((v & 0x0F) << 3) + kBias) << ((v & 0x70) >> 4);
  return static_cast<std::int16_t>((v & 0x80) ? (kBias - t) : (t - kBias));
}

template <std::int16_t (*Expand)(std::uint8_t)>
constexpr std::array<std::int16_t, 256> MakeTable() {
  std::array<std::int16_t, 256> table{};
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = Expand(static_cast<std::uint8_t>(i));
  return table;
}

static_assert(ExpandALaw(0xD5) == 8 && ExpandALaw(0x55) == -8);
static_assert(ExpandMuLaw(0x00) == -32124 && ExpandMuLaw(0xFF) == 0);

}  // namespace

const std::array<std::int16_t, 256> kALawToLinear = MakeTable<ExpandALaw>();
const std::array<std::int16_t, 256> kMuLawToLinear = MakeTable<ExpandMuLaw>();

}  // namespace wavorax
