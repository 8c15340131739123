#include "base/Utf8.h"

namespace wavorax {

std::size_t DecodeUtf8(std::string_view s, char32_t* codePoint) {
  if (s.empty()) return 0;
  const auto b0 = static_cast<unsigned char>(s[0]);
  std::size_t len;
  char32_t cp, min;
  if (b0 < 0x80) {
    if (codePoint) *codePoint = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (s.size() < len) return 0;
  for (std::size_t i = 1; i < len; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  if (codePoint) *codePoint = cp;
  return len;
}

bool IsValidUtf8(std::string_view text) {
  while (!text.empty()) {
    const std::size_t n = DecodeUtf8(text);
    if (n == 0) return false;
    text.remove_prefix(n);
  }
  return true;
}

std::string CutUtf8(std::string_view text, std::size_t count) {
  std::size_t i = 0;
  for (std::size_t chars = 0; i < text.size() && chars < count; ++chars) {
    const std::size_t n = DecodeUtf8(text.substr(i));
    i += n == 0 ? 1 : n;
  }
  return std::string(text.substr(0, i));
}

}  // namespace wavorax
