// The ID3v2 ReplayGain editor on tags made in memory, read back by ffprobe in front of a
// real MP3 stream.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/loudness/Id3v2Gain.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Frame {
  std::string id;
  Bytes data;
  std::uint8_t format = 0;  // the second flag byte
  bool stale = false;       // an old ReplayGain frame, to be replaced
};

Bytes Text(std::initializer_list<std::string> parts, std::uint8_t encoding = 0) {
  Bytes b{encoding};
  for (const auto& p : parts) {
    b.insert(b.end(), p.begin(), p.end());
    b.push_back(0);
  }
  b.pop_back();
  return b;
}

Bytes Size(std::uint32_t v, bool syncsafe) {
  return syncsafe ? Bytes{std::uint8_t(v >> 21 & 0x7F), std::uint8_t(v >> 14 & 0x7F),
                          std::uint8_t(v >> 7 & 0x7F), std::uint8_t(v & 0x7F)}
                  : Bytes{std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8),
                          std::uint8_t(v)};
}

Bytes FrameBytes(const Frame& f, int major) {
  Bytes b(f.id.begin(), f.id.end());
  const Bytes s = Size(static_cast<std::uint32_t>(f.data.size()), major == 4);
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0), b.push_back(f.format);
  b.insert(b.end(), f.data.begin(), f.data.end());
  return b;
}

// FF followed by 00 or by E0 and above gets a 00 between.
Bytes Unsync(const Bytes& in) {
  Bytes out;
  for (std::size_t i = 0; i < in.size(); ++i) {
    out.push_back(in[i]);
    if (in[i] == 0xFF && (i + 1 == in.size() || in[i + 1] == 0 || in[i + 1] >= 0xE0))
      out.push_back(0);
  }
  return out;
}

struct Layout {
  int major = 4;
  bool unsync = false, extended = false, footer = false;
  std::size_t padding = 0;
};

Bytes Tag(const Layout& l, const std::vector<Frame>& frames) {
  Bytes body;
  if (l.extended)  // v2.3: size 6, no CRC, padding size; v2.4: size 6, no flags
    body = l.major == 3 ? Bytes{0, 0, 0, 6, 0, 0, 0, 0, 0, 0} : Bytes{0, 0, 0, 6, 1, 0};
  for (const Frame& f : frames) {
    Bytes fb = FrameBytes(f, l.major);
    body.insert(body.end(), fb.begin(), fb.end());
  }
  body.resize(body.size() + l.padding, 0);
  if (l.unsync) body = Unsync(body);
  const std::uint8_t flags = (l.unsync ? 0x80 : 0) | (l.extended ? 0x40 : 0) | (l.footer ? 0x10 : 0);
  Bytes tag{'I', 'D', '3', std::uint8_t(l.major), 0, flags};
  const Bytes s = Size(static_cast<std::uint32_t>(body.size()), true);
  tag.insert(tag.end(), s.begin(), s.end());
  tag.insert(tag.end(), body.begin(), body.end());
  if (l.footer) {
    tag.insert(tag.end(), {'3', 'D', 'I', 4, 0, flags});
    tag.insert(tag.end(), s.begin(), s.end());
  }
  return tag;
}

bool Contains(const Bytes& hay, const Bytes& needle) {
  return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

// Bytes with FF E0 and FF 00 in them, so that unsynchronisation changes them.
const Bytes kBinary = {'w', 'a', 'v', 0, 0xFF, 0xE0, 0x12, 0xFF, 0x00, 0xFF, 0xFB, 0x90};

struct EditCase {
  const char* name;
  bool none;  // no tag at all
  Layout layout;
  std::vector<Frame> frames;
  bool withGain = true;
};

class Id3v2GainTest : public testing::TestWithParam<EditCase> {
 protected:
  // One MP3 stream without tags, shared by the cases.
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    const std::string wav = *dir_ / "tone.wav";
    test::WriteWav16(wav, test::Sine(440, 44100, 44100), 1, 44100);
    mp3_ = test::Run("ffmpeg -v error -nostdin -y -i " + test::ShellQuote(wav) +
                     " -id3v2_version 0 -write_xing 0 " + test::ShellQuote(*dir_ / "a.mp3"))
                       .exitCode == 0
               ? test::ReadFileBytes(*dir_ / "a.mp3")
               : Bytes();
  }
  static void TearDownTestSuite() { delete dir_; }
  static test::TempDir* dir_;
  static Bytes mp3_;
};
test::TempDir* Id3v2GainTest::dir_ = nullptr;
Bytes Id3v2GainTest::mp3_;

TEST_P(Id3v2GainTest, ReplacesGainFramesAndKeepsTheRest) {
  const EditCase& c = GetParam();
  ASSERT_FALSE(mp3_.empty());
  const Bytes input = c.none ? Bytes() : Tag(c.layout, c.frames);
  ReplayGain gain{-9.3, 0.988553, true, -7.125, 1.0512};
  const auto edit = SetReplayGainInId3v2(input, c.withGain ? std::optional(gain) : std::nullopt);
  ASSERT_TRUE(edit.edited);
  ASSERT_GE(edit.block.size(), 10u);
  EXPECT_EQ(edit.block[3], c.none ? 4 : c.layout.major);

  for (const Frame& f : c.frames) {
    const Bytes fb = FrameBytes(f, c.layout.major);
    EXPECT_EQ(Contains(edit.block, fb), !f.stale) << f.id;
  }

  const std::string path = *dir_ / (std::string(c.name) + ".mp3");
  Bytes file = edit.block;
  file.insert(file.end(), mp3_.begin(), mp3_.end());
  test::WriteFileBytes(path, file);
  const std::vector<TagField> ours = ReplayGainFields(gain);
  ASSERT_EQ(ours.size(), 4u);
  for (const TagField& f : ours)
    EXPECT_EQ(test::FfprobeTag(path, f.name), c.withGain ? f.value : "") << f.name;
  const bool titled = std::any_of(c.frames.begin(), c.frames.end(),
                                  [](const Frame& f) { return f.id == "TIT2"; });
  EXPECT_EQ(test::FfprobeTag(path, "title"), titled ? "Kept title" : "");
  EXPECT_EQ(test::FfprobeStream(path, "codec_name"), "mp3");
}

const Frame kTitle{"TIT2", Text({"Kept title"})};
const Frame kArtist{"TPE1", Text({"Artist"}, 3)};
const Frame kPriv{"PRIV", kBinary};
const Frame kOtherTxxx{"TXXX", Text({"MusicBrainz Album Id", "x"})};
const Frame kStaleTrack{"TXXX", Text({"REPLAYGAIN_TRACK_GAIN", "+1.00 dB"}), 0, true};
const Frame kStaleAlbumLower{"TXXX", Text({"replaygain_album_gain", "-3.00 dB"}), 0, true};
// UTF-16 with a byte-order mark: "REPLAYGAIN_ALBUM_PEAK" then "1.0".
const Frame kStaleUtf16{
    "TXXX",
    [] {
      Bytes b{1, 0xFF, 0xFE};
      for (char ch : std::string("REPLAYGAIN_ALBUM_PEAK")) b.push_back(ch), b.push_back(0);
      b.insert(b.end(), {0, 0, 0xFF, 0xFE, '1', 0, '.', 0, '0', 0});
      return b;
    }(),
    0, true};

INSTANTIATE_TEST_SUITE_P(
    Tags, Id3v2GainTest,
    testing::Values(
        EditCase{"None", true, {}, {}},
        EditCase{"V23Plain", false, {3}, {kTitle, kStaleTrack, kOtherTxxx}},
        EditCase{"V23UnsyncExtendedPadding", false, {3, true, true, false, 64},
                 {kPriv, kTitle, kStaleAlbumLower}},
        EditCase{"V24ExtendedFooter", false, {4, false, true, true}, {kArtist, kStaleUtf16, kTitle}},
        EditCase{"V24UnrelatedFramesPadding", false, {4, false, false, false, 300},
                 {kTitle, kArtist, kPriv, kOtherTxxx}},
        EditCase{"V24FramesUnsynchronised", false, {4},
                 {kTitle, Frame{"PRIV", Unsync(kBinary), 0x02}, kStaleTrack}},
        EditCase{"V23OnlyRemovesWithoutGain", false, {3}, {kStaleTrack, kTitle}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Hostile blocks are refused whole: the caller gets its input back.
class Id3v2RefuseTest : public testing::TestWithParam<std::pair<const char*, int>> {};

TEST_P(Id3v2RefuseTest, ReturnsInputUntouched) {
  Bytes tag = Tag({4, false, false, false, 16}, {kTitle, kArtist});
  const std::size_t frame2 = 10 + FrameBytes(kTitle, 4).size();
  switch (GetParam().second) {
    case 0: tag.erase(tag.end() - 20, tag.end()); break;     // size past the end
    case 1: tag[7] = 0x80; break;                   // not syncsafe
    case 2: tag[frame2 + 7] = 0x7F; break;          // frame runs past the tag
    case 3: tag[frame2 + 6] = 0x81; break;          // frame size not syncsafe
    case 4: tag[3] = 2; break;                      // v2.2
    case 5: tag[frame2] = 't'; break;               // not a frame identifier
    case 6: tag[5] = 0x40, tag[10 + 3] = 0x7F; break;  // extended header past the end
  }
  const auto edit = SetReplayGainInId3v2(tag, ReplayGain{1, 0.5});
  EXPECT_FALSE(edit.edited);
  EXPECT_EQ(edit.block, tag);
}

INSTANTIATE_TEST_SUITE_P(Hostile, Id3v2RefuseTest,
                         testing::Values(std::pair{"Truncated", 0}, std::pair{"BadTagSize", 1},
                                         std::pair{"FrameTooLong", 2},
                                         std::pair{"BadFrameSize", 3}, std::pair{"Version22", 4},
                                         std::pair{"BadFrameId", 5},
                                         std::pair{"ExtendedTooLong", 6}),
                         [](const auto& info) { return std::string(info.param.first); });

}  // namespace
}  // namespace wavorax
