#include <gtest/gtest.h>

#include <fstream>

#include "decoders/SourceType.h"
#include "base/Paths.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

struct ExtCase {
  const char* path;
  const char* name;
  const char* extension;
};
class PathParts : public ::testing::TestWithParam<ExtCase> {};

TEST_P(PathParts, NameAndExtension) {
  EXPECT_EQ(FileNameOf(GetParam().path), GetParam().name);
  EXPECT_EQ(ExtensionOf(GetParam().path), GetParam().extension);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PathParts,
    ::testing::Values(ExtCase{"/m/pop/1.wav", "1.wav", ".wav"},
                      ExtCase{"/m/x/.hidden", ".hidden", ".hidden"},
                      ExtCase{".hidden", ".hidden", ""}, ExtCase{"/m/a.b/track", "track", ""},
                      ExtCase{"/m/song.mp3.wav", "song.mp3.wav", ".wav"},
                      ExtCase{"/m/dir/", "", ""}, ExtCase{"a:b.MP3", "a:b.MP3", ".MP3"}));

struct TypeCase {
  const char* path;
  int type;
};
class SourceTypes : public ::testing::TestWithParam<TypeCase> {};
TEST_P(SourceTypes, FromExtension) { EXPECT_EQ(SourceTypeOf(GetParam().path), GetParam().type); }
INSTANTIATE_TEST_SUITE_P(
    Cases, SourceTypes,
    ::testing::Values(TypeCase{"/a/SONG.MP3", 1000}, TypeCase{"/a/song.mp3", 1000},
                      TypeCase{"/a/song.mp3.wav", 2000}, TypeCase{"/a.mp3/song", 9000},
                      TypeCase{"/a/x.Mp1", 1000}, TypeCase{"/a/x.amr", 5500},
                      TypeCase{"/a/x.oga", 4000}, TypeCase{"/a/x.umx", 3000},
                      TypeCase{"/a/x.SND", 5000}, TypeCase{"/a/x.flac", 9000}));

TEST(Paths, CreateFolderPathMakesEveryLevelAndRefusesFiles) {
  test::TempDir dir;
  EXPECT_TRUE(CreateFolderPath(dir / "a/b/c"));
  EXPECT_TRUE(CreateFolderPath(dir / "a/b/c/"));
  std::ofstream(dir / "file") << "x";
  EXPECT_FALSE(CreateFolderPath(dir / "file"));
  EXPECT_FALSE(CreateFolderPath(dir / "file/sub"));
  EXPECT_FALSE(CreateFolderPath(""));
}

TEST(Paths, SizesAreSixtyFourBit) {
  test::TempDir dir;
  const std::string big = dir / "sparse";
  // A sparse file of exactly 4 GiB: its low 32 bits are zero, and it is not empty.
  {
    std::ofstream out(big, std::ios::binary);
    out.seekp((std::streamoff(1) << 32) - 1);
    out.put('\0');
  }
  std::uint64_t size = 0;
  ASSERT_TRUE(QueryFileSize(big, size));
  EXPECT_EQ(size, std::uint64_t(1) << 32);
  EXPECT_FALSE(QueryFileSize(dir / "missing", size));
}

TEST(Paths, SameFileSeesThroughLinksAndSpelling) {
  test::TempDir dir;
  std::ofstream(dir / "a.wav") << "x";
  EXPECT_TRUE(SameFile(dir / "a.wav", dir / "./sub/../a.wav"));
  EXPECT_FALSE(SameFile(dir / "a.wav", dir / "A.wav"));
  EXPECT_TRUE(SameFile(dir / "missing", dir / "x/../missing"));
}

}  // namespace
}  // namespace wavorax
