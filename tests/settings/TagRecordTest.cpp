#include <gtest/gtest.h>

#include <cstring>

#include "settings/TagRecord.h"

namespace wavorax {
namespace {

void PutText(TagRecordImage& image, std::size_t at, const char* bytes) {
  std::memcpy(image.data() + at, bytes, std::strlen(bytes));
}

void Put32(TagRecordImage& image, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) image[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// An image laid out by hand, with Windows-1252 bytes above 0x7F (among them one the code
// page leaves undefined) and numbers whose bytes differ, so that any swapped or shifted
// field shows.
TagRecordImage HandMadeImage() {
  TagRecordImage image{};
  Put32(image, 0, 0);
  PutText(image, 4, "\xC4rger \x80 \x81");                // "Ärger € " + an undefined byte
  PutText(image, 36, "Caf\xE9 Tacv\xE1");                 // "Café Tacvá"
  PutText(image, 68, "0123456789012345678901234567890");  // 31 bytes, terminator at 67+32
  PutText(image, 100, "1999");
  Put32(image, 108, 0x00000093);  // genre 147
  PutText(image, 112, "na\xEFve");
  Put32(image, 144, 2);
  Put32(image, 148, 0x01020304);
  return image;
}

TEST(TagRecordImage, BytesSurviveARoundTripThroughTheRecordExactly) {
  const TagRecordImage image = HandMadeImage();
  TagRecord record;
  ASSERT_TRUE(TagRecordFromBytes(image, record));
  EXPECT_EQ(record.useFileNameAsTitle, 0);
  EXPECT_EQ(record.title, "\xC3\x84rger \xE2\x82\xAC \xC2\x81");
  EXPECT_EQ(record.artist, "Caf\xC3\xA9 Tacv\xC3\xA1");
  EXPECT_EQ(record.album.size(), 31u);
  EXPECT_EQ(record.year, "1999");
  EXPECT_EQ(record.genre, 147);
  EXPECT_EQ(record.comment, "na\xC3\xAFve");
  EXPECT_EQ(record.trackMode, 2);
  EXPECT_EQ(record.track, 0x01020304);
  EXPECT_EQ(TagRecordToBytes(record), image);
}

TEST(TagRecordImage, DefaultsAndLayout) {
  const TagRecordImage image = TagRecordToBytes(TagRecord{});
  TagRecordImage expected{};
  Put32(expected, 0, 1);
  Put32(expected, 108, 255);
  EXPECT_EQ(image, expected);
}

TEST(TagRecordImage, LongAndForeignTextsAreCutAndReplacedInsideTheirFields) {
  TagRecord record;
  record.title = std::string(40, 'x');
  record.year = "20240101";
  record.comment = "\xE6\x97\xA5\xE6\x9C\xAC ok";  // two CJK characters and " ok"
  const TagRecordImage image = TagRecordToBytes(record);
  // 31 text bytes and the terminator, then the artist field starts empty.
  EXPECT_EQ(image[4 + 30], 'x');
  EXPECT_EQ(image[4 + 31], 0);
  EXPECT_EQ(image[36], 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.data() + 100)), "2024010");
  EXPECT_EQ(image[107], 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.data() + 112)), "?? ok");
}

TEST(TagRecordImage, WrongSizesAreRefusedAndLeaveTheRecordAlone) {
  TagRecord record;
  record.title = "keep";
  const TagRecordImage image = HandMadeImage();
  EXPECT_FALSE(TagRecordFromBytes(std::span(image.data(), 151), record));
  std::vector<std::uint8_t> longer(image.begin(), image.end());
  longer.push_back(0);
  EXPECT_FALSE(TagRecordFromBytes(longer, record));
  EXPECT_EQ(record.title, "keep");
}

TEST(TagRecordImage, AnUnterminatedFieldStopsAtItsEnd) {
  TagRecordImage image = HandMadeImage();
  std::memset(image.data() + 4, 'A', 32);  // title without terminator, artist follows
  TagRecord record;
  ASSERT_TRUE(TagRecordFromBytes(image, record));
  EXPECT_EQ(record.title, std::string(32, 'A'));
  EXPECT_EQ(record.artist, "Caf\xC3\xA9 Tacv\xC3\xA1");
}

struct GenreCase {
  const char* name;
  int index;
};

class GenreIndexFromNameTest : public ::testing::TestWithParam<GenreCase> {};

TEST_P(GenreIndexFromNameTest, FindsTheFirstNameRegardlessOfCase) {
  EXPECT_EQ(GenreIndexFromName(GetParam().name), GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(Names, GenreIndexFromNameTest,
                         ::testing::Values(GenreCase{"rock", 17}, GenreCase{"ROCK", 17},
                                           GenreCase{"Blues", 0}, GenreCase{"alt. rock", 40},
                                           GenreCase{"synthpop", 147},
                                           GenreCase{"Drum & Bass", 127}, GenreCase{"Rock ", 0},
                                           GenreCase{"unknown", 0}, GenreCase{"", 0}));

TEST(GenreTable, NamesByIndexAndOutsideTheTable) {
  ASSERT_EQ(GenreNames().size(), 148u);
  EXPECT_EQ(GenreName(0), "Blues");
  EXPECT_EQ(GenreName(79), "Hard Rock");
  EXPECT_EQ(GenreName(80), "Folk");
  EXPECT_EQ(GenreName(147), "Synthpop");
  EXPECT_EQ(GenreName(148), "");
  EXPECT_EQ(GenreName(255), "");
  EXPECT_EQ(GenreName(-1), "");
  // Every name finds itself, so no two names are equal regardless of case.
  for (int i = 0; i < kGenreCount; ++i) EXPECT_EQ(GenreIndexFromName(GenreName(i)), i) << i;
}

}  // namespace
}  // namespace wavorax
