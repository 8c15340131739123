// The bytes of every output stay what they were: a fixed set of sources of every kind that the
// tests make is converted by wavorax-cli with the settings of each batch below, with one job
// and with two, and a digest of each output is compared with the one recorded in
// tests/cli/outputs/<batch>.txt. A change of the program's outputs shows here first; where it
// is meant, run the test with WAVORAX_RECORD_OUTPUTS=1 to record the new digests, and say in
// the commit why they changed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/decoders/audiolib/Fixtures.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

const std::string kCli = std::string(WAVORAX_BINARY_DIR) + "/cli/wavorax-cli";
const std::string kRecorded = std::string(WAVORAX_SOURCE_DIR) + "/tests/cli/outputs/";

struct Batch {
  const char* name;
  const char* format;
  std::string options;    // further wavorax-cli options
  bool asFolder = false;  // the sources' folder is given instead of the files
};

std::ostream& operator<<(std::ostream& os, const Batch& b) { return os << b.name; }

// 64-bit FNV-1a: enough to tell two outputs apart, and needs no library.
std::string Digest(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (std::uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ULL;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

// Sources of every kind: the audio-library fixtures (each tool's own format, tagged where the
// tool can) and the program's own decoders' formats, under names that tell them apart.
class SameOutputs : public ::testing::TestWithParam<Batch> {
 protected:
  void SetUp() override {
    setenv("HOME", (dir / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "home/.config").c_str(), 1);
    std::ofstream(dir / "settings.conf") << "[Options]\nBrowseOutputFolder=0\n";
    fs::create_directories(dir / "src");
    for (const test::FormatCase& c : test::FormatCases()) {
      const std::string path = test::FixturePath(c);
      ASSERT_FALSE(path.empty()) << c.file;
      Take(path, c.file);
    }
    const std::string wav = test::FixturePath(test::FormatCases()[3]);  // tone.wav
    ASSERT_EQ(fs::path(wav).filename(), "tone.wav");
    auto make = [&](const std::string& name, const std::string& command) {
      const std::string out = dir / ("src/" + name);
      std::string line = command;
      line.replace(line.find("{in}"), 4, ShellQuote(wav));
      line.replace(line.find("{out}"), 5, ShellQuote(out));
      const test::CommandResult r = test::Run(line);
      ASSERT_EQ(r.exitCode, 0) << line << "\n" << r.output;
      sources.push_back(out);
    };
    make("linear.au", "sox -R -D {in} -e signed -b 16 {out}");
    make("ulaw.wav", "sox -R -D {in} -e u-law {out}");
    make("alaw.au", "sox -R -D {in} -e a-law {out}");
    make("ima.wav", "ffmpeg -v error -y -i {in} -c:a adpcm_ima_wav {out}");
    make("msadpcm.wav", "ffmpeg -v error -y -i {in} -c:a adpcm_ms {out}");
    make("gsm.wav", "sox -R -D {in} -r 8000 -c 1 -e gsm-full-rate {out}");
    make("mono48k.wav", "sox -R -D {in} -r 48000 -c 1 {out}");
    const auto speech = test::Sine(300, 8000, 8000 * 2);
    const std::string amr = dir / "src/speech.amr";
    test::WriteFileBytes(amr, test::EncodeAmr(speech, {MR122, MR475, MR795}));
    sources.push_back(amr);
  }

  void Take(const std::string& fixture, const std::string& name) {
    const std::string path = dir / ("src/" + name);
    fs::copy_file(fixture, path, fs::copy_options::overwrite_existing);
    sources.push_back(path);
  }

  // Converts every source into `folder` and returns each output's digest by file name.
  std::map<std::string, std::string> Convert(const Batch& b, int jobs, const std::string& folder) {
    std::string args = ShellQuote(kCli) + " --settings " + ShellQuote(dir / "settings.conf") +
                       " -f " + b.format + " -o " + ShellQuote(folder) + " -j " +
                       std::to_string(jobs) + " " + b.options;
    if (b.asFolder) {
      args += " " + ShellQuote(dir / "src");
    } else {
      for (const std::string& s : sources) args += " " + ShellQuote(s);
    }
    const test::CommandResult r = test::Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::map<std::string, std::string> digests;
    for (const auto& e : fs::directory_iterator(folder))
      digests[e.path().filename()] = Digest(test::ReadFileBytes(e.path()));
    return digests;
  }

  test::TempDir dir;
  std::vector<std::string> sources;
};

TEST_P(SameOutputs, EveryOutputKeepsItsBytes) {
  const Batch& b = GetParam();
  const auto one = Convert(b, 1, dir / "one");
  const auto two = Convert(b, 2, dir / "two");
  EXPECT_EQ(one, two) << "two jobs must write what one job writes";
  ASSERT_EQ(one.size(), sources.size());

  const std::string file = kRecorded + b.name + ".txt";
  if (std::getenv("WAVORAX_RECORD_OUTPUTS")) {
    fs::create_directories(kRecorded);
    std::ofstream out(file);
    for (const auto& [name, digest] : one) out << digest << "  " << name << "\n";
    return;
  }
  std::ifstream in(file);
  ASSERT_TRUE(in) << "no recorded digests in " << file;
  std::map<std::string, std::string> recorded;
  std::string digest, name;
  while (in >> digest >> name) recorded[name] = digest;
  EXPECT_EQ(one, recorded);
}

const std::string kUserTag =
    "--set MP3ID3TagType=0 --set MP3ID3Tag.artist='The Band' --set MP3ID3Tag.album=Album "
    "--set MP3ID3Tag.genre=Jazz --set MP3ID3Tag.year=2001 --set MP3ID3Tag.useFileNameAsTitle=1 "
    "--set MP3ID3Tag.trackMode=1 --set M4AID3TagType=0 --set M4AID3Tag.title=Song "
    "--set M4AID3Tag.artist='The Band' --set M4AID3Tag.comment=Note --set M4AID3Tag.trackMode=1";

INSTANTIATE_TEST_SUITE_P(
    Batches, SameOutputs,
    testing::Values(
        Batch{"wav", "wav", ""},
        Batch{"wav_22050_mono_8bit_amplified", "wav",
              "--set AutoDestWAVEncodingParam=0 --set WAVSampleRate=22050 --set WAVChannelNum=1 "
              "--set WAVBitsPerSample=8 --set AmplifyWav=1 --set AmplifyWavCoeff=150"},
        Batch{"aac", "aac", ""},
        Batch{"aac_abr_mpeg2", "aac",
              "--set AutoDestAACEncodingParam=0 --set AACVBR=0 --set AACABRBitRate=96 "
              "--set AACMpegVersion=1 --set AACEnableTNS=1"},
        Batch{"mp3_tags_transferred", "mp3", ""},
        Batch{"mp3_no_tags", "mp3", "--set MP3ID3TagType=2"},
        Batch{"mp3_user_tag_numbered", "mp3", kUserTag},
        Batch{"mp3_22050_mono_left_64k", "mp3",
              "--set AutoDestMP3EncodingParam=0 --set MP3BitRate=64 --set MP3SampleRate=22050 "
              "--set MP3ChannelMode=3 --set MonoType=1 --set AmplifyMp3=1 "
              "--set AmplifyMp3Coeff=80"},
        Batch{"mp3_from_folder", "mp3", "", true}, Batch{"m4a_tags_transferred", "m4a", ""},
        Batch{"m4a_no_tags", "m4a", "--set M4AID3TagType=2"},
        Batch{"m4a_user_tag_numbered", "m4a", kUserTag},
        Batch{"m4a_abr_64k", "m4a",
              "--set AutoDestM4AEncodingParam=0 --set M4AVBR=0 --set M4AABRBitRate=64"},
        Batch{"mp4", "mp4", ""}, Batch{"m4b", "m4b", ""}),
    [](const testing::TestParamInfo<Batch>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wavorax
