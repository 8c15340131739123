// The cost of measuring loudness in the conversion pass: the same generated 44.1 kHz stereo
// signal is fed in decoder-sized planar blocks through CLoudnessMeter (as 16-bit, as 24-bit
// in int32 and as float) and encoded with LAME at 128 kbit/s through CMp3Encoder. Prints the
// processor time of each and the meter's share of the encoding; the goal is under 5 %.
// Then the whole program: wavorax-cli converts the same signal (as a WAV file) to MP3 and to
// Opus with and without --replaygain track, and the processor time of each run (its user and
// system time, best of the runs) gives the cost of measuring and tagging inside a real
// conversion.
//
// Usage: bench_loudness [seconds of audio, default 300] [runs, default 2]
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/BenchMusic.h"
#include "encoders/Mp3Encoder.h"
#include "encoders/WavWriter.h"
#include "engine/loudness/LoudnessMeter.h"
#include "engine/loudness/TruePeak.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace wavorax;

constexpr int kRate = 44100;
constexpr int kBlock = 1152;

// Planar copies of the benchmarks' music (the meter's cost does not depend on the signal).
void MakeMusic(std::size_t frames, std::vector<std::int16_t>& left,
               std::vector<std::int16_t>& right) {
  const std::vector<std::int16_t> interleaved = bench::MakeMusic(frames, kRate);
  left.resize(frames);
  right.resize(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    left[i] = interleaved[2 * i];
    right[i] = interleaved[2 * i + 1];
  }
}

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The best processor time of `runs` calls of `work`.
double Best(int runs, const std::function<void()>& work) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const double start = CpuSeconds();
    work();
    best = std::min(best, CpuSeconds() - start);
  }
  return best;
}

// Calls `block(offset, count)` over the signal in decoder-sized steps.
template <typename F>
void Blocks(std::size_t frames, F block) {
  for (std::size_t at = 0; at < frames; at += kBlock)
    block(at, static_cast<int>(std::min<std::size_t>(kBlock, frames - at)));
}

// The processor time (user and system) of a shell command, best of `runs`.
double ChildCpuSeconds(const std::string& command, int runs) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      execl("/bin/sh", "sh", "-c", (command + " >/dev/null 2>&1").c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    best = std::min(best, double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                              double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
  const std::size_t frames = static_cast<std::size_t>(seconds) * kRate;
  std::vector<std::int16_t> l16, r16;
  MakeMusic(frames, l16, r16);
  std::vector<std::int32_t> l24(frames), r24(frames);
  std::vector<float> lf(frames), rf(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    l24[i] = l16[i] * 256;
    r24[i] = r16[i] * 256;
    lf[i] = l16[i] / 32768.0f;
    rf[i] = r16[i] / 32768.0f;
  }

  test::TempDir dir;
  bool encoded = true;
  const double lame = Best(runs, [&] {
    CMp3Encoder enc;
    encoded = enc.Open(dir / "out.mp3");
    enc.SetInputSampleRate(kRate);
    enc.SetChannels(2);
    enc.SetBitRate(128);
    encoded = encoded && enc.Start();
    Blocks(frames, [&](std::size_t at, int n) {
      encoded = encoded && enc.Encode(l16.data() + at, r16.data() + at, n);
    });
    encoded = enc.Close() && encoded;
  });
  if (!encoded) {
    std::fprintf(stderr, "bench_loudness: LAME encoding failed\n");
    return 1;
  }

  double lufs[3] = {};
  const double meter16 = Best(runs, [&] {
    CLoudnessMeter m(kRate, 2);
    Blocks(frames, [&](std::size_t at, int n) { m.Add16(l16.data() + at, r16.data() + at, n); });
    lufs[0] = m.Result().integratedLufs;
  });
  const double meter24 = Best(runs, [&] {
    CLoudnessMeter m(kRate, 2);
    Blocks(frames,
           [&](std::size_t at, int n) { m.Add32(l24.data() + at, r24.data() + at, n, 24); });
    lufs[1] = m.Result().integratedLufs;
  });
  const double meterFloat = Best(runs, [&] {
    CLoudnessMeter m(kRate, 2);
    Blocks(frames, [&](std::size_t at, int n) { m.AddFloat(lf.data() + at, rf.data() + at, n); });
    lufs[2] = m.Result().integratedLufs;
  });

  // The meter's share that is ours rather than libebur128's.
  double peak = 0;
  const double truePeak = Best(runs, [&] {
    CTruePeak tp(kRate, 2);
    Blocks(frames, [&](std::size_t at, int n) {
      tp.Add16(0, l16.data() + at, n);
      tp.Add16(1, r16.data() + at, n);
    });
    peak = tp.Peak();
  });

  std::printf("%d s of 44.1 kHz stereo in %d-sample blocks, best processor time of %d run(s)\n",
              seconds, kBlock, runs);
  std::printf("%-28s %10.3f s\n", "LAME 128 kbit/s CBR", lame);
  const struct {
    const char* name;
    double time;
    double lufs;
  } rows[] = {{"meter, 16-bit", meter16, lufs[0]},
              {"meter, 24-bit in int32", meter24, lufs[1]},
              {"meter, float", meterFloat, lufs[2]}};
  for (const auto& r : rows)
    std::printf("%-28s %10.3f s %7.2f %% of LAME  (%.2f LUFS)\n", r.name, r.time,
                100.0 * r.time / lame, r.lufs);
  std::printf("%-28s %10.3f s %7.2f %% of LAME  (%.2f dBTP)\n", "  of which the true peak",
              truePeak, 100.0 * truePeak / lame, 20 * std::log10(peak));

  // The whole program on the same signal.
  const std::string wav = dir / "music.wav";
  {
    CWavWriter writer;
    bool ok = writer.Open(wav, true, 16, kRate);
    Blocks(frames, [&](std::size_t at, int n) {
      ok = ok && writer.Write16(l16.data() + at, r16.data() + at, n);
    });
    if (!writer.Close() || !ok) {
      std::fprintf(stderr, "bench_loudness: cannot write %s\n", wav.c_str());
      return 1;
    }
  }
  std::ofstream(dir / "settings.conf") << "[Options]\nBrowseOutputFolder=0\n";
  std::printf("\nwavorax-cli -j 1 on the same signal, processor time, best of %d run(s)\n", runs);
  int status = 0;
  for (const char* format : {"mp3", "opus"}) {
    const std::string base = test::ShellQuote(WAVORAX_CLI) + " --settings " +
                             test::ShellQuote(dir / "settings.conf") + " -j 1 -f " + format +
                             " --if-exists overwrite -o " + test::ShellQuote(dir / "out") + " ";
    const double plain = ChildCpuSeconds(base + test::ShellQuote(wav), runs);
    const double measured =
        ChildCpuSeconds(base + "--replaygain track " + test::ShellQuote(wav), runs);
    if (plain <= 0 || measured <= 0) {
      std::fprintf(stderr, "bench_loudness: wavorax-cli failed for %s\n", format);
      status = 1;
      continue;
    }
    std::printf("%-5s without %8.3f s, with --replaygain track %8.3f s: %+6.2f %% (goal < 5 %%)\n",
                format, plain, measured, 100.0 * (measured - plain) / plain);
  }
  return status;
}
