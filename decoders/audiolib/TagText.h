// Tag values of one source and the formatted tag text built from them.
#pragma once

#include <string>

#include "base/ByteSource.h"

namespace wavorax::audiolib {

// The seven values a tag text can name; empty means absent. All UTF-8.
struct TagFields {
  std::string title, artist, album, genre, year, comment, track;
  bool Empty() const {
    return title.empty() && artist.empty() && album.empty() && genre.empty() && year.empty() &&
           comment.empty() && track.empty();
  }
};

// Replaces %TITL %ARTI %ALBM %GNRE %YEAR %CMNT %TRCK in `format` by the values and copies
// every other character. Empty when every value is empty. Tag texts are read one field per
// line, so line breaks inside any value other than the comment become spaces; the comment
// (which callers place last) keeps its line feeds.
std::string FormatTagText(const std::string& format, const TagFields& fields);

// `text` itself when it is valid UTF-8, else its bytes read as Windows-1252 and re-encoded.
// Formats that carry 8-bit text without naming its encoding (RIFF INFO, some APE tags) are
// usually written by Windows programs in that code page, and so is ID3 text marked Latin-1:
// the C1 controls U+0080 ... U+009F that a Latin-1 reading of it leaves become the
// Windows-1252 characters of those bytes (’ “ ” € … ™) here too.
std::string ToValidUtf8(const std::string& text);

// The container whose tags are read: whichever TagLib finds by the path's extension or by
// content, or the one the caller knows the source to be. TagLib's content check wants an
// MPEG frame header with a bit rate, so free-format MPEG audio has to be named to be read.
enum class TagContainer { kAny, kMpeg, kRiffWave };

// Tags that TagLib finds in the source. False when TagLib does not know the format or the
// file has no tag.
bool ReadTagLibFields(ByteSource& source, TagFields& fields,
                      TagContainer container = TagContainer::kAny);

// The LIST/INFO chunk of a RIFF/WAVE source, whose texts (8-bit, in no named encoding) go
// through ToValidUtf8. TagLib reads only a WAV file's ID3v2 chunk through its common tag
// interface, and its INFO reading drops texts that are not UTF-8. False when there is none.
bool ReadRiffInfoFields(ByteSource& source, TagFields& fields);

}  // namespace wavorax::audiolib
