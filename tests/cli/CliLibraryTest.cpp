// wavorax-cli on whole libraries, end to end on the real binary: --sync with --remove-orphans
// over a library that changes between runs, and outputs named by --name-pattern.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "base/Paths.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

using test::ShellQuote;
namespace fs = std::filesystem;

const std::string kCli = std::string(WAVORAX_BINARY_DIR) + "/cli/wavorax-cli";

class CliLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HOME", (dir / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "home/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    std::ofstream(dir / "settings.conf") << "[Options]\nBrowseOutputFolder=0\n";
  }
  void Wav(const std::string& path, double seconds) {
    CreateFolderPath(path.substr(0, path.rfind('/')));
    test::WriteWav16(path, test::Sine(440, 8000, static_cast<std::size_t>(8000 * seconds)), 1,
                     8000);
  }
  test::CommandResult Cli(const std::string& args) {
    return test::Run(ShellQuote(kCli) + " --settings " + ShellQuote(dir / "settings.conf") + " " +
                     args);
  }
  // The files below `folder`, relative to it, without the sync's state file.
  std::set<std::string> Files(const std::string& folder) {
    std::set<std::string> out;
    if (!fs::exists(folder)) return out;
    for (const auto& e : fs::recursive_directory_iterator(folder))
      if (e.is_regular_file() && e.path().filename() != ".wavorax-sync")
        out.insert(fs::relative(e.path(), folder));
    return out;
  }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
  test::TempDir dir;
};

// A library of 20 files converted once; then 3 change, 2 go and 1 comes: the second run
// converts exactly those 4, finds the other 15 up to date and, with --remove-orphans, moves exactly
// the 2 orphaned outputs to the Trash. A state file whose last line a kill cut short costs only
// that line's output, which is converted again. A third run finds everything up to date.
struct SyncCase {
  int jobs;
  bool orphans, cutState;
};
void PrintTo(const SyncCase& c, std::ostream* os) {
  *os << c.jobs << " jobs" << (c.orphans ? ", orphans" : "") << (c.cutState ? ", cut" : "");
}
class LibrarySync : public CliLibraryTest, public ::testing::WithParamInterface<SyncCase> {};

TEST_P(LibrarySync, ConvertsOnlyWhatChanged) {
  const SyncCase& c = GetParam();
  const std::string music = dir / "music", out = dir / "out";
  const auto source = [&](int i) {
    return music + "/album" + std::to_string(i / 5) + "/t" + std::to_string(i) + ".wav";
  };
  for (int i = 0; i < 20; ++i) Wav(source(i), 0.2);
  const std::string args = "--json -f wav -j " + std::to_string(c.jobs) +
                           (c.cutState ? " --if-exists overwrite" : "") +
                           " --name-pattern '%folder%/%filename%' -o " + ShellQuote(out) + " " +
                           (c.orphans ? "--remove-orphans " : "--sync ") + ShellQuote(music);
  auto r = Cli(args);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  ASSERT_EQ(Count(r.output, "\"converted\":true"), 20) << r.output;
  if (c.cutState) {
    // The records are in output order: the last is album3/t19.wav's.
    const std::string state = out + "/.wavorax-sync";
    fs::resize_file(state, fs::file_size(state) - 10);
  }

  for (int i : {0, 7, 13}) Wav(source(i), 0.3);
  fs::remove(source(4));
  fs::remove(source(18));
  Wav(music + "/album4/t20.wav", 0.2);
  ::usleep(100000);  // so that the first run's outputs are older than the second run
  r = Cli(args);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(Count(r.output, "\"converted\":true"), c.cutState ? 5 : 4) << r.output;
  EXPECT_EQ(Count(r.output, "\"status\":\"Up to date\""), c.cutState ? 14 : 15) << r.output;
  const std::set<std::string> trashed = Files(dir / "data/Trash/files");
  const std::set<std::string> orphans = {"t4.wav", "t18.wav"};
  EXPECT_EQ(trashed, c.orphans ? orphans : std::set<std::string>());
  std::set<std::string> expected;
  for (int i = 0; i <= 20; ++i)
    if (!c.orphans || (i != 4 && i != 18))
      expected.insert("album" + std::to_string(i / 5) + "/t" + std::to_string(i) + ".wav");
  EXPECT_EQ(Files(out), expected);  // changed sources replaced their own outputs

  r = Cli(args);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(Count(r.output, "\"converted\":true"), 0) << r.output;
  EXPECT_EQ(Count(r.output, "\"status\":\"Up to date\""), 19) << r.output;
}

INSTANTIATE_TEST_SUITE_P(Runs, LibrarySync,
                         ::testing::Values(SyncCase{1, false, false}, SyncCase{4, true, false},
                                           SyncCase{2, true, true}));

// --trash-sources never takes a source whose output would be the source itself: that output
// is refused, and the source stays where it is.
TEST_F(CliLibraryTest, TrashSourcesKeepsASourceThatWouldBeItsOwnOutput) {
  const std::string source = dir / "song.wav";
  Wav(source, 0.2);
  // A file changed after the program started counts as the output of a batch running beside
  // it, which overwrite leaves alone; this source is older than that.
  ::usleep(100000);
  const auto r = Cli("--trash-sources -f wav --if-exists overwrite " + ShellQuote(source));
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("same as original"), std::string::npos) << r.output;
  EXPECT_TRUE(FileExists(source));
  EXPECT_EQ(Files(dir / "data/Trash/files"), std::set<std::string>());
}

// Output names from tags: folders made as needed, two sources of one name both kept (the
// second numbered, even under overwrite), a dry run that shows the names and makes nothing,
// and patterns the command line refuses before any work.
struct PatternCase {
  const char* name;
  const char* args;
  int exitCode;
  std::set<std::string> outputs;  // below out/
  const char* shown;              // in the output or the error
};
void PrintTo(const PatternCase& c, std::ostream* os) { *os << c.name; }
class NamePatterns : public CliLibraryTest, public ::testing::WithParamInterface<PatternCase> {};

TEST_P(NamePatterns, NameOrRefuse) {
  const PatternCase& c = GetParam();
  if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "needs ffmpeg to tag the sources";
  const auto tagged = [&](const std::string& name, const std::string& tags) {
    const auto run = test::Run("ffmpeg -loglevel error -f lavfi -i sine=f=440:d=0.3 " + tags + " " +
                               ShellQuote(dir / name));
    ASSERT_EQ(run.exitCode, 0) << run.output;
  };
  tagged("a.flac",
         "-metadata artist=Ann -metadata album=Sky -metadata track=1/9 "
         "-metadata title=One -metadata disc=2");
  tagged("b.flac",
         "-metadata artist=Ann -metadata album=Sky -metadata track=1 "
         "-metadata title=One -metadata disc=2");
  tagged("c.flac", "");
  const auto r = Cli(std::string(c.args) + " -o " + ShellQuote(dir / "out") + " " +
                     ShellQuote(dir / "a.flac") + " " + ShellQuote(dir / "b.flac") + " " +
                     ShellQuote(dir / "c.flac"));
  EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
  EXPECT_NE(r.output.find(c.shown), std::string::npos) << r.output;
  EXPECT_EQ(Files(dir / "out"), c.outputs);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NamePatterns,
    ::testing::Values(
        PatternCase{"tags",
                    "--if-exists overwrite --name-pattern '%artist%/%album%/%disc%-%track% "
                    "%title|filename%'",
                    0,
                    {"Ann/Sky/2-01 One.mp3", "Ann/Sky/2-01 One_1.mp3", "- c.mp3"},
                    "2-01 One_1.mp3"},
        PatternCase{"fallbacks",
                    "--name-pattern '%albumartist|artist|Unknown%/%title|filename%.%ext%'",
                    0,
                    {"Ann/One.mp3", "Ann/One_1.mp3", "Unknown/c.mp3"},
                    "One.mp3"},
        PatternCase{"dry run", "--dry-run --name-pattern '%artist%/%title%'", 0, {}, "Ann/One.mp3"},
        PatternCase{"unknown field", "--name-pattern '%nope%/%title%'", 2, {}, "unknown field"},
        PatternCase{"climbs out", "--name-pattern '%artist%/../%title%'", 2, {}, "must not use"},
        PatternCase{"empty", "--name-pattern ''", 2, {}, "is empty"},
        PatternCase{"absolute", "--name-pattern /x/%title%", 2, {}, "must not begin with /"}));

}  // namespace
}  // namespace wavorax
