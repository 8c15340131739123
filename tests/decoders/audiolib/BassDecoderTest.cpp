// CBassDecoder's own rules: the first-frame header of MPEG audio files, the ID3 copies, block
// sizes of wide and 8-bit streams, tracker music at a render rate, and files it must refuse.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <thread>

#include "decoders/audiolib/AudioLib.h"
#include "decoders/audiolib/BassDecoder.h"
#include "tests/decoders/audiolib/DecodeHelpers.h"
#include "tests/decoders/audiolib/Fixtures.h"
#include "tests/support/TestSupport.h"

namespace wavorax::test {
namespace {

const FormatCase& Fixture(const std::string& file) {
  for (const FormatCase& c : FormatCases())
    if (file == c.file) return c;
  throw std::runtime_error("no fixture " + file);
}

// ---- MPEG frame header ------------------------------------------------------------------

struct HeaderCase {
  const char* name;
  std::uint8_t bytes[4];
  bool ok;
  int kbps;
  int mode;
};

class FrameHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(FrameHeader, GivesBitRateAndChannelModeOrFails) {
  const HeaderCase& c = GetParam();
  int kbps = -1, mode = -1;
  EXPECT_EQ(ParseMpegFrameHeader(c.bytes, kbps, mode), c.ok);
  if (c.ok) {
    EXPECT_EQ(kbps, c.kbps);
    EXPECT_EQ(mode, c.mode);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Headers, FrameHeader,
    ::testing::Values(HeaderCase{"mpeg1_layer3_128k_joint", {0xFF, 0xFB, 0x90, 0x40}, true, 128, 1},
                      HeaderCase{
                          "mpeg1_layer3_320k_stereo", {0xFF, 0xFB, 0xE0, 0x00}, true, 320, 0},
                      HeaderCase{"mpeg2_layer3_64k_mono", {0xFF, 0xF3, 0x80, 0xC0}, true, 64, 3},
                      HeaderCase{"mpeg25_layer3_8k_dual", {0xFF, 0xE3, 0x10, 0x80}, true, 8, 2},
                      HeaderCase{"mpeg1_layer2_384k", {0xFF, 0xFD, 0xE4, 0x00}, true, 384, 0},
                      HeaderCase{"mpeg1_layer1_448k", {0xFF, 0xFF, 0xE4, 0x00}, true, 448, 0},
                      HeaderCase{"mpeg2_layer1_256k", {0xFF, 0xF7, 0xE0, 0x00}, true, 256, 0},
                      HeaderCase{"mpeg2_layer2_160k", {0xFF, 0xF5, 0xE0, 0xC0}, true, 160, 3},
                      HeaderCase{"no_sync", {0xFE, 0xFB, 0x90, 0x40}, false, 0, 0},
                      HeaderCase{"short_sync", {0xFF, 0xDB, 0x90, 0x40}, false, 0, 0},
                      HeaderCase{"reserved_version", {0xFF, 0xEB, 0x90, 0x40}, false, 0, 0},
                      HeaderCase{"reserved_layer", {0xFF, 0xF9, 0x90, 0x40}, false, 0, 0},
                      HeaderCase{"bad_bitrate_index", {0xFF, 0xFB, 0xF0, 0x40}, false, 0, 0},
                      HeaderCase{"free_format", {0xFF, 0xFB, 0x00, 0x40}, false, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- channel mode, nominal bit rate and ID3 copies of MPEG files -------------------------

struct MpegCase {
  const char* name;
  const char* file;     // extension decides whether the MPEG audio rules apply
  const char* encoder;  // shell command with {in} {out}; null: the layer I fixture
  int mode;
  int nominalKbps;
};

class MpegFiles : public ::testing::TestWithParam<MpegCase> {};

TEST_P(MpegFiles, ReportTheFirstFrameOfMpegAudioFilesOnly) {
  const MpegCase& c = GetParam();
  const TempDir tmp;
  const std::string out = tmp / c.file;
  if (c.encoder) {
    std::string command = c.encoder;
    command.replace(command.find("{in}"), 4, ShellQuote(FixturePath(Fixture("tone.wav"))));
    command.replace(command.find("{out}"), 5, ShellQuote(out));
    ASSERT_EQ(test::Run(command).exitCode, 0) << command;
  } else {
    WriteFileBytes(out, ReadFileBytes(FixturePath(Fixture("tone.mp1"))));
  }
  CBassDecoder decoder;
  ASSERT_NE(decoder.Open(out, 0), 0);
  EXPECT_EQ(decoder.GetChannelMode(), c.mode);
  EXPECT_EQ(decoder.GetNominalBitrate(), c.nominalKbps);
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, MpegFiles,
    ::testing::Values(
        MpegCase{"mp3_joint", "j.mp3", "lame --quiet -b 128 -m j {in} {out}", 1, 128},
        MpegCase{"mp3_stereo", "s.mp3", "lame --quiet -b 192 -m s {in} {out}", 0, 192},
        MpegCase{"mp3_mono", "m.mp3", "lame --quiet -b 64 -m m {in} {out}", 3, 64},
        MpegCase{"mp3_named_mp2", "j.mp2", "lame --quiet -b 128 -m j {in} {out}", 1, 128},
        MpegCase{"mp2", "t.mp2", "ffmpeg -v error -i {in} -c:a mp2 -b:a 192k -f mp2 {out}", 0, 192},
        MpegCase{"mp1", "t.mp1", nullptr, 0, 128},
        MpegCase{"mp2_named_mp3", "t.mp3",
                 "ffmpeg -v error -i {in} -c:a mp2 -b:a 192k -f mp2 {out}", 0, 192},
        MpegCase{"mp3_named_ogg_is_not_probed", "j.ogg", "lame --quiet -b 128 -m j {in} {out}", 4,
                 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct Id3Case {
  const char* name;
  const char* file;
  int version;             // 3 or 4
  bool footer;             // ID3v2.4 footer present
  std::uint32_t declared;  // tag size in the header (without the 10-byte header)
  bool withId3v1;
  std::uint32_t expectedSize;  // 0: no ID3v2 copy
};

class Id3Copies : public ::testing::TestWithParam<Id3Case> {};

TEST_P(Id3Copies, AreWholeTagsOfMpegAudioFilesOnly) {
  const Id3Case& c = GetParam();
  const TempDir tmp;
  const std::string audio = tmp / "audio.mp3";
  ASSERT_EQ(test::Run("lame --quiet -b 128 " + ShellQuote(FixturePath(Fixture("tone.wav"))) + " " +
                      ShellQuote(audio))
                .exitCode,
            0);
  std::vector<std::uint8_t> bytes = {'I',
                                     'D',
                                     '3',
                                     static_cast<std::uint8_t>(c.version),
                                     0,
                                     static_cast<std::uint8_t>(c.footer ? 0x10 : 0),
                                     static_cast<std::uint8_t>((c.declared >> 21) & 0x7F),
                                     static_cast<std::uint8_t>((c.declared >> 14) & 0x7F),
                                     static_cast<std::uint8_t>((c.declared >> 7) & 0x7F),
                                     static_cast<std::uint8_t>(c.declared & 0x7F)};
  bytes.resize(10 + c.declared, 0);  // padding only
  if (c.footer) {
    const std::uint8_t footer[10] = {'3',  'D',      'I',      4,        0,
                                     0x10, bytes[6], bytes[7], bytes[8], bytes[9]};
    bytes.insert(bytes.end(), footer, footer + 10);
  }
  const auto mpeg = ReadFileBytes(audio);
  bytes.insert(bytes.end(), mpeg.begin(), mpeg.end());
  if (c.withId3v1) {
    std::vector<std::uint8_t> v1(128, 0);
    std::memcpy(v1.data(), "TAGSome title", 13);
    v1[127] = 17;
    bytes.insert(bytes.end(), v1.begin(), v1.end());
  }
  const std::string path = tmp / c.file;
  WriteFileBytes(path, bytes);

  CBassDecoder decoder;
  ASSERT_NE(decoder.Open(path, 0), 0);
  std::uint32_t size = 12345;
  const std::uint8_t* tag = decoder.GetId3v2Tag(&size);
  EXPECT_EQ(size, c.expectedSize);
  if (c.expectedSize) {
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(std::memcmp(tag, bytes.data(), c.expectedSize), 0);
    EXPECT_EQ(decoder.GetId3v2Tag(&size), tag) << "the copy is made once";
  } else {
    EXPECT_EQ(tag, nullptr);
  }
  const std::uint8_t* v1 = decoder.GetId3v1Tag();
  if (c.withId3v1 && c.expectedSize) {
    ASSERT_NE(v1, nullptr);
    EXPECT_EQ(std::memcmp(v1, bytes.data() + bytes.size() - 128, 128), 0);
  } else {
    EXPECT_EQ(v1, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tags, Id3Copies,
    ::testing::Values(Id3Case{"v23_size_1000", "a.mp3", 3, false, 1000, true, 1010},
                      Id3Case{"v24_with_footer", "a.mp3", 4, true, 1000, false, 1020},
                      Id3Case{"uppercase_extension", "a.MP3", 3, false, 300, true, 310},
                      Id3Case{"mp2", "a.mp2", 3, false, 1000, true, 1010},
                      Id3Case{"mp1", "a.mp1", 3, false, 40, true, 50},
                      Id3Case{"ogg_gets_no_copies", "a.ogg", 3, false, 1000, true, 0},
                      Id3Case{"no_id3v1", "a.mp3", 3, false, 20, false, 30}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- block sizes ------------------------------------------------------------------------

struct BlockCase {
  const char* file;
  int firstRead;
  bool sixChannels;
};

class FirstBlock : public ::testing::TestWithParam<BlockCase> {};

TEST_P(FirstBlock, HoldsTwoChannelsWorthOfSamples) {
  const BlockCase& c = GetParam();
  CBassDecoder decoder;
  ASSERT_NE(decoder.Open(FixturePath(Fixture(c.file)), 0), 0);
  // Guard samples behind kDecodeBlock: a read must never touch them.
  std::vector<std::int16_t> left(kDecodeBlock + 16, 0x5A5A), right(kDecodeBlock + 16, 0x5A5A);
  EXPECT_EQ(decoder.Read(left.data(), right.data()), c.firstRead);
  EXPECT_EQ(left[kDecodeBlock], 0x5A5A);
  EXPECT_EQ(right[kDecodeBlock], 0x5A5A);
  if (decoder.GetBitsPerSample() == 8) {
    // Unsigned 8-bit: a tone of half scale stays well inside 0..255 around 128.
    const auto* l8 = reinterpret_cast<const std::uint8_t*>(left.data());
    double sum = 0;
    for (int i = 0; i < c.firstRead; ++i) sum += l8[i];
    EXPECT_NEAR(sum / c.firstRead, 128.0, 8.0);
  }
  if (c.sixChannels) {
    EXPECT_EQ(decoder.GetChannels(), 6);
    EXPECT_EQ(decoder.GetOutputChannels(), 2);
  }
}

INSTANTIATE_TEST_SUITE_P(Streams, FirstBlock,
                         ::testing::Values(BlockCase{"tone8.wav", 1152, false},
                                           BlockCase{"tone8.aif", 1152, false},
                                           BlockCase{"tone.flac", 1152, false},
                                           BlockCase{"surround.wav", 384, true},
                                           BlockCase{"surround.ac3", 384, true}),
                         [](const auto& info) { return CaseName(info.param.file); });

// Two files joined end to end: the second part arrives whole, at the first part's rate and
// channel count, with its own pitch.
struct JoinedCase {
  const char* name;
  const char* secondPart;  // ffmpeg output options of the later part
};
class JoinedStreams : public ::testing::TestWithParam<JoinedCase> {};

TEST_P(JoinedStreams, DecodeToTheEndAtTheFirstFormat) {
  test::TempDir dir;
  const std::string first = dir / "a.mp3", second = dir / "b.mp3", joined = dir / "ab.mp3";
  ASSERT_EQ(test::Run("ffmpeg -v error -f lavfi -i sine=f=440:d=5 -ac 2 -ar 44100 -b:a 128k " +
                      ShellQuote(first))
                .exitCode,
            0);
  ASSERT_EQ(test::Run("ffmpeg -v error -f lavfi -i sine=f=660:d=3 " +
                      std::string(GetParam().secondPart) + " " + ShellQuote(second))
                .exitCode,
            0);
  ASSERT_EQ(
      test::Run("cat " + ShellQuote(first) + " " + ShellQuote(second) + " > " + ShellQuote(joined))
          .exitCode,
      0);
  CBassDecoder decoder;
  ASSERT_NE(decoder.Open(joined, 0), 0);
  EXPECT_EQ(decoder.GetSampleRate(), 44100);
  EXPECT_EQ(decoder.GetOutputChannels(), 2);
  const test::Decoded d = test::DecodeAll(decoder, 100000);
  ASSERT_TRUE(d.endedByItself);
  EXPECT_NEAR(static_cast<double>(d.frames) / 44100, 8.0, 0.15);
  // The later part keeps its pitch: 660 Hz crosses zero 1320 times a second, on both sides.
  for (const auto* side : {&d.left, &d.right}) {
    int crossings = 0;
    for (std::size_t i = 6 * 44100; i < 7 * 44100 && i < side->size(); ++i)
      crossings += ((*side)[i - 1] < 0) != ((*side)[i] < 0);
    EXPECT_NEAR(crossings, 1320, 20);
  }
}

INSTANTIATE_TEST_SUITE_P(Parts, JoinedStreams,
                         ::testing::Values(JoinedCase{"mono22050", "-ac 1 -ar 22050 -b:a 64k"},
                                           JoinedCase{"stereo48000", "-ac 2 -ar 48000 -b:a 128k"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- tracker music ----------------------------------------------------------------------

struct MusicCase {
  const char* file;
  int requested;
  int expected;  // 0: must fail to open
};

class TrackerMusic : public ::testing::TestWithParam<MusicCase> {};

TEST_P(TrackerMusic, RendersAtTheRequestedRate) {
  const MusicCase& c = GetParam();
  const std::string path = FixturePath(Fixture(c.file));
  // The stream path refuses the module, whichever library could read it.
  EXPECT_EQ(audiolib::StreamCreateFile(path), nullptr);
  CBassDecoder decoder;
  if (c.expected == 0) {
    EXPECT_EQ(decoder.Open(path, c.requested), 0);
    return;
  }
  ASSERT_NE(decoder.Open(path, c.requested), 0);
  EXPECT_TRUE(decoder.IsMusic());
  EXPECT_EQ(decoder.GetSampleRate(), c.expected);
  EXPECT_EQ(decoder.GetChannels(), 2);
  EXPECT_EQ(decoder.GetBitsPerSample(), 16);
  // One pattern of 64 rows at speed 3 and tempo 125: 64 × 3 × 20 ms.
  const double seconds = static_cast<double>(decoder.GetLength()) / 4 / c.expected;
  EXPECT_NEAR(seconds, 3.84, 0.03);
  EXPECT_EQ(decoder.GetDuration(), 3);
  const Decoded out = DecodeAll(decoder, 100'000);
  ASSERT_TRUE(out.endedByItself);
  EXPECT_EQ(out.frames * 4, decoder.GetLength());
  EXPECT_GT(RmsDb(out.left), -40.0) << "the song is not silent";
}

INSTANTIATE_TEST_SUITE_P(
    Modules, TrackerMusic,
    ::testing::Values(MusicCase{"tune.mod", 0, 44100}, MusicCase{"tune.mod", 22050, 22050},
                      MusicCase{"tune.s3m", 48000, 48000}, MusicCase{"tune.s3m", 0, 44100},
                      MusicCase{"tune.umx", 0, 44100}, MusicCase{"tune.umx", 32000, 32000},
                      MusicCase{"tune.mod", 1000, 0}, MusicCase{"tune.mod", 400000, 0},
                      MusicCase{"tune.mod", -5, 0}),
    [](const auto& info) {
      return CaseName(info.param.file) + "_" +
             (info.param.requested < 0 ? "negative" : std::to_string(info.param.requested));
    });

TEST(TrackerMusicPath, RefusesWhatIsNotMusic) {
  EXPECT_EQ(audiolib::MusicLoad(FixturePath(Fixture("tone.flac")), 0), nullptr);
  EXPECT_EQ(audiolib::MusicLoad(FixturePath(Fixture("tone.wav")), 0), nullptr);
}

// ---- files that must not open -----------------------------------------------------------

enum class Bad { kMissing, kFolder, kFifo, kEmpty, kText, kTinyRiff };

class Unopenable : public ::testing::TestWithParam<Bad> {};

TEST_P(Unopenable, FailsAndHoldsNothing) {
  const TempDir tmp;
  std::string path = tmp / "x.wav";
  switch (GetParam()) {
    case Bad::kMissing:
      break;
    case Bad::kFolder:
      path = tmp.path();
      break;
    case Bad::kFifo:
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
      break;
    case Bad::kEmpty:
      WriteFileBytes(path, {});
      break;
    case Bad::kText:
      WriteFileBytes(path, std::vector<std::uint8_t>(3000, 'a'));
      break;
    case Bad::kTinyRiff:
      WriteFileBytes(path, {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
      break;
  }
  CBassDecoder decoder;
  EXPECT_EQ(decoder.Open(path, 0), 0);
  std::int16_t left[kDecodeBlock], right[kDecodeBlock];
  EXPECT_EQ(decoder.Read(left, right), 0);
  EXPECT_EQ(decoder.GetPosition(), 0u);
  EXPECT_EQ(decoder.GetLength(), 0u);
  EXPECT_EQ(decoder.GetSampleRate(), 0);
  EXPECT_EQ(decoder.GetChannelMode(), 4);
  std::string t = "keep", a, al, y, g, c, tr;
  EXPECT_EQ(decoder.ReadTags(t, a, al, y, g, c, tr), 0);
  EXPECT_EQ(t, "keep");
}

INSTANTIATE_TEST_SUITE_P(Paths, Unopenable,
                         ::testing::Values(Bad::kMissing, Bad::kFolder, Bad::kFifo, Bad::kEmpty,
                                           Bad::kText, Bad::kTinyRiff));

// A 103-byte WAV file whose RIFF INFO list claims 2 GB, with an entry inside claiming 1.9 GB:
// FFmpeg's INFO reader allocates (and zeroes) what the entry claims.
TEST(DamagedSizes, DoNotTakeGigabytesOfMemory) {
  const std::string path = FixturePath(Fixture("tone.wav"));  // makes the start-up settings hold
  const TempDir tmp;
  std::vector<std::uint8_t> bytes = {
      'R', 'I', 'F', 'F', 0x0A, 5,   0,    0,    'W',  'A',  'V', 'E',  'f',  'm',  't', ' ', 16,
      0,   0,   0,   1,   0,    1,   0,    0x40, 0x1F, 0,    0,   0x40, 0x1F, 0,    0,   1,   0,
      8,   0,   'L', 'I', 'S',  'T', 0x2E, 0,    0,    0x80, 'I', 'N',  'F',  'O',  'I', 'N', 'A',
      'M', 2,   0,   0,   0,    'T', 0,    'd',  'a',  't',  'a', 0xB0, 0x04, 0x79, 0x74};
  for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<std::uint8_t>(0x70 + i));
  const std::string damaged = tmp / "claims.wav";
  WriteFileBytes(damaged, bytes);
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  CBassDecoder decoder;
  if (decoder.Open(damaged, 0)) DecodeAll(decoder, 10'000);
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 512L * 1024) << "kilobytes";
  (void)path;
}

// ---- life cycle and threads -------------------------------------------------------------

TEST(BassDecoderLifecycle, ReopeningReplacesTheStreamAndCloseEndsIt) {
  CBassDecoder decoder;
  ASSERT_NE(decoder.Open(FixturePath(Fixture("surround.ac3")), 0), 0);
  std::int16_t left[kDecodeBlock], right[kDecodeBlock];
  ASSERT_GT(decoder.Read(left, right), 0);
  ASSERT_NE(decoder.Open(FixturePath(Fixture("tone8.wav")), 0), 0);
  EXPECT_EQ(decoder.GetChannels(), 1);
  EXPECT_EQ(decoder.GetBitsPerSample(), 8);
  EXPECT_EQ(decoder.GetPosition(), 0u);
  decoder.Close();
  EXPECT_EQ(decoder.Read(left, right), 0);
  EXPECT_EQ(decoder.GetPosition(), 0u);
}

TEST(BassDecoderThreads, DecodeAtOnceWhatTheyDecodeAlone) {
  const char* files[] = {"tone.mp3", "tone.ogg", "tone.m4a", "tune.mod", "tone.wv", "tone.wma"};
  std::vector<std::string> paths;
  std::vector<Decoded> alone;
  for (const char* f : files) {
    paths.push_back(FixturePath(Fixture(f)));
    CBassDecoder d;
    ASSERT_NE(d.Open(paths.back(), 0), 0);
    alone.push_back(DecodeAll(d, 1'000'000));
  }
  std::vector<Decoded> together(paths.size());
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < paths.size(); ++i)
    threads.emplace_back([&, i] {
      CBassDecoder d;
      if (d.Open(paths[i], 0)) together[i] = DecodeAll(d, 1'000'000);
    });
  for (auto& t : threads) t.join();
  for (std::size_t i = 0; i < paths.size(); ++i) {
    EXPECT_EQ(together[i].left, alone[i].left) << files[i];
    EXPECT_EQ(together[i].right, alone[i].right) << files[i];
  }
}

TEST(LibraryVersions, MatchTheBuild) {
  std::string problem = "untouched";
  EXPECT_TRUE(audiolib::CheckLibraryVersions(&problem));
  EXPECT_EQ(problem, "untouched");
}

}  // namespace
}  // namespace wavorax::test
