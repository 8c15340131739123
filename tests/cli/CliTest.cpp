// End-to-end runs of the real wavorax-cli binary with an isolated settings file, checked by
// ffprobe, sox, faad and atomicparsley.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include "base/Paths.h"
#include "tests/support/SourceFixtures.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

using test::ReadFileBytes;

using test::ShellQuote;

const std::string kCli = std::string(WAVORAX_BINARY_DIR) + "/cli/wavorax-cli";

// Sources every test can use, made once.
class Corpus {
 public:
  Corpus() {
    const int r44 = 44100;
    auto stereo = [](const std::vector<std::int16_t>& l, const std::vector<std::int16_t>& r) {
      std::vector<std::int16_t> out;
      for (std::size_t i = 0; i < l.size(); ++i) out.push_back(l[i]), out.push_back(r[i]);
      return out;
    };
    const auto tone = test::Sine(440, r44, r44 * 3, 0.5);
    test::WriteWav16(dir / "tone.wav", stereo(tone, tone), 2, r44);
    // Left loud, right silent: tells which channel a mono output took.
    test::WriteWav16(
        dir / "lr.wav",
        stereo(test::Sine(1000, r44, r44 * 2, 0.5), std::vector<std::int16_t>(r44 * 2, 0)), 2, r44);
    test::WriteWav16(dir / "phone.wav", test::Sine(300, 8000, 8000 * 2, 0.5), 1, 8000);
    test::Run(
        "lame --quiet -b 160 --tt 'Mp3 Title' --ta 'Mp3 Artist' --tl 'Mp3 Album' --ty 2001 "
        "--tc 'Mp3 Comment' --tn 4 --tg Rock --add-id3v2 " +
        ShellQuote(dir / "tone.wav") + " " + ShellQuote(dir / "song.mp3"));
    test::Run(
        "flac --silent -f -T TITLE=FlacTitle -T ARTIST=FlacArtist -T ALBUM=FlacAlbum -T DATE=1999 "
        "-T GENRE=jazz -T COMMENT=FlacComment -T TRACKNUMBER=9 -o " +
        ShellQuote(dir / "song.flac") + " " + ShellQuote(dir / "tone.wav"));
  }
  test::TempDir dir;
};

Corpus& corpus() {
  static Corpus* c = new Corpus;
  return *c;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Nothing of the real user's is read or written: HOME and the settings file are ours.
    setenv("HOME", (dir / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "home/.config").c_str(), 1);
    CreateFolderPath(dir / "home/.config");
    std::ofstream(settingsFile()) << "[Options]\nBrowseOutputFolder=0\n";
  }
  std::string settingsFile() const { return dir / "settings.conf"; }
  // Copies a corpus file into this test's folder, so outputs land next to it.
  std::string Source(const std::string& name, const std::string& as = "") {
    const std::string to = dir / (as.empty() ? name : as);
    std::filesystem::copy_file(corpus().dir / name, to,
                               std::filesystem::copy_options::overwrite_existing);
    return to;
  }
  test::CommandResult Cli(const std::string& args) {
    return test::Run(ShellQuote(kCli) + " --settings " + ShellQuote(settingsFile()) + " " + args);
  }
  std::string Probe(const std::string& path, const std::string& field) {
    return test::FfprobeStream(path, field);
  }
  test::TempDir dir;
};

struct TargetCase {
  const char* format;
  const char* extension;
  const char* codec;
};
class Targets : public CliTest, public ::testing::WithParamInterface<TargetCase> {};

TEST_P(Targets, ConvertsWithAutomaticParameters) {
  const auto c = GetParam();
  const std::string src = Source("tone.wav");
  const auto r = Cli(std::string("-f ") + c.format + " " + ShellQuote(src));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::string out = dir / (std::string("tone") + c.extension);
  EXPECT_NE(r.output.find(src + ": tone" + c.extension), std::string::npos) << r.output;
  EXPECT_EQ(Probe(out, "codec_name"), c.codec);
  EXPECT_EQ(Probe(out, "sample_rate"), "44100");
  EXPECT_EQ(Probe(out, "channels"), "2");
  EXPECT_NEAR(std::atof(test::FfprobeFormat(out, "duration").c_str()), 3.0, 0.1);
  if (std::string(c.format) == "aac") {
    const auto faad = test::Run("faad -i " + ShellQuote(out));
    EXPECT_NE(faad.output.find("44100 Hz"), std::string::npos) << faad.output;
  }
  if (std::string(c.extension).rfind(".m4", 0) == 0 || std::string(c.format) == "mp4") {
    EXPECT_EQ(test::Run("AtomicParsley " + ShellQuote(out) + " -T").exitCode, 0);
  }
  EXPECT_EQ(ReadFileBytes(src), ReadFileBytes(corpus().dir / "tone.wav")) << "source untouched";
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Targets,
    ::testing::Values(TargetCase{"mp3", ".mp3", "mp3"}, TargetCase{"wav", "_1.wav", "pcm_s16le"},
                      TargetCase{"aac", ".aac", "aac"}, TargetCase{"m4a", ".m4a", "aac"},
                      TargetCase{"mp4", ".mp4", "aac"}, TargetCase{"m4b", ".m4b", "aac"}),
    [](const auto& info) { return std::string(info.param.format); });

TEST_F(CliTest, ExplicitWavParameters) {
  const std::string src = Source("tone.wav");
  ASSERT_EQ(Cli("-f wav -o " + ShellQuote(dir / "out") +
                " --set AutoDestWAVEncodingParam=0 --set WAVSampleRate=22050"
                " --set WAVChannelNum=1 --set WAVBitsPerSample=8 " +
                ShellQuote(src))
                .exitCode,
            0);
  const std::string out = dir / "out/tone.wav";
  EXPECT_EQ(Probe(out, "codec_name"), "pcm_u8");
  EXPECT_EQ(Probe(out, "sample_rate"), "22050");
  EXPECT_EQ(Probe(out, "channels"), "1");
  const auto sox = test::Run("sox --i -D " + ShellQuote(out));
  EXPECT_NEAR(std::atof(sox.output.c_str()), 3.0, 0.05);
}

struct PhoneCase {
  const char* args;
  const char* rate;
  const char* bitRate;
};
class PhoneToMp3 : public CliTest, public ::testing::WithParamInterface<PhoneCase> {};

TEST_P(PhoneToMp3, RateAndBitRate) {
  const std::string src = Source("phone.wav");
  ASSERT_EQ(Cli(std::string("-f mp3 ") + GetParam().args + " " + ShellQuote(src)).exitCode, 0);
  const std::string out = dir / "phone.mp3";
  EXPECT_EQ(Probe(out, "sample_rate"), GetParam().rate);
  EXPECT_EQ(Probe(out, "bit_rate"), GetParam().bitRate);
  EXPECT_EQ(Probe(out, "channels"), "1");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PhoneToMp3,
    ::testing::Values(
        PhoneCase{"", "11025", "24000"},
        PhoneCase{"--set AutoDestMP3EncodingParam=0 --set MP3BitRate=0 --set MP3SampleRate=0 "
                  "--set MP3ChannelMode=4",
                  "8000", "16000"}));

struct MonoCase {
  int monoType;
  bool loud;
};
class MonoChoice : public CliTest, public ::testing::WithParamInterface<MonoCase> {};

TEST_P(MonoChoice, TakesTheChosenChannel) {
  const std::string src = Source("lr.wav");
  const std::string mono = "--set MonoType=" + std::to_string(GetParam().monoType);
  ASSERT_EQ(
      Cli("-f wav -o " + ShellQuote(dir / "w") +
          " --set AutoDestWAVEncodingParam=0 --set WAVChannelNum=1 " + mono + " " + ShellQuote(src))
          .exitCode,
      0);
  ASSERT_EQ(Cli("-f mp3 -o " + ShellQuote(dir / "m") +
                " --set AutoDestMP3EncodingParam=0 --set MP3ChannelMode=3 " + mono + " " +
                ShellQuote(src))
                .exitCode,
            0);
  for (const std::string& out : {dir / "w/lr.wav", dir / "m/lr.mp3"}) {
    std::vector<std::int16_t> pcm;
    int channels = 0;
    ASSERT_TRUE(test::FfmpegDecodeS16(out, pcm, &channels)) << out;
    EXPECT_EQ(channels, 1);
    const double level = test::RmsDb(pcm);
    if (GetParam().loud)
      EXPECT_NEAR(level, -9.0, 1.0) << out;
    else
      EXPECT_LT(level, -60.0) << out;
  }
}

INSTANTIATE_TEST_SUITE_P(Channels, MonoChoice,
                         ::testing::Values(MonoCase{1, true}, MonoCase{2, false}),
                         [](const auto& info) {
                           return info.param.monoType == 1 ? "Left" : "Right";
                         });

TEST_F(CliTest, AmplificationClipsSymmetrically) {
  const std::string src = Source("tone.wav");
  ASSERT_EQ(Cli("-f wav -o " + ShellQuote(dir / "out") +
                " --set AmplifyWav=1 --set AmplifyWavCoeff=300 " + ShellQuote(src))
                .exitCode,
            0);
  std::vector<std::int16_t> pcm;
  ASSERT_TRUE(test::FfmpegDecodeS16(dir / "out/tone.wav", pcm));
  const auto [lo, hi] = std::minmax_element(pcm.begin(), pcm.end());
  EXPECT_EQ(*hi, 32767);
  EXPECT_EQ(*lo, -32767);
}

TEST_F(CliTest, Mp3TagsTransferByteForByte) {
  const std::string src = Source("song.mp3");
  ASSERT_EQ(Cli("-f mp3 -o " + ShellQuote(dir / "out") + " " + ShellQuote(src)).exitCode, 0);
  const auto in = ReadFileBytes(src), out = ReadFileBytes(dir / "out/song.mp3");
  ASSERT_GT(in.size(), 200u);
  ASSERT_EQ(std::string(in.begin(), in.begin() + 3), "ID3");
  const std::size_t v2 =
      10 + ((in[6] & 0x7F) << 21 | (in[7] & 0x7F) << 14 | (in[8] & 0x7F) << 7 | (in[9] & 0x7F));
  ASSERT_GT(out.size(), v2 + 128);
  EXPECT_TRUE(std::equal(in.begin(), in.begin() + v2, out.begin())) << "ID3v2 block";
  EXPECT_TRUE(std::equal(in.end() - 128, in.end(), out.end() - 128)) << "ID3v1 block";
  EXPECT_EQ(test::FfprobeTag(dir / "out/song.mp3", "title"), "Mp3 Title");
}

TEST_F(CliTest, FlacTagsBecomeId3v1AndMp4Items) {
  const std::string src = Source("song.flac");
  ASSERT_EQ(Cli("-f mp3 " + ShellQuote(src)).exitCode, 0);
  const auto mp3 = ReadFileBytes(dir / "song.mp3");
  ASSERT_GT(mp3.size(), 128u);
  const std::string v1(mp3.end() - 128, mp3.end());
  EXPECT_EQ(v1.substr(0, 3), "TAG");
  EXPECT_EQ(v1.substr(3, 9), "FlacTitle");
  EXPECT_EQ(v1.substr(33, 10), "FlacArtist");
  EXPECT_EQ(v1.substr(93, 4), "1999");
  EXPECT_EQ(static_cast<unsigned char>(v1[126]), 9);  // track
  EXPECT_EQ(static_cast<unsigned char>(v1[127]), 8);  // "jazz" is Jazz, 8

  ASSERT_EQ(Cli("-f m4a " + ShellQuote(src)).exitCode, 0);
  const std::string m4a = dir / "song.m4a";
  EXPECT_EQ(test::FfprobeTag(m4a, "title"), "FlacTitle");
  EXPECT_EQ(test::FfprobeTag(m4a, "album"), "FlacAlbum");
  EXPECT_EQ(test::FfprobeTag(m4a, "genre"), "jazz");
  const auto ap = test::Run("AtomicParsley " + ShellQuote(m4a) + " -t");
  EXPECT_NE(ap.output.find("FlacArtist"), std::string::npos) << ap.output;
  EXPECT_NE(ap.output.find("\"trkn\" contains: 9"), std::string::npos) << ap.output;
}

TEST_F(CliTest, UserTagNumbersFilesByBatchSequence) {
  std::string sources;
  for (const char* n : {"c.wav", "a.wav", "b.wav"})
    sources += " " + ShellQuote(Source("phone.wav", n));
  ASSERT_EQ(Cli("-f mp3 -j 2 --set MP3ID3TagType=0 --set MP3ID3Tag.trackMode=1"
                " --set MP3ID3Tag.artist=Me" +
                sources)
                .exitCode,
            0);
  int expected = 1;
  for (const char* n : {"c.mp3", "a.mp3", "b.mp3"}) {
    const auto bytes = ReadFileBytes(dir / n);
    ASSERT_GT(bytes.size(), 128u);
    const std::string v1(bytes.end() - 128, bytes.end());
    EXPECT_EQ(v1.substr(3, 1), std::string(1, n[0])) << "title from the file name";
    EXPECT_EQ(static_cast<unsigned char>(v1[126]), expected++) << n;
    EXPECT_EQ(static_cast<unsigned char>(v1[127]), 255) << "no genre";
  }
}

TEST_F(CliTest, TargetExistsPoliciesAndMirror) {
  const std::string src = Source("phone.wav");
  std::ofstream(dir / "phone.mp3") << "existing";
  auto r = Cli("-f mp3 --if-exists skip " + ShellQuote(src));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("Target exists and skipped"), std::string::npos);
  r = Cli("-f mp3 --if-exists rename " + ShellQuote(src));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(FileExists(dir / "phone_1.mp3"));
  r = Cli("-f mp3 --if-exists overwrite " + ShellQuote(src));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(Probe(dir / "phone.mp3", "codec_name"), "mp3");
  r = Cli("-f wav --if-exists overwrite " + ShellQuote(src));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("same as original file"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(src), ReadFileBytes(corpus().dir / "phone.wav"));

  r = Cli("-f aac --mirror -o " + ShellQuote(dir / "mirror") + " " + ShellQuote(src));
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(FileExists(dir / "mirror" + (dir / "phone.aac")));
}

TEST_F(CliTest, CtrlCCancelsTheRunningFileAndRemovesItsOutput) {
  // Ten minutes of stereo: long enough to be interrupted in the middle.
  const std::string src = dir / "long.wav";
  ASSERT_EQ(
      test::Run("sox -n -r 44100 -c 2 -b 16 " + ShellQuote(src) + " synth 600 sine 440").exitCode,
      0);
  const std::string second = Source("phone.wav");
  const std::string log = dir / "log.txt";
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 1);
    dup2(fd, 2);
    const std::string settings = settingsFile();
    execl(kCli.c_str(), kCli.c_str(), "--settings", settings.c_str(), "-j", "1", "-f", "mp3",
          "--json", src.c_str(), second.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Wait until the conversion has made progress, then interrupt it.
  bool started = false;
  for (int i = 0; i < 600 && !started; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(log);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    started = text.find("\"percent\":2") != std::string::npos;
  }
  ASSERT_TRUE(started);
  ::kill(pid, SIGINT);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  std::ifstream in(log);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("\"status\":\"Cancelled\""), std::string::npos) << text;
  EXPECT_FALSE(FileExists(dir / "long.mp3")) << "partial output removed";
  EXPECT_FALSE(FileExists(dir / "phone.mp3")) << "no further file starts";
  EXPECT_TRUE(FileExists(src));
}

TEST_F(CliTest, DamagedSourceFailsAndTheOthersConvert) {
  const std::string good1 = Source("phone.wav", "first.wav");
  const std::string good2 = Source("tone.wav", "third.wav");
  // An AU file whose header claims a sample rate that no audio has: it lists, but cannot
  // be converted.
  std::vector<std::uint8_t> au = {'.', 's', 'n', 'd', 0, 0,    0,    24,   0xFF, 0xFF, 0xFF, 0xFF,
                                  0,   0,   0,   3,   0, 0xFF, 0xFF, 0xFF, 0,    0,    0,    1};
  au.resize(20000);
  const std::string damaged = dir / "second.au";
  test::WriteFileBytes(damaged, au);
  std::ofstream(dir / "garbage.ogg") << std::string(3000, 'g');
  const auto r = Cli("-f mp3 " + ShellQuote(good1) + " " + ShellQuote(damaged) + " " +
                     ShellQuote(dir / "garbage.ogg") + " " + ShellQuote(good2));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("Failed to load the following files."), std::string::npos) << r.output;
  EXPECT_NE(r.output.find(damaged + ": Conversion Failure"), std::string::npos) << r.output;
  EXPECT_FALSE(FileExists(dir / "second.mp3")) << "no incomplete output left";
  EXPECT_TRUE(FileExists(dir / "first.mp3"));
  EXPECT_TRUE(FileExists(dir / "third.mp3"));
}

TEST_F(CliTest, TwoJobsGiveTheSameFilesAsOne) {
  std::map<std::string, std::vector<std::uint8_t>> results[2];
  for (int run = 0; run < 2; ++run) {
    const std::string folder = dir / ("run" + std::to_string(run));
    CreateFolderPath(folder);
    // Four sources that map onto two output names, so auto rename has to number them.
    std::string sources;
    for (const auto& [from, to] :
         std::vector<std::pair<std::string, std::string>>{{"tone.wav", "a.wav"},
                                                          {"song.flac", "a.flac"},
                                                          {"phone.wav", "b.wav"},
                                                          {"song.mp3", "b.mp3"}}) {
      std::filesystem::copy_file(corpus().dir / from, folder + "/" + to);
      sources += " " + ShellQuote(folder + "/" + to);
    }
    const auto r =
        Cli("-f mp3 -o " + ShellQuote(folder + "/out") + (run ? " -j 2" : " -j 1") + sources);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    for (const auto& e : std::filesystem::directory_iterator(folder + "/out"))
      results[run][e.path().filename().string()] = ReadFileBytes(e.path().string());
  }
  ASSERT_EQ(results[0].size(), 4u);
  EXPECT_TRUE(results[0].count("a_1.mp3") && results[0].count("b_1.mp3"));
  EXPECT_EQ(results[0], results[1]);
}

TEST_F(CliTest, ListAndJsonAndUsage) {
  const std::string src = Source("phone.wav");
  auto r = Cli("--list " + ShellQuote(src));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.output.find("File"), std::string::npos);
  const auto row = r.output.find("phone.wav ");
  ASSERT_NE(row, std::string::npos) << r.output;
  const std::string line = r.output.substr(row, r.output.find('\n', row) - row);
  for (const char* cell : {"00:02", "128 kbps", "8000 Hz", "Mono"})
    EXPECT_NE(line.find(cell), std::string::npos) << line;
  EXPECT_FALSE(FileExists(dir / "phone.mp3"));

  r = Cli("--json -f wav -o " + ShellQuote(dir / "j") + " " + ShellQuote(src));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.output.find("{\"event\":\"row\""), std::string::npos);
  EXPECT_NE(r.output.find("{\"event\":\"start\""), std::string::npos);
  EXPECT_NE(r.output.find("\"percent\":100"), std::string::npos);
  EXPECT_NE(r.output.find("\"status\":\"phone.wav\",\"converted\":true"), std::string::npos)
      << r.output;

  EXPECT_EQ(Cli("--bogus " + ShellQuote(src)).exitCode, 2);
  EXPECT_EQ(Cli("--set MP3BitRate=x " + ShellQuote(src)).exitCode, 2);
  r = test::Run(ShellQuote(kCli) + " --help");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.output.find("--if-exists"), std::string::npos);
  // The settings file was only read.
  std::ifstream in(settingsFile());
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}),
            "[Options]\nBrowseOutputFolder=0\n");
}

// One source of every decoder family goes through both an encoded and a PCM target.
TEST_F(CliTest, EveryFamilyConverts) {
  const std::string wav = Source("tone.wav");
  struct Made {
    std::string name;
    double seconds;
  };
  std::vector<Made> made = {{"tone.wav", 3.0}, {"song.mp3", 3.0}, {"song.flac", 3.0}};
  Source("song.mp3");
  Source("song.flac");
  auto encode = [&](const std::string& args, const std::string& name) {
    ASSERT_EQ(test::Run(args).exitCode, 0) << args;
    made.push_back({name, 3.0});
  };
  encode("oggenc -Q -o " + ShellQuote(dir / "v.ogg") + " " + ShellQuote(wav), "v.ogg");
  encode("ffmpeg -v error -y -i " + ShellQuote(wav) + " -c:a aac " + ShellQuote(dir / "a.m4a"),
         "a.m4a");
  encode("sox " + ShellQuote(wav) + " -e mu-law " + ShellQuote(dir / "u.au"), "u.au");
  test::WriteFileBytes(dir / "s.amr", test::EncodeAmr(test::Sine(300, 8000, 8000 * 2), {MR122}));
  made.push_back({"s.amr", 2.0});
  // Tracker music renders at 44100 Hz and ends at the song's length.
  test::WriteFileBytes(dir / "m.mod", test::MakeMod("tune"));
  made.push_back({"m.mod", 3.84});

  std::string sources;
  for (const auto& m : made) sources += " " + ShellQuote(dir / m.name);
  for (const char* format : {"mp3", "wav"}) {
    const std::string out = dir / (std::string("out-") + format);
    const auto r = Cli(std::string("-j 2 -f ") + format + " -o " + ShellQuote(out) + sources);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    for (const auto& m : made) {
      const std::string base = m.name.substr(0, m.name.rfind('.'));
      const std::string file = out + "/" + base + "." + format;
      // Sources that share a base name are numbered by auto rename.
      const std::string path = FileExists(file) ? file : out + "/" + base + "_1." + format;
      ASSERT_TRUE(FileExists(path)) << m.name << "\n" << r.output;
      EXPECT_NEAR(std::atof(test::FfprobeFormat(path, "duration").c_str()), m.seconds, 0.15)
          << m.name << " as " << format;
    }
  }
  const auto sox = test::Run("sox --i -r " + ShellQuote(dir / "out-wav/s.wav"));
  EXPECT_EQ(std::atoi(sox.output.c_str()), 8000);
}

TEST_F(CliTest, FoldersUseTheExtensionFilter) {
  CreateFolderPath(dir / "music/sub");
  std::filesystem::copy_file(corpus().dir / "phone.wav", dir / "music/a.wav");
  std::filesystem::copy_file(corpus().dir / "song.flac", dir / "music/sub/b.flac");
  std::ofstream(dir / "music/readme.txt") << "x";
  auto r = Cli("--list --set BatchAddFLAC=0 " + ShellQuote(dir / "music"));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.output.find("a.wav"), std::string::npos);
  EXPECT_EQ(r.output.find("b.flac"), std::string::npos);
  EXPECT_EQ(r.output.find("readme"), std::string::npos);
}

// What the front end says about what it found: nothing, unreadable folders, and names that
// are not plain ASCII text. `setUp` runs in the test's folder ({c} is the corpus folder);
// `expected` must appear in the output in this order.
struct ReportCase {
  const char* name;
  const char* setUp;
  const char* args;
  int exitCode;
  std::vector<std::string> expected;
  bool asNobody = false;  // tests run as root, who reads every folder
};
class Reports : public CliTest, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(Reports, SayWhatHappened) {
  const ReportCase& c = GetParam();
  auto expand = [&](std::string text) {
    for (auto at = text.find("{c}"); at != std::string::npos; at = text.find("{c}"))
      text.replace(at, 3, ShellQuote(corpus().dir.path()));
    return "cd " + ShellQuote(dir.path()) + " && " + text;
  };
  ASSERT_EQ(test::Run(expand(c.setUp)).exitCode, 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const std::string cli = ShellQuote(kCli) + " --settings " + ShellQuote(settingsFile()) + " ";
  const auto r = test::Run(expand(
      (c.asNobody ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "") + cli + c.args));
  EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
  std::size_t at = 0;
  for (const std::string& text : c.expected) {
    at = r.output.find(text, at);
    ASSERT_NE(at, std::string::npos) << "'" << text << "' missing or out of order in\n" << r.output;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Reports,
    ::testing::Values(ReportCase{"emptyFolder", "mkdir e", "--list e", 1, {"No files found."}},
                      ReportCase{"unreadableFolder",
                                 "mkdir -m 700 locked",
                                 "--list locked",
                                 1,
                                 {"cannot read the folder locked"},
                                 true},
                      // iconv fails on bytes that are not UTF-8, jq on a line that is not JSON.
                      ReportCase{
                          "jsonBytesNotUtf8",
                          "cp {c}/phone.wav \"$(printf 'b\\377\\303.wav')\"",
                          "--json --list b*.wav >j && iconv -f UTF-8 -t UTF-8 j && jq .path j",
                          0,
                          {"\"path\":\"b\\udcff\\udcc3.wav\"", "\"b\ufffd\ufffd.wav\""}},
                      // Two names of six characters, one of them eight bytes long, pad alike.
                      ReportCase{"widthsInCharacters",
                                 "cp {c}/phone.wav \xc3\xa4\xc3\xb6.wav && cp {c}/phone.wav xy.wav",
                                 "--list \xc3\xa4\xc3\xb6.wav xy.wav",
                                 0,
                                 {"\xc3\xa4\xc3\xb6.wav   00:02", "xy.wav   00:02"}},
                      ReportCase{"lineFeedInName",
                                 "cp {c}/phone.wav \"$(printf 'a\\nb.wav')\"",
                                 "--list a*b.wav",
                                 0,
                                 {"a?b.wav   00:02"}},
                      ReportCase{"loadFailuresLast",
                                 "echo x > bad.ogg && cp {c}/phone.wav .",
                                 "-f wav -o out bad.ogg phone.wav",
                                 1,
                                 {"phone.wav: phone.wav", "Failed to load", "bad.ogg"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wavorax
