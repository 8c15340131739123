// The decoder choice: which class reads a file of each source type, with the fallback to the
// program's own MP3 and WAV decoders and no fallback for the other types.
#include <gtest/gtest.h>

#include <functional>

#include "decoders/SourceType.h"
#include "decoders/audiolib/BassDecoder.h"
#include "decoders/choice/DecoderChoice.h"
#include "decoders/own/AmrDecoder.h"
#include "decoders/own/AuDecoder.h"
#include "decoders/own/Mp3Decoder.h"
#include "decoders/own/WavDecoder.h"
#include "tests/decoders/audiolib/Fixtures.h"
#include "tests/support/TestSupport.h"

namespace wavorax::test {
namespace {

enum class Expect { kNone, kBass, kMp3, kWav, kAu, kAmr };

const FormatCase& Fixture(const std::string& file) {
  for (const FormatCase& c : FormatCases())
    if (file == c.file) return c;
  throw std::runtime_error("no fixture " + file);
}

// Copies a shared fixture under another name (the extension decides nothing in the choice,
// the source type does).
std::string CopyAs(const TempDir& tmp, const std::string& fixture, const std::string& name) {
  const std::string path = tmp / name;
  WriteFileBytes(path, ReadFileBytes(FixturePath(Fixture(fixture))));
  return path;
}

struct ChoiceCase {
  const char* name;
  int sourceType;
  std::function<std::string(const TempDir&)> make;
  int musicRate;
  Expect expect;
  int expectedRate;
};

class DecoderChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(DecoderChoice, OpensTheRightDecoderOrNone) {
  const ChoiceCase& c = GetParam();
  const TempDir tmp;
  const std::string path = c.make(tmp);
  ASSERT_FALSE(path.empty());
  std::unique_ptr<CDecoder> d = OpenDecoderFor(c.sourceType, path, c.musicRate);
  switch (c.expect) {
    case Expect::kNone:
      EXPECT_EQ(d, nullptr);
      return;
    case Expect::kBass:
      EXPECT_NE(dynamic_cast<CBassDecoder*>(d.get()), nullptr);
      break;
    case Expect::kMp3:
      EXPECT_NE(dynamic_cast<CMp3Decoder*>(d.get()), nullptr);
      break;
    case Expect::kWav:
      EXPECT_NE(dynamic_cast<CWavDecoder*>(d.get()), nullptr);
      break;
    case Expect::kAu:
      EXPECT_NE(dynamic_cast<CAuDecoder*>(d.get()), nullptr);
      break;
    case Expect::kAmr:
      EXPECT_NE(dynamic_cast<CAmrDecoder*>(d.get()), nullptr);
      break;
  }
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->GetSampleRate(), c.expectedRate);
}

std::string MakeWavWithJunkByte(const TempDir& tmp) {
  // A stray byte between two chunks: FFmpeg stops at it, the WAV decoder skips to the next
  // chunk id.
  std::vector<std::uint8_t> bytes = ReadFileBytes(FixturePath(Fixture("tone.wav")));
  const std::size_t fmtEnd = 12 + 8 + 16;
  bytes.insert(bytes.begin() + fmtEnd, 0);
  const std::string path = tmp / "junk.wav";
  WriteFileBytes(path, bytes);
  return path;
}

std::string MakeOneFrameMp3(const TempDir& tmp) {
  // A single MPEG frame without a Xing header is too little for FFmpeg's MP3 reader.
  const std::string wav = FixturePath(Fixture("tone.wav"));
  const std::string full = tmp / "full.mp3";
  if (Run("lame --quiet -t -b 128 " + ShellQuote(wav) + " " + ShellQuote(full)).exitCode != 0)
    return "";
  auto bytes = ReadFileBytes(full);
  bytes.resize(418);
  const std::string path = tmp / "one.mp2";
  WriteFileBytes(path, bytes);
  return path;
}

std::string MakeAu(const TempDir& tmp) {
  const std::string path = tmp / "tone.au";
  if (Run("ffmpeg -v error -i " + ShellQuote(FixturePath(Fixture("tone.wav"))) +
          " -ar 8000 -c:a pcm_mulaw " + ShellQuote(path))
          .exitCode != 0)
    return "";
  return path;
}

std::string MakeAmr(const TempDir& tmp) {
  // The storage format: magic, then 12.2 kbit/s frames (header byte 0x3C, 31 bytes).
  std::vector<std::uint8_t> bytes = {'#', '!', 'A', 'M', 'R', '\n'};
  for (int f = 0; f < 100; ++f) {
    bytes.push_back(0x3C);
    for (int i = 0; i < 31; ++i) bytes.push_back(static_cast<std::uint8_t>(f * 7 + i * 13));
  }
  const std::string path = tmp / "speech.amr";
  WriteFileBytes(path, bytes);
  return path;
}

std::string Garbage(const TempDir& tmp, const std::string& name) {
  std::vector<std::uint8_t> bytes(5000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
  const std::string path = tmp / name;
  WriteFileBytes(path, bytes);
  return path;
}

INSTANTIATE_TEST_SUITE_P(
    Types, DecoderChoice,
    ::testing::Values(ChoiceCase{"mp3_by_library", kSourceMpeg,
                                 [](const TempDir& t) { return CopyAs(t, "tone.mp3", "a.mp3"); }, 0,
                                 Expect::kBass, 44100},
                      ChoiceCase{"mpeg_falls_back_to_own_decoder", kSourceMpeg, MakeOneFrameMp3, 0,
                                 Expect::kMp3, 44100},
                      ChoiceCase{"mpeg_garbage_is_not_decoded", kSourceMpeg,
                                 [](const TempDir& t) { return Garbage(t, "g.mp3"); }, 0,
                                 Expect::kNone, 0},
                      ChoiceCase{"wav_by_library", kSourceWav,
                                 [](const TempDir& t) { return CopyAs(t, "tone.wav", "a.wav"); }, 0,
                                 Expect::kBass, 44100},
                      ChoiceCase{"wav_falls_back_to_own_decoder", kSourceWav, MakeWavWithJunkByte,
                                 0, Expect::kWav, 44100},
                      ChoiceCase{"ogg_has_no_fallback", kSourceOgg,
                                 [](const TempDir& t) { return Garbage(t, "g.ogg"); }, 0,
                                 Expect::kNone, 0},
                      ChoiceCase{"other_by_library", kSourceOther,
                                 [](const TempDir& t) { return CopyAs(t, "tone.flac", "a.flac"); },
                                 0, Expect::kBass, 44100},
                      ChoiceCase{"au_by_own_decoder", kSourceAu, MakeAu, 0, Expect::kAu, 8000},
                      ChoiceCase{"au_never_tries_the_library", kSourceAu,
                                 [](const TempDir& t) { return CopyAs(t, "tone.flac", "a.au"); }, 0,
                                 Expect::kNone, 0},
                      ChoiceCase{"amr_by_own_decoder", kSourceAmr, MakeAmr, 0, Expect::kAmr, 8000},
                      ChoiceCase{"amr_never_tries_the_library", kSourceAmr,
                                 [](const TempDir& t) { return CopyAs(t, "tone.flac", "a.amr"); },
                                 0, Expect::kNone, 0},
                      ChoiceCase{"music_at_the_pipelines_rate", kSourceMusic,
                                 [](const TempDir& t) { return CopyAs(t, "tune.mod", "a.mod"); },
                                 22050, Expect::kBass, 22050},
                      ChoiceCase{"music_at_the_default_rate", kSourceMusic,
                                 [](const TempDir& t) { return CopyAs(t, "tune.s3m", "a.s3m"); }, 0,
                                 Expect::kBass, 44100},
                      ChoiceCase{"module_under_another_type_gets_the_default_rate", kSourceOther,
                                 [](const TempDir& t) { return CopyAs(t, "tune.mod", "a.bin"); },
                                 22050, Expect::kBass, 44100}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wavorax::test
