#include <gtest/gtest.h>

#include <set>

#include "app/ConversionSettings.h"

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

struct LoadCase {
  const char* name;
  int stored, loaded;
};
class LoadCorrection : public ::testing::TestWithParam<LoadCase> {};
TEST_P(LoadCorrection, Applies) {
  EXPECT_EQ(CorrectLoadedValue(GetParam().name, GetParam().stored), GetParam().loaded);
}
INSTANTIATE_TEST_SUITE_P(
    Values, LoadCorrection,
    ::testing::Values(LoadCase{"MP3ChannelMode", 2, 1}, LoadCase{"MP3ChannelMode", 4, 4},
                      LoadCase{"MP3ChannelMode", -1, 1}, LoadCase{"WAVChannelNum", 3, 2},
                      LoadCase{"WAVChannelNum", 0, 0}, LoadCase{"M4AID3TagType", 3, 2},
                      LoadCase{"M4AID3TagType", -1, 2}, LoadCase{"MP3ID3TagType", 3, 3},
                      LoadCase{"AmplifyWavCoeff", 5, 10}, LoadCase{"AmplifyWavCoeff", 5000, 3000},
                      LoadCase{"AmplifyMp3Coeff", 9, 10}, LoadCase{"AmplifyAACCoef", 5, 5},
                      LoadCase{"TargetExistsOpt", 99, 99}, LoadCase{"ConvertJobs", 64, 64},
                      LoadCase{"ConvertJobs", 0, DefaultConvertJobs()},
                      LoadCase{"ConvertJobs", 65, DefaultConvertJobs()},
                      LoadCase{"VerifyOutputs", 1, 1}, LoadCase{"VerifyOutputs", 2, 0}));

TEST(Settings, FieldTableCoversEveryPersistedFieldOnce) {
  const auto& fields = SettingFields();
  EXPECT_EQ(fields.size(), 87u);  // all 88 fields but LastOptionsPage
  std::set<std::string> names;
  int folderGroup = 0, formatGroup = 0;
  for (const auto& f : fields) {
    EXPECT_TRUE(names.insert(f.name).second) << f.name;
    folderGroup += f.saveGroup == 4;
    formatGroup += f.saveGroup == 16;
  }
  EXPECT_EQ(folderGroup, 1);
  EXPECT_EQ(formatGroup, 1);
  EXPECT_EQ(BatchAddFlags().size(), 40u);
  EXPECT_EQ(FindSettingField("LastOptionsPage"), nullptr);

  // Every accessor reaches a distinct member: writing through each one changes one field.
  ConversionSettings s;
  const ConversionSettings defaults;
  for (const auto& f : fields) {
    if (f.kind == SettingKind::Int) s.*(f.intField) += 1000;
    if (f.kind == SettingKind::Text) s.*(f.textField) += "x";
    if (f.kind == SettingKind::Tag) (s.*(f.tagField)).track += 1;
  }
  for (const auto& f : fields) {
    if (f.kind == SettingKind::Int) {
      EXPECT_EQ(s.*(f.intField), defaults.*(f.intField) + 1000) << f.name;
    }
  }
}

TEST(Settings, TargetExtensions) {
  EXPECT_EQ(ExtensionOfTarget(kTargetM4b), ".m4b");
  EXPECT_EQ(ExtensionOfTarget(kTargetAac), ".aac");
  EXPECT_EQ(ExtensionOfTarget(1001), "");
}

}  // namespace
}  // namespace wavorax
