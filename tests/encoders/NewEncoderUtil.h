// Helpers for the tests of the FLAC, Opus, Vorbis and ALAC writers: 32-bit planar signals
// at a chosen width, and one whole conversion through any of the four.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "encoders/alac/AlacEncoder.h"
#include "encoders/flac/FlacEncoder.h"
#include "encoders/opus/OpusEncoder.h"
#include "encoders/vorbis/VorbisEncoder.h"
#include "encoders/vorbiscomment/AudioTags.h"

namespace wavorax::test {

enum class NewEncoder { Flac, Opus, Vorbis, Alac };

inline const char* ExtensionOf(NewEncoder e) {
  switch (e) {
    case NewEncoder::Flac:
      return "flac";
    case NewEncoder::Opus:
      return "opus";
    case NewEncoder::Vorbis:
      return "ogg";
    case NewEncoder::Alac:
      return "m4a";
  }
  return "";
}

struct Pcm32 {
  std::vector<std::int32_t> left, right;
  int rate = 44100, channels = 2, bits = 16;

  // A rising sweep on the left and a falling one on the right, at half and 0.4 of full
  // scale, with noise in the lowest bits so that every bit of the width carries
  // information: nothing repeats, so a delay or a lost bit shows.
  static Pcm32 Sweep(int rate, int channels, int bits, std::size_t frames) {
    Pcm32 p;
    p.rate = rate;
    p.channels = channels;
    p.bits = bits;
    p.left.resize(frames);
    p.right.resize(channels == 2 ? frames : 0);
    const double full = std::ldexp(1.0, bits - 1) - 1;
    const double seconds = double(frames) / rate;
    double phaseL = 0, phaseR = 0;
    std::uint32_t x = 12345;
    for (std::size_t i = 0; i < frames; ++i) {
      const double t = double(i) / rate / seconds;
      phaseL += 2 * M_PI * (200.0 + 3800.0 * t) / rate;
      phaseR += 2 * M_PI * (4000.0 - 3700.0 * t) / rate;
      x = x * 1664525u + 1013904223u;
      const int noise = static_cast<int>(x >> 29) - 4;
      p.left[i] = static_cast<std::int32_t>(std::lround(0.5 * full * std::sin(phaseL))) + noise;
      if (channels == 2)
        p.right[i] = static_cast<std::int32_t>(std::lround(0.4 * full * std::sin(phaseR))) - noise;
    }
    return p;
  }

  // The same samples as 16-bit values, interleaved, for comparing with a decoded file.
  std::vector<std::int16_t> Interleaved16() const {
    std::vector<std::int16_t> out;
    out.reserve(left.size() * channels);
    const int shift = bits - 16;
    for (std::size_t i = 0; i < left.size(); ++i) {
      out.push_back(static_cast<std::int16_t>(left[i] >> shift));
      if (channels == 2) out.push_back(static_cast<std::int16_t>(right[i] >> shift));
    }
    return out;
  }
};

// Encodes the whole signal in blocks of `block` samples; true only if every step did.
inline bool Encode(NewEncoder kind, const std::string& path, const Pcm32& pcm,
                   const AudioTags* tags = nullptr, int block = 4000) {
  auto run = [&](auto& enc, bool opened, auto&& setTags) {
    if (!opened) return false;
    if (tags && !setTags()) return false;
    bool ok = true;
    for (std::size_t i = 0; ok && i < pcm.left.size(); i += static_cast<std::size_t>(block)) {
      const int n = static_cast<int>(std::min<std::size_t>(block, pcm.left.size() - i));
      ok = enc.Write(pcm.left.data() + i, pcm.channels == 2 ? pcm.right.data() + i : nullptr, n);
    }
    return enc.Close() && ok;
  };
  switch (kind) {
    case NewEncoder::Flac: {
      CFlacEncoder enc;
      return run(enc, enc.Open(path, pcm.rate, pcm.channels, pcm.bits),
                 [&] { return enc.SetTags(*tags); });
    }
    case NewEncoder::Opus: {
      COpusEncoder enc;
      return run(enc, enc.Open(path, pcm.rate, pcm.channels, pcm.bits),
                 [&] { return enc.SetTags(*tags); });
    }
    case NewEncoder::Vorbis: {
      CVorbisEncoder enc;
      return run(enc, enc.Open(path, pcm.rate, pcm.channels, pcm.bits),
                 [&] { return enc.SetTags(*tags); });
    }
    case NewEncoder::Alac: {
      CAlacEncoder enc;
      return run(enc, enc.Open(path, pcm.rate, pcm.channels, pcm.bits), [&] {
        const auto first = [&](const char* name) {
          const auto v = tags->Values(name);
          return v.empty() ? std::string() : v.front();
        };
        return enc.SetMetadata(first("TITLE"), first("ARTIST"), first("ALBUM"), first("GENRE"),
                               first("DATE"), first("COMMENT"),
                               std::atoi(first("TRACKNUMBER").c_str())) &&
               (tags->frontCover.empty() || enc.SetCoverArt(tags->frontCover));
      });
    }
  }
  return false;
}

}  // namespace wavorax::test
