#include "decoders/audiolib/TagText.h"

#include <taglib/fileref.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/wavfile.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "base/ByteOrder.h"
#include "base/ByteSource.h"
#include "base/Cp1252.h"
#include "base/Utf8.h"

namespace wavorax::audiolib {
namespace {

// A value ends at its first NUL, as the zero-terminated texts of tag formats do.
std::string CutAtNul(std::string value) {
  const auto nul = value.find('\0');
  if (nul != std::string::npos) value.resize(nul);
  return value;
}

std::string Flatten(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') continue;  // CR LF → one space
    out.push_back(c == '\n' || c == '\r' ? ' ' : c);
  }
  return out;
}

// TagLib reads ID3 text marked Latin-1 as ISO 8859-1; ToValidUtf8 gives its C1 controls
// back the Windows-1252 characters that the tagger meant.
std::string Utf8Of(const TagLib::String& s) { return ToValidUtf8(CutAtNul(s.to8Bit(true))); }

}  // namespace

std::string FormatTagText(const std::string& format, const TagFields& fields) {
  if (fields.Empty()) return {};
  std::string out;
  for (std::size_t i = 0; i < format.size();) {
    if (format[i] == '%' && i + 5 <= format.size()) {
      const std::string key = format.substr(i + 1, 4);
      const std::string* value = nullptr;
      bool keepLineBreaks = false;
      if (key == "TITL")
        value = &fields.title;
      else if (key == "ARTI")
        value = &fields.artist;
      else if (key == "ALBM")
        value = &fields.album;
      else if (key == "GNRE")
        value = &fields.genre;
      else if (key == "YEAR")
        value = &fields.year;
      else if (key == "TRCK")
        value = &fields.track;
      else if (key == "CMNT")
        value = &fields.comment, keepLineBreaks = true;
      if (value) {
        out += keepLineBreaks ? CutAtNul(*value) : Flatten(CutAtNul(*value));
        i += 5;
        continue;
      }
    }
    out.push_back(format[i++]);
  }
  return out;
}

std::string ToValidUtf8(const std::string& text) {
  if (IsValidUtf8(text)) return C1AsCp1252(text);
  return Cp1252ToUtf8(text);
}

bool ReadTagLibFields(ByteSource& source, TagFields& fields, TagContainer container) {
  // TagLib reads by path (choosing the format by extension, then by content) or, for data in
  // memory, from a stream by content alone; or as the container the caller names. Audio
  // properties are not needed.
  std::unique_ptr<TagLib::ByteVectorStream> memory;
  if (const auto* bytes = source.Memory())
    memory = std::make_unique<TagLib::ByteVectorStream>(TagLib::ByteVector(
        reinterpret_cast<const char*>(bytes->data()), static_cast<unsigned>(bytes->size())));
  const char* path = source.Path().c_str();
  TagLib::ID3v2::FrameFactory* frames = TagLib::ID3v2::FrameFactory::instance();
  std::unique_ptr<TagLib::File> file;
  std::unique_ptr<TagLib::FileRef> ref;
  switch (container) {
    case TagContainer::kMpeg:
      file = memory ? std::make_unique<TagLib::MPEG::File>(memory.get(), frames, false)
                    : std::make_unique<TagLib::MPEG::File>(path, frames, false);
      break;
    case TagContainer::kRiffWave:
      file = memory ? std::make_unique<TagLib::RIFF::WAV::File>(memory.get(), false)
                    : std::make_unique<TagLib::RIFF::WAV::File>(path, false);
      break;
    case TagContainer::kAny:
      ref = memory ? std::make_unique<TagLib::FileRef>(memory.get(), false)
                   : std::make_unique<TagLib::FileRef>(path, false);
      break;
  }
  const TagLib::Tag* tag = nullptr;
  if (file)
    tag = file->isValid() ? file->tag() : nullptr;
  else
    tag = ref->isNull() ? nullptr : ref->tag();
  if (!tag) return false;
  fields.title = Utf8Of(tag->title());
  fields.artist = Utf8Of(tag->artist());
  fields.album = Utf8Of(tag->album());
  fields.genre = Utf8Of(tag->genre());
  fields.comment = Utf8Of(tag->comment());
  fields.year = tag->year() ? std::to_string(tag->year()) : std::string();
  fields.track = tag->track() ? std::to_string(tag->track()) : std::string();
  return !fields.Empty();
}

bool ReadRiffInfoFields(ByteSource& source, TagFields& fields) {
  // Far more than any real INFO list holds; a larger size is damage.
  constexpr std::uint32_t kMaxInfoBytes = 1u << 20;
  std::uint8_t head[12];
  if (source.ReadAt(0, head, sizeof head) != sizeof head || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0)
    return false;
  bool found = false;
  for (std::uint64_t at = 12; at + 8 <= source.Size();) {
    std::uint8_t chunk[12];
    const std::size_t got = source.ReadAt(at, chunk, sizeof chunk);
    const std::uint32_t size = Le32(chunk + 4);
    if (got == sizeof chunk && std::memcmp(chunk, "LIST", 4) == 0 &&
        std::memcmp(chunk + 8, "INFO", 4) == 0 && size >= 4 && size <= kMaxInfoBytes) {
      std::vector<std::uint8_t> body(size - 4);
      body.resize(source.ReadAt(at + 12, body.data(), body.size()));
      for (std::size_t i = 0; i + 8 <= body.size();) {
        const std::uint32_t n = Le32(&body[i + 4]);
        if (n > body.size() - i - 8) break;
        const std::string id(reinterpret_cast<const char*>(&body[i]), 4);
        std::string* field = id == "INAM"                   ? &fields.title
                             : id == "IART"                 ? &fields.artist
                             : id == "IPRD"                 ? &fields.album
                             : id == "ICRD"                 ? &fields.year
                             : id == "IGNR"                 ? &fields.genre
                             : id == "ICMT"                 ? &fields.comment
                             : id == "IPRT" || id == "ITRK" ? &fields.track
                                                            : nullptr;
        const std::string value =
            ToValidUtf8(CutAtNul(std::string(reinterpret_cast<const char*>(&body[i + 8]), n)));
        if (field && field->empty() && !value.empty()) {
          *field = value;
          found = true;
        }
        i += 8 + std::size_t{n} + (n & 1);
      }
    }
    at += 8 + std::uint64_t{size} + (size & 1);
  }
  return found;
}

}  // namespace wavorax::audiolib
