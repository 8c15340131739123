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

// An encoding byte, then the parts with a zero between them.
Bytes Text(const std::string& a, const std::string& b = "", std::uint8_t encoding = 0) {
  Bytes t{encoding};
  t.insert(t.end(), a.begin(), a.end());
  if (!b.empty()) t.push_back(0), t.insert(t.end(), b.begin(), b.end());
  return t;
}

void PutSize(Bytes& b, std::size_t v, bool syncsafe) {
  for (int i = 3; i >= 0; --i) b.push_back(std::uint8_t(syncsafe ? v >> 7 * i & 0x7F : v >> 8 * i));
}

Bytes FrameBytes(const Frame& f, int major) {
  Bytes b(f.id.begin(), f.id.end());
  PutSize(b, f.data.size(), major == 4);
  b.insert(b.end(), {0, f.format});
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
  if (l.extended)  // size 6; v2.3 with a padding size, v2.4 with no flags
    body = l.major == 3 ? Bytes{0, 0, 0, 6, 0, 0, 0, 0, 0, 0} : Bytes{0, 0, 0, 6, 1, 0};
  for (const Frame& f : frames) {
    const Bytes fb = FrameBytes(f, l.major);
    body.insert(body.end(), fb.begin(), fb.end());
  }
  body.resize(body.size() + l.padding, 0);
  if (l.unsync) body = Unsync(body);
  const auto flags =
      std::uint8_t((l.unsync ? 0x80 : 0) | (l.extended ? 0x40 : 0) | (l.footer ? 0x10 : 0));
  Bytes tag{'I', 'D', '3', std::uint8_t(l.major), 0, flags};
  PutSize(tag, body.size(), true);
  tag.insert(tag.end(), body.begin(), body.end());
  if (l.footer)
    tag.insert(tag.end(), {'3', 'D', 'I', 4, 0, flags}), PutSize(tag, body.size(), true);
  return tag;
}

// One MP3 stream without tags, made once.
const Bytes& Mp3() {
  static const test::TempDir dir;
  static const Bytes mp3 = [] {
    test::WriteWav16(dir / "tone.wav", test::Sine(440, 44100, 44100), 1, 44100);
    test::Run("ffmpeg -v error -nostdin -i " + test::ShellQuote(dir / "tone.wav") +
              " -id3v2_version 0 -write_xing 0 " + test::ShellQuote(dir / "a.mp3"));
    return test::ReadFileBytes(dir / "a.mp3");
  }();
  return mp3;
}

struct EditCase {
  const char* name;
  Layout layout;  // version 0: no tag at all
  std::vector<Frame> frames;
  bool withGain = true;
};

class Id3v2GainTest : public testing::TestWithParam<EditCase> {};

TEST_P(Id3v2GainTest, ReplacesGainFramesAndKeepsTheRest) {
  const EditCase& c = GetParam();
  ASSERT_FALSE(Mp3().empty());
  const ReplayGain gain{-9.3, 0.988553, true, -7.125, 1.0512};
  const auto edit = SetReplayGainInId3v2(c.layout.major ? Tag(c.layout, c.frames) : Bytes(),
                                         c.withGain ? std::optional(gain) : std::nullopt);
  ASSERT_TRUE(edit.edited);
  ASSERT_GE(edit.block.size(), 10u);
  EXPECT_EQ(edit.block[3], c.layout.major ? c.layout.major : 4);
  // Every other frame byte for byte (as it reads after undoing unsynchronisation).
  for (const Frame& f : c.frames) {
    const Bytes fb = FrameBytes(f, c.layout.major);
    EXPECT_EQ(
        std::search(edit.block.begin(), edit.block.end(), fb.begin(), fb.end()) != edit.block.end(),
        !f.stale)
        << f.id;
  }

  test::TempDir dir;
  Bytes file = edit.block;
  file.insert(file.end(), Mp3().begin(), Mp3().end());
  test::WriteFileBytes(dir / "a.mp3", file);
  for (const TagField& f : ReplayGainFields(gain))
    EXPECT_EQ(test::FfprobeTag(dir / "a.mp3", f.name), c.withGain ? f.value : "") << f.name;
  const bool titled =
      std::any_of(c.frames.begin(), c.frames.end(), [](const Frame& f) { return f.id == "TIT2"; });
  EXPECT_EQ(test::FfprobeTag(dir / "a.mp3", "title"), titled ? "Kept title" : "");
  EXPECT_EQ(test::FfprobeStream(dir / "a.mp3", "codec_name"), "mp3");
}

// Bytes with FF E0 and FF 00 in them, so that unsynchronisation changes them.
const Bytes kBinary = {'w', 'a', 'v', 0, 0xFF, 0xE0, 0x12, 0xFF, 0x00, 0xFF, 0xFB, 0x90};
const Frame kTitle{"TIT2", Text("Kept title")};
const Frame kArtist{"TPE1", Text("Artist", "", 3)};
const Frame kPriv{"PRIV", kBinary};
const Frame kOtherTxxx{"TXXX", Text("MusicBrainz Album Id", "x")};
const Frame kStaleTrack{"TXXX", Text("REPLAYGAIN_TRACK_GAIN", "+1.00 dB"), 0, true};
const Frame kStaleAlbumLower{"TXXX", Text("replaygain_album_gain", "-3.00 dB"), 0, true};
// UTF-16 with byte-order marks: "REPLAYGAIN_ALBUM_PEAK", then "1".
const Frame kStaleUtf16{"TXXX",
                        [] {
                          Bytes b{1, 0xFF, 0xFE};
                          for (char ch : std::string("REPLAYGAIN_ALBUM_PEAK"))
                            b.insert(b.end(), {std::uint8_t(ch), 0});
                          b.insert(b.end(), {0, 0, 0xFF, 0xFE, '1', 0});
                          return b;
                        }(),
                        0, true};

INSTANTIATE_TEST_SUITE_P(
    Tags, Id3v2GainTest,
    testing::Values(
        EditCase{"None", {0}, {}}, EditCase{"V23Plain", {3}, {kTitle, kStaleTrack, kOtherTxxx}},
        EditCase{"V23UnsyncExtendedPadding",
                 {3, true, true, false, 64},
                 {kPriv, kTitle, kStaleAlbumLower}},
        EditCase{"V24ExtendedFooter", {4, false, true, true}, {kArtist, kStaleUtf16, kTitle}},
        EditCase{"V24UnrelatedFramesPadding",
                 {4, false, false, false, 300},
                 {kTitle, kArtist, kPriv, kOtherTxxx}},
        EditCase{"V24FramesUnsynchronised",
                 {4},
                 {kTitle, Frame{"PRIV", Unsync(kBinary), 0x02}, kStaleTrack}},
        EditCase{"V23OnlyRemovesWithoutGain", {3}, {kStaleTrack, kTitle}, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct Hostile {
  const char* name;
  bool inSecondFrame;  // the offset counts from the second frame, else from the tag
  std::size_t offset;
  int value;  // −1: cut the last 20 bytes
};

class Id3v2RefuseTest : public testing::TestWithParam<Hostile> {};

// A hostile block is refused whole: the caller gets its input back.
TEST_P(Id3v2RefuseTest, ReturnsInputUntouched) {
  const Hostile& h = GetParam();
  Bytes tag = Tag({4, false, false, false, 16}, {kTitle, kArtist});
  if (h.value < 0)
    tag.erase(tag.end() - 20, tag.end());
  else
    tag[(h.inSecondFrame ? 10 + FrameBytes(kTitle, 4).size() : 0) + h.offset] =
        std::uint8_t(h.value);
  const auto edit = SetReplayGainInId3v2(tag, ReplayGain{1, 0.5});
  EXPECT_FALSE(edit.edited);
  EXPECT_EQ(edit.block, tag);
}

INSTANTIATE_TEST_SUITE_P(Blocks, Id3v2RefuseTest,
                         testing::Values(Hostile{"SizePastTheEnd", false, 0, -1},
                                         Hostile{"TagSizeNotSyncsafe", false, 7, 0x80},
                                         Hostile{"Version22", false, 3, 2},
                                         Hostile{"ExtendedHeaderFlagOverAFrame", false, 5, 0x40},
                                         Hostile{"FrameRunsPastTheTag", true, 7, 0x7F},
                                         Hostile{"FrameSizeNotSyncsafe", true, 6, 0x81},
                                         Hostile{"BadFrameId", true, 0, 't'}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wavorax
