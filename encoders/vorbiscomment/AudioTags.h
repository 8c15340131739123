// The tags that the FLAC, Ogg Opus and Ogg Vorbis writers store: an ordered list of
// Vorbis-comment fields and an optional front cover.
//
// Field names are the Vorbis-comment names (TITLE, ARTIST, ALBUM, DATE, GENRE, TRACKNUMBER,
// TRACKTOTAL, COMMENT, ALBUMARTIST, DISCNUMBER or any other); a name that appears more than
// once holds several values, each kept as a field of its own and in the order given. Values
// are UTF-8 and are stored as given: a DATE of "2004-03-21" stays a full date.
//
// A field the format cannot hold is never written: a name outside printable ASCII
// (0x20 ... 0x7D) or containing '=', an empty value, a value that is not well-formed UTF-8,
// and a value with a NUL byte (which the C interfaces of the codec libraries would cut).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wavorax {

// The largest cover carried into an output: the bound the cover reader applies to sources.
inline constexpr std::size_t kMaxTagCoverBytes = 16u * 1024u * 1024u;

enum class PictureFormat { None, Jpeg, Png };

// The image type by the bytes' own signature.
PictureFormat PictureFormatOf(std::span<const std::uint8_t> bytes);

struct AudioTags {
  struct Field {
    std::string name;  // upper case
    std::string value;
  };

  std::vector<Field> fields;
  // JPEG or PNG bytes; empty for no cover.
  std::vector<std::uint8_t> frontCover;

  // Appends a field, its name upper-cased. False, adding nothing, for a field the format
  // cannot hold (see above).
  bool Add(std::string_view name, std::string_view value);
  // The values of one field (any case of the name), in order.
  std::vector<std::string> Values(std::string_view name) const;
  // Stores a copy of the picture as the front cover. False, leaving no cover, for an empty
  // picture, one that is neither JPEG nor PNG, or one above kMaxTagCoverBytes.
  bool SetFrontCover(std::span<const std::uint8_t> picture);
  bool empty() const { return fields.empty() && frontCover.empty(); }
};

// Whether a name may be a Vorbis-comment field name, and a value its value.
bool IsLegalFieldName(std::string_view name);
bool IsLegalFieldValue(std::string_view value);

}  // namespace wavorax
