// The user's own tag for converted files: one record for MP3 targets, one for the MP4 family,
// with its persisted image; and the genre table that the tag editor, the ID3v1 builder and the
// MP4 writer share.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace wavorax {

struct TagRecord {
  // Take the title from the source's file name without its extension.
  std::int32_t useFileNameAsTitle = 1;
  // Texts are UTF-8 in memory; the persisted image holds them as Windows-1252.
  std::string title;
  std::string artist;
  std::string album;
  std::string year;
  std::int32_t genre = 255;  // index into the genre table, 255 = none
  std::string comment;
  std::int32_t trackMode = 0;  // 0 none, 1 sequence number in the batch, 2 custom
  std::int32_t track = 0;

  bool operator==(const TagRecord&) const = default;
};

// Size of the persisted image of a TagRecord.
inline constexpr std::size_t kTagRecordImageSize = 152;
using TagRecordImage = std::array<std::uint8_t, kTagRecordImageSize>;

// The persisted image, byte for byte: useFileNameAsTitle (int32), title, artist, album
// (32 bytes each), year (8), genre (int32), comment (32), trackMode (int32), track (int32).
// Numbers are little-endian; texts are Windows-1252, zero-terminated and zero-padded, cut to
// leave room for the terminator.
TagRecordImage TagRecordToBytes(const TagRecord& record);

// Reads an image made by TagRecordToBytes (or by an earlier version of the program). False,
// with `record` untouched, when the image is not exactly 152 bytes. A text field without a
// terminator is read to the end of its field and no further.
bool TagRecordFromBytes(std::span<const std::uint8_t> image, TagRecord& record);

// The genre table: 148 names, index 0 to 147 (0..79 the ID3v1 genres, 80..147 the customary
// extension), spelt as they are stored and compared.
inline constexpr int kGenreCount = 148;
inline constexpr int kNoGenre = 255;
std::span<const std::string_view> GenreNames();

// The table's name for an index, or an empty text for anything outside 0..147 (255 = none).
std::string GenreName(int index);

// The index of the first table name equal to `name` regardless of case, or 0 ("Blues") when
// nothing matches, an empty name included.
std::uint8_t GenreIndexFromName(std::string_view name);

// The same for a source's genre text, but kNoGenre when nothing matches: a file without a
// genre, or with one the table lacks ("Dubstep"), has no genre, not "Blues".
std::uint8_t GenreIndexOrNone(std::string_view name);

}  // namespace wavorax
