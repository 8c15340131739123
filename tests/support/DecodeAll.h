// Decoding a whole source through a CDecoder, with a bound on the number of calls so that a
// decoder that never ends fails the test instead of hanging it.
#pragma once

#include <cstdint>
#include <vector>

#include "decoders/Decoder.h"

namespace wavorax::test {

struct Decoded {
  // 8-bit output widened as ffmpeg does: (x - 128) << 8.
  std::vector<std::int16_t> samples;      // interleaved by output channel
  std::vector<std::int16_t> left, right;  // the same, planar
  std::vector<int> readSizes;             // the result of every Read, the final one included
  int channels = 0;
  std::uint64_t frames = 0;
  std::uint64_t calls = 0;
  bool endedByItself = true;  // false when the call bound was hit or a block was too long
};

// Reads an opened decoder to its end. Buffers are exactly one block long, so that an overrun
// shows under the address sanitizer.
Decoded DecodeAll(CDecoder& decoder, std::uint64_t maxCalls = 1 << 20);

}  // namespace wavorax::test
