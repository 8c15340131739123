// ReplayGain tags and normalisation, end to end through wavorax-cli into every target that
// takes tags, judged by tools of their own: loudgain for the track and album gains of the
// sources (the samples reach the encoders unchanged), the format's tag reader for what was
// written (ffprobe, metaflac, vorbiscomment, opusinfo), and ffmpeg's ebur128 filter for the
// level and true peak of normalised outputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

using test::ShellQuote;

const std::string kCli = std::string(WAVORAX_BINARY_DIR) + "/cli/wavorax-cli";

struct Target {
  const char* format;     // -f
  const char* extension;  // of the output
  const char* tagReader;  // prints the output's tags as NAME=value, one a line
  double levelTolerance;  // LU around the normalisation target, as decoded by ffmpeg
  double peakCeiling;     // dBTP that a normalised output's decoded true peak stays under
};

std::ostream& operator<<(std::ostream& os, const Target& t) { return os << t.format; }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The number after "NAME=" in a tool's listing (any case), or NaN.
double Field(const std::string& listing, const std::string& name) {
  const std::string text = Lower(listing);
  const auto at = text.find(Lower(name) + "=");
  if (at == std::string::npos) return std::nan("");
  return std::atof(text.c_str() + at + name.size() + 1);
}

class Loudness : public ::testing::TestWithParam<Target> {
 protected:
  void SetUp() override {
    for (const char* tool :
         {"ffmpeg", "ffprobe", "loudgain", "metaflac", "vorbiscomment", "opusinfo"})
      if (!test::HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    std::ofstream(dir / "settings.conf") << "[Options]\nBrowseOutputFolder=0\n";
    std::filesystem::create_directories(dir / "src");
  }

  // A WAV of 3 s made by an ffmpeg source filter, tagged with the album.
  std::string Make(const std::string& name, const std::string& filter, int channels) {
    const std::string path = dir / ("src/" + name + ".wav");
    const test::CommandResult r =
        test::Run("ffmpeg -v error -y -f lavfi -i " + ShellQuote(filter) + " -t 3 -ac " +
                  std::to_string(channels) + " -ar 44100 -metadata album=Alb " + ShellQuote(path));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return path;
  }

  test::CommandResult Convert(const std::string& options, const std::vector<std::string>& files) {
    std::string line = ShellQuote(kCli) + " --settings " + ShellQuote(dir / "settings.conf") +
                       " -f " + GetParam().format + " -j 2 -o " + ShellQuote(dir / "out") + " " +
                       options;
    for (const auto& f : files) line += " " + ShellQuote(f);
    return test::Run(line);
  }

  std::string Output(const std::string& name) {
    return dir / ("out/" + name + GetParam().extension);
  }
  std::string Tags(const std::string& path) {
    return test::Run(GetParam().tagReader + std::string(" ") + ShellQuote(path)).output;
  }

  test::TempDir dir;
};

// loudgain's gains of the sources, by file name, and of the album as "Album".
std::map<std::string, double> LoudgainGains(const std::vector<std::string>& files) {
  std::string line = "loudgain -a -O -q -s s";
  for (const auto& f : files) line += " " + ShellQuote(f);
  std::map<std::string, double> gains;
  std::istringstream rows(test::Run(line).output);
  for (std::string row; std::getline(rows, row);) {
    std::vector<std::string> cells;
    std::istringstream split(row);
    for (std::string cell; std::getline(split, cell, '\t');) cells.push_back(cell);
    if (cells.size() > 8 && cells[0] != "File")
      gains[std::filesystem::path(cells[0]).stem().string()] = std::atof(cells[8].c_str());
  }
  return gains;
}

TEST_P(Loudness, TrackAndAlbumGainsAsLoudgainMeasuresThem) {
  const std::vector<std::string> audible = {
      Make("tone", "sine=frequency=440,volume=0.5", 2),
      Make("noise", "anoisesrc=color=pink:amplitude=0.05:seed=7", 2),
      Make("mono", "sine=frequency=1000", 1)};
  // Silence has no gain; its track still converts, and leaves the album's figure alone.
  std::vector<std::string> all = audible;
  all.push_back(Make("silence", "anullsrc=r=44100", 2));
  const test::CommandResult r = Convert("--replaygain album", all);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const auto expected = LoudgainGains(audible);
  ASSERT_EQ(expected.size(), 4u) << "loudgain gave no table";
  const bool opus = std::string(GetParam().format) == "opus";
  for (const auto& source : audible) {
    const std::string name = std::filesystem::path(source).stem();
    const std::string tags = Tags(Output(name));
    // Opus carries Q7.8 gains to -23 LUFS instead, 5 dB below ReplayGain's.
    const double track =
        opus ? Field(tags, "R128_TRACK_GAIN") / 256.0 + 5.0 : Field(tags, "REPLAYGAIN_TRACK_GAIN");
    const double album =
        opus ? Field(tags, "R128_ALBUM_GAIN") / 256.0 + 5.0 : Field(tags, "REPLAYGAIN_ALBUM_GAIN");
    EXPECT_NEAR(track, expected.at(name), 0.1) << name << "\n" << tags;
    EXPECT_NEAR(album, expected.at("Album"), 0.1) << name << "\n" << tags;
    if (!opus) {
      EXPECT_GT(Field(tags, "REPLAYGAIN_TRACK_PEAK"), 0.0) << tags;
    }
    // The row's Status carries the track gain after the output's name.
    const std::string status = name + GetParam().extension + " (";
    const auto at = r.output.find(status);
    ASSERT_NE(at, std::string::npos) << r.output;
    EXPECT_NEAR(std::atof(r.output.c_str() + at + status.size()), expected.at(name), 0.06)
        << r.output;
  }
  const std::string silence = Lower(Tags(Output("silence")));
  EXPECT_EQ(silence.find("replaygain_"), std::string::npos) << silence;
  EXPECT_EQ(silence.find("r128_"), std::string::npos) << silence;
}

TEST_P(Loudness, NormalisesToTheTargetUnderTheCeiling) {
  // Quiet noise is raised to -16 LUFS; at -6 LUFS its peaks would pass -1 dBTP, so the gain
  // stops short of the target there.
  const std::string noise = Make("noise", "anoisesrc=color=pink:amplitude=0.05:seed=7", 2);
  for (const int target : {-16, -6}) {
    const test::CommandResult r =
        Convert("--if-exists overwrite --normalise " + std::to_string(target), {noise});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string report =
        test::Run("ffmpeg -hide_banner -nostats -i " + ShellQuote(Output("noise")) +
                  " -af ebur128=peak=true -f null - 2>&1 | tail -12")
            .output;
    const double level = std::atof(report.c_str() + report.rfind("I:") + 2);
    const double peak = std::atof(report.c_str() + report.rfind("Peak:") + 5);
    if (target == -16)
      EXPECT_NEAR(level, target, GetParam().levelTolerance) << report;
    else
      EXPECT_LT(level, target - 1.0) << report;
    EXPECT_LE(peak, GetParam().peakCeiling) << report;
  }
}

const char kProbeTags[] = "ffprobe -v error -show_entries format_tags -of default=nw=1";

INSTANTIATE_TEST_SUITE_P(Targets, Loudness,
                         ::testing::Values(Target{"mp3", ".mp3", kProbeTags, 0.8, -0.5},
                                           Target{"flac", ".flac", "metaflac --export-tags-to=-",
                                                  0.2, -0.95},
                                           Target{"ogg", ".ogg", "vorbiscomment -l", 0.3, -0.5},
                                           Target{"opus", ".opus", "opusinfo", 0.3, -0.5},
                                           Target{"m4a", ".m4a", kProbeTags, 0.8, -0.5},
                                           Target{"alac", ".m4a", kProbeTags, 0.2, -0.95}),
                         [](const auto& info) { return std::string(info.param.format); });

}  // namespace
}  // namespace wavorax
