#include <gtest/gtest.h>

#include "cli/CliOptions.h"

namespace wavorax::cli {
namespace {

bool Parse(std::vector<const char*> args, Options& o, std::string& error) {
  args.insert(args.begin(), "wavorax-cli");
  return ParseOptions(static_cast<int>(args.size()), args.data(), o, error);
}

TEST(CliOptions, OptionsBecomeSettingsInOrder) {
  Options o;
  std::string error;
  ASSERT_TRUE(Parse({"-f", "m4b", "--output-dir=/out", "--mirror", "--if-exists", "skip", "-j2",
                     "--set", "MP3BitRate=192", "a.wav", "--", "-b.wav"},
                    o, error))
      << error;
  EXPECT_EQ(o.jobs, 2);
  EXPECT_EQ(o.sources, (std::vector<std::string>{"a.wav", "-b.wav"}));
  ConversionSettings s;
  for (const auto& a : o.assignments) ASSERT_TRUE(ApplyAssignment(s, a, error)) << error;
  EXPECT_EQ(s.OutputFormat, kTargetM4b);
  EXPECT_EQ(s.DestOutputFolderOpt, kFolderCustom);
  EXPECT_EQ(s.DestSpecifiedFolder, "/out");
  EXPECT_EQ(s.CreateDirs, 1);
  EXPECT_EQ(s.TargetExistsOpt, kExistsSkip);
  EXPECT_EQ(s.MP3BitRate, 192);
}

TEST(CliOptions, LoudnessOptionsBecomeTheirSettings) {
  Options o;
  std::string error;
  ASSERT_TRUE(Parse({"--replaygain", "album", "--normalise", "20", "a.wav"}, o, error)) << error;
  ConversionSettings s;
  for (const auto& a : o.assignments) ASSERT_TRUE(ApplyAssignment(s, a, error)) << error;
  EXPECT_EQ(s.ReplayGainMode, 2);
  EXPECT_EQ(s.NormaliseLoudness, 1);
  EXPECT_EQ(s.NormaliseTarget, -20);
}

struct BadCase {
  std::vector<const char*> args;
  const char* fragment;
};
class UsageErrors : public ::testing::TestWithParam<BadCase> {};

TEST_P(UsageErrors, AreRefused) {
  Options o;
  std::string error;
  EXPECT_FALSE(Parse(GetParam().args, o, error));
  EXPECT_NE(error.find(GetParam().fragment), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsageErrors,
    ::testing::Values(BadCase{{"--bogus", "a.wav"}, "unknown option"},
                      BadCase{{"-f", "wma", "a.wav"}, "unknown format"},
                      BadCase{{"--set", "NoSuchThing=1", "a.wav"}, "unknown setting"},
                      BadCase{{"--set", "MP3BitRate=fast", "a.wav"}, "whole number"},
                      BadCase{{"--set", "MP3BitRate", "a.wav"}, "NAME=VALUE"},
                      BadCase{{"--set", "LastOptionsPage=1", "a.wav"}, "unknown setting"},
                      BadCase{{"--set", "MP3ID3Tag.colour=red", "a.wav"}, "unknown tag field"},
                      BadCase{{"--set", "MP3ID3Tag.genre=Polka Dots", "a.wav"}, "unknown genre"},
                      BadCase{{"--set", "MP3ID3Tag.year=19999", "a.wav"}, "at most 4"},
                      BadCase{{"-j", "0", "a.wav"}, "--jobs"},
                      BadCase{{"--if-exists", "replace", "a.wav"}, "rename, overwrite or skip"},
                      BadCase{{"-f"}, "needs a value"}, BadCase{{"-f", "mp3"}, "no source"},
                      BadCase{{"--replaygain", "loud", "a.wav"}, "track, album or off"},
                      BadCase{{"--normalise", "-40", "a.wav"}, "-31 to -5"}));

TEST(CliOptions, TagFieldsByName) {
  ConversionSettings s;
  std::string error;
  ASSERT_TRUE(ApplyAssignment(s, "M4AID3Tag.genre=synthpop", error)) << error;
  EXPECT_EQ(s.M4AID3Tag.genre, 147);
  ASSERT_TRUE(ApplyAssignment(s, "MP3ID3Tag.title=Ärger über alles", error));
  EXPECT_EQ(s.MP3ID3Tag.title, "Ärger über alles");
  ASSERT_TRUE(ApplyAssignment(s, "MP3ID3Tag.genre=none", error));
  EXPECT_EQ(s.MP3ID3Tag.genre, 255);
  ASSERT_TRUE(ApplyAssignment(s, "DestSpecifiedFolder=/a=b", error));
  EXPECT_EQ(s.DestSpecifiedFolder, "/a=b");
}

}  // namespace
}  // namespace wavorax::cli
