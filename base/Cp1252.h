// Conversion between UTF-8 (the program's text everywhere) and Windows-1252, the 8-bit code
// page of the two fixed layouts that outlive a run: the persisted tag record image and the
// ID3v1 block.
#pragma once

#include <string>
#include <string_view>

namespace wavorax {

// UTF-8 to Windows-1252. A character the code page cannot hold, and every byte that is not
// part of valid UTF-8, becomes '?'. The five bytes the code page leaves undefined
// (81 8D 8F 90 9D) pair with U+0081 ... U+009D, as the Windows converters pair them, so that
// any byte string survives a trip through UTF-8 and back.
std::string Utf8ToCp1252(std::string_view utf8);

// Windows-1252 to UTF-8. Every byte has a meaning, so this never loses anything.
std::string Cp1252ToUtf8(std::string_view cp1252);

// Text that a reader decoded as ISO 8859-1 where the bytes were Windows-1252 (what Windows
// taggers write into ID3 text marked Latin-1) carries the C1 controls U+0080 ... U+009F in
// place of € ‚ „ … ‘ ’ “ ” – — ™ and the rest. Each of them becomes the Windows-1252
// character of the same byte; the five undefined bytes keep their C1 control. Everything
// else is copied unchanged.
std::string C1AsCp1252(std::string_view utf8);

}  // namespace wavorax
