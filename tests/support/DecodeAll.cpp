#include "tests/support/DecodeAll.h"

namespace wavorax::test {

Decoded DecodeAll(CDecoder& decoder, std::uint64_t maxCalls) {
  Decoded out;
  out.channels = decoder.GetOutputChannels();
  const bool eight = decoder.GetBitsPerSample() == 8;
  const bool stereo = out.channels == 2;
  std::vector<std::int16_t> left(kDecodeBlock), right(kDecodeBlock);
  for (;;) {
    if (out.calls >= maxCalls) {
      out.endedByItself = false;
      break;
    }
    ++out.calls;
    const int n = decoder.Read(left.data(), stereo ? right.data() : nullptr);
    out.readSizes.push_back(n);
    if (n <= 0) break;
    if (n > kDecodeBlock) {
      out.endedByItself = false;  // reported by the caller as a broken block
      break;
    }
    const auto* l8 = reinterpret_cast<const std::uint8_t*>(left.data());
    const auto* r8 = reinterpret_cast<const std::uint8_t*>(right.data());
    for (int i = 0; i < n; ++i) {
      const auto l = eight ? static_cast<std::int16_t>((l8[i] - 128) * 256) : left[i];
      out.left.push_back(l);
      out.samples.push_back(l);
      if (stereo) {
        const auto r = eight ? static_cast<std::int16_t>((r8[i] - 128) * 256) : right[i];
        out.right.push_back(r);
        out.samples.push_back(r);
      }
    }
    out.frames += static_cast<std::uint64_t>(n);
  }
  return out;
}

}  // namespace wavorax::test
