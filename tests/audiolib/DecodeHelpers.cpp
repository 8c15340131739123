#include "tests/audiolib/DecodeHelpers.h"

#include <cctype>

namespace wavorax::test {

Decoded DecodeAll(CDecoder& decoder, std::uint64_t maxCalls) {
  Decoded out;
  const bool eight = decoder.GetBitsPerSample() == 8;
  const bool stereo = decoder.GetOutputChannels() == 2;
  // Guard bytes after each block catch a decoder that writes past kDecodeBlock samples.
  std::vector<std::int16_t> left(kDecodeBlock + 64), right(kDecodeBlock + 64);
  while (true) {
    if (out.calls >= maxCalls) {
      out.endedByItself = false;
      break;
    }
    ++out.calls;
    const int n = decoder.Read(left.data(), stereo ? right.data() : nullptr);
    if (n <= 0) break;
    if (n > kDecodeBlock) {
      out.endedByItself = false;  // reported by the caller as a broken block
      break;
    }
    for (int i = 0; i < n; ++i) {
      if (eight) {
        const auto* l8 = reinterpret_cast<const std::uint8_t*>(left.data());
        const auto* r8 = reinterpret_cast<const std::uint8_t*>(right.data());
        out.left.push_back(static_cast<std::int16_t>((l8[i] - 128) * 256));
        if (stereo) out.right.push_back(static_cast<std::int16_t>((r8[i] - 128) * 256));
      } else {
        out.left.push_back(left[i]);
        if (stereo) out.right.push_back(right[i]);
      }
    }
    out.frames += static_cast<std::uint64_t>(n);
  }
  return out;
}

std::string CaseName(const std::string& file) {
  std::string name;
  for (char c : file) name.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  return name;
}

}  // namespace wavorax::test
