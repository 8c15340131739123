#include "decoders/audiolib/SourceTags.h"

#include <taglib/id3v1genres.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>

#include "decoders/audiolib/BassDecoder.h"
#include "decoders/audiolib/TagText.h"

namespace wavorax {

int SplitTagText(const std::string& text, std::string& title, std::string& artist,
                 std::string& album, std::string& year, std::string& genre, std::string& comment,
                 std::string& track) {
  if (text.empty()) return 0;
  std::string* lines[6] = {&track, &title, &artist, &album, &genre, &year};
  std::size_t start = 0;
  for (std::string* field : lines) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) return 1;
    *field = text.substr(start, end - start);
    start = end + 1;
  }
  comment = text.substr(start);
  return 1;
}

int ReadMp4Tags(const std::string& path, std::string& title, std::string& artist,
                std::string& album, std::string& year, std::string& genre, std::string& comment,
                std::string& track) {
  TagLib::MP4::File file(path.c_str(), false);
  if (!file.isValid()) return 0;
  TagLib::MP4::Tag* tag = file.tag();
  if (!tag) return 0;

  auto text = [&](const char* key, std::string& out) {
    if (!tag->contains(key)) return false;
    const TagLib::StringList values = tag->item(key).toStringList();
    if (values.isEmpty()) return false;
    out = values.front().to8Bit(true);
    return true;
  };
  bool found = false;
  found |= text("\251nam", title);
  found |= text("\251ART", artist);
  found |= text("\251alb", album);
  found |= text("\251day", year);
  if (text("\251gen", genre)) {
    found = true;
  } else if (tag->contains("gnre")) {
    // The older numeric genre item holds an ID3v1 genre number plus one.
    const int number = tag->item("gnre").toInt();
    const TagLib::String name = TagLib::ID3v1::genre(number - 1);
    if (number > 0 && !name.isEmpty()) {
      genre = name.to8Bit(true);
      found = true;
    }
  }
  found |= text("\251cmt", comment);
  if (tag->contains("trkn")) track = std::to_string(tag->item("trkn").toIntPair().first);
  return found ? 1 : 0;
}

namespace {

// SplitTagText, where a track number alone is not a tag worth carrying over (as with MP4
// metadata): tags count only when something other than line feeds follows the track's line.
int SplitTags(const std::string& text, std::string& title, std::string& artist, std::string& album,
              std::string& year, std::string& genre, std::string& comment, std::string& track) {
  if (!SplitTagText(text, title, artist, album, year, genre, comment, track)) return 0;
  const std::size_t trackEnd = text.find('\n');
  return trackEnd != std::string::npos &&
                 text.find_first_not_of('\n', trackEnd + 1) != std::string::npos
             ? 1
             : 0;
}

}  // namespace

int ReadTagLayerTags(ByteSource& source, audiolib::TagContainer container, std::string& title,
                     std::string& artist, std::string& album, std::string& year, std::string& genre,
                     std::string& comment, std::string& track) {
  audiolib::TagFields fields;
  audiolib::ReadTagLibFields(source, fields, container);
  audiolib::ReadRiffInfoFields(source, fields);  // fills what an ID3 chunk left empty
  return SplitTags(audiolib::FormatTagText(kTagTextFormat, fields), title, artist, album, year,
                   genre, comment, track);
}

int CBassDecoder::ReadTags(std::string& title, std::string& artist, std::string& album,
                           std::string& year, std::string& genre, std::string& comment,
                           std::string& track) {
  if (!handle) return 0;
  if (isMp4File) return ReadMp4Tags(path, title, artist, album, year, genre, comment, track);
  // The layer hands out UTF-8 for every tag format (ID3 Latin-1 and UTF-16 included), which is
  // what the callers want, so the text is split as it comes.
  return SplitTags(handle->ReadTagText(kTagTextFormat), title, artist, album, year, genre, comment,
                   track);
}

}  // namespace wavorax
