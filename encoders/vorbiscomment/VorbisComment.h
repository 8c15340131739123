// The byte forms in which the FLAC and Ogg writers store AudioTags: the Vorbis comment
// (as FLAC's VORBIS_COMMENT block body, the Ogg Vorbis comment header and the Opus OpusTags
// header), and the FLAC picture structure that FLAC files hold as a PICTURE block and Ogg
// files as the base64 text of a METADATA_BLOCK_PICTURE comment.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoders/vorbiscomment/AudioTags.h"

namespace wavorax {

// "NAME=value" for each field the format can hold, in order; with `withPicture`, a
// METADATA_BLOCK_PICTURE entry for the cover follows, if there is one.
std::vector<std::string> VorbisCommentEntries(const AudioTags& tags, bool withPicture);

enum class CommentPacket {
  FlacBlock,  // the bare structure: vendor, count, entries
  Vorbis,     // 0x03 "vorbis", the structure, the framing bit
  Opus,       // "OpusTags", the structure
};

// The comment structure with `vendor` and the entries of VorbisCommentEntries, little-endian
// lengths as the format has them, framed for `kind`.
std::vector<std::uint8_t> VorbisCommentPacket(const AudioTags& tags, std::string_view vendor,
                                              CommentPacket kind, bool withPicture);

// What a FLAC picture structure says about its image.
struct PictureInfo {
  PictureFormat format = PictureFormat::None;
  std::string mimeType;  // "image/jpeg" or "image/png"
  std::uint32_t width = 0, height = 0;
  std::uint32_t depth = 0;   // bits per pixel
  std::uint32_t colors = 0;  // palette entries of an indexed picture, else 0
};

// Reads the size and colour depth from a JPEG's frame header or a PNG's IHDR (and, for an
// indexed PNG, its palette). Fields the bytes do not give stay 0; format None for anything
// that is not JPEG or PNG.
PictureInfo DescribePicture(std::span<const std::uint8_t> picture);

// The FLAC picture structure of the front cover (picture type 3, no description), big-endian
// as FLAC has it; empty when there is no cover.
std::vector<std::uint8_t> FlacPictureBlock(const AudioTags& tags);

// Standard base64 with padding.
std::string Base64(std::span<const std::uint8_t> bytes);

}  // namespace wavorax
