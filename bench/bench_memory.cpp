// Peak memory of wavorax-cli for a short and a very long source, per target. The long source
// (20 hours of 44.1 kHz stereo unless told otherwise) is a sparse RF64 file: a valid header
// and data that were never written, which the file system hands out as zeros (silence)
// without storing them, so the bench costs no disk for its input. The CLI takes named files
// only (a FIFO cannot be probed), so no pipe is used. Outputs are removed after each run.
//
// bench_memory [HOURS] [TARGET...]   e.g. bench_memory 20 m4b alac
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace {

const std::string kCli = std::string(WAVORAX_CLI);
constexpr double kGoalMb = 60.0;

template <typename T>
void Put(std::ofstream& out, T value) {
  out.write(reinterpret_cast<const char*>(&value), sizeof value);
}

// A 44.1 kHz stereo 16-bit RF64 file of `seconds` seconds whose data is a hole.
bool MakeSparseSource(const std::string& path, std::uint64_t seconds) {
  const std::uint64_t frames = seconds * 44100, data = frames * 4;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write("RF64", 4);
  Put(out, std::uint32_t{0xFFFFFFFF});
  out.write("WAVEds64", 8);
  Put(out, std::uint32_t{28});
  const std::uint64_t header = 12 + 36 + 24 + 8;
  Put(out, std::uint64_t{header + data - 8});
  Put(out, data);
  Put(out, frames);
  Put(out, std::uint32_t{0});
  out.write("fmt ", 4);
  Put(out, std::uint32_t{16});
  Put(out, std::uint16_t{1});
  Put(out, std::uint16_t{2});
  Put(out, std::uint32_t{44100});
  Put(out, std::uint32_t{44100 * 4});
  Put(out, std::uint16_t{4});
  Put(out, std::uint16_t{16});
  out.write("data", 4);
  Put(out, std::uint32_t{0xFFFFFFFF});
  out.close();
  if (!out) return false;
  std::error_code ec;
  std::filesystem::resize_file(path, header + data, ec);
  return !ec;
}

struct Peak {
  double mb = 0, seconds = 0;
  int exitCode = -1;
};

// Runs wavorax-cli on one source and reads its peak resident size from wait4.
Peak Convert(const std::string& target, const std::string& source, const std::string& outDir,
             const std::string& settings) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    // The status lines would come between the table's rows.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
    execl(kCli.c_str(), kCli.c_str(), "--settings", settings.c_str(), "-f", target.c_str(), "-o",
          outDir.c_str(), "--if-exists", "overwrite", "-j", "1", source.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  Peak p;
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return p;
  p.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  p.mb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
  p.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  const double hours = argc > 1 ? std::atof(argv[1]) : 20.0;
  std::vector<std::string> targets;
  for (int i = 2; i < argc; ++i) targets.emplace_back(argv[i]);
  if (targets.empty())
    targets = {"mp3", "wav", "aac", "mp4", "m4a", "m4b", "flac", "alac", "opus", "ogg"};

  wavorax::test::TempDir dir;
  const std::string settings = dir / "settings.conf";
  std::ofstream(settings).close();
  const std::string shortSource = dir / "short.wav", longSource = dir / "long.wav";
  const auto longSeconds = static_cast<std::uint64_t>(hours * 3600);
  if (!MakeSparseSource(shortSource, 300) || !MakeSparseSource(longSource, longSeconds)) {
    std::fprintf(stderr, "cannot make the sparse sources in %s\n", dir.path().c_str());
    return 1;
  }
  std::printf("Peak resident memory of wavorax-cli (goal: at most %.0f MB at any length)\n",
              kGoalMb);
  std::printf("%-6s %10s %12s %10s  %s\n", "target", "5 min MB", "long MB", "long s", "");
  bool allMet = true;
  for (const std::string& t : targets) {
    const std::string outDir = dir / ("out-" + t);
    std::filesystem::create_directory(outDir);
    const Peak a = Convert(t, shortSource, outDir, settings);
    std::filesystem::remove_all(outDir);
    std::filesystem::create_directory(outDir);
    const Peak b = Convert(t, longSource, outDir, settings);
    std::filesystem::remove_all(outDir);
    // A WAV output over 4 GiB is refused by design; that run ends with status 1.
    const bool met = a.mb <= kGoalMb && b.mb <= kGoalMb;
    allMet = allMet && met;
    std::printf("%-6s %10.1f %12.1f %10.0f  %s%s\n", t.c_str(), a.mb, b.mb, b.seconds,
                met ? "ok" : "OVER THE GOAL",
                b.exitCode == 0 ? "" : (" (exit " + std::to_string(b.exitCode) + ")").c_str());
    std::fflush(stdout);
  }
  std::printf("long source: %.1f hours\n", hours);
  return allMet ? 0 : 1;
}
