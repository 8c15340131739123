// Output names made from a source's tags by a naming pattern such as
// "%albumartist|artist%/%album%/%disc%-%track% %title%".
//
// Pattern language:
// - "%name%" is a field: artist, albumartist, album, title, track, disc, year, genre,
//   filename (the source's file name without its extension), folder (the name of the folder
//   the source is in) and ext (the target's extension without its dot). Names are matched
//   without regard to case.
// - "%name|alt|...%" tries the alternatives from left to right and takes the first that is
//   not empty. An alternative that is a field name is that field; any other text is taken
//   literally (so it is never empty and ends the chain): "%albumartist|artist|Unknown%".
//   The first alternative must be a field.
// - "%%" is a literal percent sign. "/" outside a field separates folders.
// - The target's extension is always appended to the last part; a pattern that ends in
//   ".%ext%" means the same.
//
// Values: track is padded to two digits and disc is written without leading zeros, both
// taken from "3/12" forms; year is the first four-digit run of the date ("2019-05-04" gives
// 2019); a field with several values names by its first. Other text is used as it is, then
// made safe:
// - "/" inside a field, NUL and every control character (C0, DEL and C1) become "_".
// - With the FAT-safe option also \ : * ? " < > | and bytes that are not UTF-8 become "_",
//   trailing dots go, and the device names CON, PRN, AUX, NUL, COM1-9 and LPT1-9 get a
//   leading "_".
// - Spaces at either end of a part go, and a leading dot becomes "_", so no part is hidden
//   and no field can name "." or "..".
// - Each part is cut to 255 bytes on a UTF-8 boundary; the last keeps its extension.
// - A folder part that comes out empty is left out ("%genre%/%album%" without a genre gives
//   just the album's folder); a file name that comes out empty is the source's file name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "decoders/audiolib/TagFields.h"

namespace wavorax::library {

// The values a pattern can name, as the source's tags hold them (before padding and
// cleaning).
struct NameFields {
  std::string artist, albumArtist, album, title, track, disc, year, genre;
  std::string fileName;  // the source's file name without its extension
  std::string folder;    // the name of the folder the source is in
};

// The fields of a source from its tags (first values of ARTIST, ALBUMARTIST, ALBUM, TITLE,
// TRACKNUMBER, DISCNUMBER, GENRE, and DATE or else YEAR) and from its path.
NameFields NameFieldsOf(const audiolib::TagMap& tags, const std::string& sourcePath);
// The same, reading the tags of the file at `sourcePath` with TagLib.
NameFields NameFieldsOfFile(const std::string& sourcePath);

struct NameOptions {
  bool fatSafe = false;  // "Names safe for FAT and Windows shares"
};

class NamePattern {
 public:
  // A parsed pattern, or nullopt with the reason in `error` (a sentence for the options page
  // and the command line).
  static std::optional<NamePattern> Parse(const std::string& text, std::string& error);

  // The output's path relative to the base folder, with '/' between its parts and
  // `extension` (with or without its leading dot; may be empty) on the last part. Never
  // empty, never absolute, and no part is empty, "." or "..".
  std::string Expand(const NameFields& fields, const std::string& extension,
                     const NameOptions& options) const;

  const std::string& Text() const { return text_; }

  enum class Field : std::uint8_t {
    Artist,
    AlbumArtist,
    Album,
    Title,
    Track,
    Disc,
    Year,
    Genre,
    FileName,
    Folder,
    Ext
  };
  // One choice of a field: a field, or literal text when `literal` is set.
  struct Choice {
    Field field = Field::Artist;
    std::optional<std::string> literal;
  };
  // Literal text (no choices) or a field with its fallbacks.
  struct Piece {
    std::string text;
    std::vector<Choice> choices;
  };

 private:
  std::string text_;
  std::vector<std::vector<Piece>> parts_;  // one list of pieces per path part
};

// The reason a pattern is refused, or "" when it is fine.
std::string ValidatePattern(const std::string& text);

// The options page's live example: the path a pattern gives for `fields`, or the reason the
// pattern is refused.
struct PatternExample {
  bool valid = false;
  std::string text;
};
PatternExample ExampleOf(const std::string& pattern, const NameFields& fields,
                         const std::string& extension, const NameOptions& options);

// A made-up track to show examples with.
const NameFields& SampleFields();

}  // namespace wavorax::library
