#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "engine/OutputPath.h"
#include "base/Paths.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

using test::TempDir;

void Touch(const std::string& path, const std::string& content = "x") {
  std::ofstream(path) << content;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every test gets its own HOME and XDG config, so the documents-folder retry lands in the
// temporary folder and never in the real user's.
class OutputPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HOME", (dir / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "home/.config").c_str(), 1);
    ASSERT_TRUE(CreateFolderPath(dir / "home/.config"));
    ASSERT_TRUE(CreateFolderPath(dir / "music/pop"));
    source = dir / "music/pop/1.wav";
    Touch(source, "source audio");
    settings.OutputFormat = kTargetMp3;
    settings.OutputFiles2MyDocuments = 0;
  }

  bool Resolve() {
    entry = SourceEntry{};
    entry.path = source;
    outcome.clear();
    return ResolveOutputPath(settings, entry, outcome);
  }

  TempDir dir;
  std::string source;
  ConversionSettings settings;
  SourceEntry entry;
  std::string outcome;
};

TEST_F(OutputPathTest, NextToSourceWithTargetExtension) {
  ASSERT_TRUE(Resolve());
  EXPECT_EQ(entry.outputPath, dir / "music/pop/1.mp3");
  EXPECT_FALSE(FileExists(entry.outputPath)) << "the probe file must be removed again";
}

TEST_F(OutputPathTest, AutoRenameNumbersUntilFree) {
  Touch(dir / "music/pop/1.mp3");
  ASSERT_TRUE(Resolve());
  EXPECT_EQ(entry.outputPath, dir / "music/pop/1_1.mp3");
  Touch(dir / "music/pop/1_1.mp3");
  ASSERT_TRUE(Resolve());
  EXPECT_EQ(entry.outputPath, dir / "music/pop/1_2.mp3");
}

TEST_F(OutputPathTest, ConvertingToOwnFormatNextToItself) {
  settings.OutputFormat = kTargetWav;
  ASSERT_TRUE(Resolve());
  EXPECT_EQ(entry.outputPath, dir / "music/pop/1_1.wav");

  settings.TargetExistsOpt = kExistsSkip;
  EXPECT_FALSE(Resolve());
  EXPECT_EQ(outcome, "Target exists and skipped");
  EXPECT_TRUE(entry.outputPath.empty());

  settings.TargetExistsOpt = kExistsOverwrite;
  EXPECT_FALSE(Resolve());
  EXPECT_EQ(outcome,
            "Target file name is same as original file that can't be overwritten. Please output "
            "files to a custom folder.");
  EXPECT_EQ(Slurp(source), "source audio");
}

TEST_F(OutputPathTest, OverwriteRemovesAnotherExistingTargetAtOnce) {
  settings.TargetExistsOpt = kExistsOverwrite;
  Touch(dir / "music/pop/1.mp3", "old output");
  ASSERT_TRUE(Resolve());
  EXPECT_EQ(entry.outputPath, dir / "music/pop/1.mp3");
  EXPECT_FALSE(FileExists(entry.outputPath));
}

// A target that is the source under another name must never be replaced, whether the
// other name is a symbolic link or a hard link.
class OverwriteThroughLink : public OutputPathTest, public ::testing::WithParamInterface<bool> {};

TEST_P(OverwriteThroughLink, RefusesWhenTargetIsTheSource) {
  const bool hard = GetParam();
  settings.OutputFormat = kTargetMp3;
  settings.TargetExistsOpt = kExistsOverwrite;
  const std::string link = dir / "music/pop/1.mp3";
  ASSERT_EQ(hard ? ::link(source.c_str(), link.c_str()) : ::symlink(source.c_str(), link.c_str()), 0);
  EXPECT_FALSE(Resolve());
  EXPECT_NE(outcome.find("same as original file"), std::string::npos);
  EXPECT_EQ(Slurp(source), "source audio");
  EXPECT_TRUE(FileExists(link));
}

INSTANTIATE_TEST_SUITE_P(Links, OverwriteThroughLink, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Hard" : "Symbolic"; });

TEST_F(OutputPathTest, OverwriteNeverWritesThroughALinkToAnotherFile) {
  settings.TargetExistsOpt = kExistsOverwrite;
  Touch(dir / "other.txt", "precious");
  ASSERT_EQ(::symlink((dir / "other.txt").c_str(), (dir / "music/pop/1.mp3").c_str()), 0);
  ASSERT_TRUE(Resolve());
  EXPECT_EQ(Slurp(dir / "other.txt"), "precious");
}

TEST_F(OutputPathTest, CustomFolderWithAndWithoutTrailingSlash) {
  settings.DestOutputFolderOpt = kFolderCustom;
  for (const std::string& folder : {dir / "out", dir / "out/"}) {
    settings.DestSpecifiedFolder = folder;
    ASSERT_TRUE(Resolve()) << outcome;
    EXPECT_EQ(entry.outputPath, dir / "out/1.mp3");
  }
}

TEST_F(OutputPathTest, MirrorAppendsSourceFolderBelowCustomFolder) {
  settings.DestOutputFolderOpt = kFolderCustom;
  settings.DestSpecifiedFolder = dir / "out";
  settings.CreateDirs = 1;
  // A doubled separator and a ".." in the source path must not change where it lands.
  entry.path = dir / "music//pop/../pop/1.wav";
  source = entry.path;
  ASSERT_TRUE(Resolve()) << outcome;
  const std::string expected = dir / "out" + (dir / "music/pop/1.mp3");
  EXPECT_EQ(entry.outputPath, expected);
  struct stat st {};
  EXPECT_EQ(::stat((dir / "out" + (dir / "music/pop")).c_str(), &st), 0);
}

TEST_F(OutputPathTest, NameThatBeginsWithItsOnlyDot) {
  source = dir / "music/.hidden";
  Touch(source);
  ASSERT_TRUE(Resolve());
  EXPECT_EQ(entry.outputPath, dir / "music/.mp3");
}

TEST_F(OutputPathTest, SourceWithoutExtensionGetsTargetExtensionAppended) {
  source = dir / "music/pop/track";
  Touch(source);
  ASSERT_TRUE(Resolve());
  EXPECT_EQ(entry.outputPath, dir / "music/pop/track.mp3");
}

TEST_F(OutputPathTest, EmptyCustomFolderWithoutRetryReportsEmptyName) {
  settings.DestOutputFolderOpt = kFolderCustom;
  settings.DestSpecifiedFolder = "";
  EXPECT_FALSE(Resolve());
  EXPECT_EQ(outcome, "Failed to create folder \"\"");
}

// A folder path that runs through a regular file cannot be created, even by root.
TEST_F(OutputPathTest, UncreatableFolderRetriesInDocumentsFolder) {
  Touch(dir / "blocker");
  settings.DestOutputFolderOpt = kFolderCustom;
  settings.DestSpecifiedFolder = dir / "blocker/out";
  settings.CreateDirs = 0;

  EXPECT_FALSE(Resolve());
  EXPECT_EQ(outcome, "Failed to create folder \"" + (dir / "blocker/out") + "\"");

  settings.OutputFiles2MyDocuments = 1;
  ASSERT_TRUE(Resolve()) << outcome;
  EXPECT_EQ(entry.outputPath, dir / "home/Documents/1.mp3");
}

TEST_F(OutputPathTest, DocumentsFolderComesFromUserDirs) {
  std::ofstream(dir / "home/.config/user-dirs.dirs")
      << "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
  Touch(dir / "blocker");
  settings.DestOutputFolderOpt = kFolderCustom;
  settings.DestSpecifiedFolder = dir / "blocker/out";
  settings.OutputFiles2MyDocuments = 1;
  ASSERT_TRUE(Resolve()) << outcome;
  EXPECT_EQ(entry.outputPath, dir / "home/Dokumente/1.mp3");
}

TEST_F(OutputPathTest, RetryKeepsMirrorOnlyForCustomFolderPolicy) {
  Touch(dir / "blocker");
  settings.DestOutputFolderOpt = kFolderCustom;
  settings.DestSpecifiedFolder = dir / "blocker/out";
  settings.CreateDirs = 1;
  settings.OutputFiles2MyDocuments = 1;
  ASSERT_TRUE(Resolve()) << outcome;
  EXPECT_EQ(entry.outputPath, dir / "home/Documents" + (dir / "music/pop/1.mp3"));
}

TEST_F(OutputPathTest, UnwritableSourceFolderRetriesInDocuments) {
  if (::geteuid() == 0) {
    // Root writes anywhere, so make the file name itself uncreatable: a folder in the way.
    ASSERT_TRUE(CreateFolderPath(dir / "music/pop/1.mp3/"));
    settings.TargetExistsOpt = kExistsOverwrite;
  } else {
    ASSERT_EQ(::chmod((dir / "music/pop").c_str(), 0555), 0);
  }
  EXPECT_FALSE(Resolve());
  EXPECT_EQ(outcome.rfind("Failed to create file \"", 0), 0u) << outcome;
  settings.OutputFiles2MyDocuments = 1;
  ASSERT_TRUE(Resolve()) << outcome;
  EXPECT_EQ(entry.outputPath, dir / "home/Documents/1.mp3");
}

TEST_F(OutputPathTest, UnknownTargetCodeFailsWithoutMessage) {
  settings.OutputFormat = 1234;
  EXPECT_FALSE(Resolve());
  EXPECT_TRUE(outcome.empty());
}

}  // namespace
}  // namespace wavorax
