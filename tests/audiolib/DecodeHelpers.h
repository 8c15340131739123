// Decoding a whole source through a CDecoder, with a bound on the number of calls so that a
// decoder that never ends fails the test instead of hanging it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decoders/Decoder.h"

namespace wavorax::test {

struct Decoded {
  std::vector<std::int16_t> left, right;  // 8-bit output widened as ffmpeg does: (x - 128) << 8
  std::uint64_t frames = 0;
  std::uint64_t calls = 0;
  bool endedByItself = true;  // false when the call bound was hit
};

Decoded DecodeAll(CDecoder& decoder, std::uint64_t maxCalls);

// Names a parameterised case after a file name: letters and digits kept, the rest '_'.
std::string CaseName(const std::string& file);

}  // namespace wavorax::test
