#include "settings/TagRecord.h"

#include <algorithm>
#include <cstring>

#include "base/Cp1252.h"

namespace wavorax {

namespace {

constexpr std::array<std::string_view, kGenreCount> kGenres = {"Blues",
                                                               "Classic Rock",
                                                               "Country",
                                                               "Dance",
                                                               "Disco",
                                                               "Funk",
                                                               "Grunge",
                                                               "Hip-Hop",
                                                               "Jazz",
                                                               "Metal",
                                                               "New Age",
                                                               "Oldies",
                                                               "Other",
                                                               "Pop",
                                                               "R&B",
                                                               "Rap",
                                                               "Reggae",
                                                               "Rock",
                                                               "Techno",
                                                               "Industrial",
                                                               "Alternative",
                                                               "Ska",
                                                               "Death Metal",
                                                               "Pranks",
                                                               "Soundtrack",
                                                               "Euro-Techno",
                                                               "Ambient",
                                                               "Trip-Hop",
                                                               "Vocal",
                                                               "Jazz+Funk",
                                                               "Fusion",
                                                               "Trance",
                                                               "Classical",
                                                               "Instrumental",
                                                               "Acid",
                                                               "House",
                                                               "Game",
                                                               "Sound Clip",
                                                               "Gospel",
                                                               "Noise",
                                                               "Alt. Rock",
                                                               "Bass",
                                                               "Soul",
                                                               "Punk",
                                                               "Space",
                                                               "Meditative",
                                                               "Instrumental Pop",
                                                               "Instrumental Rock",
                                                               "Ethnic",
                                                               "Gothic",
                                                               "Darkwave",
                                                               "Techno-Industrial",
                                                               "Electronic",
                                                               "Pop-Folk",
                                                               "Eurodance",
                                                               "Dream",
                                                               "Southern Rock",
                                                               "Comedy",
                                                               "Cult",
                                                               "Gangsta",
                                                               "Top 40",
                                                               "Christian Rap",
                                                               "Pop/Funk",
                                                               "Jungle",
                                                               "Native American",
                                                               "Cabaret",
                                                               "New Wave",
                                                               "Psychadelic",
                                                               "Rave",
                                                               "Showtunes",
                                                               "Trailer",
                                                               "Lo-Fi",
                                                               "Tribal",
                                                               "Acid Punk",
                                                               "Acid Jazz",
                                                               "Polka",
                                                               "Retro",
                                                               "Musical",
                                                               "Rock & Roll",
                                                               "Hard Rock",
                                                               "Folk",
                                                               "Folk/Rock",
                                                               "National Folk",
                                                               "Swing",
                                                               "Fast-Fusion",
                                                               "Bebob",
                                                               "Latin",
                                                               "Revival",
                                                               "Celtic",
                                                               "Bluegrass",
                                                               "Avantgarde",
                                                               "Gothic Rock",
                                                               "Progressive Rock",
                                                               "Psychedelic Rock",
                                                               "Symphonic Rock",
                                                               "Slow Rock",
                                                               "Big Band",
                                                               "Chorus",
                                                               "Easy Listening",
                                                               "Acoustic",
                                                               "Humour",
                                                               "Speech",
                                                               "Chanson",
                                                               "Opera",
                                                               "Chamber Music",
                                                               "Sonata",
                                                               "Symphony",
                                                               "Booty Bass",
                                                               "Primus",
                                                               "Porn Groove",
                                                               "Satire",
                                                               "Slow Jam",
                                                               "Club",
                                                               "Tango",
                                                               "Samba",
                                                               "Folklore",
                                                               "Ballad",
                                                               "Power Ballad",
                                                               "Rhythmic Soul",
                                                               "Freestyle",
                                                               "Duet",
                                                               "Punk Rock",
                                                               "Drum Solo",
                                                               "A Cappella",
                                                               "Euro-House",
                                                               "Dance Hall",
                                                               "Goa",
                                                               "Drum & Bass",
                                                               "Club-House",
                                                               "Hardcore",
                                                               "Terror",
                                                               "Indie",
                                                               "BritPop",
                                                               "Negerpunk",
                                                               "Polsk Punk",
                                                               "Beat",
                                                               "Christian Gangsta Rap",
                                                               "Heavy Metal",
                                                               "Black Metal",
                                                               "Crossover",
                                                               "Contemporary Christian",
                                                               "Christian Rock",
                                                               "Merengue",
                                                               "Salsa",
                                                               "Trash Metal",
                                                               "Anime",
                                                               "Jpop",
                                                               "Synthpop"};

// Field widths and offsets of the persisted image.
constexpr std::size_t kTextField = 32;
constexpr std::size_t kYearField = 8;
constexpr std::size_t kOffUseFileName = 0;
constexpr std::size_t kOffTitle = 4;
constexpr std::size_t kOffArtist = kOffTitle + kTextField;
constexpr std::size_t kOffAlbum = kOffArtist + kTextField;
constexpr std::size_t kOffYear = kOffAlbum + kTextField;
constexpr std::size_t kOffGenre = kOffYear + kYearField;
constexpr std::size_t kOffComment = kOffGenre + 4;
constexpr std::size_t kOffTrackMode = kOffComment + kTextField;
constexpr std::size_t kOffTrack = kOffTrackMode + 4;
static_assert(kOffTrack + 4 == kTagRecordImageSize);

void PutInt32(TagRecordImage& image, std::size_t offset, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) image[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::int32_t GetInt32(std::span<const std::uint8_t> image, std::size_t offset) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= std::uint32_t{image[offset + i]} << (8 * i);
  return static_cast<std::int32_t>(v);
}

// Copies the Windows-1252 form of `text`, cut to `width` bytes, to `out`.
void PutCutText(std::uint8_t* out, std::size_t width, std::string_view text) {
  const std::string encoded = Utf8ToCp1252(text);
  std::memcpy(out, encoded.data(), std::min(width, encoded.size()));
}

std::string GetText(std::span<const std::uint8_t> image, std::size_t offset, std::size_t width) {
  const auto* begin = reinterpret_cast<const char*>(image.data() + offset);
  const std::size_t len = std::find(begin, begin + width, '\0') - begin;
  return Cp1252ToUtf8(std::string_view(begin, len));
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

TagRecordImage TagRecordToBytes(const TagRecord& record) {
  TagRecordImage image{};
  PutInt32(image, kOffUseFileName, record.useFileNameAsTitle);
  // One byte of each text field stays zero as the terminator.
  PutCutText(image.data() + kOffTitle, kTextField - 1, record.title);
  PutCutText(image.data() + kOffArtist, kTextField - 1, record.artist);
  PutCutText(image.data() + kOffAlbum, kTextField - 1, record.album);
  PutCutText(image.data() + kOffYear, kYearField - 1, record.year);
  PutInt32(image, kOffGenre, record.genre);
  PutCutText(image.data() + kOffComment, kTextField - 1, record.comment);
  PutInt32(image, kOffTrackMode, record.trackMode);
  PutInt32(image, kOffTrack, record.track);
  return image;
}

bool TagRecordFromBytes(std::span<const std::uint8_t> image, TagRecord& record) {
  if (image.size() != kTagRecordImageSize) return false;
  TagRecord r;
  r.useFileNameAsTitle = GetInt32(image, kOffUseFileName);
  r.title = GetText(image, kOffTitle, kTextField);
  r.artist = GetText(image, kOffArtist, kTextField);
  r.album = GetText(image, kOffAlbum, kTextField);
  r.year = GetText(image, kOffYear, kYearField);
  r.genre = GetInt32(image, kOffGenre);
  r.comment = GetText(image, kOffComment, kTextField);
  r.trackMode = GetInt32(image, kOffTrackMode);
  r.track = GetInt32(image, kOffTrack);
  record = std::move(r);
  return true;
}

std::span<const std::string_view> GenreNames() { return kGenres; }

std::string GenreName(int index) {
  if (index < 0 || index >= kGenreCount) return {};
  return std::string(kGenres[static_cast<std::size_t>(index)]);
}

namespace {

// The index of the first table name equal to `name` regardless of case, or -1.
int FindGenre(std::string_view name) {
  // The names are plain ASCII, so ASCII folding is the whole of "regardless of case"; it
  // does not depend on the locale, which other threads may be using.
  for (std::size_t i = 0; i < kGenres.size(); ++i) {
    const std::string_view g = kGenres[i];
    if (g.size() == name.size() && std::equal(g.begin(), g.end(), name.begin(), [](char a, char b) {
          return FoldAscii(a) == FoldAscii(b);
        }))
      return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

std::uint8_t GenreIndexFromName(std::string_view name) {
  const int found = FindGenre(name);
  return static_cast<std::uint8_t>(found < 0 ? 0 : found);
}

std::uint8_t GenreIndexOrNone(std::string_view name) {
  const int found = FindGenre(name);
  return static_cast<std::uint8_t>(found < 0 ? kNoGenre : found);
}

}  // namespace wavorax
