// UTF-8, the program's text everywhere: recognising well-formed sequences and cutting texts
// without splitting a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wavorax {

// Length (1 to 4) of the well-formed UTF-8 sequence at the start of `text`, or 0 when its
// first byte starts none: overlong forms, surrogates and values beyond U+10FFFF are not
// well-formed. `codePoint`, when given, receives the character.
std::size_t DecodeUtf8(std::string_view text, char32_t* codePoint = nullptr);

// Whether the whole text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// The first `count` characters of `text`; a byte that starts no well-formed sequence counts
// as one character.
std::string CutUtf8(std::string_view text, std::size_t count);

}  // namespace wavorax
