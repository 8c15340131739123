#include "encoders/vorbiscomment/VorbisComment.h"

#include <cstring>

namespace wavorax {

namespace {

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutBytes(std::vector<std::uint8_t>& out, std::string_view s) {
  out.insert(out.end(), s.begin(), s.end());
}

std::uint32_t Be16(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint32_t{b[at]} << 8 | b[at + 1];
}

std::uint32_t Be32(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 |
         std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// Walks the JPEG markers up to the first frame header (SOF0 ... SOF15 but DHT, JPG, DAC).
void DescribeJpeg(std::span<const std::uint8_t> b, PictureInfo& info) {
  std::size_t pos = 2;
  while (pos < b.size()) {
    if (b[pos] != 0xFF) return;
    while (pos < b.size() && b[pos] == 0xFF) ++pos;  // fill bytes
    if (pos >= b.size()) return;
    const std::uint8_t marker = b[pos++];
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (marker == 0xD9 || marker == 0xDA) return;  // end of image, start of scan
    if (pos + 2 > b.size()) return;
    const std::uint32_t length = Be16(b, pos);
    if (length < 2) return;
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 8 || pos + 8 > b.size()) return;
      info.height = Be16(b, pos + 3);
      info.width = Be16(b, pos + 5);
      info.depth = std::uint32_t{b[pos + 2]} * b[pos + 7];
      return;
    }
    pos += length;
  }
}

void DescribePng(std::span<const std::uint8_t> b, PictureInfo& info) {
  // The IHDR chunk comes first, right after the signature.
  if (b.size() < 33 || std::memcmp(b.data() + 12, "IHDR", 4) != 0) return;
  info.width = Be32(b, 16);
  info.height = Be32(b, 20);
  const std::uint32_t bits = b[24];
  switch (b[25]) {
    case 0:
      info.depth = bits;
      break;
    case 2:
      info.depth = bits * 3;
      break;
    case 4:
      info.depth = bits * 2;
      break;
    case 6:
      info.depth = bits * 4;
      break;
    case 3: {
      // Whatever the index width, palette entries are 8-bit RGB triples.
      info.depth = 24;
      for (std::size_t pos = 8; pos + 8 <= b.size();) {
        const std::uint32_t length = Be32(b, pos);
        if (std::memcmp(b.data() + pos + 4, "PLTE", 4) == 0) {
          info.colors = length / 3;
          break;
        }
        if (std::memcmp(b.data() + pos + 4, "IDAT", 4) == 0 || length > b.size()) break;
        pos += 12 + std::size_t{length};
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace

std::vector<std::string> VorbisCommentEntries(const AudioTags& tags, bool withPicture) {
  std::vector<std::string> out;
  out.reserve(tags.fields.size() + 1);
  for (const AudioTags::Field& f : tags.fields) {
    if (!IsLegalFieldName(f.name) || !IsLegalFieldValue(f.value)) continue;
    std::string entry;
    entry.reserve(f.name.size() + 1 + f.value.size());
    for (char c : f.name) entry += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    entry += '=';
    entry += f.value;
    out.push_back(std::move(entry));
  }
  if (withPicture) {
    const std::vector<std::uint8_t> picture = FlacPictureBlock(tags);
    if (!picture.empty()) out.push_back("METADATA_BLOCK_PICTURE=" + Base64(picture));
  }
  return out;
}

std::vector<std::uint8_t> VorbisCommentPacket(const AudioTags& tags, std::string_view vendor,
                                              CommentPacket kind, bool withPicture) {
  const std::vector<std::string> entries = VorbisCommentEntries(tags, withPicture);
  std::size_t size = 8 + 4 + vendor.size() + 4 + 1;
  for (const std::string& e : entries) size += 4 + e.size();
  std::vector<std::uint8_t> out;
  out.reserve(size);
  if (kind == CommentPacket::Vorbis) {
    out.push_back(0x03);
    PutBytes(out, "vorbis");
  } else if (kind == CommentPacket::Opus) {
    PutBytes(out, "OpusTags");
  }
  PutLe32(out, static_cast<std::uint32_t>(vendor.size()));
  PutBytes(out, vendor);
  PutLe32(out, static_cast<std::uint32_t>(entries.size()));
  for (const std::string& e : entries) {
    PutLe32(out, static_cast<std::uint32_t>(e.size()));
    PutBytes(out, e);
  }
  if (kind == CommentPacket::Vorbis) out.push_back(0x01);  // framing bit
  return out;
}

PictureInfo DescribePicture(std::span<const std::uint8_t> picture) {
  PictureInfo info;
  info.format = PictureFormatOf(picture);
  if (info.format == PictureFormat::Jpeg) {
    info.mimeType = "image/jpeg";
    DescribeJpeg(picture, info);
  } else if (info.format == PictureFormat::Png) {
    info.mimeType = "image/png";
    DescribePng(picture, info);
  }
  return info;
}

std::vector<std::uint8_t> FlacPictureBlock(const AudioTags& tags) {
  const std::span<const std::uint8_t> data(tags.frontCover);
  if (data.empty() || data.size() > kMaxTagCoverBytes) return {};
  const PictureInfo info = DescribePicture(data);
  if (info.format == PictureFormat::None) return {};
  std::vector<std::uint8_t> out;
  out.reserve(32 + info.mimeType.size() + data.size());
  PutBe32(out, 3);  // front cover
  PutBe32(out, static_cast<std::uint32_t>(info.mimeType.size()));
  PutBytes(out, info.mimeType);
  PutBe32(out, 0);  // no description
  PutBe32(out, info.width);
  PutBe32(out, info.height);
  PutBe32(out, info.depth);
  PutBe32(out, info.colors);
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::string Base64(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v =
        std::uint32_t{bytes[i]} << 16 | std::uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += kDigits[(v >> 6) & 63];
    out += kDigits[v & 63];
  }
  if (i < bytes.size()) {
    const bool two = i + 1 < bytes.size();
    const std::uint32_t v =
        std::uint32_t{bytes[i]} << 16 | (two ? std::uint32_t{bytes[i + 1]} << 8 : 0);
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += two ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace wavorax
