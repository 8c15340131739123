// The 128-byte ID3v1 block at the end of an MP3 file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace wavorax {

inline constexpr std::size_t kId3v1Size = 128;
using Id3v1Block = std::array<std::uint8_t, kId3v1Size>;

// The 128-byte ID3v1 block ("TAG", title 30, artist 30, album 30, year 4, comment 30, genre).
// With hasTrack it is the ID3v1.1 layout: the comment keeps 28 bytes, byte 125 is zero and
// byte 126 is the track's low byte. The genre byte is `genre`'s low byte (255 = none).
// Texts are UTF-8; they are converted to Windows-1252 before they are cut to their fields,
// so that a character is never split and each character takes one byte.
Id3v1Block BuildId3v1(std::string_view title, std::string_view artist, std::string_view album,
                      std::string_view year, std::string_view comment, int genre, bool hasTrack,
                      int track);

}  // namespace wavorax
