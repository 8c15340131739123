// wavorax-cli's --verify, --dry-run and --files-from, run end to end on the real binary.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "base/Paths.h"
#include "decoders/SourceType.h"
#include "decoders/choice/DecoderChoice.h"
#include "engine/Verify.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

using test::ShellQuote;
namespace fs = std::filesystem;

const std::string kCli = std::string(WAVORAX_BINARY_DIR) + "/cli/wavorax-cli";

class CliBatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HOME", (dir / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "home/.config").c_str(), 1);
    std::ofstream(dir / "settings.conf") << "[Options]\nBrowseOutputFolder=0\n";
  }
  std::string Wav(const std::string& name, int rate, int channels, double seconds) {
    const std::string path = dir / name;
    std::vector<std::int16_t> samples;
    for (auto s : test::Sine(440, rate, static_cast<std::size_t>(rate * seconds)))
      samples.insert(samples.end(), channels, s);
    test::WriteWav16(path, samples, channels, rate);
    return path;
  }
  test::CommandResult Cli(const std::string& args) {
    return test::Run(ShellQuote(kCli) + " --settings " + ShellQuote(dir / "settings.conf") + " " +
                     args);
  }
  // Every file and folder below the test's folder.
  std::set<std::string> Tree() {
    std::set<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir.path())) out.insert(e.path());
    return out;
  }
  std::map<std::string, std::vector<std::uint8_t>> Outputs(const std::string& folder) {
    std::map<std::string, std::vector<std::uint8_t>> out;
    for (const auto& e : fs::directory_iterator(folder))
      out[e.path().filename()] = test::ReadFileBytes(e.path());
    return out;
  }
  test::TempDir dir;
};

// Verified outputs of every target, from sources that need resampling and from ones that do
// not, keep their names and their length as ffmpeg decodes it.
class VerifiedTargets : public CliBatchTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(VerifiedTargets, PassAndKeepTheirLength) {
  const std::string format = GetParam();
  const std::string sources = ShellQuote(Wav("cd.wav", 44100, 2, 2.3)) + " " +
                              ShellQuote(Wav("phone.wav", 8000, 1, 1.7)) + " " +
                              ShellQuote(Wav("dat.wav", 48000, 2, 1.1));
  const auto r = Cli("--verify -f " + format + " -o " + ShellQuote(dir / "out") + " " + sources);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output.find("Verification Failure"), std::string::npos) << r.output;
  const std::string ext = "." + format;
  for (const auto& [name, seconds] :
       std::vector<std::pair<std::string, double>>{{"cd", 2.3}, {"phone", 1.7}, {"dat", 1.1}}) {
    const std::string out = dir / ("out/" + name + ext);
    ASSERT_TRUE(FileExists(out)) << out;
    // ffmpeg's own count, which may hold the priming and padding of up to two codec frames.
    std::vector<std::int16_t> pcm;
    int channels = 0, rate = 0;
    ASSERT_TRUE(test::FfmpegDecodeS16(out, pcm, &channels, &rate)) << out;
    const double frames = static_cast<double>(pcm.size()) / channels;
    EXPECT_NEAR(frames, seconds * rate, 3 * 1152) << out;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, VerifiedTargets, ::testing::Values("mp3", "wav", "aac", "m4a"));

// A resampled WAV holds the whole of its source: the source's length at the new rate to the
// sample, with the tone running into its last 100 ms, and --verify keeps it.
struct ResampleCase {
  int from, to, channels, bits;
};
void PrintTo(const ResampleCase& c, std::ostream* os) {
  *os << c.from << "->" << c.to << " " << c.channels << "ch " << c.bits << "bit";
}
class ResampledWav : public CliBatchTest, public ::testing::WithParamInterface<ResampleCase> {};

TEST_P(ResampledWav, KeepsItsWholeLength) {
  const ResampleCase& c = GetParam();
  constexpr double kSeconds = 1.37;
  const std::string source = Wav("tone.wav", c.from, c.channels, kSeconds);
  const auto r =
      Cli("--verify -f wav -o " + ShellQuote(dir / "out") +
          " --set AutoDestWAVEncodingParam=0 --set WAVSampleRate=" + std::to_string(c.to) +
          " --set WAVChannelNum=" + std::to_string(c.channels) +
          " --set WAVBitsPerSample=" + std::to_string(c.bits) + " " + ShellQuote(source));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::vector<std::uint8_t> wav = test::ReadFileBytes(dir / "out/tone.wav");
  ASSERT_GT(wav.size(), 44u);
  const std::int64_t sourceFrames = static_cast<std::int64_t>(c.from * kSeconds);
  const std::int64_t expected = (sourceFrames * c.to + c.from / 2) / c.from;
  const std::int64_t frames =
      static_cast<std::int64_t>(wav.size() - 44) / (c.channels * c.bits / 8);
  EXPECT_NEAR(frames, expected, 1);
  std::vector<std::int16_t> pcm;
  int channels = 0, rate = 0;
  ASSERT_TRUE(test::FfmpegDecodeS16(dir / "out/tone.wav", pcm, &channels, &rate));
  const std::size_t tail = static_cast<std::size_t>(rate / 10) * channels;
  ASSERT_GT(pcm.size(), tail);
  EXPECT_GT(test::RmsDb(std::vector<std::int16_t>(pcm.end() - tail, pcm.end())), -20.0);
}

INSTANTIATE_TEST_SUITE_P(Rates, ResampledWav, ::testing::ValuesIn([] {
                           std::vector<ResampleCase> cases;
                           for (int from : {44100, 48000})
                             for (int to : {8000, 11025, 22050, 32000, 48000, 96000})
                               for (int channels : {1, 2})
                                 for (int bits : {8, 16})
                                   if (from != to) cases.push_back({from, to, channels, bits});
                           return cases;
                         }()));

// An album folder is converted in the order the file manager shows it, whatever order its files
// were made in: a tag numbered by sequence gives each file its own track number.
TEST_F(CliBatchTest, FolderConvertsInNaturalOrder) {
  fs::create_directories(dir / "album");
  for (int i : {7, 12, 1, 10, 3, 5, 2, 9, 11, 4, 8, 6})
    Wav("album/" + std::to_string(i) + " - Track.wav", 8000, 1, 0.2);
  const auto r =
      Cli("-j 2 -f mp3 -o " + ShellQuote(dir / "out") +
          " --set MP3ID3TagType=0 --set MP3ID3Tag.trackMode=1 " + ShellQuote(dir / "album"));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  std::size_t at = 0;
  for (int track = 1; track <= 12; ++track) {
    const std::string name = std::to_string(track) + " - Track";
    const auto bytes = test::ReadFileBytes(dir / ("out/" + name + ".mp3"));
    ASSERT_GT(bytes.size(), 128u) << name;
    EXPECT_EQ(bytes[bytes.size() - 2], track) << name;  // ID3v1.1's track byte
    const std::size_t line = r.output.find(name + ".wav: ", at);
    EXPECT_NE(line, std::string::npos) << "status lines out of order at " << name;
    at = line == std::string::npos ? at : line;
  }
}

// A real output cut short after it was written fails the check and is removed; the whole
// output passes, so the check is not one that always fails.
class TruncatedOutputs : public CliBatchTest, public ::testing::WithParamInterface<int> {};

TEST_P(TruncatedOutputs, FailAndAreRemoved) {
  const int format = GetParam();
  const std::string source = Wav("song.wav", 44100, 2, 3.0);
  const std::string name = ExtensionOfTarget(format);
  const auto r =
      Cli("-f " + name.substr(1) + " -o " + ShellQuote(dir / "out") + " " + ShellQuote(source));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  ConversionSettings settings;
  settings.OutputFormat = format;
  SourceEntry entry;
  entry.path = source;
  entry.sourceType = SourceTypeOf(source);
  entry.outputPath = dir / ("out/song" + name);
  ASSERT_EQ(VerifyConvertedOutput(settings, entry, OpenDecoderFor), VerifyOutcome::Matches);
  EXPECT_EQ(entry.outputPath, dir / ("out/song" + name));

  // Two thirds of the file stay: the decoders end early, as after a full disk.
  std::uint64_t size = 0;
  ASSERT_TRUE(QueryFileSize(entry.outputPath, size));
  ASSERT_EQ(::truncate(entry.outputPath.c_str(), static_cast<off_t>(size * 2 / 3)), 0);
  const std::string output = entry.outputPath;
  EXPECT_EQ(VerifyConvertedOutput(settings, entry, OpenDecoderFor), VerifyOutcome::Mismatch);
  EXPECT_TRUE(entry.outputPath.empty());
  EXPECT_FALSE(FileExists(output));
  EXPECT_TRUE(FileExists(source));
}

INSTANTIATE_TEST_SUITE_P(Formats, TruncatedOutputs,
                         ::testing::Values(kTargetMp3, kTargetWav, kTargetAac, kTargetM4a));

struct DryRunCase {
  const char* options;
  const char* existing;  // a file made before the run, or ""
  const char* line;      // the expected line after "SOURCE: "
  int exitCode;
};
class DryRuns : public CliBatchTest, public ::testing::WithParamInterface<DryRunCase> {};

// Each policy outcome is printed, and nothing is created: no output folder, no mirrored
// folder, no output and no probe file.
TEST_P(DryRuns, TellTheOutcomeAndCreateNothing) {
  const auto c = GetParam();
  const std::string source = Wav("a.wav", 8000, 1, 0.2);
  if (*c.existing) std::ofstream(dir / c.existing) << "x";
  std::string options = c.options;
  for (std::size_t at; (at = options.find("DIR")) != std::string::npos;)
    options.replace(at, 3, dir.path());
  const auto before = Tree();
  const auto r = Cli("--dry-run " + options + " " + ShellQuote(source));
  EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
  std::string expected = c.line;
  if (const auto at = expected.find("REL"); at != std::string::npos)
    expected.replace(at, 3, dir.path().substr(1));
  for (std::size_t at; (at = expected.find("DIR")) != std::string::npos;)
    expected.replace(at, 3, dir.path());
  EXPECT_NE(r.output.find(source + ": " + expected + "\n"), std::string::npos) << r.output;
  EXPECT_EQ(Tree(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Policies, DryRuns,
    ::testing::Values(
        DryRunCase{"-f mp3", "", "new DIR/a.mp3", 0},
        DryRunCase{"-f mp3 -o DIR/new/deeper --mirror", "", "new DIR/new/deeper/REL/a.mp3", 0},
        DryRunCase{"-f mp3 --if-exists rename", "a.mp3", "renamed to DIR/a_1.mp3", 0},
        DryRunCase{"-f mp3 --if-exists overwrite", "a.mp3", "overwrite DIR/a.mp3", 0},
        DryRunCase{"-f mp3 --if-exists skip", "a.mp3", "skipped", 1},
        DryRunCase{"-f wav --if-exists overwrite", "", "refused as the source itself", 1},
        DryRunCase{"-f mp3 -o DIR/a.wav/sub --set OutputFiles2MyDocuments=1", "",
                   "new DIR/home/Documents/a.mp3", 0}));

// Later files of a dry run see the outputs of earlier ones, as the real run would; with
// --json each source gets one object.
TEST_F(CliBatchTest, DryRunPlansTheBatchInOrder) {
  const std::string a = Wav("x.wav", 8000, 1, 0.2);
  fs::create_directory(dir / "sub");
  const std::string b = dir / "sub/x.wav";
  fs::copy_file(a, b);
  const auto r = Cli("--dry-run --json -f mp3 -o " + ShellQuote(dir / "out") + " " + ShellQuote(a) +
                     " " + ShellQuote(b));
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("{\"event\":\"plan\",\"index\":0,\"path\":\"" + a +
                          "\",\"action\":\"new\",\"output\":\"" + dir / "out/x.mp3" +
                          "\",\"status\":\"x.mp3\"}\n"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("\"index\":1,\"path\":\"" + b +
                          "\",\"action\":\"renamed\",\"output\":\"" + dir / "out/x_1.mp3" + "\""),
            std::string::npos)
      << r.output;
  EXPECT_FALSE(FileExists(dir / "out"));
}

// Two GNU parallel workers, each fed its share of the list on standard input, produce the
// same files as one run of one job over a NUL-separated list.
TEST_F(CliBatchTest, ParallelWorkersMatchOneRun) {
  ASSERT_TRUE(test::HaveTool("parallel"));
  fs::create_directory(dir / "lib");
  std::string list, nulList;
  for (int i = 0; i < 20; ++i) {
    const std::string src =
        Wav("lib/track " + std::to_string(i) + ".wav", 22050, 1 + i % 2, 0.3 + 0.05 * i);
    list += src + "\n";
    nulList += src + '\0';
  }
  std::ofstream(dir / "list.txt") << list;
  std::ofstream(dir / "list0", std::ios::binary) << nulList;
  const auto one = Cli("-j 1 -f mp3 -o " + ShellQuote(dir / "one") + " --files-from " +
                       ShellQuote(dir / "list0"));
  ASSERT_EQ(one.exitCode, 0) << one.output;

  const std::string worker = ShellQuote(kCli) + " --settings " + ShellQuote(dir / "settings.conf") +
                             " --json -j 1 -f mp3 -o " + ShellQuote(dir / "two") +
                             " --files-from -";
  const auto two = test::Run("parallel --will-cite --pipe -N 10 -j 2 " + ShellQuote(worker) +
                             " < " + ShellQuote(dir / "list.txt"));
  ASSERT_EQ(two.exitCode, 0) << two.output;
  int converted = 0;
  for (std::size_t at = 0; (at = two.output.find("\"converted\":true", at)) != std::string::npos;
       ++at)
    ++converted;
  EXPECT_EQ(converted, 20);
  const auto reference = Outputs(dir / "one");
  EXPECT_EQ(reference.size(), 20u);
  EXPECT_EQ(Outputs(dir / "two"), reference);
}

}  // namespace
}  // namespace wavorax
