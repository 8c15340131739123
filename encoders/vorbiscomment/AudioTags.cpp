#include "encoders/vorbiscomment/AudioTags.h"

#include <cstring>

#include "base/Utf8.h"

namespace wavorax {

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

}  // namespace

PictureFormat PictureFormatOf(std::span<const std::uint8_t> b) {
  static constexpr std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return PictureFormat::Jpeg;
  if (b.size() >= 8 && std::memcmp(b.data(), kPng, 8) == 0) return PictureFormat::Png;
  return PictureFormat::None;
}

bool IsLegalFieldName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name)
    if (c < 0x20 || c > 0x7D || c == '=') return false;
  return true;
}

bool IsLegalFieldValue(std::string_view value) {
  return !value.empty() && value.find('\0') == std::string_view::npos && IsValidUtf8(value);
}

bool AudioTags::Add(std::string_view name, std::string_view value) {
  if (!IsLegalFieldName(name) || !IsLegalFieldValue(value)) return false;
  Field f{std::string(name), std::string(value)};
  for (char& c : f.name) c = Upper(c);
  fields.push_back(std::move(f));
  return true;
}

std::vector<std::string> AudioTags::Values(std::string_view name) const {
  std::vector<std::string> out;
  for (const Field& f : fields)
    if (SameName(f.name, name)) out.push_back(f.value);
  return out;
}

bool AudioTags::SetFrontCover(std::span<const std::uint8_t> picture) {
  frontCover.clear();
  if (picture.size() > kMaxTagCoverBytes || PictureFormatOf(picture) == PictureFormat::None)
    return false;
  frontCover.assign(picture.begin(), picture.end());
  return true;
}

}  // namespace wavorax
