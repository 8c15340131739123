// CD tracks read from disc images that the tests make: every sample of every track, the
// stream information, the tags, and images that are damaged in the ways real ones are.
#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include "base/CdTrackPath.h"
#include "decoders/cd/CdDecoder.h"
#include "decoders/cd/CdDisc.h"
#include "tests/decoders/cd/CdImages.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

std::vector<std::int16_t> DecodeAll(CCdDecoder& d) {
  std::vector<std::int16_t> l(kDecodeBlock), r(kDecodeBlock), out;
  for (int n; (n = d.Read(l.data(), r.data())) > 0;) {
    EXPECT_LE(n, kDecodeBlock);
    for (int i = 0; i < n; ++i) {
      out.push_back(l[i]);
      out.push_back(r[i]);
    }
  }
  return out;
}

// (TOC instead of cue sheet, track number)
class CdTrackDecode : public ::testing::TestWithParam<std::tuple<bool, int>> {};

TEST_P(CdTrackDecode, EqualsItsSourceBitForBit) {
  const auto [toc, track] = GetParam();
  test::TempDir dir;
  const test::CdImage image = test::MakeCdImage(dir.path());
  CCdDecoder d;
  ASSERT_NE(d.Open(CdTrackPath(toc ? image.toc : image.cue, track), 0), 0);
  EXPECT_EQ(d.GetSampleRate(), 44100);
  EXPECT_EQ(d.GetOutputChannels(), 2);
  EXPECT_EQ(d.GetBitsPerSample(), 16);
  EXPECT_EQ(d.GetBitrate(), 1411);
  const auto& expected = image.tracks[static_cast<std::size_t>(track - 1)];
  EXPECT_EQ(d.GetDuration(), image.seconds[static_cast<std::size_t>(track - 1)]);
  EXPECT_EQ(d.GetLength(), expected.size() * 2);
  const std::vector<std::int16_t> got = DecodeAll(d);
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
  EXPECT_EQ(d.GetPosition(), d.GetLength());
}

INSTANTIATE_TEST_SUITE_P(Images, CdTrackDecode,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(1, 2, 3)));

TEST(CdImage, ListsAudioTracksInOrderAndReadsCueTags) {
  test::TempDir dir;
  const test::CdImage image = test::MakeCdImage(dir.path());
  // The data tracks 4 and 5 are left out.
  EXPECT_EQ(ExpandCdTracks(image.cue),
            (std::vector<std::string>{CdTrackPath(image.cue, 1), CdTrackPath(image.cue, 2),
                                      CdTrackPath(image.cue, 3)}));
  EXPECT_EQ(ExpandCdTracks(image.toc).size(), 3u);
  EXPECT_EQ(CdTrackOutputFolder(CdTrackPath(image.cue, 2)), dir.path() + "/");
  EXPECT_EQ(CdTrackOutputFolder("disc.cue/Track01.cda"), "./");

  CCdDecoder d;
  ASSERT_NE(d.Open(CdTrackPath(image.cue, 2), 0), 0);
  std::string title, artist, album, year, genre, comment = "kept", track;
  ASSERT_NE(d.ReadTags(title, artist, album, year, genre, comment, track), 0);
  EXPECT_EQ(std::tie(title, artist, album, year, genre, comment, track),
            std::make_tuple("Second Song", "Guest", "Cue Album", "1999", "Jazz", "kept", "2"));
  ASSERT_NE(d.Open(CdTrackPath(image.cue, 3), 0), 0);  // no title, the disc's performer
  title.clear();
  ASSERT_NE(d.ReadTags(title, artist, album, year, genre, comment, track), 0);
  EXPECT_EQ(title, "");
  EXPECT_EQ(artist, "Cue Band");
}

// Images broken as real ones are: each must fail to load (no tracks), never crash or hang.
struct Damage {
  const char* name;
  const char* file;  // written into the image's folder
  const char* text;
};
class DamagedImage : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedImage, LoadsNoTrack) {
  test::TempDir dir;
  test::MakeCdImage(dir.path());
  const std::string path = dir / GetParam().file;
  std::ofstream(path, std::ios::binary) << GetParam().text;
  EXPECT_TRUE(ExpandCdTracks(path).empty());
  CCdDecoder d;
  EXPECT_EQ(d.Open(CdTrackPath(path, 1), 0), 0);
  EXPECT_EQ(d.Read(nullptr, nullptr), 0);  // a closed decoder reads nothing
}

INSTANTIATE_TEST_SUITE_P(
    Images, DamagedImage,
    ::testing::Values(
        Damage{"MissingBin", "a.cue",
               "FILE \"none.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"},
        Damage{"TrackPastTheEnd", "b.cue",
               "FILE \"disc.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
               "TRACK 02 AUDIO\nINDEX 01 70:00:00\n"},
        Damage{"ShortBin", "c.cue",
               "FILE \"data.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
               "TRACK 02 AUDIO\nINDEX 01 00:00:04\n"},
        Damage{"DataTracksOnly", "d.cue",
               "FILE \"data.bin\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n"},
        Damage{"NoIndex", "e.cue", "FILE \"disc.bin\" BINARY\nTRACK 01 AUDIO\n"},
        Damage{"BadTime", "f.cue", "FILE \"disc.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:99:00\n"},
        Damage{"BrokenToc", "g.toc", "CD_DA\nTRACK AUDIO\nFILE \"disc.bin\" 0 \x01\x02 {{\n"},
        Damage{"TocOfMissingFile", "h.toc", "CD_DA\nTRACK AUDIO\nFILE \"none.bin\" 0\n"},
        Damage{"NotAnNrg", "i.nrg", "NER5 but no more"}, Damage{"NotATrackName", "j.cue", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wavorax
