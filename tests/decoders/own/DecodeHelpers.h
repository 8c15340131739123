// Shared by the decoder tests: running a decoder to its end, building files byte by byte,
// and comparing against FFmpeg's decoding of the same file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decoders/Decoder.h"
#include "tests/support/DecodeAll.h"

namespace wavorax::test {

// Takes channels [0, keep) of an interleaved signal with `channels` channels.
std::vector<std::int16_t> FirstChannels(const std::vector<std::int16_t>& interleaved, int channels,
                                        int keep);

// A little-endian byte writer for building files in memory.
struct Bytes {
  std::vector<std::uint8_t> data;
  Bytes& Text(const char* s);
  Bytes& U8(unsigned v);
  Bytes& Le16(unsigned v);
  Bytes& Le32(std::uint32_t v);
  Bytes& Be32(std::uint32_t v);
  Bytes& Append(const std::vector<std::uint8_t>& more);
};

// A RIFF/WAVE file: the given fmt chunk body and data, in that order unless
// `dataFirst`.
std::vector<std::uint8_t> MakeWav(const std::vector<std::uint8_t>& fmtBody,
                                  const std::vector<std::uint8_t>& data, bool dataFirst = false);
// The 16-byte basic fmt body.
Bytes FmtBody(int tag, int channels, std::uint32_t rate, int blockAlign, int bits);

// A speech-like test signal: a few harmonics under a slow amplitude envelope with
// pauses, at the given rate.
std::vector<std::int16_t> SpeechLike(int sampleRate, std::size_t frames);

// Largest absolute difference over the common length; lengths must match for a pass.
int MaxAbsDiff(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b);

// SNR of `test` against `reference` after finding the best alignment within ±maxLag
// samples per channel (MP3 decoders differ in the delay they report and trim).
double AlignedSnrDb(const std::vector<std::int16_t>& reference,
                    const std::vector<std::int16_t>& test, int channels, int maxLag,
                    int* bestLag = nullptr, int* maxDiff = nullptr);

}  // namespace wavorax::test
