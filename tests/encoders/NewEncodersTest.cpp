// The FLAC, Ogg Opus, Ogg Vorbis and ALAC writers, end to end: generated sweeps at 16 and 24
// bits, 44.1, 48 and 96 kHz, mono and stereo, with tags and a cover, checked by the
// formats' own tools (flac, metaflac, opusinfo, opusdec, ogginfo, oggdec, AtomicParsley)
// and by ffmpeg.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

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
  if (cache[png].empty()) {
    test::TempDir dir;
    const std::string path = dir / (png ? "c.png" : "c.jpg");
    test::Run("ffmpeg -v error -nostdin -f lavfi -i color=c=red:s=16x12 -frames:v 1 " +
              std::string(png ? "-pix_fmt rgb24 " : "") + ShellQuote(path));
    cache[png] = test::ReadFileBytes(path);
  }
  return cache[png];
}

// Interleaved 32-bit samples as ffmpeg decodes them (a 16-bit sample lands in the top half).
std::vector<std::int32_t> DecodeS32(const std::string& path) {
  test::TempDir dir;
  const std::string raw = dir / "out.raw";
  test::Run("ffmpeg -v error -nostdin -i " + ShellQuote(path) + " -f s32le " + ShellQuote(raw));
  const auto b = test::ReadFileBytes(raw);
  std::vector<std::int32_t> out(b.size() / 4);
  std::memcpy(out.data(), b.data(), out.size() * 4);
  return out;
}

// The format's checker must accept the file; returns its listing, which shows the tags.
std::string Check(NewEncoder kind, const std::string& path) {
  const std::string q = ShellQuote(path);
  const char* tool[] = {"flac -t -s %", "opusinfo %", "ogginfo %", "AtomicParsley % -t"};
  std::string command = tool[static_cast<int>(kind)];
  command.replace(command.find('%'), 1, q);
  if (kind == NewEncoder::Flac) command += " && metaflac --list " + q;
  const test::CommandResult r = test::Run(command);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  // (flac warns of a total of 0, which is how FLAC marks an empty stream.)
  if (kind != NewEncoder::Flac) {
    EXPECT_EQ(r.output.find("WARNING"), std::string::npos) << r.output;
  }
  return r.output;
}

// The length the file states: FLAC's total samples, the last Ogg granule (less Opus's
// pre-skip; at 48 kHz), the MP4 track's duration.
std::uint64_t StatedLength(NewEncoder kind, const std::string& path) {
  if (kind == NewEncoder::Flac)
    return std::stoull(test::Run("metaflac --show-total-samples " + ShellQuote(path)).output);
  if (kind == NewEncoder::Alac) return std::stoull(test::FfprobeStream(path, "duration_ts"));
  const auto b = test::ReadFileBytes(path);
  std::uint64_t granule = 0, preSkip = 0;
  for (std::size_t i = b.size() >= 27 ? b.size() - 27 : 0; i-- > 0;)
    if (std::memcmp(&b[i], "OggS", 4) == 0) {
      for (int k = 7; k >= 0; --k) granule = granule << 8 | b[i + 6 + k];
      break;
    }
  for (std::size_t i = 0; kind == NewEncoder::Opus && i + 12 <= b.size(); ++i)
    if (std::memcmp(&b[i], "OpusHead", 8) == 0) {
      preSkip = test::Le16(b, i + 10);
      break;
    }
  return granule - preSkip;
}

// Opus states its length at 48 kHz, rounded up, so that the trip back to the source's rate
// gives that length exactly.
std::uint64_t ExpectedLength(NewEncoder kind, std::uint64_t frames, int rate) {
  return kind == NewEncoder::Opus ? (frames * 48000 + rate - 1) / rate : frames;
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

  const std::string listing = Check(c.kind, path);
  std::vector<std::string> want = {"TITLE=\xC3\x84rger im B\xC3\xBCro", "ARTIST=First",
                                   "ARTIST=Second", "DATE=2004-03-21", "TRACKTOTAL=12"};
  if (c.kind == NewEncoder::Flac) {
    want.insert(want.end(), {"comments: 6", "type: 3 (Cover (front))", "width: 16", "height: 12",
                             "depth: 24", "seek points: 1", "point 0: sample_number=0",
                             "bits-per-sample: " + std::to_string(c.bits),
                             png ? "MIME type: image/png" : "MIME type: image/jpeg"});
    EXPECT_EQ(listing.find("MD5 signature: 00000000000000000000000000000000"), std::string::npos);
    // flac's own padding, in the last block, after the seek table.
    const std::size_t at = listing.rfind("length: ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_GE(std::stoul(listing.substr(at + 8)), CFlacEncoder::kMinPadding);
  } else if (c.kind == NewEncoder::Alac) {
    want = {"\xC2\xA9nam\" contains: \xC3\x84rger im B\xC3\xBCro", "ART\" contains: First",
            "day\" contains: 2004-03-21", "trkn\" contains: 3",
            "covr\" contains: 1 piece of artwork"};
    EXPECT_EQ(test::FfprobeStream(path, "bits_per_raw_sample"), std::to_string(c.bits));
  }
  for (const std::string& w : want) EXPECT_NE(listing.find(w), std::string::npos) << w;
  EXPECT_EQ(listing.find("BAD=NAME"), std::string::npos);

  // The cover comes back byte for byte, as ffmpeg extracts it.
  const std::string coverOut = dir / (png ? "cover.png" : "cover.jpg");
  test::Run("ffmpeg -v error -nostdin -i " + ShellQuote(path) + " -map 0:v:0 -c copy " +
            ShellQuote(coverOut));
  EXPECT_EQ(test::ReadFileBytes(coverOut), Cover(png));
  // Opus decodes at 48 kHz whatever the input rate was.
  EXPECT_EQ(test::FfprobeStream(path, "sample_rate"),
            std::to_string(c.kind == NewEncoder::Opus ? 48000 : c.rate));
  EXPECT_EQ(test::FfprobeStream(path, "channels"), std::to_string(c.channels));
  const std::uint64_t length = ExpectedLength(c.kind, frames, c.rate);
  EXPECT_EQ(StatedLength(c.kind, path), length);

  if (c.kind == NewEncoder::Flac || c.kind == NewEncoder::Alac) {
    // Lossless: every sample decodes to what went in.
    const std::vector<std::int32_t> decoded = DecodeS32(path);
    ASSERT_EQ(decoded.size(), frames * c.channels);
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < frames; ++i) {
      mismatches += decoded[i * c.channels] != pcm.left[i] * (1 << (32 - c.bits));
      if (c.channels == 2) mismatches += decoded[i * 2 + 1] != pcm.right[i] * (1 << (32 - c.bits));
    }
    EXPECT_EQ(mismatches, 0u);
    return;
  }
  // Lossy: the format's own decoder returns the source's length at its rate (ffmpeg does not
  // cut Vorbis at its last granule), in time with it: a wrong pre-skip or a lost block ruins
  // the match of a sweep. Above 48 kHz an Opus stream of odd length comes back one sample
  // longer, since its 48 kHz length is a whole number.
  const std::string wav = dir / "d.wav";
  test::Run(c.kind == NewEncoder::Opus
                ? "opusdec --quiet --rate " + std::to_string(c.rate) + " " + ShellQuote(path) +
                      " " + ShellQuote(wav)
                : "oggdec --quiet -o " + ShellQuote(wav) + " " + ShellQuote(path));
  std::vector<std::int16_t> decoded;
  ASSERT_TRUE(test::FfmpegDecodeS16(wav, decoded));
  const std::uint64_t back = c.kind == NewEncoder::Opus ? length * c.rate / 48000 : frames;
  EXPECT_EQ(back, c.rate <= 48000 ? frames : back);
  EXPECT_EQ(decoded.size(), back * c.channels);
  EXPECT_GT(test::SnrDb(pcm.Interleaved16(), decoded), 20.0);
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
// makes a file of exactly that length that the tools accept. Only MP4 cannot hold an empty
// track.
TEST_P(ShortStreamTest, WholeFileOfExactLength) {
  const auto [kind, frames] = GetParam();
  test::TempDir dir;
  const std::string path = dir / (std::string("out.") + test::ExtensionOf(kind));
  AudioTags tags;
  tags.Add("TITLE", "t");
  const bool ok =
      test::Encode(kind, path, Pcm32::Sweep(44100, 2, 16, static_cast<std::size_t>(frames)), &tags);
  ASSERT_EQ(ok, kind != NewEncoder::Alac || frames > 0);
  if (!ok) return;
  // An empty Vorbis stream ends on a packet at granule 0, as oggenc's does, which ogginfo
  // calls the work of a buggy encoder.
  if (kind != NewEncoder::Vorbis || frames > 0) Check(kind, path);
  EXPECT_EQ(StatedLength(kind, path),
            ExpectedLength(kind, static_cast<std::uint64_t>(frames), 44100));
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
  OpusOptions opus;
  opus.bitRateKbps = c.option;
  VorbisOptions vorbis;
  vorbis.quality = c.option;
  if (c.option > 10) vorbis.averageKbps = c.option;
  bool opened = false;
  switch (c.kind) {
    case NewEncoder::Flac:
      opened = CFlacEncoder().Open(path, c.rate, c.channels, c.bits, c.option);
      break;
    case NewEncoder::Opus:
      opened = COpusEncoder().Open(path, c.rate, c.channels, c.bits, opus);
      break;
    case NewEncoder::Vorbis:
      opened = CVorbisEncoder().Open(path, c.rate, c.channels, c.bits, vorbis);
      break;
    case NewEncoder::Alac:
      opened = CAlacEncoder().Open(path, c.rate, c.channels, c.bits);
      break;
  }
  EXPECT_FALSE(opened);
  EXPECT_FALSE(std::filesystem::exists(path));
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, OpenRefusesTest,
    ::testing::Values(RefusedCase{"FlacLevel9", NewEncoder::Flac, 44100, 2, 16, 9},
                      RefusedCase{"Flac20Bit", NewEncoder::Flac, 44100, 2, 20, 5},
                      RefusedCase{"FlacThreeChannels", NewEncoder::Flac, 44100, 3, 16, 5},
                      RefusedCase{"OpusStereo11k", NewEncoder::Opus, 48000, 2, 16, 11},
                      RefusedCase{"OpusMono257k", NewEncoder::Opus, 48000, 1, 16, 257},
                      RefusedCase{"OpusRate192001", NewEncoder::Opus, 192001, 2, 16, 128},
                      RefusedCase{"VorbisQualityMinus2", NewEncoder::Vorbis, 44100, 2, 16, -2},
                      RefusedCase{"VorbisAverage501", NewEncoder::Vorbis, 44100, 2, 16, 501},
                      RefusedCase{"VorbisAverage400At8k", NewEncoder::Vorbis, 8000, 1, 16, 400},
                      RefusedCase{"Alac32Bit", NewEncoder::Alac, 44100, 2, 32, 0},
                      RefusedCase{"AlacRate384001", NewEncoder::Alac, 384001, 2, 16, 0}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace wavorax
