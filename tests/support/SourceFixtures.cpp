#include "tests/support/SourceFixtures.h"

#include <memory>

namespace wavorax::test {

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

}  // namespace wavorax::test
