#include "encoders/Id3v1.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/Cp1252.h"

namespace wavorax {

namespace {

// Copies the Windows-1252 form of `text`, cut to `width` bytes, to `out`.
void PutCutText(std::uint8_t* out, std::size_t width, std::string_view text) {
  const std::string encoded = Utf8ToCp1252(text);
  std::memcpy(out, encoded.data(), std::min(width, encoded.size()));
}

}  // namespace

Id3v1Block BuildId3v1(std::string_view title, std::string_view artist, std::string_view album,
                      std::string_view year, std::string_view comment, int genre, bool hasTrack,
                      int track) {
  Id3v1Block block{};
  std::memcpy(block.data(), "TAG", 3);
  PutCutText(block.data() + 3, 30, title);
  PutCutText(block.data() + 33, 30, artist);
  PutCutText(block.data() + 63, 30, album);
  PutCutText(block.data() + 93, 4, year);
  PutCutText(block.data() + 97, hasTrack ? 28 : 30, comment);
  if (hasTrack) {
    block[125] = 0;
    block[126] = static_cast<std::uint8_t>(track & 0xFF);
  }
  block[127] = static_cast<std::uint8_t>(genre & 0xFF);
  return block;
}

}  // namespace wavorax
