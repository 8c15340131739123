// Disc images in the source list and through wavorax-cli: a folder's cue sheet adds its
// tracks in order with their column texts, and the CLI converts a whole image, with its
// CD-Text in the outputs' tags.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "base/CdTrackPath.h"
#include "base/Paths.h"
#include "decoders/choice/DecoderChoice.h"
#include "sources/Adding.h"
#include "tests/decoders/cd/CdImages.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

using test::ShellQuote;

const std::string kCli = std::string(WAVORAX_BINARY_DIR) + "/cli/wavorax-cli";

TEST(CdSources, FolderAddsTheImageTracksInOrder) {
  test::TempDir dir;
  const test::CdImage image = test::MakeCdImage(dir.path());
  ConversionSettings settings;
  settings.BatchAddCUE = 1;
  std::vector<std::string> collected;
  CollectFolder(settings, collected, dir.path());
  CSourceList list(OpenDecoderFor);
  EXPECT_EQ(AddCollectedFiles(list, collected, nullptr), "");
  // The cue sheet gives three rows; the TOC beside it describes the same disc and adds
  // three more, after them.
  ASSERT_EQ(list.RowCount(), 6);
  const char* const lengths[] = {"00:02", "00:00", "00:00"};
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(list.Entry(row).path, CdTrackPath(image.cue, row + 1));
    EXPECT_EQ(list.Text(row, kColFile), "Track0" + std::to_string(row + 1) + ".cda");
    EXPECT_EQ(list.Text(row, kColLength), lengths[row]);
    EXPECT_EQ(list.Text(row, kColBitRate), "1411 kbps");
    EXPECT_EQ(list.Text(row, kColFreq), "44100 Hz");
    EXPECT_EQ(list.Text(row, kColChannels), "Stereo");
  }
  // Adding the image again adds nothing; with its flag off the folder offers no image.
  EXPECT_EQ(AddCollectedFiles(list, {image.cue}, nullptr), "");
  EXPECT_EQ(list.RowCount(), 6);
  settings.BatchAddCUE = 0;
  collected.clear();
  CollectFolder(settings, collected, dir.path());
  EXPECT_TRUE(collected.empty());
}

class CdCli : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HOME", (dir / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "home/.config").c_str(), 1);
    CreateFolderPath(dir / "home/.config");
    std::ofstream(dir / "settings.conf") << "[Options]\nBrowseOutputFolder=0\n";
    CreateFolderPath(dir / "disc");
    image = test::MakeCdImage(dir / "disc");
  }
  test::CommandResult Cli(const std::string& args) {
    return test::Run(ShellQuote(kCli) + " --settings " + ShellQuote(dir / "settings.conf") + " " +
                     args);
  }
  test::TempDir dir;
  test::CdImage image;
};

TEST_F(CdCli, TwoJobsGiveTheSameFilesAsOne) {
  std::map<std::string, std::vector<std::uint8_t>> results[2];
  for (int run = 0; run < 2; ++run) {
    const std::string out = dir / ("out" + std::to_string(run));
    const auto r =
        Cli("-f wav -o " + ShellQuote(out) + (run ? " -j 2 " : " -j 1 ") + ShellQuote(image.cue));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    for (const auto& e : std::filesystem::directory_iterator(out))
      results[run][e.path().filename().string()] = test::ReadFileBytes(e.path().string());
  }
  ASSERT_EQ(results[0].size(), 3u);
  EXPECT_EQ(results[0], results[1]);
  // A WAV output holds the track's samples after its 44-byte header.
  const auto& wav = results[0]["Track02.wav"];
  ASSERT_EQ(wav.size(), 44 + image.tracks[1].size() * 2);
  EXPECT_EQ(std::memcmp(wav.data() + 44, image.tracks[1].data(), image.tracks[1].size() * 2), 0);
}

TEST_F(CdCli, CueTextReachesId3v1AndMp4Items) {
  // "Same as original file" is the image's own folder.
  auto r = Cli("-f mp3 " + ShellQuote(CdTrackPath(image.cue, 2)));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const auto mp3 = test::ReadFileBytes(dir / "disc/Track02.mp3");
  ASSERT_GT(mp3.size(), 128u);
  const std::string v1(mp3.end() - 128, mp3.end());
  EXPECT_EQ(v1.substr(0, 14), "TAGSecond Song");
  EXPECT_EQ(v1.substr(33, 5), "Guest");
  EXPECT_EQ(v1.substr(63, 9), "Cue Album");
  EXPECT_EQ(v1.substr(93, 4), "1999");
  EXPECT_EQ(static_cast<unsigned char>(v1[126]), 2);  // track

  r = Cli("-f m4a " + ShellQuote(CdTrackPath(image.cue, 2)));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::string m4a = dir / "disc/Track02.m4a";
  EXPECT_EQ(test::FfprobeTag(m4a, "title"), "Second Song");
  EXPECT_EQ(test::FfprobeTag(m4a, "artist"), "Guest");
  EXPECT_EQ(test::FfprobeTag(m4a, "album"), "Cue Album");
  EXPECT_EQ(test::FfprobeTag(m4a, "track"), "2");
}

}  // namespace
}  // namespace wavorax
