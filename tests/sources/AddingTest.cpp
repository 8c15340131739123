#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>

#include "base/Paths.h"
#include "decoders/choice/DecoderChoice.h"
#include "sources/Adding.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

namespace fs = std::filesystem;

class AddingTest : public ::testing::Test {
 protected:
  std::string Touch(const std::string& rel) {
    const std::string path = dir / rel;
    CreateFolderPath(path.substr(0, path.rfind('/')));
    std::ofstream(path) << "x";
    return path;
  }
  std::vector<std::string> Collect(const std::string& folder) {
    std::vector<std::string> list;
    CollectFolder(settings, list, folder);
    for (auto& p : list) p = p.substr(dir.path().size() + 1);
    return list;
  }
  test::TempDir dir;
  ConversionSettings settings;
};

TEST_F(AddingTest, FolderByFolderThenPatternByPattern) {
  Touch("m/song.mp3");
  Touch("m/a.wav");
  Touch("m/b.MP3");
  Touch("m/notes.txt");
  Touch("m/sub/c.flac");
  const auto got = Collect(dir / "m");
  ASSERT_EQ(got.size(), 4u);
  // Both MP3 files (in name order, whatever their case) come before the WAV file; the
  // subfolder is last.
  EXPECT_EQ(got[0], "m/b.MP3");
  EXPECT_EQ(got[1], "m/song.mp3");
  EXPECT_EQ(got[2], "m/a.wav");
  EXPECT_EQ(got[3], "m/sub/c.flac");
}

TEST_F(AddingTest, FlagsFilterFolderScans) {
  Touch("m/a.wav");
  Touch("m/b.ogg");
  settings.BatchAddWAV = 0;
  EXPECT_EQ(Collect(dir / "m"), std::vector<std::string>{"m/b.ogg"});
  EXPECT_FALSE(AcceptsExtension(settings, ".wav"));
  EXPECT_TRUE(AcceptsExtension(settings, ".OGG"));
  EXPECT_FALSE(AcceptsExtension(settings, ""));
  EXPECT_FALSE(AcceptsExtension(settings, ".txt"));
}

TEST_F(AddingTest, LinkedFoldersAreNeverEntered) {
  Touch("m/a.mp3");
  ASSERT_EQ(::symlink((dir / "m").c_str(), (dir / "m/loop").c_str()), 0);
  Touch("other/b.mp3");
  ASSERT_EQ(::symlink((dir / "other").c_str(), (dir / "m/other.mp3").c_str()), 0);
  EXPECT_EQ(Collect(dir / "m"), std::vector<std::string>{"m/a.mp3"});
}

TEST_F(AddingTest, ShortcutsAreFollowedToAcceptedTargets) {
  const std::string flac = Touch("lib/song.flac");
  ASSERT_TRUE(CreateFolderPath(dir / "drop"));
  ASSERT_EQ(::symlink(flac.c_str(), (dir / "drop/one").c_str()), 0);
  ASSERT_EQ(::symlink("one", (dir / "drop/two").c_str()), 0);  // relative, through another link
  std::ofstream(dir / "drop/link.desktop")
      << "[Desktop Entry]\nType=Link\nName=x\nURL=file://" << dir.path() << "/lib/song%2Eflac\n";
  std::ofstream(dir / "drop/app.desktop") << "[Desktop Entry]\nType=Application\nExec=true\n";
  ASSERT_EQ(::symlink((dir / "lib").c_str(), (dir / "drop/folder").c_str()), 0);
  ASSERT_EQ(::symlink("self", (dir / "drop/self").c_str()), 0);

  for (const char* name : {"one", "two", "link.desktop"}) {
    std::vector<std::string> list;
    AdmitFile(settings, dir / ("drop/" + std::string(name)), list);
    ASSERT_EQ(list.size(), 1u) << name;
    EXPECT_TRUE(SameFile(list[0], flac)) << name;
  }
  for (const char* name : {"app.desktop", "folder", "self"}) {
    std::vector<std::string> list;
    AdmitFile(settings, dir / ("drop/" + std::string(name)), list);
    EXPECT_TRUE(list.empty()) << name;
  }
  settings.BatchAddFLAC = 0;
  std::vector<std::string> list;
  AdmitFile(settings, dir / "drop/one", list);
  EXPECT_TRUE(list.empty());
}

class CountingProgress : public IAddProgress {
 public:
  void SetText(const std::string& t) override { texts.push_back(t); }
  void SetRange(int m) override { range = m; }
  void Step() override { ++steps; }
  bool CancelRequested() override { return cancelAfter > 0 && steps >= cancelAfter; }
  void PumpMessages() override {}
  std::vector<std::string> texts;
  int range = 0, steps = 0, cancelAfter = 0;
};

TEST_F(AddingTest, FailureTextNamesTenThenMore) {
  std::vector<std::string> paths;
  for (int i = 0; i < 15; ++i) paths.push_back(Touch("bad/f" + std::to_string(i) + ".ogg"));
  CSourceList list(OpenDecoderFor);
  CountingProgress progress;
  const std::string text = AddCollectedFiles(list, paths, &progress);
  std::string expected;
  for (int i = 0; i < 10; ++i) expected += paths[i] + "\n";
  expected += "<more files>...\n";
  EXPECT_EQ(text, expected);
  EXPECT_EQ(progress.range, 15);
  EXPECT_EQ(progress.texts.front(), "Adding file 1 of 15...");
  EXPECT_EQ(progress.texts.back(), "Adding file 15 of 15...");
  EXPECT_EQ(
      FailureReport("x\n").rfind("Failed to load the following files.\n\nx\n\nTo get help", 0), 0u);
}

TEST_F(AddingTest, CancelStopsAfterTheFileInProgress) {
  std::vector<std::string> paths;
  for (int i = 0; i < 6; ++i) {
    paths.push_back(dir / ("w" + std::to_string(i) + ".wav"));
    test::WriteWav16(paths.back(), std::vector<std::int16_t>(800), 1, 8000);
  }
  CSourceList list(OpenDecoderFor);
  CountingProgress progress;
  progress.cancelAfter = 2;
  int seen = 0;
  AddCollectedFiles(list, paths, &progress,
                    [&](const std::string&, CSourceList::AddResult, int) { ++seen; });
  EXPECT_EQ(list.RowCount(), 2);
  EXPECT_EQ(seen, 2);
}

TEST_F(AddingTest, ProbingOnSeveralThreadsAddsTheSameRowsInTheSameOrder) {
  std::vector<std::string> paths;
  for (int i = 0; i < 12; ++i) {
    paths.push_back(dir / ("p" + std::to_string(i) + (i % 4 == 3 ? ".ogg" : ".wav")));
    if (i % 4 == 3)
      std::ofstream(paths.back()) << "not audio";
    else
      test::WriteWav16(paths.back(), std::vector<std::int16_t>(800 * (i + 1)), 1, 8000);
  }
  paths.push_back(paths[0]);  // listed already by then
  CSourceList one(OpenDecoderFor), many(OpenDecoderFor);
  const std::string failuresOne = AddCollectedFiles(one, paths, nullptr, {}, 1);
  const std::string failuresMany = AddCollectedFiles(many, paths, nullptr, {}, 4);
  EXPECT_EQ(failuresOne, failuresMany);
  ASSERT_EQ(one.RowCount(), 9);
  ASSERT_EQ(many.RowCount(), 9);
  for (int r = 0; r < 9; ++r)
    for (int c = 0; c < kColStatus; ++c) EXPECT_EQ(one.Text(r, c), many.Text(r, c));
}

TEST_F(AddingTest, AddingTheSameFolderTwiceAddsNothingNew) {
  for (int i = 0; i < 3; ++i)
    test::WriteWav16(dir / ("s" + std::to_string(i) + ".wav"), std::vector<std::int16_t>(800), 1,
                     8000);
  CSourceList list(OpenDecoderFor);
  for (int round = 0; round < 2; ++round) {
    std::vector<std::string> paths;
    CollectFolder(settings, paths, dir.path() + "/");
    EXPECT_EQ(AddCollectedFiles(list, paths, nullptr), "");
    EXPECT_EQ(list.RowCount(), 3);
  }
}

// A folder is taken in the order a file manager shows it: numbers by value, case folded,
// whatever order the files were made in (and so whatever the file system's hash order is).
struct OrderCase {
  const char* name;
  std::vector<std::string> natural;  // the files (and folders), in the order expected
};
class NaturalFolderOrder : public AddingTest, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(NaturalFolderOrder, FollowsTheNamesNumbersAndIgnoresCase) {
  const std::vector<std::string>& natural = GetParam().natural;
  std::vector<std::size_t> shuffled(natural.size());
  for (std::size_t i = 0; i < shuffled.size(); ++i)
    shuffled[i] = (i * 5 + 3) % natural.size();  // 5 is prime to both sizes
  for (std::size_t i : shuffled) Touch("album/" + natural[i]);
  std::vector<std::string> expected;
  for (const std::string& name : natural) expected.push_back("album/" + name);
  EXPECT_EQ(Collect(dir / "album"), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NaturalFolderOrder,
    ::testing::Values(
        OrderCase{"Unpadded",
                  {"1 - Track.wav", "2 - Track.wav", "3 - Track.wav", "4 - Track.wav",
                   "5 - Track.wav", "6 - Track.wav", "7 - Track.wav", "8 - Track.wav",
                   "9 - Track.wav", "10 - Track.wav", "11 - Track.wav", "12 - Track.wav"}},
        OrderCase{"PaddedMixedCase",
                  {"01 - intro.wav", "02 - Song.wav", "03 - song.wav", "04 - SONG.wav",
                   "05 - b.wav", "06 - A.wav", "07 - x.wav", "08 - x.wav", "09 - x.wav",
                   "10 - x.wav", "11 - x.wav", "12 - Outro.wav"}},
        OrderCase{"ByPatternThenName",
                  {"Track 2.mp3", "track 10.MP3", "Track 1.wav", "Track 9.wav", "disc 1/a.wav",
                   "Disc 2/a.wav", "disc 10/a.wav"}}),
    [](const auto& info) { return std::string(info.param.name); });

// The index of listed files refuses a file under a second spelling, and forgets rows that go.
TEST_F(AddingTest, IndexRefusesOtherSpellingsAndForgetsRemovedRows) {
  const std::string a = dir / "a.wav", b = dir / "b.wav";
  test::WriteWav16(a, std::vector<std::int16_t>(800), 1, 8000);
  test::WriteWav16(b, std::vector<std::int16_t>(800), 1, 8000);
  ASSERT_EQ(::symlink(a.c_str(), (dir / "link.wav").c_str()), 0);
  CSourceList list(OpenDecoderFor);
  EXPECT_EQ(AddCollectedFiles(list, {a, b}, nullptr), "");
  ASSERT_EQ(list.RowCount(), 2);
  for (const std::string& again :
       {dir / "link.wav", dir.path() + "/./a.wav",
        dir / "../" + fs::path(dir.path()).filename().string() + "/b.wav"})
    EXPECT_EQ(list.AddSourceFile(again), CSourceList::AddResult::AlreadyListed) << again;
  list.SetSelected(0, true);
  ASSERT_TRUE(list.RemoveSelected());
  EXPECT_EQ(list.AddSourceFile(dir / "link.wav"), CSourceList::AddResult::Added);
  ASSERT_TRUE(list.RemoveAll());
  EXPECT_EQ(AddCollectedFiles(list, {a, b}, nullptr), "");
  EXPECT_EQ(list.RowCount(), 2);
}

// Rows are compared with what their paths name at the time of adding, through either route.
struct StaleCase {
  const char* name;
  bool replaceByRename;  // else: the listed file moves away and its inode shows up elsewhere
  bool batch;            // through AddCollectedFiles, else AddSourceFile
};
class StaleIdentity : public AddingTest, public ::testing::WithParamInterface<StaleCase> {};

TEST_P(StaleIdentity, JudgedByWhatThePathsNameNow) {
  const StaleCase c = GetParam();
  const std::string listed = dir / "a.wav", other = dir / "b.wav";
  test::WriteWav16(listed, std::vector<std::int16_t>(800), 1, 8000);
  CSourceList list(OpenDecoderFor);
  ASSERT_EQ(list.AddSourceFile(listed), CSourceList::AddResult::Added);
  std::string next;
  if (c.replaceByRename) {
    // A tagger saves by writing a new file and renaming it over the old one.
    test::WriteWav16(listed + ".tmp", std::vector<std::int16_t>(1600), 1, 8000);
    ASSERT_EQ(::rename((listed + ".tmp").c_str(), listed.c_str()), 0);
    next = listed;
  } else {
    // The listed file is gone and a different file now has its inode.
    ASSERT_EQ(::rename(listed.c_str(), other.c_str()), 0);
    next = other;
  }
  if (c.batch)
    AddCollectedFiles(list, {next}, nullptr);
  else
    list.AddSourceFile(next);
  EXPECT_EQ(list.RowCount(), c.replaceByRename ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(Cases, StaleIdentity,
                         ::testing::Values(StaleCase{"replaced", true, false},
                                           StaleCase{"replacedBatch", true, true},
                                           StaleCase{"inodeReused", false, false},
                                           StaleCase{"inodeReusedBatch", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Only regular files are read as links: a FIFO would block for good, a device never end.
TEST_F(AddingTest, OnlyRegularFilesAreReadAsLinks) {
  CreateFolderPath(dir / "m");
  test::WriteWav16(dir / "t.wav", std::vector<std::int16_t>(800), 1, 8000);
  std::ofstream(dir / "m/good.desktop")
      << "[Desktop Entry]\nType=Link\nURL=file://" << (dir / "t.wav") << "\n";
  ASSERT_EQ(::mkfifo((dir / "m/fifo.desktop").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("/dev/zero", (dir / "m/zero.desktop").c_str()), 0);
  auto done = std::async(std::launch::async, [&] { return Collect(dir / "m"); });
  if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    ADD_FAILURE() << "the scan blocked on a link file";
    std::_Exit(1);  // the blocked thread cannot be joined
  }
  EXPECT_EQ(done.get(), std::vector<std::string>{"t.wav"});
  EXPECT_EQ(ParseDesktopLink("[Desktop Entry]\nType=Link\nURL=file:///a%20b.wav"), "/a b.wav");
  EXPECT_EQ(ParseDesktopLink("[Other]\nType=Link\nURL=file:///x.wav"), "");
}

// Progress comes per file and Cancel is heard within a file, with one job or several.
class AddingJobs : public AddingTest, public ::testing::WithParamInterface<int> {};

TEST_P(AddingJobs, ProgressPerFileAndCancelWithinAFile) {
  std::vector<std::string> paths;
  for (int i = 0; i < 40; ++i) {
    paths.push_back(dir / ("w" + std::to_string(i) + ".wav"));
    test::WriteWav16(paths.back(), std::vector<std::int16_t>(800), 1, 8000);
  }
  std::atomic<int> probed{0};
  CSourceList list([&](int type, const std::string& path, int rate) {
    ++probed;
    return OpenDecoderFor(type, path, rate);
  });
  struct FirstStep : CountingProgress {
    std::atomic<int>* probed;
    int probedAtFirstText = -1;
    void SetText(const std::string& t) override {
      if (texts.empty()) probedAtFirstText = probed->load();
      CountingProgress::SetText(t);
    }
  } progress;
  progress.probed = &probed;
  progress.cancelAfter = 5;
  AddCollectedFiles(list, paths, &progress, {}, GetParam());
  // The fifth file is added, unless the cancel came while its probe was still running.
  EXPECT_GE(list.RowCount(), GetParam() > 1 ? 4 : 5);
  EXPECT_LE(list.RowCount(), 5);
  EXPECT_EQ(progress.texts.size(), 5u);
  EXPECT_LT(progress.probedAtFirstText, 40);  // the first step does not wait for every probe
  EXPECT_LT(probed.load(), 40);               // and probing stops with the cancel

  // The folder scan stops too, after the first admitted file.
  struct CancelAtOnce : CountingProgress {
    bool CancelRequested() override { return true; }
  } cancel;
  std::vector<std::string> collected;
  EXPECT_TRUE(CollectFolder(settings, collected, dir.path(), &cancel).cancelled);
  EXPECT_LE(collected.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Jobs, AddingJobs, ::testing::Values(1, 3));

}  // namespace
}  // namespace wavorax
