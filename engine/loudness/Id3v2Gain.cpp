#include "engine/loudness/Id3v2Gain.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace wavorax {

namespace {

using Bytes = std::vector<std::uint8_t>;
using View = std::span<const std::uint8_t>;

constexpr std::size_t kHeaderSize = 10;
constexpr std::uint32_t kMaxSyncsafe = 0x0FFFFFFF;

constexpr std::uint8_t kFlagUnsync = 0x80;
constexpr std::uint8_t kFlagExtended = 0x40;
constexpr std::uint8_t kFlagFooter = 0x10;

// A 28-bit integer in four bytes of seven bits; nothing when a top bit is set.
std::optional<std::uint32_t> Syncsafe(View b) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    if (b[i] & 0x80) return std::nullopt;
    v = (v << 7) | b[i];
  }
  return v;
}

std::uint32_t BigEndian(View b) {
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
         b[3];
}

void PutSize(Bytes& out, std::uint32_t v, bool syncsafe) {
  const int bits = syncsafe ? 7 : 8;
  const std::uint32_t mask = syncsafe ? 0x7F : 0xFF;
  for (int shift = 3 * bits; shift >= 0; shift -= bits)
    out.push_back(static_cast<std::uint8_t>((v >> shift) & mask));
}

// Undoes unsynchronisation: every FF 00 becomes FF.
Bytes Resync(View in) {
  Bytes out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    out.push_back(in[i]);
    if (in[i] == 0xFF && i + 1 < in.size() && in[i + 1] == 0x00) ++i;
  }
  return out;
}

bool ValidFrameId(View id) {
  return std::all_of(id.begin(), id.begin() + 4, [](std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  });
}

// Whether a whole frame (header included) is a TXXX whose description begins with
// "REPLAYGAIN_". A compressed or encrypted frame cannot be read and is kept.
bool IsReplayGainFrame(View frame, int major, bool tagUnsync) {
  if (!std::equal(frame.begin(), frame.begin() + 4, "TXXX")) return false;
  const std::uint8_t format = frame[9];
  View data = frame.subspan(kHeaderSize);
  Bytes resynced;
  if (major == 3) {
    if (format & 0xC0) return false;
    if (format & 0x20) data = data.subspan(std::min<std::size_t>(1, data.size()));
  } else {
    if (format & 0x0C) return false;
    std::size_t skip = 0;
    if (format & 0x40) skip += 1;
    if (format & 0x01) skip += 4;
    data = data.subspan(std::min(skip, data.size()));
    if ((format & 0x02) || tagUnsync) {
      resynced = Resync(data);
      data = resynced;
    }
  }
  if (data.empty()) return false;
  const std::uint8_t encoding = data[0];
  data = data.subspan(1);
  // The description's first characters as ASCII (0 for anything else).
  std::string prefix;
  constexpr std::string_view kPrefix = "REPLAYGAIN_";
  if (encoding == 0 || encoding == 3) {
    for (std::size_t i = 0; i < data.size() && prefix.size() < kPrefix.size() && data[i]; ++i)
      prefix.push_back(static_cast<char>(data[i]));
  } else if (encoding == 1 || encoding == 2) {
    bool little = false;
    std::size_t i = 0;
    if (encoding == 1 && data.size() >= 2) {
      if (data[0] == 0xFF && data[1] == 0xFE) little = true, i = 2;
      if (data[0] == 0xFE && data[1] == 0xFF) i = 2;
    }
    for (; i + 1 < data.size() && prefix.size() < kPrefix.size(); i += 2) {
      const unsigned unit = little ? data[i] | (data[i + 1] << 8) : (data[i] << 8) | data[i + 1];
      if (unit == 0) break;
      prefix.push_back(unit < 0x80 ? static_cast<char>(unit) : '\0');
    }
  } else {
    return false;
  }
  if (prefix.size() != kPrefix.size()) return false;
  for (std::size_t i = 0; i < kPrefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(prefix[i])) != kPrefix[i]) return false;
  return true;
}

void PutTxxx(Bytes& out, const TagField& field, int major) {
  const std::uint32_t size =
      static_cast<std::uint32_t>(1 + field.name.size() + 1 + field.value.size());
  out.insert(out.end(), {'T', 'X', 'X', 'X'});
  PutSize(out, size, major == 4);
  out.insert(out.end(), {0, 0, 0});  // no frame flags; ISO-8859-1
  out.insert(out.end(), field.name.begin(), field.name.end());
  out.push_back(0);
  out.insert(out.end(), field.value.begin(), field.value.end());
}

struct Parsed {
  int major = 4;
  std::uint8_t revision = 0;
  bool unsync = false;  // v2.4 only: kept on the output
  std::vector<View> frames;
  std::size_t padding = 0;
  Bytes resynced;  // owns the frames' bytes of a v2.3 tag that was unsynchronised
};

bool Parse(View tag, Parsed& p) {
  if (tag.size() < kHeaderSize || !std::equal(tag.begin(), tag.begin() + 3, "ID3")) return false;
  p.major = tag[3];
  p.revision = tag[4];
  const std::uint8_t flags = tag[5];
  if ((p.major != 3 && p.major != 4) || p.revision == 0xFF) return false;
  const auto size = Syncsafe(tag.subspan(6, 4));
  if (!size) return false;
  const bool footer = p.major == 4 && (flags & kFlagFooter);
  if (std::size_t{*size} + kHeaderSize + (footer ? kHeaderSize : 0) > tag.size()) return false;
  View body = tag.subspan(kHeaderSize, *size);
  if (flags & kFlagUnsync) {
    if (p.major == 3) {
      p.resynced = Resync(body);
      body = p.resynced;
    } else {
      p.unsync = true;
    }
  }
  std::size_t pos = 0;
  if (flags & kFlagExtended) {
    if (body.size() < 4) return false;
    std::size_t extended;
    if (p.major == 3) {
      extended = std::size_t{BigEndian(body)} + 4;  // the size leaves out its own four bytes
    } else {
      const auto s = Syncsafe(body);
      if (!s || *s < 6) return false;
      extended = *s;
    }
    if (extended > body.size()) return false;
    pos = extended;
  }
  while (pos < body.size()) {
    if (body[pos] == 0) {
      p.padding = body.size() - pos;
      break;
    }
    if (body.size() - pos < kHeaderSize) return false;
    View header = body.subspan(pos, kHeaderSize);
    if (!ValidFrameId(header)) return false;
    std::uint32_t frameSize;
    if (p.major == 4) {
      const auto s = Syncsafe(header.subspan(4, 4));
      if (!s) return false;
      frameSize = *s;
    } else {
      frameSize = BigEndian(header.subspan(4, 4));
    }
    if (frameSize > body.size() - pos - kHeaderSize) return false;
    p.frames.push_back(body.subspan(pos, kHeaderSize + frameSize));
    pos += kHeaderSize + frameSize;
  }
  return true;
}

}  // namespace

Id3v2GainEdit SetReplayGainInId3v2(std::span<const std::uint8_t> tag,
                                   const std::optional<ReplayGain>& gain) {
  Id3v2GainEdit refused{Bytes(tag.begin(), tag.end()), false};
  Parsed p;
  if (!tag.empty() && !Parse(tag, p)) return refused;

  Bytes body;
  for (View frame : p.frames)
    if (!IsReplayGainFrame(frame, p.major, p.unsync))
      body.insert(body.end(), frame.begin(), frame.end());
  if (gain)
    for (const TagField& field : ReplayGainFields(*gain)) PutTxxx(body, field, p.major);
  if (body.empty()) return {Bytes(), true};
  body.resize(body.size() + p.padding, 0);
  if (body.size() > kMaxSyncsafe) return refused;

  Id3v2GainEdit edit;
  edit.edited = true;
  Bytes& out = edit.block;
  out.reserve(kHeaderSize + body.size());
  out.insert(out.end(), {'I', 'D', '3', static_cast<std::uint8_t>(p.major), p.revision,
                         static_cast<std::uint8_t>(p.unsync ? kFlagUnsync : 0)});
  PutSize(out, static_cast<std::uint32_t>(body.size()), true);
  out.insert(out.end(), body.begin(), body.end());
  return edit;
}

}  // namespace wavorax
