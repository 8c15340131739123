// Deciding a sync over a library of 10 000 up-to-date files: loading the state file and one
// stat of each source and each output, against `find SOURCES OUTPUTS -type f -newer REF`,
// which walks the same two trees and stats the same 20 000 files. Prints both times and the
// ratio (ours / find). Also prints what a changed naming costs, when every source's tags are
// read again. The trees are made in a temporary folder at run time.
//
// The same decision through the batch's own path (SyncSession::Open, as wavorax-cli --sync
// and the window make it, from the settings), and the whole wavorax-cli --sync --dry-run
// command, whose time also holds adding and probing the 10 000 sources.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/Paths.h"
#include "engine/LibraryBatch.h"
#include "engine/library/Sync.h"
#include "tests/support/TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace wavorax;

constexpr int kFiles = 10000;
constexpr int kRepeats = 15;  // best of, as the machine may be busy

double Seconds(const std::function<void()>& work, int repeats = kRepeats) {
  double best = 1e9;
  for (int i = 0; i < repeats; ++i) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main() {
  test::TempDir dir;
  const std::string music = dir / "music", base = dir / "out";
  CreateFolderPath(base);
  test::WriteFileBytes(dir / "ref", {0});
  // Small real WAV files, a hundred to a folder, as an album-per-folder library is laid out.
  const std::vector<std::int16_t> samples = test::Sine(440, 8000, 80);
  std::vector<std::string> sources;
  for (int i = 0; i < kFiles; ++i) {
    const std::string folder = music + "/album " + std::to_string(i / 100);
    if (i % 100 == 0) CreateFolderPath(folder);
    sources.push_back(folder + "/" + std::to_string(i % 100) + " track.wav");
    test::WriteWav16(sources.back(), samples, 1, 8000);
  }

  std::string error;
  const auto pattern = library::NamePattern::Parse("%folder%/%filename%", error);
  const std::uint64_t naming = library::NamingHash(pattern->Text(), "mp3", {});
  const library::OutputNamer namer = library::PatternNamer(*pattern, "mp3", {});
  library::SyncState state;
  for (const library::SyncItem& item :
       library::PlanSync(base, state, sources, naming, namer).items) {
    const std::string path = base + "/" + item.output;
    CreateFolderPath(path.substr(0, path.rfind('/')));
    test::WriteFileBytes(path, {1, 2, 3});
    state.Put(*library::RecordOutput(base, item, naming, library::Check::Passed));
  }
  if (!state.Save(base, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  std::size_t upToDate = 0;
  const double ours = Seconds([&] {
    const library::SyncState loaded = library::SyncState::Load(base);
    upToDate = library::PlanSync(base, loaded, sources, naming, namer)
                   .Count(library::SyncAction::UpToDate);
  });
  std::string found;
  const double find = Seconds([&] {
    found = test::Run("find " + test::ShellQuote(music) + " " + test::ShellQuote(base) +
                      " -type f -newer " + test::ShellQuote(dir / "ref") + " | wc -l")
                .output;
  });
  const double renamed = Seconds(
      [&] { library::PlanSync(base, library::SyncState::Load(base), sources, naming + 1, namer); },
      1);
  // The batch's path: the settings a run with --sync --name-pattern '%folder%/%filename%'
  // -o OUT would have.
  ConversionSettings settings;
  settings.OutputFormat = kTargetMp3;
  settings.DestOutputFolderOpt = kFolderPattern;
  settings.NamePattern = "%folder%/%filename%";
  settings.NamePatternBase = base;
  settings.SyncOutputs = 1;
  std::size_t sessionUpToDate = 0;
  const double session = Seconds([&] {
    std::string ignored;
    const auto sync = SyncSession::Open(settings, sources, true, ignored);
    sessionUpToDate = sync ? sync->Plan().Count(library::SyncAction::UpToDate) : 0;
  });
  test::WriteFileBytes(dir / "settings.conf", {});
  const std::string cli = WAVORAX_CLI;
  test::CommandResult dry;
  const double command = Seconds(
      [&] {
        dry = test::Run(
            test::ShellQuote(cli) + " --settings " + test::ShellQuote(dir / "settings.conf") +
            " --sync --dry-run --name-pattern '%folder%/%filename%' -o " + test::ShellQuote(base) +
            " " + test::ShellQuote(music) + " | grep -c ': up to date '");
      },
      1);
  dry.output.erase(dry.output.find_last_not_of(" \n") + 1);
  found.erase(found.find_last_not_of(" \n") + 1);
  std::printf("sync decision, %d up-to-date files (%zu found up to date): %.3f s\n", kFiles,
              upToDate, ours);
  std::printf("find -newer over both trees (%s files): %.3f s\n", found.c_str(), find);
  std::printf("ratio ours / find: %.2f\n", ours / find);
  std::printf("after a naming change (every source's tags read): %.3f s\n", renamed);
  std::printf("sync decision through the batch (SyncSession::Open, %zu up to date): %.3f s\n",
              sessionUpToDate, session);
  std::printf("wavorax-cli --sync --dry-run, adding and probing included (%s up to date): %.3f s\n",
              dry.output.c_str(), command);
  return upToDate == kFiles && sessionUpToDate == kFiles ? 0 : 1;
}
