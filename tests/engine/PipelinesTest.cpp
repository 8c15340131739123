// The four pipelines on generated sources with the real decoders and writers, checked by
// ffprobe; and the MP3 bit-rate rule.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "base/Paths.h"
#include "decoders/choice/DecoderChoice.h"
#include "engine/Pipelines.h"
#include "tests/support/SourceFixtures.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

using test::ShellQuote;

struct SnapCase {
  int kbps, rate, expected;
};
class Mp3BitRate : public ::testing::TestWithParam<SnapCase> {};
TEST_P(Mp3BitRate, SnapsAndBounds) {
  EXPECT_EQ(SnapMp3BitRate(GetParam().kbps, GetParam().rate), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Cases, Mp3BitRate,
                         ::testing::Values(SnapCase{136, 44100, 128}, SnapCase{137, 44100, 144},
                                           SnapCase{500, 44100, 320}, SnapCase{320, 44100, 320},
                                           SnapCase{5, 8000, 8}, SnapCase{128, 11025, 64},
                                           SnapCase{128, 22050, 128}, SnapCase{256, 22050, 160},
                                           SnapCase{16, 44100, 32}, SnapCase{16, 8000, 16},
                                           SnapCase{32, 8000, 32}, SnapCase{100, 48000, 96},
                                           SnapCase{104, 48000, 96}));

class RecordingProgress : public IConvertProgress {
 public:
  void SetFileText(const std::string& t) override { texts.push_back(t); }
  int FileBarWidth() override { return 250; }
  void SetFileBarRange(int m) override { range = m; }
  void SetFileBarPos(int p) override { positions.push_back(p); }
  void SetOverallText(const std::string&) override {}
  void SetOverallRange(int) override {}
  void StepOverall() override {}
  bool CancelRequested() override { return cancelAtPump >= 0 && pumps >= cancelAtPump; }
  void PumpMessages() override { ++pumps; }
  std::vector<std::string> texts;
  std::vector<int> positions;
  int range = 0, pumps = 0, cancelAtPump = -1;
};

class PipelinesTest : public ::testing::Test {
 protected:
  int Convert(int (*pipeline)(const PipelineContext&, int, const std::string&, const std::string&,
                              IConvertProgress&),
              const std::string& source, const std::string& output, int sequence = 1) {
    const PipelineContext ctx{settings, sequence, opener};
    return pipeline(ctx, SourceTypeOfPath(source), source, output, progress);
  }
  static int SourceTypeOfPath(const std::string& path);
  std::string Probe(const std::string& path, const std::string& field) {
    return test::FfprobeStream(path, field);
  }
  test::TempDir dir;
  ConversionSettings settings;
  DecoderOpener opener = OpenDecoderFor;
  RecordingProgress progress;
};

}  // namespace
}  // namespace wavorax

#include "decoders/SourceType.h"

namespace wavorax {
namespace {

int PipelinesTest::SourceTypeOfPath(const std::string& path) { return SourceTypeOf(path); }

TEST_F(PipelinesTest, AutomaticWavKeepsEightBitMono) {
  const std::string src = dir / "src.wav";
  test::WriteWav16(dir / "s16.wav", test::Sine(500, 22050, 22050 * 2), 1, 22050);
  ASSERT_EQ(test::Run("ffmpeg -v error -y -i " + ShellQuote(dir / "s16.wav") + " -c:a pcm_u8 " +
                      ShellQuote(src))
                .exitCode,
            0);
  ASSERT_EQ(Convert(ConvertToWav, src, dir / "out.wav"), 1);
  EXPECT_EQ(Probe(dir / "out.wav", "codec_name"), "pcm_u8");
  EXPECT_EQ(Probe(dir / "out.wav", "sample_rate"), "22050");
  EXPECT_EQ(Probe(dir / "out.wav", "channels"), "1");
  // Progress: whole percentages only, ending at 100, and the bar at its full width.
  EXPECT_EQ(progress.texts.back(), "Converting src.wav...100%");
  EXPECT_EQ(progress.range, 250);
  EXPECT_EQ(progress.positions.back(), 250);
  EXPECT_TRUE(std::is_sorted(progress.positions.begin(), progress.positions.end()));
}

TEST_F(PipelinesTest, MonoEightBitTo44kStereoSixteen) {
  const std::string src = dir / "src.wav";
  test::WriteWav16(dir / "s16.wav", test::Sine(500, 22050, 22050 * 2), 1, 22050);
  test::Run("ffmpeg -v error -y -i " + ShellQuote(dir / "s16.wav") + " -c:a pcm_u8 " +
            ShellQuote(src));
  settings.AutoDestWAVEncodingParam = 0;
  settings.WAVSampleRate = 44100;
  settings.WAVChannelNum = 2;
  settings.WAVBitsPerSample = 16;
  ASSERT_EQ(Convert(ConvertToWav, src, dir / "out.wav"), 1);
  std::vector<std::int16_t> pcm;
  int channels = 0, rate = 0;
  ASSERT_TRUE(test::FfmpegDecodeS16(dir / "out.wav", pcm, &channels, &rate));
  EXPECT_EQ(channels, 2);
  EXPECT_EQ(rate, 44100);
  EXPECT_NEAR(double(pcm.size() / 2), 88200.0, 1200.0);
  for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) ASSERT_EQ(pcm[i], pcm[i + 1]);
}

TEST_F(PipelinesTest, CancelDuringFirstBlockWritesNothingAndRemovesOutput) {
  const std::string src = dir / "src.wav";
  test::WriteWav16(src, test::Sine(500, 44100, 44100 * 4), 1, 44100);
  const auto before = test::ReadFileBytes(src);
  progress.cancelAtPump = 1;
  for (auto pipeline : {ConvertToWav, ConvertToMp3, ConvertToAac, ConvertToMp4}) {
    progress.pumps = 0;
    const std::string out = dir / "out.bin";
    EXPECT_EQ(Convert(pipeline, src, out), 0);
    EXPECT_FALSE(FileExists(out));
  }
  EXPECT_EQ(test::ReadFileBytes(src), before);
}

TEST_F(PipelinesTest, UndecodableSourceCreatesNoOutput) {
  std::ofstream(dir / "bad.ogg") << std::string(5000, 'z');
  EXPECT_EQ(Convert(ConvertToMp3, dir / "bad.ogg", dir / "out.mp3"), 0);
  EXPECT_FALSE(FileExists(dir / "out.mp3"));
}

TEST_F(PipelinesTest, EightBitSourceClipsAtSixteenBitLimitsInMp3) {
  const std::string src = dir / "src.wav";
  test::WriteWav16(dir / "s16.wav", test::Sine(440, 44100, 44100, 0.9), 1, 44100);
  test::Run("ffmpeg -v error -y -i " + ShellQuote(dir / "s16.wav") + " -c:a pcm_u8 " +
            ShellQuote(src));
  settings.AmplifyMp3 = 1;
  settings.AmplifyMp3Coeff = 400;
  ASSERT_EQ(Convert(ConvertToMp3, src, dir / "out.mp3"), 1);
  std::vector<std::int16_t> pcm;
  ASSERT_TRUE(test::FfmpegDecodeS16(dir / "out.mp3", pcm));
  // Widened before amplification: the peaks reach (near) full 16-bit scale, not 8-bit steps.
  const auto [lo, hi] = std::minmax_element(pcm.begin(), pcm.end());
  EXPECT_GT(*hi, 30000);
  EXPECT_LT(*lo, -30000);
}

TEST_F(PipelinesTest, AacOptionsReachTheEncoder) {
  const std::string src = dir / "src.wav";
  std::vector<std::int16_t> stereo;
  for (auto s : test::Sine(1000, 44100, 44100 * 5)) stereo.push_back(s), stereo.push_back(s / 2);
  test::WriteWav16(src, stereo, 2, 44100);

  settings.AACMpegVersion = 1;  // ignored while the parameters are automatic
  ASSERT_EQ(Convert(ConvertToAac, src, dir / "auto.aac"), 1);
  auto bytes = test::ReadFileBytes(dir / "auto.aac");
  ASSERT_GT(bytes.size(), 7u);
  EXPECT_EQ(bytes[1] & 0x08, 0) << "MPEG-4 ID bit while automatic";

  settings.AutoDestAACEncodingParam = 0;
  settings.AACVBR = 0;
  settings.AACABRBitRate = 96;
  ASSERT_EQ(Convert(ConvertToAac, src, dir / "abr.aac"), 1);
  bytes = test::ReadFileBytes(dir / "abr.aac");
  EXPECT_EQ(bytes[1] & 0x08, 0x08) << "MPEG-2 ID bit";
  const double kbps = bytes.size() * 8.0 / 5.0 / 1000.0;
  EXPECT_NEAR(kbps, 96.0, 15.0);
}

TEST_F(PipelinesTest, Mp4UserTagTitleGenreAndSequence) {
  const std::string src = dir / "A very long title of forty characters!!.wav";
  test::WriteWav16(src, test::Sine(440, 44100, 44100), 1, 44100);
  settings.M4AID3TagType = kTagAddUser;
  settings.M4AID3Tag.trackMode = 1;
  settings.M4AID3Tag.genre = 255;
  settings.M4AID3Tag.artist = "Ärzte";
  const std::string out = dir / "out.m4a";
  ASSERT_EQ(Convert(ConvertToMp4, src, out, 3), 1);
  EXPECT_EQ(test::FfprobeTag(out, "title"),
            std::string("A very long title of forty characters!!").substr(0, 31));
  EXPECT_EQ(test::FfprobeTag(out, "artist"), "Ärzte");
  EXPECT_EQ(test::FfprobeTag(out, "genre"), "");
  EXPECT_EQ(test::FfprobeTag(out, "track"), "3");
}

TEST_F(PipelinesTest, Mp4TransferWithoutTagsWritesNoMetadata) {
  const std::string src = dir / "plain.wav";
  test::WriteWav16(src, test::Sine(440, 44100, 44100), 2 - 1, 44100);
  const std::string out = dir / "out.mp4";
  ASSERT_EQ(Convert(ConvertToMp4, src, out), 1);
  EXPECT_EQ(test::FfprobeTag(out, "title"), "");
  EXPECT_NEAR(std::atof(test::FfprobeFormat(out, "duration").c_str()), 1.0, 0.05);
}

// Tracker music asked for at a rate below what the music library renders (the WAV page's
// 6000 Hz) is rendered at the lowest it takes and resampled to the rate asked for.
class MusicAtRate : public PipelinesTest, public ::testing::WithParamInterface<int> {};

TEST_P(MusicAtRate, ConvertsWholeToWav) {
  const std::string src = dir / "song.mod";
  test::WriteFileBytes(src, test::MakeMod("song"));
  settings.AutoDestWAVEncodingParam = 0;
  settings.WAVSampleRate = GetParam();
  settings.WAVChannelNum = 2;
  settings.WAVBitsPerSample = 16;
  const std::string out = dir / "song.wav";
  ASSERT_EQ(Convert(ConvertToWav, src, out), 1);
  EXPECT_EQ(Probe(out, "sample_rate"), std::to_string(GetParam()));
  EXPECT_NEAR(std::atof(test::FfprobeFormat(out, "duration").c_str()), 3.84, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Rates, MusicAtRate, ::testing::Values(6000, 11025));

// Average bit rates outside what the encoder takes are held to its limits rather than failing
// the file: above what a low sample rate can carry, to the highest it allows (6144 bits per
// channel and 1024-sample frame), and below 8 kbit/s per channel, to that. Raw AAC and the
// MP4 family alike.
struct AbrCase {
  int rate;
  bool mp4;
  int channels = 1;
  int kbps = 128;  // asked for, over all channels
};
class AacAbrAtLowRate : public PipelinesTest, public ::testing::WithParamInterface<AbrCase> {};

TEST_P(AacAbrAtLowRate, ClampsTheBitRateAndConverts) {
  const AbrCase& c = GetParam();
  const int rate = c.rate;
  const std::string src = dir / "low.wav";
  std::vector<std::int16_t> signal;
  for (auto s : test::Sine(440, rate, rate * 2))
    for (int ch = 0; ch < c.channels; ++ch) signal.push_back(s);
  test::WriteWav16(src, signal, c.channels, rate);
  settings.AutoDestAACEncodingParam = settings.AutoDestM4AEncodingParam = 0;
  settings.AACVBR = settings.M4AVBR = 0;
  settings.AACABRBitRate = settings.M4AABRBitRate = c.kbps;
  const std::string out = dir / (c.mp4 ? "low.m4a" : "low.aac");
  ASSERT_EQ(Convert(c.mp4 ? ConvertToMp4 : ConvertToAac, src, out), 1);
  EXPECT_EQ(Probe(out, "sample_rate"), std::to_string(rate));
  EXPECT_EQ(Probe(out, "channels"), std::to_string(c.channels));
  std::vector<std::int16_t> pcm;
  ASSERT_TRUE(test::FfmpegDecodeS16(out, pcm));
  // Raw AAC decodes with the encoder's priming and last frame's padding: up to 2 frames more.
  const double frames = static_cast<double>(pcm.size()) / c.channels;
  EXPECT_GE(frames, 2.0 * rate);
  EXPECT_LE(frames, 2.0 * rate + 2048);
  // Payload bits per second stay near the limit, not at the rate asked for.
  const double kbps = test::ReadFileBytes(out).size() * 8.0 / 2.0 / 1000.0;
  const double ceiling = 6144.0 * rate / 1024.0 / 1000.0 * c.channels;
  if (c.kbps > ceiling) {
    EXPECT_LT(kbps, ceiling * 1.25);
  }
  if (c.kbps < 8 * c.channels) {
    EXPECT_GT(kbps, c.kbps * 1.25);
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, AacAbrAtLowRate,
                         ::testing::Values(AbrCase{8000, false}, AbrCase{11025, false},
                                           AbrCase{16000, false}, AbrCase{8000, true},
                                           AbrCase{16000, true}, AbrCase{44100, false, 2, 8},
                                           AbrCase{48000, true, 2, 12}, AbrCase{22050, false, 1, 4},
                                           AbrCase{8000, true, 1, 1}));

// A WAV source whose ID3 chunk holds a title in Latin-1 marked text that a Windows tagger
// wrote: byte 92 is a right quote, 80 the euro sign.
std::string WavWithCp1252Title(const test::TempDir& dir) {
  const std::string path = dir / "tagged.wav";
  test::WriteWav16(path, test::Sine(440, 44100, 44100), 1, 44100);
  auto wav = test::ReadFileBytes(path);
  const std::string title = "Don\x92t \x80";
  std::vector<std::uint8_t> frame = {
      'T', 'I', 'T', '2', 0, 0, 0, static_cast<std::uint8_t>(title.size() + 1), 0, 0, 0};
  frame.insert(frame.end(), title.begin(), title.end());
  std::vector<std::uint8_t> chunk = {'i', 'd', '3', ' '};
  const auto tagSize = static_cast<std::uint32_t>(10 + frame.size());
  for (int i = 0; i < 4; ++i) chunk.push_back(static_cast<std::uint8_t>(tagSize >> (8 * i)));
  chunk.insert(chunk.end(),
               {'I', 'D', '3', 3, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(frame.size())});
  chunk.insert(chunk.end(), frame.begin(), frame.end());
  if (chunk.size() % 2) chunk.push_back(0);
  wav.insert(wav.begin() + 36, chunk.begin(), chunk.end());  // between fmt and data
  const auto riff = static_cast<std::uint32_t>(wav.size() - 8);
  for (int i = 0; i < 4; ++i) wav[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
  test::WriteFileBytes(path, wav);
  return path;
}

// An MP4-family output carries the items the tag choice asks for and nothing else (no
// "encoder" item naming the muxer); transferred Windows-1252 text arrives as its characters.
struct Mp4TagCase {
  int choice;
  const char* extension;
  const char* title;
};
class Mp4TagChoice : public PipelinesTest, public ::testing::WithParamInterface<Mp4TagCase> {};

TEST_P(Mp4TagChoice, WritesOnlyTheChosenItems) {
  const std::string src = WavWithCp1252Title(dir);
  settings.M4AID3TagType = GetParam().choice;
  settings.M4AID3Tag.useFileNameAsTitle = 0;
  settings.M4AID3Tag.title = "Mine";
  const std::string out = dir / (std::string("out") + GetParam().extension);
  ASSERT_EQ(Convert(ConvertToMp4, src, out), 1);
  EXPECT_EQ(test::FfprobeTag(out, "title"), GetParam().title);
  EXPECT_EQ(test::FfprobeTag(out, "encoder"), "");
  const auto bytes = test::ReadFileBytes(out);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("\xA9too"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, Mp4TagChoice,
    ::testing::Values(Mp4TagCase{kTagNone, ".m4a", ""},
                      Mp4TagCase{kTagTransfer, ".m4a", "Don\xE2\x80\x99t \xE2\x82\xAC"},
                      Mp4TagCase{kTagAddUser, ".m4b", "Mine"}, Mp4TagCase{kTagNone, ".mp4", ""}));

TEST_F(PipelinesTest, TransferredCp1252TitleKeepsItsBytesInId3v1) {
  const std::string src = WavWithCp1252Title(dir);
  settings.MP3ID3TagType = kTagTransfer;
  const std::string out = dir / "out.mp3";
  ASSERT_EQ(Convert(ConvertToMp3, src, out), 1);
  const auto bytes = test::ReadFileBytes(out);
  ASSERT_GT(bytes.size(), 128u);
  const std::string v1(bytes.end() - 128, bytes.end());
  EXPECT_EQ(v1.substr(0, 3), "TAG");
  EXPECT_EQ(v1.substr(3, 9), std::string("Don\x92t \x80\0", 9));
}

// A transferred genre outside the table, or none at all, is "no genre" in the ID3v1 block,
// never the table's first entry.
struct GenreCase {
  const char* genre;  // nullptr: no GENRE field
  int byte;
};
class TransferredGenre : public PipelinesTest, public ::testing::WithParamInterface<GenreCase> {};

TEST_P(TransferredGenre, FillsTheId3v1GenreByte) {
  const std::string wav = dir / "tone.wav";
  test::WriteWav16(wav, test::Sine(440, 22050, 11025), 1, 22050);
  const std::string src = dir / "tone.flac";
  std::string command = "flac -s -f -T TITLE=Song";
  if (GetParam().genre) command += " -T GENRE=" + test::ShellQuote(GetParam().genre);
  ASSERT_EQ(
      test::Run(command + " -o " + test::ShellQuote(src) + " " + test::ShellQuote(wav)).exitCode,
      0);
  settings.MP3ID3TagType = kTagTransfer;
  const std::string out = dir / "out.mp3";
  ASSERT_EQ(Convert(ConvertToMp3, src, out), 1);
  const auto bytes = test::ReadFileBytes(out);
  ASSERT_GT(bytes.size(), 128u);
  ASSERT_EQ(std::string(bytes.end() - 128, bytes.end() - 125), "TAG");
  EXPECT_EQ(bytes.back(), GetParam().byte);
}

INSTANTIATE_TEST_SUITE_P(Genres, TransferredGenre,
                         ::testing::Values(GenreCase{nullptr, 255}, GenreCase{"Dubstep", 255},
                                           GenreCase{"rock", 17}, GenreCase{"Blues", 0}));

// The AAC encoder takes thirteen rates; a source at any other is brought to the nearest one
// instead of failing the file.
struct AacRateCase {
  int source, encoded;
};
class AacOddRate : public PipelinesTest, public ::testing::WithParamInterface<AacRateCase> {};

TEST_P(AacOddRate, ResamplesToTheNearestRateTheEncoderTakes) {
  const std::string src = dir / "odd.wav";
  test::WriteWav16(src, test::Sine(300, GetParam().source, GetParam().source / 2), 1,
                   GetParam().source);
  for (auto pipeline : {ConvertToAac, ConvertToMp4}) {
    const std::string out = dir / (pipeline == ConvertToAac ? "out.aac" : "out.m4a");
    ASSERT_EQ(Convert(pipeline, src, out), 1) << out;
    EXPECT_EQ(Probe(out, "sample_rate"), std::to_string(GetParam().encoded)) << out;
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, AacOddRate,
                         ::testing::Values(AacRateCase{41000, 44100}, AacRateCase{192000, 96000},
                                           AacRateCase{5000, 7350}, AacRateCase{22254, 22050}));

// A source that holds no samples converts to nothing for every target, and nothing is left.
TEST_F(PipelinesTest, SourceWithoutSamplesFailsEveryTarget) {
  const std::string src = dir / "empty.wav";
  test::WriteWav16(src, {}, 2, 44100);
  for (auto [pipeline, name] :
       std::vector<std::pair<int (*)(const PipelineContext&, int, const std::string&,
                                     const std::string&, IConvertProgress&),
                             const char*>>{{ConvertToWav, "out.wav"},
                                           {ConvertToMp3, "out.mp3"},
                                           {ConvertToAac, "out.aac"},
                                           {ConvertToMp4, "out.m4a"}}) {
    EXPECT_EQ(Convert(pipeline, src, dir / name), 0) << name;
    EXPECT_FALSE(FileExists(dir / name)) << name;
  }
}

}  // namespace
}  // namespace wavorax
