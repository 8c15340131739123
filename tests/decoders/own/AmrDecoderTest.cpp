#include <gtest/gtest.h>

#include "base/ByteSource.h"
#include "decoders/own/AmrDecoder.h"
#include "tests/decoders/own/DecodeHelpers.h"
#include "tests/support/SourceFixtures.h"
#include "tests/support/TestSupport.h"

namespace wavorax::test {
namespace {

std::unique_ptr<ByteSource> Memory(const std::vector<std::uint8_t>& bytes) {
  return ByteSource::FromBytes(bytes);
}

struct ModeCase {
  const char* name;
  std::vector<Mode> modes;
};

class AmrMatchesFfmpeg : public testing::TestWithParam<ModeCase> {};

TEST_P(AmrMatchesFfmpeg, CloseToFfmpegsDecoder) {
  TempDir dir;
  const std::string file = dir / "t.amr";
  const auto speech = SpeechLike(8000, 8000 * 4);
  WriteFileBytes(file, EncodeAmr(speech, GetParam().modes));

  CAmrDecoder decoder;
  ASSERT_NE(decoder.Open(file, 0), 0);
  EXPECT_EQ(decoder.GetSampleRate(), 8000);
  EXPECT_EQ(decoder.GetOutputChannels(), 1);
  const Decoded ours = DecodeAll(decoder);
  ASSERT_EQ(ours.samples.size(), speech.size());
  EXPECT_EQ(decoder.GetPosition(), decoder.GetLength());

  // FFmpeg's AMR-NB decoder is its own floating-point rendition of the standard, so the
  // two agree closely but not bit for bit.
  std::vector<std::int16_t> reference;
  ASSERT_TRUE(FfmpegDecodeS16(file, reference));
  ASSERT_EQ(reference.size(), ours.samples.size());
  EXPECT_GE(SnrDb(reference, ours.samples), 20.0);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, AmrMatchesFfmpeg,
    testing::Values(ModeCase{"Mode122", {MR122}}, ModeCase{"Mode475", {MR475}},
                    ModeCase{"AllModes", {MR475, MR515, MR59, MR67, MR74, MR795, MR102, MR122}}),
    [](const testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

TEST(AmrDecoder, CarriesTheRestOfAFrameToTheNextRead) {
  const auto speech = SpeechLike(8000, 8 * 160);
  const auto file = EncodeAmr(speech, {MR122});
  ASSERT_EQ(file.size(), 6u + 8 * 32);
  CAmrDecoder decoder;
  ASSERT_NE(decoder.OpenSource(Memory(file)), 0);
  const Decoded out = DecodeAll(decoder);
  EXPECT_EQ(out.readSizes, (std::vector<int>{1152, 128, 0}));
  EXPECT_EQ(decoder.GetPosition(), file.size());

  // The carried samples are the continuation of the same frame.
  CAmrDecoder again;
  ASSERT_NE(again.OpenSource(Memory(file)), 0);
  std::vector<std::int16_t> left(kDecodeBlock);
  ASSERT_EQ(again.Read(left.data(), nullptr), 1152);
  EXPECT_TRUE(std::equal(left.begin(), left.end(), out.samples.begin()));
}

TEST(AmrDecoder, MagicOnly) {
  CAmrDecoder decoder;
  ASSERT_NE(decoder.OpenSource(Memory({'#', '!', 'A', 'M', 'R', '\n'})), 0);
  EXPECT_EQ(decoder.GetSampleRate(), 8000);
  EXPECT_EQ(decoder.GetChannels(), 1);
  EXPECT_EQ(decoder.GetBitsPerSample(), 16);
  EXPECT_EQ(decoder.GetDuration(), 0);
  EXPECT_EQ(decoder.GetBitrate(), 0);
  EXPECT_EQ(decoder.GetPosition(), 6u);
  std::vector<std::int16_t> left(kDecodeBlock);
  EXPECT_EQ(decoder.Read(left.data(), nullptr), 0);
}

TEST(AmrDecoder, NoDataFramesTakeOneByteAndStillGiveAFrame) {
  auto file = EncodeAmr(SpeechLike(8000, 4 * 160), {MR795});
  const std::size_t speechEnd = file.size();
  for (int i = 0; i < 5; ++i) file.push_back(0x7C);  // type 15, quality bit set
  CAmrDecoder decoder;
  ASSERT_NE(decoder.OpenSource(Memory(file)), 0);
  const Decoded out = DecodeAll(decoder);
  EXPECT_EQ(out.samples.size(), 9u * 160);
  EXPECT_EQ(decoder.GetPosition(), speechEnd + 5);
}

TEST(AmrDecoder, TruncatedLastFrameEndsTheStream) {
  auto file = EncodeAmr(SpeechLike(8000, 10 * 160), {MR122});
  file.erase(file.end() - 7, file.end());
  CAmrDecoder decoder;
  ASSERT_NE(decoder.OpenSource(Memory(file)), 0);
  EXPECT_EQ(DecodeAll(decoder).samples.size(), 9u * 160);
}

TEST(AmrDecoder, RefusesOtherMagics) {
  CAmrDecoder decoder;
  for (const auto& bytes :
       {std::vector<std::uint8_t>{'#', '!', 'A', 'M', 'R', '-', 'W', 'B', '\n'},
        std::vector<std::uint8_t>{'#', '!', 'A', 'M', 'R'}, std::vector<std::uint8_t>{}}) {
    EXPECT_EQ(decoder.OpenSource(Memory(bytes)), 0);
    EXPECT_EQ(decoder.GetSampleRate(), 0);
  }
  EXPECT_EQ(decoder.Open("/nonexistent.amr", 0), 0);
}

}  // namespace
}  // namespace wavorax::test
