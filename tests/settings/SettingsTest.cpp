#include <gtest/gtest.h>

#include <set>

#include "settings/ConversionSettings.h"

namespace wavorax {
namespace {

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
                      LoadCase{"VerifyOutputs", 1, 1}, LoadCase{"VerifyOutputs", 2, 0},
                      LoadCase{"WAVSampleRate", 1, 44100}, LoadCase{"WAVSampleRate", 0, 0},
                      LoadCase{"MP3SampleRate", 96000, 44100}, LoadCase{"WAVBitsPerSample", 24, 24},
                      LoadCase{"WAVBitsPerSample", 12, 16}, LoadCase{"FLACCompression", 9, 5},
                      LoadCase{"FLACBitsPerSample", 24, 0}, LoadCase{"OpusBitRate", 1, 128},
                      LoadCase{"VorbisQuality", -2, 5}, LoadCase{"MP3VBRQuality", 9, 9},
                      LoadCase{"DestOutputFolderOpt", 599, 599},
                      LoadCase{"DestOutputFolderOpt", 400, 199}, LoadCase{"SyncOutputs", 2, 0},
                      LoadCase{"TrashSources", 1, 1}, LoadCase{"RemoveOrphans", -1, 0},
                      LoadCase{"ReplayGainMode", 2, 2}, LoadCase{"ReplayGainMode", 3, 0},
                      LoadCase{"NormaliseLoudness", 2, 0}, LoadCase{"NormaliseTarget", -31, -31},
                      LoadCase{"NormaliseTarget", -4, -18}, LoadCase{"UseDesktopLook", 2, 0}));

TEST(Settings, FieldTableCoversEveryPersistedFieldOnce) {
  const auto& fields = SettingFields();
  EXPECT_EQ(fields.size(), 111u);  // all 112 fields but LastOptionsPage
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

}  // namespace
}  // namespace wavorax
