#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "decoders/DecoderChoice.h"
#include "base/Paths.h"
#include "sources/Adding.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

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
  // Both MP3 files (in enumeration order) come before the WAV file; the subfolder is last.
  EXPECT_TRUE((got[0] == "m/song.mp3" && got[1] == "m/b.MP3") ||
              (got[0] == "m/b.MP3" && got[1] == "m/song.mp3"));
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
  EXPECT_EQ(FailureReport("x\n").rfind("Failed to load the following files.\n\nx\n\nTo get help", 0), 0u);
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
  AddCollectedFiles(list, paths, &progress, [&](const std::string&, CSourceList::AddResult, int) { ++seen; });
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
    test::WriteWav16(dir / ("s" + std::to_string(i) + ".wav"), std::vector<std::int16_t>(800), 1, 8000);
  CSourceList list(OpenDecoderFor);
  for (int round = 0; round < 2; ++round) {
    std::vector<std::string> paths;
    CollectFolder(settings, paths, dir.path() + "/");
    EXPECT_EQ(AddCollectedFiles(list, paths, nullptr), "");
    EXPECT_EQ(list.RowCount(), 3);
  }
}

}  // namespace
}  // namespace wavorax
