#include "tests/decoders/own/DecodeHelpers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace wavorax::test {

std::vector<std::int16_t> FirstChannels(const std::vector<std::int16_t>& interleaved, int channels,
                                        int keep) {
  std::vector<std::int16_t> out;
  for (std::size_t i = 0; i + static_cast<std::size_t>(channels) <= interleaved.size();
       i += static_cast<std::size_t>(channels))
    for (int c = 0; c < keep; ++c) out.push_back(interleaved[i + static_cast<std::size_t>(c)]);
  return out;
}

Bytes& Bytes::Text(const char* s) {
  while (*s) data.push_back(static_cast<std::uint8_t>(*s++));
  return *this;
}
Bytes& Bytes::U8(unsigned v) {
  data.push_back(static_cast<std::uint8_t>(v));
  return *this;
}
Bytes& Bytes::Le16(unsigned v) { return U8(v & 0xFF).U8((v >> 8) & 0xFF); }
Bytes& Bytes::Le32(std::uint32_t v) { return Le16(v & 0xFFFF).Le16(v >> 16); }
Bytes& Bytes::Be32(std::uint32_t v) {
  return U8(v >> 24).U8((v >> 16) & 0xFF).U8((v >> 8) & 0xFF).U8(v & 0xFF);
}
Bytes& Bytes::Append(const std::vector<std::uint8_t>& more) {
  data.insert(data.end(), more.begin(), more.end());
  return *this;
}

std::vector<std::uint8_t> MakeWav(const std::vector<std::uint8_t>& fmtBody,
                                  const std::vector<std::uint8_t>& audio, bool dataFirst) {
  Bytes fmt;
  fmt.Text("fmt ").Le32(static_cast<std::uint32_t>(fmtBody.size())).Append(fmtBody);
  if (fmtBody.size() % 2) fmt.U8(0);
  Bytes data;
  data.Text("data").Le32(static_cast<std::uint32_t>(audio.size())).Append(audio);
  Bytes body;
  body.Text("WAVE");
  if (dataFirst) {
    body.Append(data.data).Append(fmt.data);
  } else {
    body.Append(fmt.data).Append(data.data);
  }
  Bytes file;
  file.Text("RIFF").Le32(static_cast<std::uint32_t>(body.data.size())).Append(body.data);
  return file.data;
}

Bytes FmtBody(int tag, int channels, std::uint32_t rate, int blockAlign, int bits) {
  Bytes b;
  b.Le16(static_cast<unsigned>(tag))
      .Le16(static_cast<unsigned>(channels))
      .Le32(rate)
      .Le32(rate * static_cast<std::uint32_t>(blockAlign))
      .Le16(static_cast<unsigned>(blockAlign))
      .Le16(static_cast<unsigned>(bits));
  return b;
}

std::vector<std::int16_t> SpeechLike(int sampleRate, std::size_t frames) {
  std::vector<std::int16_t> out(frames);
  const double pi = 3.14159265358979323846;
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / sampleRate;
    // A pitch gliding between 110 and 180 Hz with formant-like harmonics, in syllables.
    const double pitch = 145 + 35 * std::sin(2 * pi * 0.7 * t);
    const double phase = 2 * pi * pitch * t;
    double v = 0.5 * std::sin(phase) + 0.3 * std::sin(2 * phase + 0.3) +
               0.15 * std::sin(5 * phase + 1.1) + 0.08 * std::sin(11 * phase + 2.0);
    const double syllable = std::sin(pi * std::fmod(t * 3.1, 1.0));
    v *= syllable * syllable * 0.6;
    out[i] = static_cast<std::int16_t>(std::lround(v * 32767));
  }
  return out;
}

int MaxAbsDiff(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b) {
  int worst = 0;
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

double AlignedSnrDb(const std::vector<std::int16_t>& reference,
                    const std::vector<std::int16_t>& test, int channels, int maxLag, int* bestLag,
                    int* maxDiff) {
  const long refFrames = static_cast<long>(reference.size()) / channels;
  const long testFrames = static_cast<long>(test.size()) / channels;
  auto at = [&](const std::vector<std::int16_t>& v, long frame, int c) {
    return static_cast<double>(v[static_cast<std::size_t>(frame * channels + c)]);
  };
  // The lag: least squared error over a window in the middle of the reference.
  const long windowStart = refFrames / 2, windowEnd = std::min(refFrames, windowStart + 4096);
  double leastError = std::numeric_limits<double>::infinity();
  int lagFound = 0;
  for (int lag = -maxLag; lag <= maxLag; ++lag) {
    if (windowStart + lag < 0 || windowEnd + lag > testFrames) continue;
    double error = 0;
    for (long i = windowStart; i < windowEnd && error < leastError; ++i)
      for (int c = 0; c < channels; ++c) {
        const double d = at(reference, i, c) - at(test, i + lag, c);
        error += d * d;
      }
    if (error < leastError) {
      leastError = error;
      lagFound = lag;
    }
  }
  // Then the whole overlap at that lag, without the first and last 2000 frames where the
  // decoders' start-up and flush differ.
  double signal = 0, noise = 0;
  int diff = 0;
  for (long i = 2000; i < refFrames - 2000; ++i) {
    const long j = i + lagFound;
    if (j < 0 || j >= testFrames) continue;
    for (int c = 0; c < channels; ++c) {
      const double r = at(reference, i, c), t = at(test, j, c);
      signal += r * r;
      noise += (r - t) * (r - t);
      diff = std::max(diff, static_cast<int>(std::abs(r - t)));
    }
  }
  if (bestLag) *bestLag = lagFound;
  if (maxDiff) *maxDiff = diff;
  return noise == 0 ? std::numeric_limits<double>::infinity() : 10 * std::log10(signal / noise);
}

}  // namespace wavorax::test
