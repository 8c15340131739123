#include "base/Cp1252.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <memory>

#include "base/Utf8.h"

namespace wavorax {

namespace {

// iconv descriptors keep conversion state, so each conversion opens its own: nothing is
// shared between threads.
struct IconvCloser {
  void operator()(void* cd) const { ::iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenIconv(const char* to, const char* from) {
  iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return IconvHandle(cd);
}

// The bytes Windows-1252 leaves undefined; glibc refuses them, Windows maps them to C1.
constexpr std::array<unsigned char, 5> kUndefined = {0x81, 0x8D, 0x8F, 0x90, 0x9D};

bool IsUndefinedByte(unsigned char b) {
  for (unsigned char u : kUndefined)
    if (u == b) return true;
  return false;
}

// What Windows-1252 makes of the bytes 0x80 ... 0x9F.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char16_t cp) {
  if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (cp & 0x3F));
}

}  // namespace

std::string C1AsCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    // U+0080 ... U+009F is C2 80 ... C2 9F; a C2 byte is never inside another sequence.
    if (b == 0xC2 && i + 1 < utf8.size()) {
      const auto next = static_cast<unsigned char>(utf8[i + 1]);
      if (next >= 0x80 && next <= 0x9F) {
        AppendUtf8(out, kHighControls[next - 0x80]);
        ++i;
        continue;
      }
    }
    out += static_cast<char>(b);
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  IconvHandle cd = OpenIconv("WINDOWS-1252", "UTF-8");
  // Characters are converted one at a time so that each unconvertible one is replaced by
  // exactly one '?', whatever iconv would have done with the rest of the text.
  while (!utf8.empty()) {
    char32_t cp;
    const std::size_t n = DecodeUtf8(utf8, &cp);
    if (n == 0) {
      out += '?';
      utf8.remove_prefix(1);
      continue;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp <= 0xFF && IsUndefinedByte(static_cast<unsigned char>(cp))) {
      out += static_cast<char>(cp);
    } else if (!cd) {
      out += '?';
    } else {
      char in[4];
      for (std::size_t i = 0; i < n; ++i) in[i] = utf8[i];
      char result[4];
      char* inPtr = in;
      char* outPtr = result;
      std::size_t inLeft = n, outLeft = sizeof result;
      const std::size_t r =
          ::iconv(static_cast<iconv_t>(cd.get()), &inPtr, &inLeft, &outPtr, &outLeft);
      if (r == static_cast<std::size_t>(-1) || outPtr != result + 1) {
        out += '?';
        // Reset the descriptor after a refused character.
        ::iconv(static_cast<iconv_t>(cd.get()), nullptr, nullptr, nullptr, nullptr);
      } else {
        out += result[0];
      }
    }
    utf8.remove_prefix(n);
  }
  return out;
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size() * 2);
  IconvHandle cd = OpenIconv("UTF-8", "WINDOWS-1252");
  auto appendCodePoint = [&out](unsigned char b) {
    out += static_cast<char>(0xC0 | (b >> 6));
    out += static_cast<char>(0x80 | (b & 0x3F));
  };
  for (char c : cp1252) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
      continue;
    }
    if (IsUndefinedByte(b) || !cd) {
      // Undefined bytes become the C1 control of the same value; without a converter the
      // Latin-1 reading is the closest we can give.
      appendCodePoint(b);
      continue;
    }
    char in = c;
    char result[4];
    char* inPtr = &in;
    char* outPtr = result;
    std::size_t inLeft = 1, outLeft = sizeof result;
    if (::iconv(static_cast<iconv_t>(cd.get()), &inPtr, &inLeft, &outPtr, &outLeft) ==
        static_cast<std::size_t>(-1)) {
      ::iconv(static_cast<iconv_t>(cd.get()), nullptr, nullptr, nullptr, nullptr);
      appendCodePoint(b);
    } else {
      out.append(result, static_cast<std::size_t>(outPtr - result));
    }
  }
  return out;
}

}  // namespace wavorax
