// The audio-library decoder against ffmpeg: opening and probing many small files (what adding
// a folder costs per file), and decoding a 5-minute FLAC and MP3 to the end.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/Paths.h"
#include "decoders/SourceType.h"
#include "decoders/audiolib/AudioLib.h"
#include "decoders/audiolib/BassDecoder.h"
#include "decoders/choice/DecoderChoice.h"
#include "tests/support/TestSupport.h"

using namespace wavorax;
using namespace wavorax::test;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

bool Make(const std::string& command) {
  const CommandResult r = Run(command);
  if (r.exitCode != 0) std::fprintf(stderr, "failed: %s\n%s\n", command.c_str(), r.output.c_str());
  return r.exitCode == 0;
}

// Best of three: the least disturbed by the other work on the machine.
template <typename F>
double BestOf3(F&& f) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) best = std::min(best, f());
  return best;
}

double DecodeOurs(const std::string& path, std::uint64_t& frames) {
  const auto start = Clock::now();
  CBassDecoder decoder;
  if (!decoder.Open(path, 0)) return -1;
  std::vector<std::int16_t> left(kDecodeBlock), right(kDecodeBlock);
  frames = 0;
  for (int n; (n = decoder.Read(left.data(), right.data())) > 0;) frames += n;
  return Seconds(start);
}

double DecodeFfmpeg(const std::string& path) {
  const auto start = Clock::now();
  Run("ffmpeg -v error -nostdin -threads 1 -i " + ShellQuote(path) + " -f null -");
  return Seconds(start);
}

}  // namespace

int main() {
  audiolib::ConfigureLibraries();
  TempDir dir;
  const std::string wav1 = dir / "one.wav", wav300 = dir / "five-minutes.wav";
  if (!Make("ffmpeg -v error -f lavfi -i anoisesrc=d=1:c=pink:r=44100:a=0.3 -ac 2 " +
            ShellQuote(wav1)) ||
      !Make("ffmpeg -v error -f lavfi -i anoisesrc=d=300:c=pink:r=44100:a=0.3 -ac 2 " +
            ShellQuote(wav300)))
    return 1;

  // 1000 small files of ten kinds, as a music folder might hold them.
  const std::vector<std::pair<std::string, std::string>> kinds = {
      {"mp3", "lame --quiet -b 128 {in} {out}"},
      {"ogg", "oggenc -Q -o {out} {in}"},
      {"flac", "flac -s -o {out} {in}"},
      {"m4a", "ffmpeg -v error -i {in} -c:a aac {out}"},
      {"wma", "ffmpeg -v error -i {in} -c:a wmav2 {out}"},
      {"wav", "cp {in} {out}"},
      {"wv", "wavpack -q {in} -o {out}"},
      {"mpc", "mpcenc --silent {in} {out}"},
      {"ac3", "ffmpeg -v error -i {in} -c:a ac3 {out}"},
      {"aiff", "ffmpeg -v error -i {in} {out}"},
  };
  std::vector<std::string> files;
  for (const auto& [ext, command] : kinds) {
    const std::string first = dir / ("small0." + ext);
    std::string c = command;
    c.replace(c.find("{in}"), 4, ShellQuote(wav1));
    c.replace(c.find("{out}"), 5, ShellQuote(first));
    if (!Make(c)) return 1;
    const auto bytes = ReadFileBytes(first);
    for (int i = 0; i < 100; ++i) {
      const std::string path = dir / ("small" + std::to_string(i) + "." + ext);
      if (i) WriteFileBytes(path, bytes);
      files.push_back(path);
    }
  }
  int opened = 0;
  const double probeSeconds = BestOf3([&] {
    opened = 0;
    const auto start = Clock::now();
    for (const std::string& path : files) {
      const int type = SourceTypeOf(path);
      auto decoder = OpenDecoderFor(type, path, 0);
      if (!decoder) continue;
      ++opened;
      volatile int sink =
          decoder->GetDuration() + decoder->GetSampleRate() + decoder->GetBitrate() +
          (type == kSourceMpeg ? decoder->GetChannelMode() : decoder->GetChannels());
      (void)sink;
    }
    return Seconds(start);
  });
  std::printf("open and probe: %d of %zu files in %.3f s = %.0f files/s\n", opened, files.size(),
              probeSeconds, static_cast<double>(files.size()) / probeSeconds);

  const std::string flac = dir / "five-minutes.flac", mp3 = dir / "five-minutes.mp3";
  if (!Make("flac -s -o " + ShellQuote(flac) + " " + ShellQuote(wav300)) ||
      !Make("lame --quiet -b 192 " + ShellQuote(wav300) + " " + ShellQuote(mp3)))
    return 1;
  for (const std::string& path : {flac, mp3}) {
    std::uint64_t frames = 0;
    const double ours = BestOf3([&] { return DecodeOurs(path, frames); });
    const double theirs = BestOf3([&] { return DecodeFfmpeg(path); });
    std::printf("decode %-17s ours %.3f s (%llu frames), ffmpeg -f null %.3f s, ratio %.2f\n",
                FileNameOf(path).c_str(), ours, static_cast<unsigned long long>(frames), theirs,
                ours / theirs);
  }
  return 0;
}
