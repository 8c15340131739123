#include "tests/support/SourceFixtures.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace wavorax::test {

namespace {

void Put16be(std::vector<std::uint8_t>& v, std::size_t at, unsigned value) {
  v[at] = static_cast<std::uint8_t>(value >> 8);
  v[at + 1] = static_cast<std::uint8_t>(value);
}
void PutText(std::vector<std::uint8_t>& v, std::size_t at, const std::string& s, std::size_t max) {
  std::memcpy(v.data() + at, s.data(), std::min(s.size(), max));
}

}  // namespace

std::vector<std::uint8_t> EncodeAmr(const std::vector<std::int16_t>& speech,
                                    const std::vector<Mode>& modes) {
  std::vector<std::uint8_t> file = {'#', '!', 'A', 'M', 'R', '\n'};
  struct Closer {
    void operator()(void* encoder) const { Encoder_Interface_exit(encoder); }
  };
  std::unique_ptr<void, Closer> encoder(Encoder_Interface_init(0));
  if (!encoder || modes.empty()) return file;
  unsigned char frame[64];
  for (std::size_t i = 0, n = 0; i + 160 <= speech.size(); i += 160, ++n) {
    const int bytes =
        Encoder_Interface_Encode(encoder.get(), modes[n % modes.size()], &speech[i], frame, 0);
    if (bytes > 0) file.insert(file.end(), frame, frame + bytes);
  }
  return file;
}

std::vector<std::uint8_t> MakeMod(const std::string& title) {
  constexpr std::size_t kHeader = 20 + 31 * 30 + 2 + 128 + 4;  // 1084
  constexpr std::size_t kPattern = 64 * 4 * 4;
  constexpr std::size_t kSampleBytes = 64;
  std::vector<std::uint8_t> m(kHeader + kPattern + kSampleBytes, 0);
  PutText(m, 0, title, 20);
  // Sample 1: a looped square wave, 32 words long.
  const std::size_t s1 = 20;
  PutText(m, s1, "square", 22);
  Put16be(m, s1 + 22, kSampleBytes / 2);
  m[s1 + 24] = 0;   // finetune
  m[s1 + 25] = 64;  // volume
  Put16be(m, s1 + 26, 0);
  Put16be(m, s1 + 28, kSampleBytes / 2);
  for (int i = 1; i < 31; ++i) Put16be(m, 20 + i * 30 + 28, 1);  // unused samples: no loop
  m[950] = 1;                                                    // song length: one order
  m[951] = 127;  // restart byte as ProTracker writes it
  m[952] = 0;    // order 0 plays pattern 0
  PutText(m, 1080, "M.K.", 4);
  auto cell = [&](int row, int channel, unsigned sample, unsigned period, unsigned effect,
                  unsigned param) {
    const std::size_t at = kHeader + (static_cast<std::size_t>(row) * 4 + channel) * 4;
    m[at] = static_cast<std::uint8_t>((sample & 0xF0) | (period >> 8));
    m[at + 1] = static_cast<std::uint8_t>(period);
    m[at + 2] = static_cast<std::uint8_t>(((sample & 0x0F) << 4) | effect);
    m[at + 3] = static_cast<std::uint8_t>(param);
  };
  cell(0, 0, 1, 428, 0xF, 3);  // C-2 on the left, speed 3
  cell(16, 1, 1, 320, 0, 0);   // F-2 on the right
  cell(32, 3, 1, 214, 0, 0);   // C-3 on the right
  const std::size_t data = kHeader + kPattern;
  for (std::size_t i = 0; i < kSampleBytes; ++i) m[data + i] = (i % 16) < 8 ? 0x30 : 0xD0;
  return m;
}

}  // namespace wavorax::test
