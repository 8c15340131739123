// The values the encoder pages show and how they are written back into the settings record.
#include <gtest/gtest.h>

#include "ui/options/PageValues.h"

namespace wavorax {
namespace {

TEST(Settings, FreshRecordIsMp3WithAutomaticParameters) {
  ConversionSettings s;
  EXPECT_EQ(s.OutputFormat, kTargetMp3);
  EXPECT_EQ(s.AutoDestMP3EncodingParam, 1);
  EXPECT_EQ(s.MP3ID3Tag.genre, 255);
  EXPECT_EQ(s.MP3ID3Tag.useFileNameAsTitle, 1);
  // Switching only the automatic MP3 parameters off gives 128 kbit/s, 44100 Hz, joint stereo.
  auto page = Mp3PageFrom(s);
  page.automatic = false;
  WriteBackMp3(s, page);
  EXPECT_EQ(s.MP3BitRate, 128);
  EXPECT_EQ(s.MP3SampleRate, 44100);
  EXPECT_EQ(s.MP3ChannelMode, 1);
}

TEST(Settings, ExplicitParametersSurviveAPeriodOfAutomaticChoice) {
  ConversionSettings s;
  WriteBackMp3(s, {false, 192, 32000, 2});
  WriteBackWav(s, {false, 22050, 1, 8});
  ASSERT_EQ(s.MP3ChannelMode, 3);
  WriteBackMp3(s, {true, 64, 8000, 0});
  WriteBackWav(s, {true, 8000, 0, 16});
  EXPECT_EQ(s.AutoDestMP3EncodingParam, 1);
  EXPECT_EQ(s.AutoDestWAVEncodingParam, 1);
  const auto mp3 = Mp3PageFrom(s);
  EXPECT_EQ(mp3.bitRate, 192);
  EXPECT_EQ(mp3.sampleRate, 32000);
  EXPECT_EQ(mp3.channelIndex, 2);
  const auto wav = WavPageFrom(s);
  EXPECT_EQ(wav.sampleRate, 22050);
  EXPECT_EQ(wav.channelIndex, 1);
  EXPECT_EQ(wav.bitsPerSample, 8);
}

TEST(Settings, AacFieldsStoredOnlyWithoutAutomaticChoice) {
  ConversionSettings s;
  AacPageValues page;
  page.automatic = true;
  page.abrBitRate = 64;
  page.mpegVersionIndex = 1;
  WriteBackAac(s, page);
  EXPECT_EQ(s.AACABRBitRate, 128);
  EXPECT_EQ(s.AACMpegVersion, 0);
  page.automatic = false;
  page.rateControlIndex = 0;
  WriteBackAac(s, page);
  WriteBackM4a(s, page);
  EXPECT_EQ(s.AutoDestAACEncodingParam, 0);
  EXPECT_EQ(s.AACVBR, 0);
  EXPECT_EQ(s.AACABRBitRate, 64);
  EXPECT_EQ(s.AACMpegVersion, 1);
  EXPECT_EQ(s.M4AABRBitRate, 64);
  EXPECT_EQ(s.M4AVBR, 0);
}

struct IndexCase {
  int index, code;
};
class Mp3ModeIndex : public ::testing::TestWithParam<IndexCase> {};
TEST_P(Mp3ModeIndex, MapsBothWays) {
  EXPECT_EQ(Mp3ChannelModeFromPageIndex(GetParam().index), GetParam().code);
  EXPECT_EQ(Mp3PageIndexFromChannelMode(GetParam().code), GetParam().index);
}
INSTANTIATE_TEST_SUITE_P(Modes, Mp3ModeIndex,
                         ::testing::Values(IndexCase{0, 1}, IndexCase{1, 0}, IndexCase{2, 3},
                                           IndexCase{3, 4}));

class WavChannelIndex : public ::testing::TestWithParam<IndexCase> {};
TEST_P(WavChannelIndex, MapsBothWays) {
  EXPECT_EQ(WavChannelsFromPageIndex(GetParam().index), GetParam().code);
  EXPECT_EQ(WavPageIndexFromChannels(GetParam().code), GetParam().index);
}
INSTANTIATE_TEST_SUITE_P(Channels, WavChannelIndex,
                         ::testing::Values(IndexCase{0, 2}, IndexCase{1, 1}, IndexCase{2, 0}));

TEST(Settings, UnknownCodesShowTheLastChoice) {
  EXPECT_EQ(Mp3PageIndexFromChannelMode(2), 3);
  EXPECT_EQ(WavPageIndexFromChannels(7), 2);
}

}  // namespace
}  // namespace wavorax
