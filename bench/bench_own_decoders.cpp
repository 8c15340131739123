// Decodes a five-minute file of every kind the program's own decoders read, once with our
// decoder and once with `ffmpeg -i … -f null -`, and prints the time ratio (ours / ffmpeg).
// The files are generated in a temporary folder at run time.
#include <opencore-amrnb/interf_enc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "decoders/own/AmrDecoder.h"
#include "decoders/own/AuDecoder.h"
#include "decoders/own/Mp3Decoder.h"
#include "decoders/own/WavDecoder.h"
#include "tests/support/TestSupport.h"

namespace {

using wavorax::test::Run;
using wavorax::test::ShellQuote;
using Clock = std::chrono::steady_clock;

constexpr int kSeconds = 300;
constexpr int kRepeats = 3;

double Seconds(const std::function<void()>& work) {
  double best = 1e9;
  for (int i = 0; i < kRepeats; ++i) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

long DecodeWith(wavorax::CDecoder& decoder, const std::string& path) {
  if (!decoder.Open(path, 0)) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    return -1;
  }
  std::vector<std::int16_t> left(wavorax::kDecodeBlock), right(wavorax::kDecodeBlock);
  long total = 0;
  for (;;) {
    const int n = decoder.Read(left.data(), right.data());
    if (n <= 0) break;
    total += n;
  }
  decoder.Close();
  return total;
}

bool Ffmpeg(const std::string& args) {
  const auto r = Run("ffmpeg -v error -nostdin -y " + args);
  if (r.exitCode != 0)
    std::fprintf(stderr, "ffmpeg failed: %s\n%s\n", args.c_str(), r.output.c_str());
  return r.exitCode == 0;
}

// Speech-like mono at 8000 Hz in the AMR storage format.
bool WriteAmr(const std::string& path) {
  void* encoder = Encoder_Interface_init(0);
  if (!encoder) return false;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  std::fwrite("#!AMR\n", 1, 6, out);
  short speech[160];
  unsigned char frame[64];
  for (long n = 0; n < kSeconds * 50L; ++n) {
    for (int i = 0; i < 160; ++i) {
      const double t = (n * 160 + i) / 8000.0;
      speech[i] =
          static_cast<short>(9000 * std::sin(2 * std::numbers::pi * (150 + 40 * std::sin(t)) * t) *
                             std::fabs(std::sin(3.1 * t)));
    }
    const int bytes = Encoder_Interface_Encode(encoder, MR122, speech, frame, 0);
    std::fwrite(frame, 1, static_cast<std::size_t>(bytes), out);
  }
  std::fclose(out);
  Encoder_Interface_exit(encoder);
  return true;
}

}  // namespace

int main() {
  wavorax::test::TempDir dir;
  const std::string stereo = dir / "stereo.wav", mono8k = dir / "mono8k.wav";
  const std::string duration = std::to_string(kSeconds);
  // Music-like stereo: two tones over pink noise. Speech-band mono for the telephone codecs.
  if (!Ffmpeg(
          "-f lavfi -i \"sine=f=440:r=44100:d=" + duration +
          "\" -f lavfi -i \"anoisesrc=c=pink:r=44100:a=0.1:d=" + duration +
          "\" -filter_complex \"[0][1]amix=inputs=2,pan=stereo|c0=c0|c1=0.7*c0\" -c:a pcm_s16le " +
          ShellQuote(stereo)) ||
      !Ffmpeg("-f lavfi -i \"sine=f=300:r=8000:d=" + duration +
              "\" -f lavfi -i \"anoisesrc=c=pink:r=8000:a=0.05:d=" + duration +
              "\" -filter_complex amix=inputs=2 -c:a pcm_s16le " + ShellQuote(mono8k)))
    return 1;

  struct Kind {
    const char* name;
    std::string file;
    std::string encode;  // ffmpeg arguments after the input, or "" when made otherwise
    std::string source;
    std::function<std::unique_ptr<wavorax::CDecoder>()> make;
  };
  auto wav = [] { return std::make_unique<wavorax::CWavDecoder>(); };
  auto au = [] { return std::make_unique<wavorax::CAuDecoder>(); };
  std::vector<Kind> kinds = {
      {"MP3 192k stereo", dir / "a.mp3", "", stereo,
       [] { return std::make_unique<wavorax::CMp3Decoder>(); }},
      {"WAV PCM 16 stereo", dir / "pcm16.wav", "-c:a pcm_s16le", stereo, wav},
      {"WAV PCM 24 stereo", dir / "pcm24.wav", "-c:a pcm_s24le", stereo, wav},
      {"WAV float stereo", dir / "f32.wav", "-c:a pcm_f32le", stereo, wav},
      {"WAV A-law mono", dir / "alaw.wav", "-c:a pcm_alaw", mono8k, wav},
      {"WAV MS ADPCM stereo", dir / "ms.wav", "-c:a adpcm_ms", stereo, wav},
      {"WAV IMA ADPCM stereo", dir / "ima.wav", "-c:a adpcm_ima_wav", stereo, wav},
      {"WAV GSM 6.10 mono", dir / "gsm.wav", "-c:a libgsm_ms", mono8k, wav},
      {"WAV MPEG stereo", dir / "mpeg.wav", "-c:a libmp3lame -b:a 192k", stereo, wav},
      {"AMR 12.2k", dir / "a.amr", "", "", [] { return std::make_unique<wavorax::CAmrDecoder>(); }},
      {"AU PCM 16 stereo", dir / "pcm16.au", "-c:a pcm_s16be", stereo, au},
      {"AU mu-law mono", dir / "ulaw.au", "-c:a pcm_mulaw", mono8k, au},
  };
  // G.721 codes from FFmpeg's G.726 encoder, in an AU header of our own.
  const std::string g721Raw = dir / "g721.raw", g721 = dir / "g721.au";
  if (!Ffmpeg("-i " + ShellQuote(mono8k) + " -c:a g726le -code_size 4 -f g726le " +
              ShellQuote(g721Raw)))
    return 1;
  {
    const auto codes = wavorax::test::ReadFileBytes(g721Raw);
    std::vector<std::uint8_t> file = {'.', 's', 'n', 'd', 0, 0, 0, 24};
    const std::uint32_t fields[4] = {static_cast<std::uint32_t>(codes.size()), 23, 8000, 1};
    for (std::uint32_t v : fields)
      for (int s = 24; s >= 0; s -= 8) file.push_back(static_cast<std::uint8_t>(v >> s));
    file.insert(file.end(), codes.begin(), codes.end());
    wavorax::test::WriteFileBytes(g721, file);
  }
  kinds.push_back({"AU G.721 mono", g721, "", "", au});

  const auto lame =
      Run("lame --quiet -b 192 " + ShellQuote(stereo) + " " + ShellQuote(kinds[0].file));
  if (lame.exitCode != 0 || !WriteAmr(kinds[9].file)) return 1;
  for (const Kind& k : kinds)
    if (!k.encode.empty() &&
        !Ffmpeg("-i " + ShellQuote(k.source) + " " + k.encode + " " + ShellQuote(k.file)))
      return 1;

  std::printf("%-24s %10s %10s %8s\n", "five minutes of", "ours (s)", "ffmpeg (s)", "ratio");
  double worst = 0;
  for (const Kind& k : kinds) {
    long frames = 0;
    const double ours = Seconds([&] {
      auto decoder = k.make();
      frames = DecodeWith(*decoder, k.file);
    });
    const double theirs = Seconds([&] { Ffmpeg("-i " + ShellQuote(k.file) + " -f null -"); });
    const double ratio = ours / theirs;
    worst = std::max(worst, ratio);
    std::printf("%-24s %10.3f %10.3f %8.2f%s\n", k.name, ours, theirs, ratio,
                frames <= 0 ? "  (decoded nothing!)" : "");
  }
  std::printf("worst ratio %.2f (goal: at most 1.50)\n", worst);
  return 0;
}
