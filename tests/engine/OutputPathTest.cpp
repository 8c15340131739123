#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "base/Paths.h"
#include "engine/OutputPath.h"
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

// The earlier output stays until the new one is complete and renamed over it.
TEST_F(OutputPathTest, OverwriteKeepsTheEarlierOutputUntilTheNewOneIsComplete) {
  settings.TargetExistsOpt = kExistsOverwrite;
  Touch(dir / "music/pop/1.mp3", "old output");
  ASSERT_TRUE(Resolve());
  EXPECT_EQ(entry.outputPath, dir / "music/pop/1.mp3");
  EXPECT_EQ(Slurp(entry.outputPath), "old output");
}

// A target that is the source under another name must never be replaced, whether the
// other name is a symbolic link or a hard link.
class OverwriteThroughLink : public OutputPathTest, public ::testing::WithParamInterface<bool> {};

TEST_P(OverwriteThroughLink, RefusesWhenTargetIsTheSource) {
  const bool hard = GetParam();
  settings.OutputFormat = kTargetMp3;
  settings.TargetExistsOpt = kExistsOverwrite;
  const std::string link = dir / "music/pop/1.mp3";
  ASSERT_EQ(hard ? ::link(source.c_str(), link.c_str()) : ::symlink(source.c_str(), link.c_str()),
            0);
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

// Overwrite replaces an earlier output only when the user may write it. Root may write
// anything, so the resolution runs in a child that has become "nobody", in folders that
// nobody may write: unlinking the file would succeed there, so only the permission check
// keeps a write-protected file.
struct ProtectedCase {
  mode_t mode;
  bool replaced;
};
class OverwriteAsUser : public OutputPathTest,
                        public ::testing::WithParamInterface<ProtectedCase> {};

TEST_P(OverwriteAsUser, ReplacesOnlyWhatTheUserMayWrite) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  constexpr uid_t kNobody = 65534;
  const std::string target = dir / "music/pop/1.mp3";
  Touch(target, "old output");
  for (const std::string& d :
       {dir.path(), dir / "music", dir / "music/pop", dir / "home", dir / "home/.config"})
    ASSERT_EQ(::chmod(d.c_str(), 0777), 0);
  ASSERT_EQ(::chown(target.c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chmod(target.c_str(), GetParam().mode), 0);
  settings.TargetExistsOpt = kExistsOverwrite;
  settings.OutputFiles2MyDocuments = 1;

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(99);
    const bool resolved = Resolve();
    int code = resolved ? 1 : 0;
    if (entry.outputPath == target) code |= 2;
    if (entry.outputPath == dir / "home/Documents/1.mp3") code |= 4;
    ::_exit(code);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  const int code = WEXITSTATUS(status);
  ASSERT_NE(code, 99) << "could not become nobody";
  EXPECT_EQ(code & 1, 1) << "resolves in place or in the documents folder";
  EXPECT_EQ((code & 2) != 0, GetParam().replaced);
  EXPECT_EQ((code & 4) != 0, !GetParam().replaced);
  EXPECT_EQ(Slurp(target), "old output");
}

INSTANTIATE_TEST_SUITE_P(Modes, OverwriteAsUser,
                         ::testing::Values(ProtectedCase{0444, false}, ProtectedCase{0400, false},
                                           ProtectedCase{0644, true}));

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

// The documents folder is what xdg-user-dir reports, also when that is the home folder.
struct UserDirsCase {
  const char* line;    // the XDG_DOCUMENTS_DIR line, or "" for none
  const char* output;  // where 1.mp3 lands, below the temporary folder
};
class DocumentsFolderFromUserDirs : public OutputPathTest,
                                    public ::testing::WithParamInterface<UserDirsCase> {};

TEST_P(DocumentsFolderFromUserDirs, FollowsXdgUserDir) {
  std::ofstream(dir / "home/.config/user-dirs.dirs") << "# comment\n" << GetParam().line << "\n";
  Touch(dir / "blocker");
  settings.DestOutputFolderOpt = kFolderCustom;
  settings.DestSpecifiedFolder = dir / "blocker/out";
  settings.OutputFiles2MyDocuments = 1;
  ASSERT_TRUE(Resolve()) << outcome;
  EXPECT_EQ(entry.outputPath, dir / GetParam().output);
  if (*GetParam().line && test::HaveTool("xdg-user-dir")) {
    std::string reported = test::Run("xdg-user-dir DOCUMENTS").output;
    while (!reported.empty() && reported.back() == '\n') reported.pop_back();
    if (reported.back() != '/') reported += '/';
    EXPECT_EQ(entry.outputPath, reported + "1.mp3");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DocumentsFolderFromUserDirs,
    ::testing::Values(UserDirsCase{"XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"", "home/Dokumente/1.mp3"},
                      UserDirsCase{"XDG_DOCUMENTS_DIR=\"$HOME\"", "home/1.mp3"},
                      UserDirsCase{"XDG_DOCUMENTS_DIR=\"$HOME/\"", "home/1.mp3"},
                      UserDirsCase{"", "home/Documents/1.mp3"}));

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
