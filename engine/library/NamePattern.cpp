#include "engine/library/NamePattern.h"

#include <array>
#include <cctype>
#include <string_view>

#include "base/Paths.h"

namespace wavorax::library {
namespace {

// One path part may hold at most this many bytes on Linux file systems (NAME_MAX).
constexpr std::size_t kMaxPartBytes = 255;
// Longer extensions are cut, so that a file name always has room for some of its stem.
constexpr std::size_t kMaxExtensionBytes = 32;

using Field = NamePattern::Field;

constexpr std::array<std::pair<std::string_view, Field>, 11> kFieldNames = {{
    {"artist", Field::Artist},
    {"albumartist", Field::AlbumArtist},
    {"album", Field::Album},
    {"title", Field::Title},
    {"track", Field::Track},
    {"disc", Field::Disc},
    {"year", Field::Year},
    {"genre", Field::Genre},
    {"filename", Field::FileName},
    {"folder", Field::Folder},
    {"ext", Field::Ext},
}};

std::optional<Field> FieldNamed(std::string_view name) {
  for (const auto& [known, field] : kFieldNames) {
    if (name.size() != known.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i)
      same = std::tolower(static_cast<unsigned char>(name[i])) == known[i];
    if (same) return field;
  }
  return std::nullopt;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (const char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// "3/12" and " 03 " give "03" at width 2; anything that is not a number (over an optional
// total) is left as it is, so "A1" of a vinyl side stays "A1".
std::string Numbered(const std::string& value, std::size_t width) {
  std::string_view s = Trimmed(value);
  const auto slash = s.find('/');
  std::string_view number = Trimmed(s.substr(0, slash));
  if (!AllDigits(number)) return value;
  while (number.size() > 1 && number.front() == '0') number.remove_prefix(1);
  std::string out(number.size() < width ? width - number.size() : 0, '0');
  out += number;
  return out;
}

// The first run of four digits ("2019-05-04", "04.05.2019"), else the value itself.
std::string YearOf(const std::string& value) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    run = value[i] >= '0' && value[i] <= '9' ? run + 1 : 0;
    if (run == 4 && (i + 1 == value.size() || value[i + 1] < '0' || value[i + 1] > '9'))
      return value.substr(i - 3, 4);
  }
  return value;
}

std::string ValueOf(const NameFields& f, Field field, const std::string& extension) {
  switch (field) {
    case Field::Artist:
      return f.artist;
    case Field::AlbumArtist:
      return f.albumArtist;
    case Field::Album:
      return f.album;
    case Field::Title:
      return f.title;
    case Field::Track:
      return f.track.empty() ? std::string() : Numbered(f.track, 2);
    case Field::Disc:
      return f.disc.empty() ? std::string() : Numbered(f.disc, 1);
    case Field::Year:
      return YearOf(f.year);
    case Field::Genre:
      return f.genre;
    case Field::FileName:
      return f.fileName;
    case Field::Folder:
      return f.folder;
    case Field::Ext:
      return extension;
  }
  return {};
}

// Length of the well-formed UTF-8 sequence at s[i], or 0 when the byte starts none.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  if (c < 0x80) return 1;
  std::size_t n = 0;
  unsigned min = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  unsigned cp = c & (0x7F >> n);
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

// Replaces what no part may hold. '/' can only come from a field here: the pattern's own
// slashes have already split it into parts.
std::string Cleaned(std::string_view s, bool fatSafe) {
  static constexpr std::string_view kFatRefused = "\\:*?\"<>|";
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c == 0x7F || c == '/' ||
        (fatSafe && kFatRefused.find(static_cast<char>(c)) != std::string_view::npos)) {
      out.push_back('_');
      ++i;
      continue;
    }
    const std::size_t n = Utf8Length(s, i);
    if (n == 2 && c == 0xC2 && static_cast<unsigned char>(s[i + 1]) < 0xA0) {
      out.push_back('_');  // a C1 control, U+0080 ... U+009F
    } else if (n == 0) {
      // Linux names may hold any bytes; a Windows share can only store Unicode.
      if (fatSafe) {
        out.push_back('_');
      } else {
        out.push_back(s[i]);
      }
      i += 1;
      continue;
    } else {
      out.append(s.substr(i, n));
    }
    i += n;
  }
  return out;
}

void TrimEnds(std::string& s, bool fatSafe) {
  std::size_t begin = 0;
  while (begin < s.size() && s[begin] == ' ') ++begin;
  s.erase(0, begin);
  // Windows drops trailing dots and spaces from names, so a FAT-safe name ends in neither
  // and the name the share shows is the name we wrote.
  while (!s.empty() && (s.back() == ' ' || (fatSafe && s.back() == '.'))) s.pop_back();
}

// Cuts to at most `limit` bytes without splitting a UTF-8 sequence.
void CutTo(std::string& s, std::size_t limit) {
  if (s.size() <= limit) return;
  std::size_t n = limit;
  for (int back = 0; back < 3 && n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80; ++back)
    --n;
  s.resize(n);
}

bool IsDeviceName(std::string_view name) {
  // The device name counts with any extension: "aux.mp3" is the device too.
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  std::string upper(name);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
         upper[3] >= '1' && upper[3] <= '9';
}

// Makes one expanded part a good file-system name: empty when nothing usable is left.
std::string FinishedPart(const std::string& raw, std::size_t limit, bool fatSafe) {
  std::string part = Cleaned(raw, fatSafe);
  TrimEnds(part, fatSafe);
  if (!part.empty() && part.front() == '.') part.front() = '_';
  CutTo(part, limit);
  TrimEnds(part, fatSafe);
  if (fatSafe && IsDeviceName(part)) {
    part.insert(0, 1, '_');
    CutTo(part, limit);
  }
  return part;
}

}  // namespace

std::optional<NamePattern> NamePattern::Parse(const std::string& text, std::string& error) {
  error.clear();
  if (Trimmed(text).empty()) {
    error = "The naming pattern is empty.";
    return std::nullopt;
  }
  if (text.front() == '/') {
    error = "The naming pattern must be relative to the output folder: it must not begin with /.";
    return std::nullopt;
  }
  const std::string_view body = text;

  NamePattern pattern;
  pattern.text_ = text;
  pattern.parts_.emplace_back();
  // Whether the current part holds anything but literal text, and that text.
  bool partHasField = false;
  std::string partLiteral;
  auto closePart = [&]() -> bool {
    if (!partHasField && partLiteral.empty()) {
      error = "The naming pattern has an empty folder name (//).";
      return false;
    }
    if (!partHasField && (partLiteral == "." || partLiteral == "..")) {
      error = "The naming pattern must not use . or .. as a folder.";
      return false;
    }
    return true;
  };
  auto addLiteral = [&](char c) {
    std::vector<Piece>& pieces = pattern.parts_.back();
    if (pieces.empty() || !pieces.back().choices.empty()) pieces.emplace_back();
    pieces.back().text.push_back(c);
    partLiteral.push_back(c);
  };

  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c == '/') {
      if (!closePart()) return std::nullopt;
      pattern.parts_.emplace_back();
      partHasField = false;
      partLiteral.clear();
      continue;
    }
    if (c != '%') {
      addLiteral(c);
      continue;
    }
    if (i + 1 < body.size() && body[i + 1] == '%') {
      addLiteral('%');
      ++i;
      continue;
    }
    const std::size_t close = body.find('%', i + 1);
    if (close == std::string_view::npos) {
      error = "The naming pattern has a % without the % that closes its field.";
      return std::nullopt;
    }
    const std::string_view inside = body.substr(i + 1, close - i - 1);
    Piece piece;
    for (std::size_t start = 0;;) {
      const std::size_t bar = inside.find('|', start);
      const std::string_view alternative = inside.substr(start, bar - start);
      Choice choice;
      if (const auto field = FieldNamed(alternative)) {
        choice.field = *field;
      } else if (piece.choices.empty()) {
        error = "The naming pattern names an unknown field: %" + std::string(inside) +
                "%. Known fields: %artist% %albumartist% %album% %title% %track% %disc% "
                "%year% %genre% %filename% %folder% %ext%.";
        return std::nullopt;
      } else {
        choice.literal = std::string(alternative);
      }
      piece.choices.push_back(std::move(choice));
      if (bar == std::string_view::npos) break;
      start = bar + 1;
    }
    pattern.parts_.back().push_back(std::move(piece));
    partHasField = true;
    i = close;
  }
  if (!partHasField && partLiteral.empty()) {
    error = "The naming pattern must end with a file name, not with /.";
    return std::nullopt;
  }
  if (!closePart()) return std::nullopt;

  // A pattern that ends in ".%ext%" names the extension that is appended anyway.
  std::vector<Piece>& last = pattern.parts_.back();
  if (last.size() >= 2 && last.back().choices.size() == 1 && !last.back().choices.front().literal &&
      last.back().choices.front().field == Field::Ext && last[last.size() - 2].choices.empty() &&
      last[last.size() - 2].text.ends_with('.')) {
    last.pop_back();
    last.back().text.pop_back();
    if (last.back().text.empty()) last.pop_back();
  }
  return pattern;
}

std::string NamePattern::Expand(const NameFields& fields, const std::string& extension,
                                const NameOptions& options) const {
  std::string ext = extension.starts_with('.') ? extension.substr(1) : extension;
  ext = Cleaned(ext, options.fatSafe);
  CutTo(ext, kMaxExtensionBytes);

  std::string out;
  for (std::size_t p = 0; p < parts_.size(); ++p) {
    std::string raw;
    for (const Piece& piece : parts_[p]) {
      if (piece.choices.empty()) {
        raw += piece.text;
        continue;
      }
      for (const Choice& choice : piece.choices) {
        // A field's own slashes are no folder separators: they are replaced here, before
        // the part is joined, so "AC/DC" stays one name.
        std::string value = choice.literal ? *choice.literal : ValueOf(fields, choice.field, ext);
        if (value.empty()) continue;
        for (char& c : value)
          if (c == '/') c = '_';
        raw += value;
        break;
      }
    }
    const bool last = p + 1 == parts_.size();
    if (!last) {
      const std::string part = FinishedPart(raw, kMaxPartBytes, options.fatSafe);
      if (part.empty()) continue;
      out += part;
      out += '/';
      continue;
    }
    const std::size_t limit = ext.empty() ? kMaxPartBytes : kMaxPartBytes - 1 - ext.size();
    std::string stem = FinishedPart(raw, limit, options.fatSafe);
    if (stem.empty()) stem = FinishedPart(fields.fileName, limit, options.fatSafe);
    if (stem.empty()) stem = "_";
    out += stem;
    if (!ext.empty()) {
      out += '.';
      out += ext;
    }
  }
  return out;
}

std::string ValidatePattern(const std::string& text) {
  std::string error;
  NamePattern::Parse(text, error);
  return error;
}

PatternExample ExampleOf(const std::string& pattern, const NameFields& fields,
                         const std::string& extension, const NameOptions& options) {
  std::string error;
  const auto parsed = NamePattern::Parse(pattern, error);
  if (!parsed) return {false, error};
  return {true, parsed->Expand(fields, extension, options)};
}

const NameFields& SampleFields() {
  static const NameFields sample = [] {
    NameFields f;
    f.artist = "The Quiet Rooms";
    f.albumArtist = "The Quiet Rooms";
    f.album = "North Light";
    f.title = "Harbour at Dawn";
    f.track = "3/12";
    f.disc = "1/2";
    f.year = "2019-05-04";
    f.genre = "Ambient";
    f.fileName = "03 Harbour at Dawn";
    f.folder = "North Light";
    return f;
  }();
  return sample;
}

NameFields NameFieldsOf(const audiolib::TagMap& tags, const std::string& sourcePath) {
  using audiolib::FirstValue;
  NameFields f;
  f.artist = FirstValue(tags, "ARTIST");
  f.albumArtist = FirstValue(tags, "ALBUMARTIST");
  f.album = FirstValue(tags, "ALBUM");
  f.title = FirstValue(tags, "TITLE");
  f.track = FirstValue(tags, "TRACKNUMBER");
  f.disc = FirstValue(tags, "DISCNUMBER");
  f.year = FirstValue(tags, "DATE");
  if (f.year.empty()) f.year = FirstValue(tags, "YEAR");
  f.genre = FirstValue(tags, "GENRE");

  const std::string name = FileNameOf(sourcePath);
  const std::string ext = ExtensionOf(sourcePath);
  f.fileName = name.substr(0, name.size() - ext.size());
  if (f.fileName.empty()) f.fileName = name;
  const auto slash = sourcePath.rfind('/');
  if (slash != std::string::npos && slash > 0) f.folder = FileNameOf(sourcePath.substr(0, slash));
  return f;
}

NameFields NameFieldsOfFile(const std::string& sourcePath) {
  return NameFieldsOf(audiolib::ReadTagMap(sourcePath), sourcePath);
}

}  // namespace wavorax::library
