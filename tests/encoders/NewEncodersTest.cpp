// The FLAC, Ogg Opus, Ogg Vorbis and ALAC writers, end to end: generated sweeps at 16 and 24
// bits, 44.1, 48 and 96 kHz, mono and stereo, with tags and a cover, checked by the
// formats' own tools (flac, metaflac, opusinfo, opusdec, ogginfo, oggdec, AtomicParsley)
// and by ffmpeg.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "encoders/vorbiscomment/VorbisComment.h"
#include "tests/encoders/EncoderTestUtil.h"
#include "tests/encoders/NewEncoderUtil.h"

namespace wavorax {
namespace {

using test::NewEncoder;
using test::Pcm32;
using test::ShellQuote;

// A 16×12 picture made by ffmpeg, JPEG or PNG.
const std::vector<std::uint8_t>& Cover(bool png) {
  static std::vector<std::uint8_t> cache[2];
  auto& bytes = cache[png];
  if (bytes.empty()) {
    test::TempDir dir;
    const std::string path = dir / (png ? "c.png" : "c.jpg");
    test::Run("ffmpeg -v error -nostdin -f lavfi -i color=c=red:s=16x12 -frames:v 1 " +
              std::string(png ? "-pix_fmt rgb24 " : "") + ShellQuote(path));
    bytes = test::ReadFileBytes(path);
  }
  return bytes;
}

// Interleaved 32-bit samples as ffmpeg decodes them (a 16-bit sample lands in the top half).
std::vector<std::int32_t> DecodeS32(const std::string& path) {
  test::TempDir dir;
  const std::string raw = dir / "out.raw";
  if (test::Run("ffmpeg -v error -nostdin -i " + ShellQuote(path) + " -f s32le -c:a pcm_s32le " +
                ShellQuote(raw))
          .exitCode != 0)
    return {};
  const auto b = test::ReadFileBytes(raw);
  std::vector<std::int32_t> out(b.size() / 4);
  std::memcpy(out.data(), b.data(), out.size() * 4);
  return out;
}

// The granule position of the last Ogg page, and the Opus pre-skip from the OpusHead packet.
std::uint64_t LastGranule(const std::vector<std::uint8_t>& b) {
  for (std::size_t i = b.size() >= 27 ? b.size() - 27 : 0; i-- > 0;)
    if (std::memcmp(&b[i], "OggS", 4) == 0) {
      std::uint64_t g = 0;
      for (int k = 7; k >= 0; --k) g = g << 8 | b[i + 6 + k];
      return g;
    }
  return 0;
}

std::uint32_t OpusPreSkip(const std::vector<std::uint8_t>& b) {
  for (std::size_t i = 0; i + 12 <= b.size(); ++i)
    if (std::memcmp(&b[i], "OpusHead", 8) == 0) return test::Le16(b, i + 10);
  return 0;
}

// Decodes through the format's own decoder to a WAV at the source's rate (opusdec resamples
// to it), then to 16-bit samples.
std::vector<std::int16_t> DecodeWithTool(NewEncoder kind, const std::string& path, int rate) {
  test::TempDir dir;
  const std::string wav = dir / "d.wav";
  const std::string cmd = kind == NewEncoder::Opus
                              ? "opusdec --quiet --rate " + std::to_string(rate) + " " +
                                    ShellQuote(path) + " " + ShellQuote(wav)
                              : "oggdec --quiet -o " + ShellQuote(wav) + " " + ShellQuote(path);
  std::vector<std::int16_t> out;
  if (test::Run(cmd).exitCode != 0 || !test::FfmpegDecodeS16(wav, out)) out.clear();
  return out;
}

struct Case {
  NewEncoder kind;
  int rate, channels, bits;
};

class NewEncodersTest : public ::testing::TestWithParam<Case> {};

TEST_P(NewEncodersTest, ToolsAcceptTheFileWithItsTagsCoverAndLength) {
  const Case& c = GetParam();
  // An odd length: no frame or page size divides it.
  const std::size_t frames = static_cast<std::size_t>(c.rate / 2 + 1237);
  const Pcm32 pcm = Pcm32::Sweep(c.rate, c.channels, c.bits, frames);
  const bool png = c.bits == 24;
  AudioTags tags;
  ASSERT_TRUE(tags.Add("title", "\xC3\x84rger im B\xC3\xBCro"));
  ASSERT_TRUE(tags.Add("ARTIST", "First"));
  ASSERT_TRUE(tags.Add("ARTIST", "Second"));
  ASSERT_TRUE(tags.Add("DATE", "2004-03-21"));
  ASSERT_TRUE(tags.Add("TRACKNUMBER", "3"));
  ASSERT_TRUE(tags.Add("TRACKTOTAL", "12"));
  // Fields that reached the list without Add must still be left out.
  tags.fields.push_back({"BAD=NAME", "x"});
  tags.fields.push_back({"COMMENT", "\xFF\xFE"});
  ASSERT_TRUE(tags.SetFrontCover(Cover(png)));

  test::TempDir dir;
  const std::string path = dir / (std::string("out.") + test::ExtensionOf(c.kind));
  ASSERT_TRUE(test::Encode(c.kind, path, pcm, &tags));
  const std::string q = ShellQuote(path);

  // The cover comes back byte for byte, as ffmpeg extracts it.
  const std::string coverOut = dir / (png ? "cover.png" : "cover.jpg");
  ASSERT_EQ(test::Run("ffmpeg -v error -nostdin -i " + q + " -map 0:v:0 -c copy -frames:v 1 " +
                      ShellQuote(coverOut))
                .exitCode,
            0);
  EXPECT_EQ(test::ReadFileBytes(coverOut), Cover(png));
  // Opus decodes at 48 kHz whatever the input rate was.
  EXPECT_EQ(test::FfprobeStream(path, "sample_rate"),
            std::to_string(c.kind == NewEncoder::Opus ? 48000 : c.rate));
  EXPECT_EQ(test::FfprobeStream(path, "channels"), std::to_string(c.channels));

  const auto bytes = test::ReadFileBytes(path);
  switch (c.kind) {
    case NewEncoder::Flac: {
      auto t = test::Run("flac -t -s " + q);
      EXPECT_EQ(t.exitCode, 0) << t.output;
      auto list = test::Run("metaflac --list " + q);
      ASSERT_EQ(list.exitCode, 0) << list.output;
      for (const char* want :
           {"comment[0]: TITLE=\xC3\x84rger im B\xC3\xBCro", "comment[1]: ARTIST=First",
            "comment[2]: ARTIST=Second", "comment[3]: DATE=2004-03-21", "comments: 6",
            "type: 3 (Cover (front))", "width: 16", "height: 12", "depth: 24",
            "type: 3 (SEEKTABLE)", "seek points: 1", "point 0: sample_number=0"})
        EXPECT_NE(list.output.find(want), std::string::npos) << want << "\n" << list.output;
      EXPECT_NE(list.output.find(png ? "MIME type: image/png" : "MIME type: image/jpeg"),
                std::string::npos);
      auto total = test::Run("metaflac --show-total-samples --show-bps --show-md5sum " + q);
      EXPECT_EQ(total.output.substr(0, total.output.find('\n')), std::to_string(frames));
      EXPECT_NE(total.output.find("\n" + std::to_string(c.bits) + "\n"), std::string::npos);
      EXPECT_EQ(total.output.find("00000000000000000000000000000000"), std::string::npos);
      // flac's own padding after the seek table.
      auto pad = test::Run("metaflac --list --block-type=PADDING " + q);
      const std::size_t at = pad.output.find("length: ");
      ASSERT_NE(at, std::string::npos) << pad.output;
      EXPECT_GE(std::stoul(pad.output.substr(at + 8)), CFlacEncoder::kMinPadding);
      break;
    }
    case NewEncoder::Opus: {
      auto info = test::Run("opusinfo " + q);
      EXPECT_EQ(info.exitCode, 0) << info.output;
      EXPECT_EQ(info.output.find("WARNING"), std::string::npos) << info.output;
      for (const char* want : {"TITLE=\xC3\x84rger im B\xC3\xBCro", "ARTIST=First", "ARTIST=Second",
                               "DATE=2004-03-21", "TRACKTOTAL=12"})
        EXPECT_NE(info.output.find(want), std::string::npos) << want << "\n" << info.output;
      EXPECT_EQ(info.output.find("BAD=NAME"), std::string::npos);
      // Rounded up, so that the trip back to the source's rate gives its length exactly.
      const std::uint64_t at48k = (frames * 48000 + c.rate - 1) / c.rate;
      EXPECT_EQ(LastGranule(bytes), at48k + OpusPreSkip(bytes));
      EXPECT_EQ(DecodeS32(path).size(), at48k * c.channels);
      break;
    }
    case NewEncoder::Vorbis: {
      auto info = test::Run("ogginfo " + q);
      EXPECT_EQ(info.exitCode, 0) << info.output;
      EXPECT_EQ(info.output.find("WARNING"), std::string::npos) << info.output;
      for (const char* want : {"TITLE=\xC3\x84rger im B\xC3\xBCro", "ARTIST=First", "ARTIST=Second",
                               "DATE=2004-03-21", "TRACKTOTAL=12"})
        EXPECT_NE(info.output.find(want), std::string::npos) << want << "\n" << info.output;
      // (ffmpeg does not cut a Vorbis stream at its last granule; oggdec below does.)
      EXPECT_EQ(LastGranule(bytes), frames);
      break;
    }
    case NewEncoder::Alac: {
      auto atoms = test::Run("AtomicParsley " + q + " -t");
      EXPECT_EQ(atoms.exitCode, 0) << atoms.output;
      for (const char* want : {"\xC2\xA9nam\" contains: \xC3\x84rger im B\xC3\xBCro",
                               "\xC2\xA9"
                               "ART\" contains: First",
                               "\xC2\xA9"
                               "day\" contains: 2004-03-21",
                               "trkn\" contains: 3", "covr\" contains: 1 piece of artwork"})
        EXPECT_NE(atoms.output.find(want), std::string::npos) << want << "\n" << atoms.output;
      EXPECT_EQ(test::FfprobeStream(path, "codec_name"), "alac");
      EXPECT_EQ(test::FfprobeStream(path, "bits_per_raw_sample"), std::to_string(c.bits));
      break;
    }
  }

  if (c.kind == NewEncoder::Flac || c.kind == NewEncoder::Alac) {
    // Lossless: every sample decodes to what went in.
    const std::vector<std::int32_t> decoded = DecodeS32(path);
    ASSERT_EQ(decoded.size(), frames * c.channels);
    const int shift = 32 - c.bits;
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < frames; ++i) {
      mismatches += decoded[i * c.channels] != pcm.left[i] * (1 << shift);
      if (c.channels == 2) mismatches += decoded[i * 2 + 1] != pcm.right[i] * (1 << shift);
    }
    EXPECT_EQ(mismatches, 0u);
  } else {
    // Lossy: the format's decoder returns the source's length at its rate, in time with it
    // (a wrong pre-skip or a lost block ruins the match of a sweep). Above 48 kHz an Opus
    // stream of odd length comes back one sample longer: its 48 kHz length is a whole number.
    const std::vector<std::int16_t> decoded = DecodeWithTool(c.kind, path, c.rate);
    const std::vector<std::int16_t> reference = pcm.Interleaved16();
    const std::size_t length = c.kind == NewEncoder::Opus && c.rate > 48000
                                   ? (frames * 48000 + c.rate - 1) / c.rate * c.rate / 48000
                                   : frames;
    EXPECT_EQ(decoded.size(), length * c.channels);
    EXPECT_GT(test::SnrDb(reference, decoded), 20.0);
  }
}

std::vector<Case> AllCases() {
  std::vector<Case> out;
  for (NewEncoder kind : {NewEncoder::Flac, NewEncoder::Opus, NewEncoder::Vorbis, NewEncoder::Alac})
    for (int bits : {16, 24})
      for (int rate : {44100, 48000, 96000})
        for (int channels : {1, 2}) out.push_back({kind, rate, channels, bits});
  return out;
}

INSTANTIATE_TEST_SUITE_P(Formats, NewEncodersTest, ::testing::ValuesIn(AllCases()),
                         [](const auto& info) {
                           const Case& c = info.param;
                           return std::string(test::ExtensionOf(c.kind)) + "_" +
                                  std::to_string(c.bits) + "bit_" + std::to_string(c.rate) + "_" +
                                  (c.channels == 2 ? "stereo" : "mono");
                         });

class ShortStreamTest : public ::testing::TestWithParam<std::tuple<NewEncoder, int>> {};

// Nothing at all, one sample, and one sample past FLAC's and ALAC's 4096-sample frame: each
// makes a file the tools accept, of exactly that length. Only MP4 cannot hold an empty track.
TEST_P(ShortStreamTest, WholeFileOfExactLength) {
  const auto [kind, frames] = GetParam();
  const Pcm32 pcm = Pcm32::Sweep(44100, 2, 16, static_cast<std::size_t>(frames));
  AudioTags tags;
  tags.Add("TITLE", "t");
  test::TempDir dir;
  const std::string path = dir / (std::string("out.") + test::ExtensionOf(kind));
  if (kind == NewEncoder::Alac && frames == 0) {
    EXPECT_FALSE(test::Encode(kind, path, pcm, &tags));
    return;
  }
  ASSERT_TRUE(test::Encode(kind, path, pcm, &tags));
  const std::string q = ShellQuote(path);
  const auto bytes = test::ReadFileBytes(path);
  const auto n = static_cast<std::uint64_t>(frames);
  switch (kind) {
    case NewEncoder::Flac:
      EXPECT_EQ(test::Run("flac -t -s " + q).exitCode, 0);
      EXPECT_EQ(test::Run("metaflac --show-total-samples " + q).output, std::to_string(n) + "\n");
      break;
    case NewEncoder::Opus: {
      auto info = test::Run("opusinfo " + q);
      EXPECT_EQ(info.output.find("WARNING"), std::string::npos) << info.output;
      EXPECT_EQ(LastGranule(bytes), (n * 48000 + 44099) / 44100 + OpusPreSkip(bytes));
      break;
    }
    case NewEncoder::Vorbis: {
      auto info = test::Run("ogginfo " + q);
      EXPECT_EQ(info.output.find("WARNING"), std::string::npos) << info.output;
      EXPECT_EQ(LastGranule(bytes), n);
      break;
    }
    case NewEncoder::Alac:
      EXPECT_EQ(test::FfprobeStream(path, "duration_ts"), std::to_string(n));
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, ShortStreamTest,
                         ::testing::Combine(::testing::Values(NewEncoder::Flac, NewEncoder::Opus,
                                                              NewEncoder::Vorbis, NewEncoder::Alac),
                                            ::testing::Values(0, 1, 4097)),
                         [](const auto& info) {
                           return std::string(test::ExtensionOf(std::get<0>(info.param))) + "_" +
                                  std::to_string(std::get<1>(info.param));
                         });

struct RefusedCase {
  const char* label;
  NewEncoder kind;
  int rate, channels, bits;
  int option;  // FLAC level, Opus kbit/s, Vorbis quality (or, above 10, average kbit/s)
};

class OpenRefusesTest : public ::testing::TestWithParam<RefusedCase> {};

// Parameters outside what a writer takes are refused before any file exists; most cases lie
// one step beyond a bound.
TEST_P(OpenRefusesTest, NoFileForParametersOutOfRange) {
  const RefusedCase& c = GetParam();
  test::TempDir dir;
  const std::string path = dir / "out";
  auto open = [&](int rate, int channels, int bits, int option) {
    switch (c.kind) {
      case NewEncoder::Flac:
        return CFlacEncoder().Open(path, rate, channels, bits, option);
      case NewEncoder::Opus: {
        OpusOptions o;
        o.bitRateKbps = option;
        return COpusEncoder().Open(path, rate, channels, bits, o);
      }
      case NewEncoder::Vorbis: {
        VorbisOptions o;
        if (option > 10)
          o.averageKbps = option;
        else
          o.quality = option;
        return CVorbisEncoder().Open(path, rate, channels, bits, o);
      }
      case NewEncoder::Alac:
        return CAlacEncoder().Open(path, rate, channels, bits);
    }
    return false;
  };
  EXPECT_FALSE(open(c.rate, c.channels, c.bits, c.option));
  EXPECT_FALSE(std::filesystem::exists(path));
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, OpenRefusesTest,
    ::testing::Values(RefusedCase{"FlacLevel9", NewEncoder::Flac, 44100, 2, 16, 9},
                      RefusedCase{"FlacLevelMinus1", NewEncoder::Flac, 44100, 2, 16, -1},
                      RefusedCase{"Flac20Bit", NewEncoder::Flac, 44100, 2, 20, 5},
                      RefusedCase{"FlacThreeChannels", NewEncoder::Flac, 44100, 3, 16, 5},
                      RefusedCase{"FlacRate0", NewEncoder::Flac, 0, 2, 16, 5},
                      RefusedCase{"OpusStereo11k", NewEncoder::Opus, 48000, 2, 16, 11},
                      RefusedCase{"OpusStereo513k", NewEncoder::Opus, 48000, 2, 16, 513},
                      RefusedCase{"OpusMono257k", NewEncoder::Opus, 48000, 1, 16, 257},
                      RefusedCase{"OpusMono5k", NewEncoder::Opus, 48000, 1, 16, 5},
                      RefusedCase{"OpusRate7999", NewEncoder::Opus, 7999, 2, 16, 128},
                      RefusedCase{"OpusRate192001", NewEncoder::Opus, 192001, 2, 16, 128},
                      RefusedCase{"Opus7Bit", NewEncoder::Opus, 48000, 2, 7, 128},
                      RefusedCase{"VorbisQuality11", NewEncoder::Vorbis, 44100, 2, 16, 11},
                      RefusedCase{"VorbisQualityMinus2", NewEncoder::Vorbis, 44100, 2, 16, -2},
                      RefusedCase{"VorbisAverage501", NewEncoder::Vorbis, 44100, 2, 16, 501},
                      RefusedCase{"VorbisAverage400At8k", NewEncoder::Vorbis, 8000, 1, 16, 400},
                      RefusedCase{"VorbisMono33Bit", NewEncoder::Vorbis, 44100, 1, 33, 5},
                      RefusedCase{"Alac32Bit", NewEncoder::Alac, 44100, 2, 32, 0},
                      RefusedCase{"AlacNoChannels", NewEncoder::Alac, 44100, 0, 16, 0},
                      RefusedCase{"AlacRate384001", NewEncoder::Alac, 384001, 2, 16, 0}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace wavorax
