#include <gtest/gtest.h>

#include <string>

#include "base/Cp1252.h"
#include "encoders/Id3v1.h"
#include "settings/TagRecord.h"
#include "tests/encoders/EncoderTestUtil.h"

namespace wavorax {
namespace {

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

struct Id3v1Case {
  const char* label;
  std::string title, artist, album, year, comment;
  int genre;
  bool hasTrack;
  int track;
  // Expected field bytes (Windows-1252) and trailer.
  std::string titleBytes, commentBytes;
  int byte125, byte126, byte127;
};

class BuildId3v1Test : public ::testing::TestWithParam<Id3v1Case> {};

TEST_P(BuildId3v1Test, FillsTheFixedLayout) {
  const Id3v1Case& c = GetParam();
  const Id3v1Block b =
      BuildId3v1(c.title, c.artist, c.album, c.year, c.comment, c.genre, c.hasTrack, c.track);
  auto field = [&b](std::size_t at, std::size_t width) {
    return std::string(reinterpret_cast<const char*>(b.data() + at), width);
  };
  auto padded = [](std::string s, std::size_t width) {
    s.resize(width, '\0');
    return s;
  };
  EXPECT_EQ(field(0, 3), "TAG");
  EXPECT_EQ(field(3, 30), padded(c.titleBytes, 30));
  EXPECT_EQ(field(33, 30), padded(Utf8ToCp1252(c.artist).substr(0, 30), 30));
  EXPECT_EQ(field(63, 30), padded(Utf8ToCp1252(c.album).substr(0, 30), 30));
  EXPECT_EQ(field(93, 4), padded(c.year.substr(0, 4), 4));
  EXPECT_EQ(field(97, c.hasTrack ? 28 : 30), padded(c.commentBytes, c.hasTrack ? 28 : 30));
  EXPECT_EQ(b[125], c.byte125);
  EXPECT_EQ(b[126], c.byte126);
  EXPECT_EQ(b[127], c.byte127);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, BuildId3v1Test,
    ::testing::Values(Id3v1Case{"Defaults", "song.name", "", "", "", "", 255, false, 0, "song.name",
                                "", 0, 0, 255},
                      Id3v1Case{"Track300", "t", "a", "b", "2001", "c", 17, true, 300, "t", "c", 0,
                                44, 17},
                      Id3v1Case{"Title31Cut", std::string(31, 'T'), "", "", "", "", 0, false, 0,
                                std::string(30, 'T'), "", 0, 0, 0},
                      Id3v1Case{"Comment29LosesOneWithTrack", "", "", "", "", std::string(29, 'C'),
                                1, true, 3, "", std::string(28, 'C'), 0, 3, 1},
                      Id3v1Case{"Comment30KeptWithoutTrack", "", "", "", "", std::string(30, 'C'),
                                1, false, 0, "", std::string(30, 'C'), 'C', 'C', 1},
                      Id3v1Case{"UmlautIsOneByte", "\xC3\x84pfel", "\xE2\x82\xAC", "", "19999", "",
                                0, false, 0, "\xC4pfel", "", 0, 0, 0},
                      // 30 two-byte UTF-8 characters fit as 30 single bytes.
                      Id3v1Case{"CutAfterEncoding", Repeat("\xC3\xA9", 31), "", "", "", "", 0,
                                false, 0, std::string(30, '\xE9'), "", 0, 0, 0},
                      Id3v1Case{"UnencodableIsQuestionMark", "\xE6\x97\xA5x", "", "", "", "", 0,
                                false, 0, "?x", "", 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace wavorax
