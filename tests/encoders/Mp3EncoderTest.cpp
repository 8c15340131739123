#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "encoders/Id3v1.h"
#include "encoders/Mp3Encoder.h"
#include "settings/TagRecord.h"
#include "tests/encoders/EncoderTestUtil.h"

namespace wavorax {
namespace {

using test::FfprobeStream;
using test::ReadFileBytes;

// Offset of the first MPEG audio frame: after the ID3v2 block, if any.
std::size_t FirstFrame(const std::vector<std::uint8_t>& b) {
  std::size_t at = 0;
  if (b.size() >= 10 && std::memcmp(b.data(), "ID3", 3) == 0)
    at = 10 + ((b[6] & 0x7F) << 21 | (b[7] & 0x7F) << 14 | (b[8] & 0x7F) << 7 | (b[9] & 0x7F));
  while (at + 1 < b.size() && !(b[at] == 0xFF && (b[at + 1] & 0xE0) == 0xE0)) ++at;
  return at;
}

bool Contains(const std::vector<std::uint8_t>& b, const char* s) {
  const std::size_t n = std::strlen(s);
  for (std::size_t i = 0; i + n <= b.size(); ++i)
    if (std::memcmp(b.data() + i, s, n) == 0) return true;
  return false;
}

struct Mp3Case {
  const char* label;
  int inRate, channels, mode, outRate, setKbps;
  int expectRate, expectChannels, kbps;
  const char* expectLayout;
};

class Mp3EncoderFormatTest : public ::testing::TestWithParam<Mp3Case> {};

TEST_P(Mp3EncoderFormatTest, ConstantBitRateAtTheSetRateAndChannels) {
  const Mp3Case& c = GetParam();
  test::TempDir dir;
  const std::string path = dir / "out.mp3";
  const auto sig = test::PlanarSignal::Make(c.inRate, static_cast<std::size_t>(c.inRate) * 2);
  CMp3Encoder enc;
  ASSERT_TRUE(enc.Open(path));
  enc.SetInputSampleRate(c.inRate);
  enc.SetChannels(c.channels);
  if (c.mode >= 0) enc.SetMode(c.mode);
  enc.SetOutputSampleRate(c.outRate);
  enc.SetBitRate(c.setKbps);
  ASSERT_TRUE(enc.Start());
  ASSERT_TRUE(test::FeedBlocks(sig, c.channels,
                               [&](auto* l, auto* r, int n) { return enc.Encode(l, r, n); }));
  ASSERT_TRUE(enc.Close());

  EXPECT_EQ(FfprobeStream(path, "codec_name"), "mp3");
  EXPECT_EQ(FfprobeStream(path, "sample_rate"), std::to_string(c.expectRate));
  EXPECT_EQ(FfprobeStream(path, "channels"), std::to_string(c.expectChannels));
  EXPECT_EQ(FfprobeStream(path, "channel_layout"), c.expectLayout);
  EXPECT_EQ(FfprobeStream(path, "bit_rate"), std::to_string(c.kbps * 1000));
  const auto bytes = ReadFileBytes(path);
  // No information frame; every frame header carries the same bit-rate index.
  EXPECT_FALSE(Contains(bytes, "Xing"));
  EXPECT_FALSE(Contains(bytes, "Info"));
  const std::size_t first = FirstFrame(bytes);
  ASSERT_LT(first + 4, bytes.size());
  const int brIndex = bytes[first + 2] >> 4;
  auto r =
      test::Run("ffprobe -v error -select_streams a:0 -show_entries frame=pkt_size -of csv=p=0 " +
                test::ShellQuote(path) + " | sort -un | wc -l");
  // CBR frames differ in size by the padding byte at most.
  EXPECT_LE(std::atoi(r.output.c_str()), 2) << r.output;
  EXPECT_GT(brIndex, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Mp3EncoderFormatTest,
    ::testing::Values(Mp3Case{"Stereo128", 44100, 2, 1, 44100, 128, 44100, 2, 128, "stereo"},
                      Mp3Case{"MonoResampled", 44100, 1, 3, 22050, 64, 22050, 1, 64, "mono"},
                      Mp3Case{"DownmixToMono", 48000, 2, 3, 48000, 96, 48000, 1, 96, "mono"},
                      Mp3Case{"LowRate", 8000, 1, 3, 11025, 24, 11025, 1, 24, "mono"},
                      Mp3Case{"ClampedAbove320", 44100, 2, 0, 44100, 400, 44100, 2, 320, "stereo"}),
    [](const auto& info) { return std::string(info.param.label); });

struct ClampCase {
  const char* label;
  int bitRate, expectBitRate, channels, expectChannels, mode, expectMode;
};

class Mp3EncoderClampTest : public ::testing::TestWithParam<ClampCase> {};

TEST_P(Mp3EncoderClampTest, SettersHoldTheirValuesToWhatLameTakes) {
  const ClampCase& c = GetParam();
  test::TempDir dir;
  CMp3Encoder enc;
  ASSERT_TRUE(enc.Open(dir / "x.mp3"));
  enc.SetInputSampleRate(44100);
  enc.SetBitRate(c.bitRate);
  enc.SetChannels(c.channels);
  enc.SetMode(c.mode);
  EXPECT_EQ(enc.bitRate(), c.expectBitRate);
  EXPECT_EQ(enc.channels(), c.expectChannels);
  EXPECT_EQ(enc.mode(), c.expectMode);
}

INSTANTIATE_TEST_SUITE_P(Values, Mp3EncoderClampTest,
                         ::testing::Values(ClampCase{"Low", 5, 8, 0, 1, 3, 3},
                                           ClampCase{"High", 400, 320, 6, 2, 1, 1},
                                           ClampCase{"DualChannel", 128, 128, 2, 2, 2, 0},
                                           ClampCase{"Unknown", 128, 128, 2, 2, 4, 0},
                                           ClampCase{"Negative", -1, 8, -3, 1, -1, 0}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(Mp3Encoder, ClampedBitRateReachesTheFile) {
  test::TempDir dir;
  const std::string path = dir / "low.mp3";
  const auto sig = test::PlanarSignal::Make(8000, 16000);
  CMp3Encoder enc;
  ASSERT_TRUE(enc.Open(path));
  enc.SetInputSampleRate(8000);
  enc.SetChannels(1);
  enc.SetOutputSampleRate(8000);
  enc.SetBitRate(3);
  ASSERT_TRUE(enc.Start());
  ASSERT_TRUE(
      test::FeedBlocks(sig, 1, [&](auto* l, auto* r, int n) { return enc.Encode(l, r, n); }));
  ASSERT_TRUE(enc.Close());
  EXPECT_EQ(FfprobeStream(path, "bit_rate"), "8000");
}

TEST(Mp3Encoder, DualChannelModeEncodesAsPlainStereo) {
  test::TempDir dir;
  const std::string path = dir / "dual.mp3";
  const auto sig = test::PlanarSignal::Make(44100, 44100);
  CMp3Encoder enc;
  ASSERT_TRUE(enc.Open(path));
  enc.SetInputSampleRate(44100);
  enc.SetChannels(2);
  enc.SetMode(2);
  enc.SetBitRate(128);
  ASSERT_TRUE(enc.Start());
  ASSERT_TRUE(
      test::FeedBlocks(sig, 2, [&](auto* l, auto* r, int n) { return enc.Encode(l, r, n); }));
  ASSERT_TRUE(enc.Close());
  EXPECT_EQ(FfprobeStream(path, "channel_layout"), "stereo");
  const auto bytes = ReadFileBytes(path);
  const std::size_t first = FirstFrame(bytes);
  ASSERT_LT(first + 4, bytes.size());
  EXPECT_EQ(bytes[first + 3] >> 6, 0) << "channel mode bits: 0 stereo, 1 joint, 2 dual";
}

// A minimal ID3v2.3 tag: header and one TIT2 frame, plus padding.
std::vector<std::uint8_t> MakeId3v2(const std::string& title) {
  const std::size_t frameBody = title.size() + 1;
  const std::size_t body = 10 + frameBody + 16;
  std::vector<std::uint8_t> tag(10 + body, 0);
  const char header[] = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, static_cast<char>(body)};
  std::copy(header, header + 10, tag.begin());
  const char frame[] = {'T', 'I', 'T', '2', 0, 0, 0, static_cast<char>(frameBody), 0, 0, 0};
  std::copy(frame, frame + 11, tag.begin() + 10);
  std::copy(title.begin(), title.end(), tag.begin() + 21);
  return tag;
}

TEST(Mp3Encoder, TagsSurroundTheAudioUnchanged) {
  test::TempDir dir;
  const std::string path = dir / "tagged.mp3";
  const auto id3v2 = MakeId3v2("From v2");
  const Id3v1Block id3v1 =
      BuildId3v1("\xC3\x84rger", "Artist", "Album", "1999", "Note", 17, true, 7);
  const auto sig = test::PlanarSignal::Make(44100, 30000);
  CMp3Encoder enc;
  ASSERT_TRUE(enc.Open(path));
  enc.SetId3v1Tag(id3v1.data());
  enc.SetId3v2Tag(id3v2.data(), static_cast<std::uint32_t>(id3v2.size()));
  enc.SetInputSampleRate(44100);
  enc.SetChannels(2);
  ASSERT_TRUE(enc.Start());
  ASSERT_TRUE(
      test::FeedBlocks(sig, 2, [&](auto* l, auto* r, int n) { return enc.Encode(l, r, n); }));
  ASSERT_TRUE(enc.Close());

  const auto bytes = ReadFileBytes(path);
  ASSERT_GT(bytes.size(), id3v2.size() + 128);
  EXPECT_TRUE(std::equal(id3v2.begin(), id3v2.end(), bytes.begin()));
  EXPECT_TRUE(std::equal(id3v1.begin(), id3v1.end(), bytes.end() - 128));
  EXPECT_EQ(bytes[bytes.size() - 128 + 3], 0xC4);
  EXPECT_EQ(bytes[bytes.size() - 3], 0);
  EXPECT_EQ(bytes[bytes.size() - 2], 7);
  EXPECT_EQ(bytes[bytes.size() - 1], 17);
  // ffprobe prefers the ID3v2 title; the ID3v1 block is still read for the other fields.
  EXPECT_EQ(test::FormatTag(path, "title"), "From v2");
  EXPECT_EQ(test::FfprobeStream(path, "codec_name"), "mp3");

  // The same audio with only the ID3v1 block: other tools read its fields, Ä included.
  const std::string v1only = dir / "v1.mp3";
  CMp3Encoder enc2;
  ASSERT_TRUE(enc2.Open(v1only));
  enc2.SetId3v1Tag(id3v1.data());
  enc2.SetInputSampleRate(44100);
  enc2.SetChannels(2);
  ASSERT_TRUE(enc2.Start());
  ASSERT_TRUE(
      test::FeedBlocks(sig, 2, [&](auto* l, auto* r, int n) { return enc2.Encode(l, r, n); }));
  ASSERT_TRUE(enc2.Close());
  // ffprobe takes ID3v1 text for UTF-8; mediainfo reads it as the 8-bit code page it is.
  EXPECT_EQ(test::Run("mediainfo --Inform='General;%Title%' " + test::ShellQuote(v1only)).output,
            "\xC3\x84rger\n");
  EXPECT_EQ(test::FormatTag(v1only, "track"), "7");
  EXPECT_EQ(test::FormatTag(v1only, "genre"), "Rock");
  EXPECT_EQ(test::FormatTag(v1only, "comment"), "Note");
}

TEST(Mp3Encoder, EmptySourceGivesTheTagsAndWhateverTheFlushYields) {
  test::TempDir dir;
  const std::string path = dir / "none.mp3";
  const auto id3v2 = MakeId3v2("x");
  const Id3v1Block id3v1 = BuildId3v1("t", "", "", "", "", 255, false, 0);
  CMp3Encoder enc;
  ASSERT_TRUE(enc.Open(path));
  enc.SetId3v2Tag(id3v2.data(), static_cast<std::uint32_t>(id3v2.size()));
  enc.SetId3v1Tag(id3v1.data());
  enc.SetInputSampleRate(44100);
  ASSERT_TRUE(enc.Start());
  ASSERT_TRUE(enc.Close());
  const auto bytes = ReadFileBytes(path);
  ASSERT_GE(bytes.size(), id3v2.size() + 128);
  EXPECT_TRUE(std::equal(id3v2.begin(), id3v2.end(), bytes.begin()));
  EXPECT_TRUE(std::equal(id3v1.begin(), id3v1.end(), bytes.end() - 128));
}

TEST(Mp3Encoder, SecondOpenFinishesTheFirstFile) {
  test::TempDir dir;
  const auto sig = test::PlanarSignal::Make(44100, 44100);
  const Id3v1Block id3v1 = BuildId3v1("first", "", "", "", "", 255, false, 0);
  CMp3Encoder enc;
  ASSERT_TRUE(enc.Open(dir / "a.mp3"));
  enc.SetId3v1Tag(id3v1.data());
  enc.SetInputSampleRate(44100);
  enc.SetChannels(2);
  ASSERT_TRUE(enc.Start());
  ASSERT_TRUE(
      test::FeedBlocks(sig, 2, [&](auto* l, auto* r, int n) { return enc.Encode(l, r, n); }));
  ASSERT_TRUE(enc.Open(dir / "b.mp3"));
  const auto first = ReadFileBytes(dir / "a.mp3");
  ASSERT_GT(first.size(), 128u);
  EXPECT_TRUE(std::equal(id3v1.begin(), id3v1.end(), first.end() - 128));
  EXPECT_NEAR(std::atof(test::FfprobeFormat(dir / "a.mp3", "duration").c_str()), 1.0, 0.1);
  ASSERT_TRUE(enc.Close());
  EXPECT_FALSE(enc.Open(dir / "missing/c.mp3"));
}

// What the Xing/LAME information frame at `at` says: frames, bytes, encoder delay and padding.
struct InfoFrame {
  bool found = false;
  std::string kind;  // "Xing" or "Info"
  std::uint32_t frames = 0, bytes = 0;
  int delay = -1, padding = -1;
};

InfoFrame ReadInfoFrame(const std::vector<std::uint8_t>& b, std::size_t at) {
  InfoFrame f;
  std::size_t p = at;
  for (; p < at + 64 && p + 8 <= b.size(); ++p)
    if (std::memcmp(&b[p], "Xing", 4) == 0 || std::memcmp(&b[p], "Info", 4) == 0) break;
  if (p + 8 > b.size() || p >= at + 64) return f;
  const auto be32 = [&b](std::size_t i) {
    return std::uint32_t{b[i]} << 24 | std::uint32_t{b[i + 1]} << 16 |
           std::uint32_t{b[i + 2]} << 8 | b[i + 3];
  };
  f.kind.assign(reinterpret_cast<const char*>(&b[p]), 4);
  const std::uint32_t flags = be32(p + 4);
  p += 8;
  if (flags & 1) f.frames = be32(p), p += 4;
  if (flags & 2) f.bytes = be32(p), p += 4;
  if (flags & 4) p += 100;
  if (flags & 8) p += 4;
  if (p + 24 > b.size() || std::memcmp(&b[p], "LAME", 4) != 0) return f;
  f.found = true;
  f.delay = b[p + 21] << 4 | b[p + 22] >> 4;
  f.padding = (b[p + 22] & 0x0F) << 8 | b[p + 23];
  return f;
}

struct InfoCase {
  const char* label;
  Mp3RateControl control;
  int value;  // V quality or ABR kbit/s
  int rate, channels;
  bool tags;
};

class Mp3InfoFrameTest : public ::testing::TestWithParam<InfoCase> {};

// The information frame sits where LAME's placeholder was (after the ID3v2 block), and says
// what lame itself writes for the same input and settings; ffmpeg then cuts the delay and
// padding off and returns the source's length exactly.
TEST_P(Mp3InfoFrameTest, MatchesWhatLameWritesAndGivesTheExactLength) {
  const InfoCase& c = GetParam();
  test::TempDir dir;
  const auto sig = test::PlanarSignal::Sweep(c.rate, static_cast<std::size_t>(c.rate) * 2 + 777);
  const std::string wav = dir / "in.wav";
  test::WriteWav16(wav, sig.Interleaved(c.channels), c.channels, c.rate);

  const std::string ours = dir / "ours.mp3";
  const auto id3v2 = MakeId3v2("Title");
  const Id3v1Block id3v1 = BuildId3v1("Title", "Artist", "Album", "2001", "", 1, false, 0);
  CMp3Encoder enc;
  ASSERT_TRUE(enc.Open(ours));
  if (c.tags) {
    enc.SetId3v2Tag(id3v2.data(), static_cast<std::uint32_t>(id3v2.size()));
    enc.SetId3v1Tag(id3v1.data());
  }
  enc.SetInputSampleRate(c.rate);
  enc.SetChannels(c.channels);
  enc.SetMode(c.channels == 2 ? 1 : 3);
  enc.SetBitRate(320);  // a constant rate chosen before has no part in VBR or ABR
  ASSERT_TRUE(c.control == Mp3RateControl::Vbr ? enc.SetVbrQuality(c.value)
                                               : enc.SetAbrBitRate(c.value));
  ASSERT_TRUE(enc.Start());
  ASSERT_TRUE(test::FeedBlocks(sig, c.channels,
                               [&](auto* l, auto* r, int n) { return enc.Encode(l, r, n); }));
  ASSERT_TRUE(enc.Close());

  const std::string theirs = dir / "lame.mp3";
  const std::string setting = c.control == Mp3RateControl::Vbr ? "-V " + std::to_string(c.value)
                                                               : "--abr " + std::to_string(c.value);
  auto r = test::Run("lame --quiet " + setting + " " + test::ShellQuote(wav) + " " +
                     test::ShellQuote(theirs));
  ASSERT_EQ(r.exitCode, 0) << r.output;

  const auto a = ReadFileBytes(ours);
  const auto b = ReadFileBytes(theirs);
  const std::size_t start = c.tags ? id3v2.size() : 0;
  ASSERT_EQ(FirstFrame(a), start);
  const InfoFrame mine = ReadInfoFrame(a, start);
  const InfoFrame lame = ReadInfoFrame(b, FirstFrame(b));
  ASSERT_TRUE(mine.found);
  ASSERT_TRUE(lame.found);
  EXPECT_EQ(mine.kind, "Xing");
  EXPECT_EQ(mine.kind, lame.kind);
  EXPECT_EQ(mine.frames, lame.frames);
  EXPECT_EQ(mine.delay, lame.delay);
  EXPECT_EQ(mine.padding, lame.padding);
  EXPECT_EQ(mine.delay, 576);
  // The byte count covers the frames only, none of the tags around them.
  EXPECT_EQ(mine.bytes, a.size() - start - (c.tags ? id3v1.size() : 0));
  if (c.tags) {
    EXPECT_TRUE(std::equal(id3v1.begin(), id3v1.end(), a.end() - 128));
  }

  // At V9 LAME resamples to 22.05 kHz; the length is then the source's at that rate.
  std::vector<std::int16_t> decoded;
  int outRate = 0;
  ASSERT_TRUE(test::FfmpegDecodeS16(ours, decoded, nullptr, &outRate));
  const double expected = double(sig.left.size()) * outRate / c.rate;
  EXPECT_LT(std::abs(double(decoded.size() / c.channels) - expected), 1.0) << outRate;
  EXPECT_EQ(outRate == c.rate, !(c.control == Mp3RateControl::Vbr && c.value == 9));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Mp3InfoFrameTest,
    ::testing::Values(InfoCase{"V0StereoTagged", Mp3RateControl::Vbr, 0, 44100, 2, true},
                      InfoCase{"V5Mono", Mp3RateControl::Vbr, 5, 44100, 1, false},
                      InfoCase{"V9Stereo32k", Mp3RateControl::Vbr, 9, 32000, 2, false},
                      InfoCase{"Abr128StereoTagged", Mp3RateControl::Abr, 128, 44100, 2, true},
                      InfoCase{"Abr48Mono22k", Mp3RateControl::Abr, 48, 22050, 1, true}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace wavorax
