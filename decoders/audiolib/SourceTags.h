// The seven tag texts of a source, as CBassDecoder::ReadTags hands them out (UTF-8).
#pragma once

#include <string>

#include "base/ByteSource.h"
#include "decoders/audiolib/TagText.h"

namespace wavorax {

// The tag-text layout that ReadTags asks the audio-library layer for: one field per line, the
// comment last so that its own line feeds survive.
inline constexpr const char* kTagTextFormat = "%TRCK\n%TITL\n%ARTI\n%ALBM\n%GNRE\n%YEAR\n%CMNT";

// Fills track, title, artist, album, genre and year from the lines of `text`, in that order,
// and the comment from everything after the sixth line feed. A field is assigned only when the
// line feed that ends it is present (the comment needs none), so a text with k < 6 line feeds
// fills only the first k fields. Returns 0 for an empty text (nothing is assigned), else 1.
int SplitTagText(const std::string& text, std::string& title, std::string& artist,
                 std::string& album, std::string& year, std::string& genre, std::string& comment,
                 std::string& track);

// The tags that TagLib reads from `source` (ID3v2 of every version, APEv2, ID3v1, RIFF INFO
// and the rest of what it knows), handed out as CBassDecoder::ReadTags hands out tags: the
// program's own decoders answer ReadTags with it, so that a source's tags do not depend on
// which decoder plays its audio.
int ReadTagLayerTags(ByteSource& source, audiolib::TagContainer container, std::string& title,
                     std::string& artist, std::string& album, std::string& year, std::string& genre,
                     std::string& comment, std::string& track);

// Metadata of an MP4-family file (iTunes-style items) read with TagLib. Returns 1 when any of
// title, artist, album, year, genre or comment was present; a track number alone is assigned
// but does not count.
int ReadMp4Tags(const std::string& path, std::string& title, std::string& artist,
                std::string& album, std::string& year, std::string& genre, std::string& comment,
                std::string& track);

}  // namespace wavorax
