#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "decoders/own/Mp3Decoder.h"
#include "tests/decoders/own/DecodeHelpers.h"
#include "tests/support/TestSupport.h"

namespace wavorax::test {
namespace {

// One part of a joined stream: a tone encoded by ffmpeg.
struct Part {
  int rate;
  int channels;
  double seconds;
  const char* codec;  // "libmp3lame" (layer III) or "mp2" (layer II)
};

struct JoinCase {
  const char* name;
  std::vector<Part> parts;
};

std::string EncodePart(const TempDir& dir, int index, const Part& p) {
  const std::string out = dir / ("part" + std::to_string(index) + ".mp3");
  const auto r =
      Run("ffmpeg -nostdin -v error -y -f lavfi -i sine=f=" + std::to_string(440 + 110 * index) +
          ":d=" + std::to_string(p.seconds) + ":r=" + std::to_string(p.rate) + " -ac " +
          std::to_string(p.channels) + " -c:a " + p.codec + " -b:a 64k -f " +
          (std::string(p.codec) == "mp2" ? "mp2 " : "mp3 ") + ShellQuote(out));
  EXPECT_EQ(r.exitCode, 0) << r.output;
  return out;
}

double Rms(const std::vector<std::int16_t>& s, std::size_t from, std::size_t to) {
  double sum = 0;
  for (std::size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
  return to > from ? std::sqrt(sum / double(to - from)) : 0;
}

class Mp3FormatChange : public testing::TestWithParam<JoinCase> {};

// Files joined with cat whose rate, channels or layer change: the whole stream arrives, each
// later part converted to the first part's rate and channels.
TEST_P(Mp3FormatChange, DecodesEveryPartInTheFirstFormat) {
  const auto& parts = GetParam().parts;
  TempDir dir;
  std::vector<std::uint8_t> joined;
  double expectedFrames = 0;  // each part decoded on its own, at the first part's rate
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string file = EncodePart(dir, static_cast<int>(i), parts[i]);
    CMp3Decoder alone;
    ASSERT_NE(alone.Open(file, 0), 0);
    const Decoded d = DecodeAll(alone);
    expectedFrames += double(d.samples.size()) / d.channels * parts[0].rate / parts[i].rate;
    const auto bytes = ReadFileBytes(file);
    joined.insert(joined.end(), bytes.begin(), bytes.end());
  }
  WriteFileBytes(dir / "joined.mp3", joined);

  CMp3Decoder decoder;
  ASSERT_NE(decoder.Open(dir / "joined.mp3", 0), 0);
  EXPECT_EQ(decoder.GetSampleRate(), parts[0].rate);
  EXPECT_EQ(decoder.GetOutputChannels(), parts[0].channels);
  const Decoded d = DecodeAll(decoder);
  EXPECT_EQ(d.readSizes.back(), 0) << "ends, does not fail";
  EXPECT_EQ(decoder.GetSampleRate(), parts[0].rate);
  EXPECT_EQ(d.channels, parts[0].channels);
  for (int n : d.readSizes) ASSERT_LE(n, kDecodeBlock);
  const double frames = double(d.samples.size()) / parts[0].channels;
  EXPECT_NEAR(frames, expectedFrames, 0.01 * parts[0].rate);
  EXPECT_EQ(decoder.GetPosition(), decoder.GetLength());
  // The last part carries its tone, not silence.
  const std::size_t tail = static_cast<std::size_t>(0.5 * parts[0].rate) * parts[0].channels;
  ASSERT_GT(d.samples.size(), 2 * tail);
  EXPECT_GT(Rms(d.samples, d.samples.size() - 2 * tail, d.samples.size() - tail), 1000.0);
}

INSTANTIATE_TEST_SUITE_P(
    Joined, Mp3FormatChange,
    testing::Values(
        JoinCase{"StereoThenMono22k", {{44100, 2, 5, "libmp3lame"}, {22050, 1, 3, "libmp3lame"}}},
        JoinCase{"Mono22kThenStereo", {{22050, 1, 3, "libmp3lame"}, {44100, 2, 5, "libmp3lame"}}},
        // A short part in the middle, which the decoder would otherwise skip to reach the
        // third part in its own format.
        JoinCase{"ShortPartBetween",
                 {{44100, 2, 2, "libmp3lame"},
                  {16000, 1, 1, "libmp3lame"},
                  {44100, 2, 2, "libmp3lame"}}},
        JoinCase{"LayerTwoThenThree", {{48000, 2, 2, "mp2"}, {48000, 2, 2, "libmp3lame"}}}),
    [](const testing::TestParamInfo<JoinCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wavorax::test
