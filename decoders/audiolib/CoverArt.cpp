#include "decoders/audiolib/CoverArt.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <filesystem>
#include <optional>

namespace wavorax {

CoverImageType CoverImageTypeOf(std::span<const std::uint8_t> b) {
  if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return CoverImageType::Jpeg;
  static constexpr std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (b.size() >= 8 && std::equal(kPng, kPng + 8, b.begin())) return CoverImageType::Png;
  return CoverImageType::Unknown;
}

namespace {

using Picture = std::optional<TagLib::ByteVector>;

Picture FromId3v2(TagLib::ID3v2::Tag* tag) {
  if (!tag) return std::nullopt;
  Picture first;
  for (TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
    auto* apic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
    if (!apic) continue;
    if (apic->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) return apic->picture();
    if (!first) first = apic->picture();
  }
  return first;
}

Picture FromPictures(const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
  Picture first;
  for (const TagLib::FLAC::Picture* picture : pictures) {
    if (picture->type() == TagLib::FLAC::Picture::FrontCover) return picture->data();
    if (!first) first = picture->data();
  }
  return first;
}

// An APE binary item holds the picture's file name, a zero byte, then the picture.
Picture FromApe(TagLib::APE::Tag* tag) {
  if (!tag) return std::nullopt;
  const TagLib::APE::ItemListMap& items = tag->itemListMap();
  const auto it = items.find("COVER ART (FRONT)");
  if (it == items.end() || it->second.type() != TagLib::APE::Item::Binary) return std::nullopt;
  const TagLib::ByteVector data = it->second.binaryData();
  const int nul = data.find('\0');
  if (nul < 0) return std::nullopt;
  return data.mid(static_cast<unsigned int>(nul) + 1);
}

Picture FromFile(TagLib::File* file) {
  if (auto* f = dynamic_cast<TagLib::MPEG::File*>(file)) {
    if (Picture p = FromId3v2(f->ID3v2Tag())) return p;
    return FromApe(f->APETag());
  }
  if (auto* f = dynamic_cast<TagLib::FLAC::File*>(file)) {
    if (Picture p = FromPictures(f->pictureList())) return p;
    return f->hasXiphComment() ? FromPictures(f->xiphComment()->pictureList()) : std::nullopt;
  }
  if (auto* f = dynamic_cast<TagLib::MP4::File*>(file)) {
    TagLib::MP4::Tag* tag = f->tag();
    if (!tag || !tag->contains("covr")) return std::nullopt;
    // covr items carry no picture type; the first is the cover by convention.
    const TagLib::MP4::CoverArtList covers = tag->item("covr").toCoverArtList();
    if (covers.isEmpty()) return std::nullopt;
    return covers.front().data();
  }
  if (auto* f = dynamic_cast<TagLib::RIFF::WAV::File*>(file))
    return f->hasID3v2Tag() ? FromId3v2(f->ID3v2Tag()) : std::nullopt;
  if (auto* f = dynamic_cast<TagLib::RIFF::AIFF::File*>(file))
    return f->hasID3v2Tag() ? FromId3v2(f->tag()) : std::nullopt;
  if (auto* f = dynamic_cast<TagLib::APE::File*>(file)) return FromApe(f->APETag());
  if (auto* f = dynamic_cast<TagLib::MPC::File*>(file)) return FromApe(f->APETag());
  if (auto* f = dynamic_cast<TagLib::WavPack::File*>(file)) return FromApe(f->APETag());
  // Ogg Vorbis, Opus, Speex and Ogg FLAC keep their pictures in the Vorbis comment.
  if (auto* comment = dynamic_cast<TagLib::Ogg::XiphComment*>(file->tag()))
    return FromPictures(comment->pictureList());
  return std::nullopt;
}

}  // namespace

std::vector<std::uint8_t> ReadFrontCover(const std::string& path) {
  // Only regular files are opened: opening some devices has effects of its own, and a CD
  // track's name is no file at all.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return {};
  TagLib::FileRef ref(path.c_str(), false);
  if (ref.isNull() || !ref.file()->isValid()) return {};
  const Picture picture = FromFile(ref.file());
  if (!picture || picture->isEmpty() || picture->size() > kMaxCoverBytes) return {};
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(picture->data());
  const std::span<const std::uint8_t> view(bytes, picture->size());
  if (CoverImageTypeOf(view) == CoverImageType::Unknown) return {};
  return {view.begin(), view.end()};
}

}  // namespace wavorax
