// End-to-end runs of wavorax-cli into FLAC, ALAC, Ogg Opus and Ogg Vorbis, with --verify,
// from tagged FLAC sources with a cover at 16 and 24 bits, 44.1, 48 and 96 kHz, mono and
// stereo. Each output is judged by the format's own tools (flac -t, metaflac, opusinfo,
// opusdec, ogginfo, oggdec), by ffmpeg and by AtomicParsley; FLAC and ALAC must decode to
// the source's samples bit for bit. Also MP3 VBR's information frame, against LAME's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

using test::ShellQuote;

const std::string kCli = std::string(WAVORAX_BINARY_DIR) + "/cli/wavorax-cli";

struct SourceCase {
  int bits, rate, channels;
};

struct TargetCase {
  const char* format;     // -f
  const char* extension;  // of the output
};

class NewTargets : public ::testing::TestWithParam<std::tuple<TargetCase, SourceCase>> {
 protected:
  void SetUp() override {
    for (const char* tool : {"sox", "flac", "metaflac", "opusinfo", "opusdec", "ogginfo", "oggdec",
                             "AtomicParsley", "ffmpeg", "convert"})
      if (!test::HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    std::ofstream(dir / "settings.conf") << "[Options]\nBrowseOutputFolder=0\n";
  }

  // A tagged FLAC source of 1.3 s with two artists, a full date, "3/12" and a PNG cover.
  std::string Source(const SourceCase& c) {
    const std::string wav = dir / "src.wav", flac = dir / "src.flac", png = dir / "cover.png";
    EXPECT_EQ(test::Run("sox -n -b " + std::to_string(c.bits) + " -r " + std::to_string(c.rate) +
                        " -c " + std::to_string(c.channels) + " " + ShellQuote(wav) +
                        " synth 1.3 sine 440 sine 660 gain -3")
                  .exitCode,
              0);
    EXPECT_EQ(test::Run("convert -size 8x8 xc:red " + ShellQuote(png)).exitCode, 0);
    EXPECT_EQ(
        test::Run("flac -s -f " + ShellQuote(wav) + " -o " + ShellQuote(flac) +
                  " && metaflac --set-tag=TITLE=Tone --set-tag=ARTIST=A --set-tag=ARTIST=B "
                  "--set-tag=DATE=2004-03-21 --set-tag=TRACKNUMBER=3/12 --import-picture-from=" +
                  ShellQuote(png) + " " + ShellQuote(flac))
            .exitCode,
        0);
    return flac;
  }

  // The samples of a file as ffmpeg decodes them, 32-bit left-aligned, at the file's rate.
  std::string Samples(const std::string& path) {
    return test::Run("ffmpeg -v error -i " + ShellQuote(path) + " -f s32le - | md5sum").output;
  }

  test::TempDir dir;
};

std::int64_t Frames(const std::string& soxiOutput) { return std::atoll(soxiOutput.c_str()); }

TEST_P(NewTargets, ConvertsWholeWithTagsAndCover) {
  const auto& [target, source] = GetParam();
  const std::string src = Source(source);
  const test::CommandResult r =
      test::Run(ShellQuote(kCli) + " --settings " + ShellQuote(dir / "settings.conf") + " -f " +
                target.format + " --verify -o " + ShellQuote(dir / "out") + " " + ShellQuote(src));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::string out = dir / (std::string("out/src") + target.extension);
  ASSERT_TRUE(std::filesystem::exists(out)) << r.output;
  const std::int64_t n = Frames(test::Run("soxi -s " + ShellQuote(src)).output);
  const std::string format = target.format;

  if (format == "flac" || format == "alac") {
    // Lossless: the same samples, and the width the source had.
    EXPECT_EQ(Samples(out), Samples(src));
    EXPECT_EQ(test::FfprobeStream(out, "bits_per_raw_sample"), std::to_string(source.bits));
  }
  if (format == "flac") {
    EXPECT_EQ(test::Run("flac -s -t " + ShellQuote(out)).exitCode, 0);
    const std::string list = test::Run("metaflac --list " + ShellQuote(out)).output;
    for (const char* field : {"ARTIST=A", "ARTIST=B", "DATE=2004-03-21", "TRACKNUMBER=3",
                              "TRACKTOTAL=12", "Cover (front)", "image/png", "SEEKTABLE"})
      EXPECT_NE(list.find(field), std::string::npos) << field << "\n" << list;
    EXPECT_EQ(Frames(test::Run("metaflac --show-total-samples " + ShellQuote(out)).output), n);
  } else if (format == "alac") {
    const std::string atoms = test::Run("AtomicParsley " + ShellQuote(out) + " -t").output;
    for (const char* item :
         {"\"\xC2\xA9nam\" contains: Tone", "\"trkn\" contains: 3", "\"covr\" contains: 1 piece"})
      EXPECT_NE(atoms.find(item), std::string::npos) << item << "\n" << atoms;
  } else {
    const bool opus = format == "opus";
    const std::string info =
        test::Run(std::string(opus ? "opusinfo " : "ogginfo ") + ShellQuote(out)).output;
    EXPECT_EQ(info.find("WARNING"), std::string::npos) << info;
    EXPECT_EQ(info.find("ERROR"), std::string::npos) << info;
    for (const char* field :
         {"ARTIST=A", "ARTIST=B", "DATE=2004-03-21", "TRACKTOTAL=12", "METADATA_BLOCK_PICTURE="})
      EXPECT_NE(info.find(field), std::string::npos) << field << "\n" << info;
    // The reference decoders honour pre-skip and the last granule: exactly the source's
    // length, at 48 kHz for Opus (rounded up).
    const std::string decode =
        opus ? "opusdec --quiet --rate 48000 " + ShellQuote(out) + " - | wc -c"
             : "oggdec -Q -R -o - " + ShellQuote(out) + " | wc -c";
    const std::int64_t bytes = std::atoll(test::Run(decode).output.c_str());
    const std::int64_t expected = opus ? (n * 48000 + source.rate - 1) / source.rate : n;
    EXPECT_EQ(bytes, expected * 2 * source.channels);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NewTargets,
    ::testing::Combine(::testing::Values(TargetCase{"flac", ".flac"}, TargetCase{"alac", ".m4a"},
                                         TargetCase{"opus", ".opus"}, TargetCase{"ogg", ".ogg"}),
                       ::testing::Values(SourceCase{16, 44100, 2}, SourceCase{24, 96000, 2},
                                         SourceCase{24, 48000, 1}, SourceCase{16, 48000, 1})),
    [](const auto& info) {
      const TargetCase& t = std::get<0>(info.param);
      const SourceCase& s = std::get<1>(info.param);
      return std::string(t.format) + "_" + std::to_string(s.bits) + "bit_" +
             std::to_string(s.rate) + (s.channels == 1 ? "_mono" : "_stereo");
    });

// The width and rate-control choices, one run each on a 24-bit stereo source at 96 kHz.
struct ChoiceCase {
  const char* name;
  const char* format;
  const char* extension;
  const char* settings;       // --set arguments
  const char* probeField;     // an ffprobe stream field of the output ...
  const char* probeExpected;  // ... and its value
  bool sameSamples;           // the output decodes to the source's samples
  const char* bytesInside;    // text the output's first kilobytes hold, or null
};

class NewTargetChoices : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(NewTargetChoices, ReachTheOutput) {
  const ChoiceCase& c = GetParam();
  if (!test::HaveTool("sox") || !test::HaveTool("ffmpeg")) GTEST_SKIP() << "sox or ffmpeg missing";
  test::TempDir dir;
  std::ofstream(dir / "settings.conf") << "[Options]\nBrowseOutputFolder=0\n";
  const std::string src = dir / "src.wav";
  ASSERT_EQ(
      test::Run("sox -n -b 24 -r 96000 -c 2 " + ShellQuote(src) + " synth 1.3 sine 440 gain -3")
          .exitCode,
      0);
  const test::CommandResult r = test::Run(
      ShellQuote(kCli) + " --settings " + ShellQuote(dir / "settings.conf") + " -f " + c.format +
      " --verify " + c.settings + " -o " + ShellQuote(dir / "out") + " " + ShellQuote(src));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::string out = dir / (std::string("out/src") + c.extension);
  EXPECT_EQ(test::FfprobeStream(out, c.probeField), c.probeExpected);
  const auto md5 = [](const std::string& path) {
    return test::Run("ffmpeg -v error -i " + ShellQuote(path) + " -f s32le - | md5sum").output;
  };
  EXPECT_EQ(md5(out) == md5(src), c.sameSamples);
  if (c.bytesInside) {
    const auto bytes = test::ReadFileBytes(out);
    const std::string head(bytes.begin(),
                           bytes.begin() + std::min<std::size_t>(bytes.size(), 4096));
    EXPECT_NE(head.find(c.bytesInside), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NewTargetChoices,
    ::testing::Values(
        // Narrowed to 16 bits with dither: no longer the same samples.
        ChoiceCase{"flac16", "flac", ".flac", "--set FLACBitsPerSample=16 --set FLACCompression=8",
                   "bits_per_raw_sample", "16", false, nullptr},
        ChoiceCase{"alac16", "alac", ".m4a", "--set ALACBitsPerSample=16", "bits_per_raw_sample",
                   "16", false, nullptr},
        ChoiceCase{
            "wav24", "wav", ".wav",
            "--set AutoDestWAVEncodingParam=0 --set WAVBitsPerSample=24 --set WAVSampleRate=0 "
            "--set WAVChannelNum=0",
            "codec_name", "pcm_s24le", true, nullptr},
        ChoiceCase{
            "wav32float", "wav", ".wav",
            "--set AutoDestWAVEncodingParam=0 --set WAVBitsPerSample=32 --set WAVSampleRate=0 "
            "--set WAVChannelNum=0",
            "codec_name", "pcm_f32le", true, nullptr},
        ChoiceCase{"wav24mono48k", "wav", ".wav",
                   "--set AutoDestWAVEncodingParam=0 --set WAVBitsPerSample=24 "
                   "--set WAVSampleRate=48000 --set WAVChannelNum=1",
                   "sample_rate", "48000", false, nullptr},
        ChoiceCase{"mp3vbr", "mp3", ".mp3",
                   "--set AutoDestMP3EncodingParam=0 --set MP3EncodingMode=1 --set MP3VBRQuality=2 "
                   "--set MP3SampleRate=0",
                   "sample_rate", "48000", false, "Xing"},
        ChoiceCase{
            "mp3abr", "mp3", ".mp3",
            "--set AutoDestMP3EncodingParam=0 --set MP3EncodingMode=2 --set MP3ABRBitRate=128 "
            "--set MP3SampleRate=0",
            "sample_rate", "48000", false, "Xing"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wavorax
