#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "base/ByteSource.h"
#include "base/Paths.h"
#include "decoders/SourceType.h"
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

INSTANTIATE_TEST_SUITE_P(Cases, PathParts,
                         ::testing::Values(ExtCase{"/m/pop/1.wav", "1.wav", ".wav"},
                                           ExtCase{"/m/x/.hidden", ".hidden", ".hidden"},
                                           ExtCase{".hidden", ".hidden", ""},
                                           ExtCase{"/m/a.b/track", "track", ""},
                                           ExtCase{"/m/song.mp3.wav", "song.mp3.wav", ".wav"},
                                           ExtCase{"/m/dir/", "", ""},
                                           ExtCase{"a:b.MP3", "a:b.MP3", ".MP3"}));

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

// In-order reading gives the same bytes from a file (read ahead in blocks) as from memory,
// across block edges, with seeks, skips and offset reads in between.
class ByteSourceReading : public ::testing::TestWithParam<bool> {};

TEST_P(ByteSourceReading, MatchesTheBytesWhateverTheRequestSizes) {
  std::vector<std::uint8_t> bytes(200000);
  std::uint32_t x = 12345;
  for (auto& b : bytes) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 24);
  test::TempDir dir;
  test::WriteFileBytes(dir / "data", bytes);
  auto source = GetParam() ? ByteSource::OpenFile(dir / "data") : ByteSource::FromBytes(bytes);
  ASSERT_TRUE(source);
  ASSERT_EQ(source->Size(), bytes.size());

  std::vector<std::uint8_t> got(bytes.size() + 10);
  std::uint64_t at = 0;
  auto expectRead = [&](std::size_t count) {
    const std::size_t want = std::min<std::size_t>(count, bytes.size() - at);
    ASSERT_EQ(source->Read(got.data(), count), want) << "at " << at;
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + want, bytes.begin() + at)) << "at " << at;
    at += want;
    EXPECT_EQ(source->Tell(), at);
  };
  for (std::size_t count : {1, 3, 4096, 65536, 70000, 1, 7}) expectRead(count);
  // An offset read in between leaves the reading position where it was.
  std::uint8_t four[4];
  ASSERT_EQ(source->ReadAt(10, four, 4), 4u);
  EXPECT_TRUE(std::equal(four, four + 4, bytes.begin() + 10));
  expectRead(1);
  ASSERT_TRUE(source->Skip(-100000));
  at -= 100000;
  expectRead(65537);
  ASSERT_TRUE(source->Seek(bytes.size() - 5));
  at = bytes.size() - 5;
  expectRead(100);
  EXPECT_EQ(source->Read(got.data(), 1), 0u);
  EXPECT_FALSE(source->Seek(bytes.size() + 1));
  EXPECT_FALSE(source->Skip(1));
  EXPECT_FALSE(source->Skip(-static_cast<std::int64_t>(bytes.size()) - 1));
  EXPECT_EQ(source->Tell(), bytes.size());
}

INSTANTIATE_TEST_SUITE_P(FileAndMemory, ByteSourceReading, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "File" : "Memory"; });

TEST(ByteSource, RefusesWhatIsNoRegularFile) {
  test::TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(ByteSource::OpenFile(dir / "fifo"));  // would block a plain open
  EXPECT_FALSE(ByteSource::OpenFile(dir.path()));
  EXPECT_FALSE(ByteSource::OpenFile(dir / "missing"));
}

}  // namespace
}  // namespace wavorax
