// How the cost of listing, planning and converting grows with the number of files: N small
// WAV files in folders of 100, through wavorax-cli --list, --dry-run -f mp3 --mirror and
// -f wav --mirror, for N = 1 000 and 10 000 (and 100 000 with --large), each against the
// same walk by find(1) in the same run. Prints files per second, the peak memory of the
// program and the growth exponent log(t2/t1) / log(n2/n1) between the smallest and the
// largest N (1.0 is linear; the goal is at most 1.1).
//
// Usage: bench_scale [--large]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const kCli = WAVORAX_CLI;

struct Measure {
  double seconds = 0;
  long peakKb = 0;
  int exitCode = -1;
};

// Runs a program with its output discarded and measures its time and peak memory.
Measure RunMeasured(const std::vector<std::string>& args) {
  Measure m;
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  m.peakKb = std::max(usage.ru_maxrss, 0L);
  m.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return m;
}

// N files of 50 ms of 8 kHz mono, one hundred to a folder.
void MakeLibrary(const std::string& root, int files) {
  const auto tone = wavorax::test::Sine(440.0, 8000, 400);
  const std::string one = root + "/template.wav";
  fs::create_directories(root);
  wavorax::test::WriteWav16(one, tone, 1, 8000);
  for (int i = 0; i < files; ++i) {
    const std::string folder = root + "/album" + std::to_string(i / 100);
    if (i % 100 == 0) fs::create_directories(folder);
    fs::copy_file(one, folder + "/" + std::to_string(i % 100 + 1) + " - Track.wav");
  }
  fs::remove(one);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes = {1000, 10000};
  if (argc > 1 && std::strcmp(argv[1], "--large") == 0) sizes.push_back(100000);
  wavorax::test::TempDir dir;
  setenv("HOME", (dir / "home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (dir / "home/.config").c_str(), 1);
  const std::string settings = dir / "settings.conf";
  std::FILE* conf = std::fopen(settings.c_str(), "w");
  std::fputs("[Options]\nBrowseOutputFolder=0\n", conf);
  std::fclose(conf);
  struct Work {
    const char* name;
    std::vector<std::string> options;
  };
  const std::vector<Work> works = {{"--list", {"--list"}},
                                   {"--dry-run", {"--dry-run", "-f", "mp3", "--mirror", "-o"}},
                                   {"convert to WAV", {"-f", "wav", "--mirror", "-o"}}};
  std::vector<std::vector<double>> times(works.size());
  std::printf("%-16s %8s %10s %12s %10s %12s %8s\n", "work", "files", "seconds", "files/s",
              "peak MB", "find(1) s", "ratio");
  for (int n : sizes) {
    const std::string root = dir / ("lib" + std::to_string(n));
    MakeLibrary(root, n);
    const Measure find = RunMeasured({"find", root, "-type", "f"});
    for (std::size_t w = 0; w < works.size(); ++w) {
      std::vector<std::string> args = {kCli, "--settings", settings, "-j", "2"};
      args.insert(args.end(), works[w].options.begin(), works[w].options.end());
      if (args.back() == "-o") args.push_back(dir / ("out" + std::to_string(n)));
      args.push_back(root);
      // A warm cache for every run: the folder was just written and listed by find.
      const Measure m = RunMeasured(args);
      times[w].push_back(m.seconds);
      std::printf("%-16s %8d %10.2f %12.0f %10.1f %12.3f %8.0f%s\n", works[w].name, n, m.seconds,
                  n / m.seconds, m.peakKb / 1024.0, find.seconds, m.seconds / find.seconds,
                  m.exitCode == 0 ? "" : "  (failed)");
    }
    fs::remove_all(dir / ("out" + std::to_string(n)));
  }
  std::puts("\nGrowth exponent between the smallest and the largest library (goal <= 1.1):");
  for (std::size_t w = 0; w < works.size(); ++w) {
    const double exponent = std::log(times[w].back() / times[w].front()) /
                            std::log(double(sizes.back()) / sizes.front());
    std::printf("  %-16s %.2f\n", works[w].name, exponent);
  }
  std::printf("\nPer-file cost of the conversion at %d files: %.2f ms (goal <= 1 ms)\n",
              sizes.back(), 1000.0 * times[2].back() / sizes.back());
  return 0;
}
