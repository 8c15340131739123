// The trash of a file system other than the home's: which folder its top directory offers,
// and refusal (the file stays) when none can be used. The test folder is made its own top
// directory, so the rules run on real folders, links and modes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "base/Paths.h"
#include "engine/library/Trash.h"
#include "tests/support/TestSupport.h"

namespace wavorax::library {
namespace {

namespace fs = std::filesystem;

struct TopCase {
  const char* name;
  std::function<void(const std::string& top, const std::string& uid)> setup;
  std::string trash;  // the folder that takes the files, under the top; "" when refused
};

class TopDirTrash : public ::testing::TestWithParam<TopCase> {};

TEST_P(TopDirTrash, UsesTheTrashTheRulesAllowOrKeepsTheFile) {
  const TopCase& c = GetParam();
  test::TempDir top;
  const std::string uid = std::to_string(::getuid());
  c.setup(top.path(), uid);
  const std::string file = top / "music/\xC3\xA4 b.mp3";
  ASSERT_TRUE(CreateFolderPath(top / "music"));
  test::WriteFileBytes(file, {1, 2, 3});

  std::vector<TrashResult> results;
  for (int i = 0; i < 2; ++i) {
    results.push_back(MoveToTrash(file, {.topDir = top.path()}));
    if (!results.back().moved) break;
    test::WriteFileBytes(file, {4, 5});  // the same name once more
  }
  if (c.trash.empty()) {
    EXPECT_FALSE(results[0].moved);
    EXPECT_FALSE(results[0].error.empty());
    EXPECT_EQ(test::ReadFileBytes(file), (std::vector<std::uint8_t>{1, 2, 3}));
    for (const auto& entry : fs::recursive_directory_iterator(top.path()))
      EXPECT_NE(entry.path().extension(), ".trashinfo") << entry.path();
    return;
  }
  const std::string trash = top / (c.trash + uid);
  ASSERT_TRUE(results[1].moved) << results[1].error;
  EXPECT_EQ(results[0].trashedPath, trash + "/files/\xC3\xA4 b.mp3");
  EXPECT_EQ(results[1].trashedPath, trash + "/files/\xC3\xA4 b.2.mp3");
  EXPECT_EQ(test::ReadFileBytes(results[0].trashedPath), (std::vector<std::uint8_t>{1, 2, 3}));
  const auto info = test::ReadFileBytes(results[1].infoPath);
  EXPECT_NE(std::string(info.begin(), info.end()).find("\nPath=music/%C3%A4%20b.mp3\n"),
            std::string::npos);
  struct stat st {};
  ASSERT_EQ(::lstat(trash.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

void Sticky(const std::string& path, mode_t mode) {
  ASSERT_EQ(::mkdir(path.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TopDirTrash,
    ::testing::Values(TopCase{"own_folder_made", [](auto&, auto&) {}, ".Trash-"},
                      TopCase{"shared_sticky",
                              [](auto& top, auto&) { Sticky(top + "/.Trash", 01777); }, ".Trash/"},
                      TopCase{"shared_not_sticky",
                              [](auto& top, auto&) { Sticky(top + "/.Trash", 0777); }, ".Trash-"},
                      TopCase{"shared_is_a_link",
                              [](auto& top, auto&) {
                                Sticky(top + "/real", 01777);
                                fs::create_directory_symlink(top + "/real", top + "/.Trash");
                              },
                              ".Trash-"},
                      TopCase{"own_is_a_link",
                              [](auto& top, auto& uid) {
                                fs::create_directory(top + "/real");
                                fs::create_directory_symlink(top + "/real", top + "/.Trash-" + uid);
                              },
                              ""},
                      TopCase{"own_is_a_file_shared_unusable",
                              [](auto& top, auto& uid) {
                                test::WriteFileBytes(top + "/.Trash-" + uid, {0});
                                Sticky(top + "/.Trash", 0755);
                              },
                              ""}),
    [](const auto& info) { return std::string(info.param.name); });

// /dev/shm is a tmpfs of its own on most systems: its top directory is its mount point.
TEST(TrashTopDir, IsTheMountPoint) {
  struct stat shm {
  }, root{};
  if (::stat("/dev/shm", &shm) != 0 || ::stat("/dev", &root) != 0 || shm.st_dev == root.st_dev)
    GTEST_SKIP() << "/dev/shm is no file system of its own here";
  EXPECT_EQ(TopDirOf("/dev/shm"), "/dev/shm");
  EXPECT_EQ(TopDirOf("/"), "/");
  EXPECT_EQ(EscapeTrashPath("/a b/%\xC3\xA4~-_."), "/a%20b/%25%C3%A4~-_.");
}

}  // namespace
}  // namespace wavorax::library
