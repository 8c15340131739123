// Encodes the same generated 5-minute 44.1 kHz stereo WAV with our writers and with ffmpeg
// using the same libraries (LAME; libavcodec's AAC encoder; the AAC encoder into an M4A),
// all at 128 kbit/s, and prints each time and the ratio. Our overhead over the library
// should stay under 5 %.
//
// Usage: bench_encoders [seconds of audio, default 300] [runs, default 2]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench/BenchMusic.h"
#include "encoders/AacEncoder.h"
#include "encoders/Mp3Encoder.h"
#include "encoders/Mp4Encoder.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace wavorax;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;
constexpr int kBlock = 1152;

std::vector<std::int16_t> MakeMusic(std::size_t frames) { return bench::MakeMusic(frames, kRate); }

// Reads the canonical WAV written by WriteWav16 and hands planar blocks to `write`, as the
// WAV decoder would.
bool FeedWav(const std::string& path,
             const std::function<bool(const std::int16_t*, const std::int16_t*, int)>& write) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::fseek(f, 44, SEEK_SET);
  std::vector<std::uint8_t> raw(kBlock * 4);
  std::vector<std::int16_t> left(kBlock), right(kBlock);
  bool ok = true;
  for (;;) {
    const std::size_t got = std::fread(raw.data(), 1, raw.size(), f) / 4;
    if (got == 0) break;
    for (std::size_t i = 0; i < got; ++i) {
      left[i] = static_cast<std::int16_t>(raw[4 * i] | (raw[4 * i + 1] << 8));
      right[i] = static_cast<std::int16_t>(raw[4 * i + 2] | (raw[4 * i + 3] << 8));
    }
    if (!write(left.data(), right.data(), static_cast<int>(got))) {
      ok = false;
      break;
    }
  }
  std::fclose(f);
  return ok;
}

double Seconds(const std::function<bool()>& work, bool& ok) {
  const auto start = Clock::now();
  ok = work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool OursMp3(const std::string& in, const std::string& out) {
  CMp3Encoder enc;
  if (!enc.Open(out)) return false;
  enc.SetInputSampleRate(kRate);
  enc.SetChannels(2);
  enc.SetBitRate(128);
  if (!enc.Start()) return false;
  const bool ok = FeedWav(in, [&](auto* l, auto* r, int n) { return enc.Encode(l, r, n); });
  return enc.Close() && ok;
}

bool OursAac(const std::string& in, const std::string& out) {
  CAacEncoder enc;
  if (!enc.Open(out, kRate, 2, 16)) return false;
  enc.GetConfiguration()->bitRate = 128000 / 2;
  if (!enc.Start()) return false;
  const bool ok = FeedWav(in, [&](auto* l, auto* r, int n) { return enc.Write16(l, r, n); });
  return enc.Close() && ok;
}

bool OursM4a(const std::string& in, const std::string& out) {
  CMp4Encoder enc;
  if (!enc.Open(out, kRate, 2, 16)) return false;
  enc.GetConfiguration()->bitRate = 128000 / 2;
  if (!enc.Start()) return false;
  const bool ok = FeedWav(in, [&](auto* l, auto* r, int n) { return enc.Write16(l, r, n); });
  return enc.Close() && ok;
}

bool Ffmpeg(const std::string& in, const std::string& codec, const std::string& out) {
  // One thread, as our writers use: the comparison is of the work around the same library.
  return test::Run("ffmpeg -v error -nostdin -y -threads 1 -i " + test::ShellQuote(in) + " -c:a " +
                   codec + " -b:a 128k " + test::ShellQuote(out))
             .exitCode == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 300;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
  if (!test::HaveTool("ffmpeg")) {
    std::fprintf(stderr, "bench_encoders: ffmpeg is needed\n");
    return 1;
  }
  test::TempDir dir;
  const std::string wav = dir / "in.wav";
  test::WriteWav16(wav, MakeMusic(static_cast<std::size_t>(seconds) * kRate), 2, kRate);

  struct Case {
    const char* name;
    std::function<bool(const std::string&, const std::string&)> ours;
    std::string codec, extension;
  };
  const Case cases[] = {{"MP3 128k CBR", OursMp3, "libmp3lame", "mp3"},
                        {"AAC 128k (ADTS)", OursAac, "aac", "aac"},
                        {"M4A 128k", OursM4a, "aac", "m4a"}};

  std::printf("%d s of 44.1 kHz stereo, best of %d run(s)\n", seconds, runs);
  std::printf("%-18s %10s %10s %8s %12s %12s\n", "target", "ours s", "ffmpeg s", "ratio",
              "ours bytes", "ffmpeg bytes");
  int failures = 0;
  for (const Case& c : cases) {
    const std::string ours = dir / (std::string("ours.") + c.extension);
    const std::string theirs = dir / (std::string("ffmpeg.") + c.extension);
    double best[2] = {1e300, 1e300};
    bool ok = true;
    for (int i = 0; i < runs && ok; ++i) {
      bool a = false, b = false;
      best[0] = std::min(best[0], Seconds([&] { return c.ours(wav, ours); }, a));
      best[1] = std::min(best[1], Seconds([&] { return Ffmpeg(wav, c.codec, theirs); }, b));
      ok = a && b;
    }
    if (!ok) {
      std::printf("%-18s failed\n", c.name);
      ++failures;
      continue;
    }
    const auto size = [](const std::string& p) {
      std::vector<std::uint8_t> b = test::ReadFileBytes(p);
      return static_cast<unsigned long>(b.size());
    };
    std::printf("%-18s %10.2f %10.2f %8.3f %12lu %12lu\n", c.name, best[0], best[1],
                best[0] / best[1], size(ours), size(theirs));
  }
  return failures == 0 ? 0 : 1;
}
