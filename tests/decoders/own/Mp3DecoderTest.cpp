#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "base/ByteSource.h"
#include "decoders/audiolib/BassDecoder.h"
#include "decoders/own/Mp3Decoder.h"
#include "tests/decoders/own/DecodeHelpers.h"
#include "tests/support/TestSupport.h"

namespace wavorax::test {
namespace {

// Encodes a generated stereo signal with the lame command line.
std::string LameFile(const TempDir& dir, const std::string& name, const std::string& lameArgs,
                     int channels, int rate, double seconds) {
  const std::string source = dir / (name + ".wav"), out = dir / name;
  std::vector<std::int16_t> signal;
  const auto frames = static_cast<std::size_t>(rate * seconds);
  const auto a = SpeechLike(rate, frames), b = Sine(1000, rate, frames, 0.3);
  for (std::size_t i = 0; i < frames; ++i) {
    signal.push_back(a[i]);
    if (channels == 2) signal.push_back(b[i]);
  }
  WriteWav16(source, signal, channels, rate);
  const auto r =
      test::Run("lame --quiet " + lameArgs + " " + ShellQuote(source) + " " + ShellQuote(out));
  EXPECT_EQ(r.exitCode, 0) << r.output;
  return out;
}

Decoded DecodeBytes(const std::vector<std::uint8_t>& bytes, CMp3Decoder& decoder) {
  EXPECT_NE(decoder.OpenSource(ByteSource::FromBytes(bytes)), 0);
  return DecodeAll(decoder);
}

struct Mp3Case {
  const char* name;
  const char* lameArgs;
  int channels;
  int rate;  // of the encoded stream
  int frameSamples;
  int channelMode;
};

class Mp3MatchesFfmpeg : public testing::TestWithParam<Mp3Case> {};

TEST_P(Mp3MatchesFfmpeg, WithinOneStepOr90Db) {
  const Mp3Case& c = GetParam();
  TempDir dir;
  const std::string file = LameFile(dir, "t.mp3", c.lameArgs, c.channels, 44100, 4.0);
  CMp3Decoder decoder;
  ASSERT_NE(decoder.Open(file, 0), 0);
  EXPECT_EQ(decoder.GetSampleRate(), c.rate);
  EXPECT_EQ(decoder.GetOutputChannels(), c.channels == 2 && c.channelMode != 3 ? 2 : 1);
  EXPECT_EQ(decoder.GetChannelMode(), c.channelMode);
  EXPECT_EQ(decoder.GetBitsPerSample(), 16);

  // A mono stream never touches the right buffer.
  std::vector<std::int16_t> left(kDecodeBlock), right(kDecodeBlock, 0x5A5A);
  std::vector<std::int16_t> ours;
  int reads = 0;
  for (;;) {
    const int n = decoder.Read(left.data(), right.data());
    if (n <= 0) break;
    ++reads;
    ASSERT_EQ(n, c.frameSamples);
    for (int i = 0; i < n; ++i) {
      ours.push_back(left[static_cast<std::size_t>(i)]);
      if (decoder.GetOutputChannels() == 2) ours.push_back(right[static_cast<std::size_t>(i)]);
    }
  }
  if (decoder.GetOutputChannels() == 1) {
    for (auto v : right) ASSERT_EQ(v, 0x5A5A);
  }
  EXPECT_GT(reads, 50);
  EXPECT_EQ(decoder.GetPosition(), decoder.GetLength());

  std::vector<std::int16_t> reference;
  ASSERT_TRUE(FfmpegDecodeS16(file, reference));
  int lag = 0, worst = 0;
  const double snr = AlignedSnrDb(reference, ours, decoder.GetOutputChannels(), 3000, &lag, &worst);
  EXPECT_TRUE(worst <= 1 || snr >= 90)
      << "snr " << snr << " dB, worst " << worst << ", lag " << lag;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, Mp3MatchesFfmpeg,
    testing::Values(Mp3Case{"Mpeg1StereoCbr", "-b 192 -m s", 2, 44100, 1152, 0},
                    Mp3Case{"Mpeg1JointStereoVbr", "-V 2 -m j", 2, 44100, 1152, 1},
                    Mp3Case{"Mpeg1DualChannel", "-b 160 -m d", 2, 44100, 1152, 2},
                    Mp3Case{"Mpeg2MonoLayer3", "-b 48 -m m --resample 22.05", 1, 22050, 576, 3},
                    Mp3Case{"Mpeg25Mono", "-b 16 -m m --resample 8", 1, 8000, 576, 3}),
    [](const testing::TestParamInfo<Mp3Case>& info) { return std::string(info.param.name); });

TEST(Mp3Decoder, LayerTwoGives1152PerRead) {
  TempDir dir;
  const std::string source = dir / "s.wav", file = dir / "t.mp2";
  WriteWav16(source, SpeechLike(48000, 48000 * 2), 1, 48000);
  ASSERT_EQ(test::Run("ffmpeg -v error -nostdin -y -i " + ShellQuote(source) +
                      " -c:a mp2 -b:a 128k " + ShellQuote(file))
                .exitCode,
            0);
  CMp3Decoder decoder;
  ASSERT_NE(decoder.Open(file, 0), 0);
  EXPECT_EQ(decoder.GetNominalBitrate(), 128);
  const Decoded ours = DecodeAll(decoder);
  for (std::size_t i = 0; i + 2 < ours.readSizes.size(); ++i) ASSERT_EQ(ours.readSizes[i], 1152);
  std::vector<std::int16_t> reference;
  ASSERT_TRUE(FfmpegDecodeS16(file, reference));
  int worst = 0;
  const double snr = AlignedSnrDb(reference, ours.samples, 1, 3000, nullptr, &worst);
  EXPECT_TRUE(worst <= 1 || snr >= 90) << snr;
}

// ---- Free-format layer II ----------------------------------------------------------

enum class FreeFrames { kAll, kFirstHalf, kSecondHalf };

struct FreeFormatCase {
  const char* name;
  int rate, channels, kbps;  // of the standard-rate stream the frames come from
  int extraBytes;            // zero bytes of ancillary data added to each frame
  FreeFrames which;          // the frames whose headers lose their bit rate
  bool decodable;            // else the own decoder refuses the file
};

class FreeFormatLayer2 : public testing::TestWithParam<FreeFormatCase> {};

// A stream whose headers say nothing of the bit rate, so that its frames are found by the
// distance from one header to the next. Both routes either refuse it or play what FFmpeg
// plays from the stream it was made from; neither ever plays noise.
TEST_P(FreeFormatLayer2, IsDecodedRightOrRefused) {
  const FreeFormatCase& c = GetParam();
  TempDir dir;
  const std::string source = dir / "s.wav", original = dir / "o.mp2", path = dir / "free.mp2";
  WriteWav16(source, SpeechLike(c.rate, static_cast<std::size_t>(c.rate) * 3 * c.channels),
             c.channels, c.rate);
  ASSERT_EQ(test::Run("ffmpeg -v error -nostdin -y -i " + ShellQuote(source) + " -c:a mp2 -b:a " +
                      std::to_string(c.kbps) + "k " + ShellQuote(original))
                .exitCode,
            0);
  const std::vector<std::uint8_t> in = ReadFileBytes(original);
  std::vector<std::uint8_t> out;
  std::vector<std::size_t> starts;
  const int base = 144000 * c.kbps / c.rate;
  for (std::size_t at = 0; at + 4 <= in.size(); at += base + ((in[at + 2] >> 1) & 1)) {
    ASSERT_EQ(in[at], 0xFF) << at;
    starts.push_back(at);
  }
  for (std::size_t k = 0; k < starts.size(); ++k) {
    const std::size_t end = k + 1 < starts.size() ? starts[k + 1] : in.size();
    const std::size_t first = out.size();
    out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(starts[k]),
               in.begin() + static_cast<std::ptrdiff_t>(end));
    const bool half = k >= starts.size() / 2;
    if (c.which == FreeFrames::kAll || half == (c.which == FreeFrames::kSecondHalf)) {
      out[first + 2] &= 0x0F;
      out.insert(out.end(), static_cast<std::size_t>(c.extraBytes), 0);
    }
  }
  WriteFileBytes(path, out);
  std::vector<std::int16_t> reference;
  ASSERT_TRUE(FfmpegDecodeS16(original, reference));

  CMp3Decoder own;
  ASSERT_EQ(own.Open(path, 0) != 0, c.decodable);
  if (c.decodable) {
    EXPECT_EQ(own.GetSampleRate(), c.rate);
    const Decoded ours = DecodeAll(own);
    EXPECT_EQ(ours.frames, reference.size() / static_cast<std::size_t>(c.channels));
    int worst = 0;
    const double snr = AlignedSnrDb(reference, ours.samples, c.channels, 3000, nullptr, &worst);
    EXPECT_TRUE(worst <= 1 || snr >= 90) << "snr " << snr << " dB, worst " << worst;
  }
  // The library route leaves out the frames it cannot decode, or refuses the file.
  CBassDecoder library;
  if (library.Open(path, 0)) {
    const Decoded theirs = DecodeAll(library);
    EXPECT_LE(theirs.frames, reference.size() / static_cast<std::size_t>(c.channels));
    EXPECT_LE(RmsDb(theirs.samples), RmsDb(reference) + 0.5);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, FreeFormatLayer2,
    testing::Values(
        FreeFormatCase{"StandardLength48k", 48000, 2, 192, 0, FreeFrames::kAll, true},
        FreeFormatCase{"PaddedLonger44k", 44100, 2, 192, 20, FreeFrames::kAll, true},
        FreeFormatCase{"MonoHalfRate", 24000, 1, 64, 0, FreeFrames::kAll, true},
        FreeFormatCase{"LongerThanAnyRate", 48000, 2, 384, 100, FreeFrames::kAll, false},
        FreeFormatCase{"ThenStandard", 48000, 2, 192, 0, FreeFrames::kFirstHalf, true},
        FreeFormatCase{"AfterStandard", 44100, 2, 192, 0, FreeFrames::kSecondHalf, true}),
    [](const testing::TestParamInfo<FreeFormatCase>& info) {
      return std::string(info.param.name);
    });

// ---- Finding the first frame --------------------------------------------------------

class Mp3Search : public testing::Test {
 protected:
  void SetUp() override {
    plain = ReadFileBytes(LameFile(dir, "plain.mp3", "-b 128 -t", 2, 44100, 1.5));
    ASSERT_GT(plain.size(), 1000u);
    CMp3Decoder decoder;
    expected = DecodeBytes(plain, decoder).samples;
    ASSERT_GT(expected.size(), 44100u);
  }
  static std::vector<std::uint8_t> Id3v2(std::uint32_t size) {
    Bytes tag;
    tag.Text("ID3").U8(3).U8(0).U8(0);
    tag.U8((size >> 21) & 0x7F).U8((size >> 14) & 0x7F).U8((size >> 7) & 0x7F).U8(size & 0x7F);
    tag.Text("TIT2").Be32(6).U8(0).U8(0).U8(0).Text("Hello");
    while (tag.data.size() < size + 10) tag.U8(0);
    return tag.data;
  }
  TempDir dir;
  std::vector<std::uint8_t> plain;
  std::vector<std::int16_t> expected;
};

TEST_F(Mp3Search, Id3v2TagIsKeptByteForByte) {
  const auto tag = Id3v2(4096);
  auto file = tag;
  file.insert(file.end(), plain.begin(), plain.end());
  CMp3Decoder decoder;
  const Decoded out = DecodeBytes(file, decoder);
  std::uint32_t size = 0;
  const std::uint8_t* kept = decoder.GetId3v2Tag(&size);
  ASSERT_EQ(size, 4096u + 10);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(std::memcmp(kept, tag.data(), size), 0);
  EXPECT_EQ(out.samples, expected);
}

// The library route and the program's own decoder hand the pipeline the same tag block,
// an ID3v2.4 footer included when the header announces one.
class Mp3TagBlock : public Mp3Search, public ::testing::WithParamInterface<bool> {};

TEST_P(Mp3TagBlock, IsTheSameOnBothRoutes) {
  const bool footer = GetParam();
  auto tag = Id3v2(300);
  if (footer) {
    tag[3] = 4;
    tag[5] = 0x10;
    Bytes end;
    end.Text("3DI").U8(4).U8(0).U8(0x10);
    end.data.insert(end.data.end(), tag.begin() + 6, tag.begin() + 10);
    tag.insert(tag.end(), end.data.begin(), end.data.end());
  }
  auto bytes = tag;
  bytes.insert(bytes.end(), plain.begin(), plain.end());
  const std::string path = dir / "tagged.mp3";
  WriteFileBytes(path, bytes);

  CMp3Decoder own;
  CBassDecoder library;
  ASSERT_NE(own.Open(path, 0), 0);
  ASSERT_NE(library.Open(path, 0), 0);
  std::uint32_t ownSize = 0, librarySize = 0;
  const std::uint8_t* ownBlock = own.GetId3v2Tag(&ownSize);
  const std::uint8_t* libraryBlock = library.GetId3v2Tag(&librarySize);
  ASSERT_NE(ownBlock, nullptr);
  ASSERT_NE(libraryBlock, nullptr);
  EXPECT_EQ(ownSize, tag.size());
  EXPECT_EQ(std::vector<std::uint8_t>(ownBlock, ownBlock + ownSize), tag);
  EXPECT_EQ(std::vector<std::uint8_t>(libraryBlock, libraryBlock + librarySize), tag);
  EXPECT_EQ(DecodeAll(own).samples, expected);
}

INSTANTIATE_TEST_SUITE_P(Footers, Mp3TagBlock, ::testing::Bool());

TEST_F(Mp3Search, GarbageAfterTheTagRestartsAtTheStart) {
  const auto tag = Id3v2(200);
  auto file = tag;
  file.insert(file.end(), 333, 0x00);  // not counted by the tag's size
  file.insert(file.end(), plain.begin(), plain.end());
  CMp3Decoder decoder;
  const Decoded out = DecodeBytes(file, decoder);
  std::uint32_t size = 0;
  ASSERT_NE(decoder.GetId3v2Tag(&size), nullptr);
  EXPECT_EQ(size, 210u);
  EXPECT_EQ(out.samples, expected);
}

TEST_F(Mp3Search, AlbumIdHeaderIsSkipped) {
  Bytes file;
  file.Text("AiD").U8(1).Le16(300);
  while (file.data.size() < 300) file.U8(0xFF);  // sync-like filler that must not be taken
  file.Append(plain);
  CMp3Decoder decoder;
  EXPECT_EQ(DecodeBytes(file.data, decoder).samples, expected);
}

TEST_F(Mp3Search, NoTagMeansNoBlock) {
  CMp3Decoder decoder;
  ASSERT_NE(decoder.OpenSource(ByteSource::FromBytes(plain)), 0);
  std::uint32_t size = 99;
  EXPECT_EQ(decoder.GetId3v2Tag(&size), nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(decoder.GetId3v1Tag(), nullptr);
  // Looking for the tag did not move the stream.
  EXPECT_EQ(DecodeAll(decoder).samples, expected);
}

TEST_F(Mp3Search, Id3v1IsReadOnRequestWithoutDisturbingTheStream) {
  auto file = plain;
  Bytes v1;
  v1.Text("TAG").Text("A title");
  while (v1.data.size() < 128) v1.U8(0);
  file.insert(file.end(), v1.data.begin(), v1.data.end());
  CMp3Decoder decoder;
  ASSERT_NE(decoder.OpenSource(ByteSource::FromBytes(file)), 0);
  std::vector<std::int16_t> left(kDecodeBlock), right(kDecodeBlock);
  ASSERT_GT(decoder.Read(left.data(), right.data()), 0);
  const std::uint8_t* tag = decoder.GetId3v1Tag();
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(std::memcmp(tag, v1.data.data(), 128), 0);
  // The samples that follow are the ones a straight decode gives.
  const Decoded rest = DecodeAll(decoder);
  ASSERT_GE(expected.size(), rest.samples.size());
  const std::vector<std::int16_t> tail(expected.begin() + 2 * 1152,
                                       expected.begin() + 2 * 1152 + 20000);
  EXPECT_EQ(std::vector<std::int16_t>(rest.samples.begin(), rest.samples.begin() + 20000), tail);
}

TEST(Mp3Decoder, DurationFromXingOrFromTheFileSize) {
  TempDir dir;
  // Mostly quiet VBR: its frames are far smaller than the first frame's bit rate suggests,
  // so only the Xing frame count gives the right length.
  const std::string vbr = LameFile(dir, "vbr.mp3", "-V 9 --scale 0.01", 2, 44100, 20.2);
  CMp3Decoder decoder;
  ASSERT_NE(decoder.Open(vbr, 0), 0);
  EXPECT_EQ(decoder.GetDuration(), 20);
  EXPECT_GT(decoder.GetBitrate(), 0);

  const std::string cbr = LameFile(dir, "cbr.mp3", "-b 64 -t", 2, 44100, 7.0);
  ASSERT_NE(decoder.Open(cbr, 0), 0);
  std::uint64_t size = 0;
  ASSERT_TRUE(ReadFileBytes(cbr).size() > 0);
  size = ReadFileBytes(cbr).size();
  EXPECT_EQ(decoder.GetBitrate(), 64);
  EXPECT_EQ(decoder.GetDuration(), static_cast<int>(size * 8 / 64000));
  EXPECT_EQ(decoder.GetDuration(), 7);
}

TEST(Mp3Decoder, EachDecoderHasItsOwnState) {
  TempDir dir;
  const auto a = LameFile(dir, "a.mp3", "-b 128", 2, 44100, 2.0);
  const auto b = LameFile(dir, "b.mp3", "-b 32 -m m --resample 16", 1, 44100, 2.0);
  std::vector<std::int16_t> aAlone, bAlone;
  {
    CMp3Decoder d;
    ASSERT_NE(d.Open(a, 0), 0);
    aAlone = DecodeAll(d).samples;
    ASSERT_NE(d.Open(b, 0), 0);
    bAlone = DecodeAll(d).samples;
  }
  // Interleaved on one thread.
  CMp3Decoder da, db;
  ASSERT_NE(da.Open(a, 0), 0);
  ASSERT_NE(db.Open(b, 0), 0);
  std::vector<std::int16_t> aMixed, bMixed, l(kDecodeBlock), r(kDecodeBlock);
  bool aDone = false, bDone = false;
  while (!aDone || !bDone) {
    if (!aDone) {
      const int n = da.Read(l.data(), r.data());
      aDone = n <= 0;
      for (int i = 0; i < n; ++i) {
        aMixed.push_back(l[static_cast<std::size_t>(i)]);
        aMixed.push_back(r[static_cast<std::size_t>(i)]);
      }
    }
    if (!bDone) {
      const int n = db.Read(l.data(), nullptr);
      bDone = n <= 0;
      for (int i = 0; i < n; ++i) bMixed.push_back(l[static_cast<std::size_t>(i)]);
    }
  }
  EXPECT_EQ(aMixed, aAlone);
  EXPECT_EQ(bMixed, bAlone);

  // And on several threads at once.
  std::vector<std::vector<std::int16_t>> results(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      CMp3Decoder d;
      if (d.Open(t % 2 ? b : a, 0)) results[static_cast<std::size_t>(t)] = DecodeAll(d).samples;
    });
  for (auto& t : threads) t.join();
  for (int t = 0; t < 4; ++t)
    EXPECT_EQ(results[static_cast<std::size_t>(t)], t % 2 ? bAlone : aAlone);
}

TEST(Mp3Decoder, RefusesWhatHasNoFrames) {
  CMp3Decoder decoder;
  for (const auto& bytes :
       {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>(5000, 0x00),
        std::vector<std::uint8_t>{'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F, 1, 2},
        std::vector<std::uint8_t>{'A', 'i', 'D', 1, 2, 0, 0xFF, 0xFB}}) {
    EXPECT_EQ(decoder.OpenSource(ByteSource::FromBytes(bytes)), 0);
    EXPECT_EQ(decoder.GetChannelMode(), 4);
    EXPECT_EQ(decoder.GetSampleRate(), 0);
  }
  EXPECT_EQ(decoder.Open("/nonexistent.mp3", 0), 0);
}

}  // namespace
}  // namespace wavorax::test
