// Encodes the same generated five-minute 44.1 kHz stereo 16-bit WAV with our FLAC, Opus,
// Vorbis and ALAC writers and with each format's reference tool at the same settings
// (flac -5, opusenc --bitrate 128, oggenc -q 5, ffmpeg -c:a alac), all pinned to one core,
// and prints both times and the ratio, in wall-clock and in processor time. Our time
// includes reading the WAV, as the tools' does. The writers should cost at most 5 % over the
// tool. The last columns run the whole program, wavorax-cli -j 1, on the same file: decoding,
// tags and the output's commit included.
//
// Usage: bench_new_encoders [seconds of audio, default 300] [runs, default 2]
#include <sched.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench/BenchMusic.h"
#include "encoders/alac/AlacEncoder.h"
#include "encoders/flac/FlacEncoder.h"
#include "encoders/opus/OpusEncoder.h"
#include "encoders/vorbis/VorbisEncoder.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace wavorax;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;
constexpr int kBlock = 4096;

std::vector<std::int16_t> MakeMusic(std::size_t frames) { return bench::MakeMusic(frames, kRate); }

using Writer = std::function<bool(const std::int32_t*, const std::int32_t*, int)>;

// Reads the canonical WAV written by WriteWav16 and hands planar 32-bit blocks to `write`,
// as the pipeline would.
bool FeedWav(const std::string& path, const Writer& write) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::fseek(f, 44, SEEK_SET);
  std::vector<std::uint8_t> raw(kBlock * 4);
  std::vector<std::int32_t> left(kBlock), right(kBlock);
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

template <typename Encoder>
bool Run(Encoder& enc, bool opened, const std::string& in) {
  if (!opened) return false;
  const bool ok = FeedWav(in, [&](auto* l, auto* r, int n) { return enc.Write(l, r, n); });
  return enc.Close() && ok;
}

bool OursFlac(const std::string& in, const std::string& out) {
  CFlacEncoder enc;
  return Run(enc, enc.Open(out, kRate, 2, 16, 5), in);
}

bool OursOpus(const std::string& in, const std::string& out) {
  COpusEncoder enc;
  OpusOptions o;
  o.bitRateKbps = 128;
  return Run(enc, enc.Open(out, kRate, 2, 16, o), in);
}

bool OursVorbis(const std::string& in, const std::string& out) {
  CVorbisEncoder enc;
  VorbisOptions o;
  o.quality = 5;
  return Run(enc, enc.Open(out, kRate, 2, 16, o), in);
}

bool OursAlac(const std::string& in, const std::string& out) {
  CAlacEncoder enc;
  return Run(enc, enc.Open(out, kRate, 2, 16), in);
}

// Wall and processor time of one piece of work: this process's own for our writers, and
// that of the waited-for children for a tool. On a shared machine the processor time is the
// steadier of the two.
struct Times {
  double wall = 1e300, cpu = 1e300;
};

double ProcessCpu() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

double ChildrenCpu() {
  rusage ru{};
  getrusage(RUSAGE_CHILDREN, &ru);
  return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
}

bool Measure(const std::function<bool()>& work, bool child, Times& best) {
  const double cpu0 = child ? ChildrenCpu() : ProcessCpu();
  const auto start = Clock::now();
  const bool ok = work();
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpu = (child ? ChildrenCpu() : ProcessCpu()) - cpu0;
  best.wall = std::min(best.wall, wall);
  best.cpu = std::min(best.cpu, cpu);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 300;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
  for (const char* tool : {"flac", "opusenc", "oggenc", "ffmpeg", "taskset"}) {
    if (!test::HaveTool(tool)) {
      std::fprintf(stderr, "bench_new_encoders: %s is needed\n", tool);
      return 1;
    }
  }
  // One core for both sides: our writers in this process, the tools through taskset.
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(0, &one);
  if (sched_setaffinity(0, sizeof one, &one) != 0) {
    std::perror("bench_new_encoders: sched_setaffinity");
    return 1;
  }
  test::TempDir dir;
  const std::string wav = dir / "in.wav";
  test::WriteWav16(wav, MakeMusic(static_cast<std::size_t>(seconds) * kRate), 2, kRate);

  struct Case {
    const char* name;
    std::function<bool(const std::string&, const std::string&)> ours;
    std::string tool;  // %i the input, %o the output
    std::string extension;
    const char* cliFormat;  // wavorax-cli's -f
  };
  const Case cases[] = {
      {"FLAC -5", OursFlac, "flac -5 -s -f -o %o %i", "flac", "flac"},
      {"Opus 128k", OursOpus, "opusenc --quiet --bitrate 128 %i %o", "opus", "opus"},
      {"Vorbis q5", OursVorbis, "oggenc -Q -q 5 -o %o %i", "ogg", "ogg"},
      {"ALAC", OursAlac, "ffmpeg -v error -nostdin -y -threads 1 -i %i -c:a alac %o", "m4a",
       "alac"}};
  // The program's defaults are the tools' settings above: FLAC level 5, Opus 128 kbit/s VBR,
  // Vorbis quality 5.
  const std::string settings = dir / "settings.conf";
  test::WriteFileBytes(settings, {});

  std::printf("%d s of 44.1 kHz stereo 16-bit, one core, best of %d run(s)\n", seconds, runs);
  std::printf("%-10s %8s %8s %7s %8s %8s %7s %11s %11s %7s %7s\n", "target", "ours s", "tool s",
              "ratio", "ours cpu", "tool cpu", "ratio", "ours bytes", "tool bytes", "cli s",
              "ratio");
  int failures = 0;
  for (const Case& c : cases) {
    const std::string ours = dir / (std::string("ours.") + c.extension);
    const std::string theirs = dir / (std::string("tool.") + c.extension);
    std::string command = "taskset -c 0 " + c.tool;
    command.replace(command.find("%i"), 2, test::ShellQuote(wav));
    command.replace(command.find("%o"), 2, test::ShellQuote(theirs));
    const std::string cli = "taskset -c 0 " + test::ShellQuote(WAVORAX_CLI) + " --settings " +
                            test::ShellQuote(settings) + " -j 1 --if-exists overwrite -f " +
                            c.cliFormat + " -o " + test::ShellQuote(dir / "cli") + " " +
                            test::ShellQuote(wav) + " > /dev/null";
    Times mine, tool, program;
    bool ok = true;
    for (int i = 0; i < runs && ok; ++i) {
      ok = Measure([&] { return c.ours(wav, ours); }, false, mine) &&
           Measure([&] { return test::Run(command).exitCode == 0; }, true, tool) &&
           Measure([&] { return test::Run(cli).exitCode == 0; }, true, program);
    }
    if (!ok) {
      std::printf("%-10s failed\n", c.name);
      ++failures;
      continue;
    }
    const auto size = [](const std::string& p) {
      return static_cast<unsigned long>(test::ReadFileBytes(p).size());
    };
    std::printf("%-10s %8.2f %8.2f %7.3f %8.2f %8.2f %7.3f %11lu %11lu %7.2f %7.3f\n", c.name,
                mine.wall, tool.wall, mine.wall / tool.wall, mine.cpu, tool.cpu,
                mine.cpu / tool.cpu, size(ours), size(theirs), program.wall,
                program.wall / tool.wall);
  }
  return failures == 0 ? 0 : 1;
}
