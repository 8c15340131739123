// The body shared by the fuzz targets of the program's own decoders: open arbitrary bytes
// from memory, then decode everything the parser accepts into caller-sized blocks, so that
// any read or write outside a buffer shows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/ByteSource.h"
#include "decoders/Decoder.h"

namespace wavorax {

template <typename Decoder>
int FuzzOwnDecoder(const std::uint8_t* data, std::size_t size) {
  Decoder decoder;
  if (!decoder.OpenSource(ByteSource::FromMemory(data, size))) return 0;
  // Exactly one block per channel, on the heap, so that an overrun is caught.
  const std::size_t bytes = kDecodeBlock * 2;
  std::vector<std::uint8_t> left(bytes), right(bytes);
  const bool stereo = decoder.GetOutputChannels() == 2;
  // Touch the last byte of each tag, so that a tag shorter than it claims shows.
  std::uint32_t id3v2Size = 0;
  const std::uint8_t* tag = decoder.GetId3v2Tag(&id3v2Size);
  if (tag && id3v2Size > 0 && tag[id3v2Size - 1] == 0x5A) left[0] = 1;
  if (const std::uint8_t* v1 = decoder.GetId3v1Tag(); v1 && v1[127] == 0x5A) left[0] = 2;
  for (int blocks = 0; blocks < 200000; ++blocks) {
    const int n = decoder.Read(left.data(), stereo ? right.data() : nullptr);
    if (n <= 0) break;
    if (n > kDecodeBlock) __builtin_trap();
  }
  // The tags go through the tag layer's parsers (ID3, APE, RIFF INFO) on the same bytes.
  std::string title, artist, album, year, genre, comment, track;
  (void)decoder.ReadTags(title, artist, album, year, genre, comment, track);
  (void)decoder.GetDuration();
  (void)decoder.GetBitrate();
  (void)decoder.GetChannelMode();
  return 0;
}

}  // namespace wavorax
