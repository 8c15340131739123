#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "base/ByteSource.h"
#include "decoders/own/WavDecoder.h"
#include "tests/decoders/own/DecodeHelpers.h"
#include "tests/support/TestSupport.h"

namespace wavorax::test {
namespace {

std::unique_ptr<ByteSource> Memory(const std::vector<std::uint8_t>& bytes) {
  return ByteSource::FromBytes(bytes);
}

// A signal with a different tone in every channel, so that swapped or mixed channels show.
std::vector<std::int16_t> Tones(int channels, int rate, std::size_t frames) {
  std::vector<std::int16_t> out(frames * static_cast<std::size_t>(channels));
  for (int c = 0; c < channels; ++c) {
    const auto tone = Sine(220.0 * (c + 1) + 17, rate, frames, 0.7 - 0.08 * c);
    for (std::size_t i = 0; i < frames; ++i)
      out[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = tone[i];
  }
  return out;
}

struct FfmpegCase {
  const char* name;
  const char* encoderArgs;
  int channels;
  int rate;
  int tolerance;          // largest allowed difference from FFmpeg's decoding, in 16-bit steps
  bool soxExact = false;  // SoX implements the same reference: must match it exactly
};

// SoX's decoding of a file to interleaved signed 16-bit samples.
std::vector<std::int16_t> SoxDecode(const TempDir& dir, const std::string& path) {
  const std::string raw = dir / "sox.raw";
  const auto r =
      test::Run("sox " + ShellQuote(path) + " -t s16 -e signed-integer -L " + ShellQuote(raw));
  EXPECT_EQ(r.exitCode, 0) << r.output;
  const auto bytes = ReadFileBytes(raw);
  std::vector<std::int16_t> out(bytes.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return out;
}

class WavMatchesFfmpeg : public testing::TestWithParam<FfmpegCase> {};

TEST_P(WavMatchesFfmpeg, SampleBySample) {
  const FfmpegCase& c = GetParam();
  TempDir dir;
  const std::string source = dir / "source.wav", encoded = dir / "encoded.wav";
  WriteWav16(source, Tones(c.channels, c.rate, static_cast<std::size_t>(c.rate) * 3 + 77),
             c.channels, c.rate);
  const auto made = test::Run("ffmpeg -v error -nostdin -y -i " + ShellQuote(source) + " " +
                              c.encoderArgs + " " + ShellQuote(encoded));
  ASSERT_EQ(made.exitCode, 0) << made.output;

  CWavDecoder decoder;
  ASSERT_NE(decoder.Open(encoded, 0), 0);
  EXPECT_EQ(decoder.GetSampleRate(), c.rate);
  EXPECT_EQ(decoder.GetChannels(), c.channels);
  EXPECT_EQ(decoder.GetOutputChannels(), std::min(c.channels, 2));
  const Decoded ours = DecodeAll(decoder);

  std::vector<std::int16_t> reference;
  int ffChannels = 0;
  ASSERT_TRUE(FfmpegDecodeS16(encoded, reference, &ffChannels));
  ASSERT_EQ(ffChannels, c.channels);
  reference = FirstChannels(reference, c.channels, std::min(c.channels, 2));
  ASSERT_EQ(ours.samples.size(), reference.size());
  EXPECT_LE(MaxAbsDiff(ours.samples, reference), c.tolerance);
  EXPECT_GE(SnrDb(reference, ours.samples), 60.0);
  EXPECT_EQ(decoder.GetPosition(), decoder.GetLength());
  if (c.soxExact) {
    EXPECT_EQ(ours.samples, SoxDecode(dir, encoded));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WavMatchesFfmpeg,
    testing::Values(
        FfmpegCase{"Pcm8Mono", "-c:a pcm_u8", 1, 11025, 0},
        FfmpegCase{"Pcm16Stereo", "-c:a pcm_s16le", 2, 44100, 0},
        FfmpegCase{"Pcm24Stereo", "-c:a pcm_s24le", 2, 48000, 0},
        FfmpegCase{"Pcm32Mono", "-c:a pcm_s32le", 1, 32000, 0},
        // Six channels make FFmpeg write the extensible form; the first two are kept.
        FfmpegCase{"Extensible6Channels", "-c:a pcm_s16le", 6, 48000, 0},
        // Full scale is 2^31 - 1 here and 2^31 in FFmpeg: positive samples may differ by 1.
        FfmpegCase{"Float32Stereo", "-c:a pcm_f32le", 2, 44100, 1},
        FfmpegCase{"Float64Mono", "-c:a pcm_f64le", 1, 22050, 1},
        FfmpegCase{"ALawStereo", "-c:a pcm_alaw", 2, 8000, 0},
        FfmpegCase{"MuLawMono", "-c:a pcm_mulaw", 1, 8000, 0},
        FfmpegCase{"MsAdpcmMono", "-c:a adpcm_ms", 1, 22050, 0},
        FfmpegCase{"MsAdpcmStereo", "-c:a adpcm_ms -block_size 2048", 2, 44100, 0},
        // FFmpeg rounds the IMA step as ((2c + 1) × step) >> 3; the IMA reference adds
        // shifted steps, as SoX does, so SoX is the exact second opinion here.
        FfmpegCase{"ImaAdpcmMono", "-c:a adpcm_ima_wav", 1, 22050, 128, true},
        FfmpegCase{"ImaAdpcmStereo", "-c:a adpcm_ima_wav -block_size 2048", 2, 44100, 128, true},
        FfmpegCase{"Gsm610", "-c:a libgsm_ms", 1, 8000, 0}),
    [](const testing::TestParamInfo<FfmpegCase>& info) { return std::string(info.param.name); });

TEST(WavDecoder, MpegPayloadReportsTheInnerStreamAndMatchesFfmpeg) {
  TempDir dir;
  const std::string source = dir / "source.wav", encoded = dir / "mpeg.wav";
  WriteWav16(source, Tones(2, 44100, 44100 * 4), 2, 44100);
  const auto made = test::Run("ffmpeg -v error -nostdin -y -i " + ShellQuote(source) +
                              " -c:a libmp3lame -b:a 128k " + ShellQuote(encoded));
  ASSERT_EQ(made.exitCode, 0) << made.output;

  CWavDecoder decoder;
  ASSERT_NE(decoder.Open(encoded, 0), 0);
  EXPECT_EQ(decoder.GetSampleRate(), 44100);
  EXPECT_EQ(decoder.GetOutputChannels(), 2);
  EXPECT_EQ(decoder.GetBitsPerSample(), 16);
  EXPECT_EQ(decoder.GetChannelMode(), 4);  // the container's decoder names no MPEG mode
  EXPECT_GE(decoder.GetDuration(), 3);
  EXPECT_LE(decoder.GetDuration(), 4);
  ASSERT_GT(decoder.GetDuration(), 0);
  EXPECT_EQ(decoder.GetBitrate(),
            static_cast<int>(decoder.GetLength() /
                             (static_cast<std::uint64_t>(decoder.GetDuration()) * 125)));
  const Decoded ours = DecodeAll(decoder);
  for (std::size_t i = 0; i + 2 < ours.readSizes.size(); ++i) EXPECT_EQ(ours.readSizes[i], 1152);

  std::vector<std::int16_t> reference;
  ASSERT_TRUE(FfmpegDecodeS16(encoded, reference));
  int lag = 0, worst = 0;
  const double snr = AlignedSnrDb(reference, ours.samples, 2, 3000, &lag, &worst);
  EXPECT_TRUE(worst <= 1 || snr >= 90)
      << "snr " << snr << " dB, worst " << worst << ", lag " << lag;
}

// ---- Values of single samples, from files built byte by byte -----------------------

struct SampleCase {
  const char* name;
  int tag;
  int bits;
  std::vector<std::uint8_t> data;  // one channel
  std::vector<std::int16_t> expected;
};

std::vector<std::uint8_t> FloatBytes(std::initializer_list<float> values) {
  std::vector<std::uint8_t> out;
  for (float v : values) {
    std::uint8_t b[4];
    std::memcpy(b, &v, 4);
    out.insert(out.end(), b, b + 4);
  }
  return out;
}

std::vector<std::uint8_t> DoubleBytes(std::initializer_list<double> values) {
  std::vector<std::uint8_t> out;
  for (double v : values) {
    std::uint8_t b[8];
    std::memcpy(b, &v, 8);
    out.insert(out.end(), b, b + 8);
  }
  return out;
}

class WavSampleValues : public testing::TestWithParam<SampleCase> {};

TEST_P(WavSampleValues, Convert) {
  const SampleCase& c = GetParam();
  const int width = c.bits / 8;
  auto fmt = FmtBody(c.tag, 1, 8000, width, c.bits);
  if (c.tag == 0xFFFE) {
    // Extensible: valid bits, channel mask, then the float sub-format GUID.
    fmt.Le16(22)
        .Le16(static_cast<unsigned>(c.bits))
        .Le32(4)
        .Le32(3)
        .Le32(0x00100000)
        .Le32(0xAA000080)
        .Le32(0x719B3800);
  }
  CWavDecoder decoder;
  ASSERT_NE(decoder.OpenSource(Memory(MakeWav(fmt.data, c.data))), 0);
  const Decoded out = DecodeAll(decoder);
  EXPECT_EQ(out.samples, c.expected);
}

const float kNan = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Samples, WavSampleValues,
    testing::Values(
        SampleCase{"Pcm24KeepsTheUpperBytes",
                   1,
                   24,
                   {0x56, 0x34, 0x12, 0x00, 0x00, 0x80},
                   {0x1234, -32768}},
        // A last 24-bit sample cut short by the end of the data is dropped, not read past.
        SampleCase{"Pcm24FinalSampleCutShort", 1, 24, {0x56, 0x34, 0x12, 0xFF, 0xFF}, {0x1234}},
        SampleCase{"Pcm32ShiftsArithmetically",
                   1,
                   32,
                   {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0xFF, 0x7F},
                   {-1, 32767}},
        SampleCase{"Float32FullScaleAndClipping",
                   3,
                   32,
                   FloatBytes({1.0f, -1.0f, 0.5f, 2.0f, -3.0f, kNan, 0.0f}),
                   {32767, -32768, 16383, 32767, -32768, 0, 0}},
        SampleCase{"Float64FullScaleAndClipping",
                   3,
                   64,
                   DoubleBytes({1.0, -1.0, -0.25, 1e300, -1e300}),
                   {32767, -32768, -8192, 32767, -32768}},
        // The extensible form with the float sub-format holds floats, not integers.
        SampleCase{
            "ExtensibleFloatSubFormat", 0xFFFE, 32, FloatBytes({1.0f, -0.5f}), {32767, -16384}},
        SampleCase{"ALaw", 6, 8, {0xD5, 0x55}, {8, -8}},
        SampleCase{"MuLaw", 7, 8, {0x00, 0xFF}, {-32124, 0}}),
    [](const testing::TestParamInfo<SampleCase>& info) { return std::string(info.param.name); });

TEST(WavDecoder, EightBitStereoStaysUnsignedAndSplits) {
  CWavDecoder decoder;
  ASSERT_NE(
      decoder.OpenSource(Memory(MakeWav(FmtBody(1, 2, 8000, 2, 8).data, {0x10, 0xF0, 0x80, 0x7F}))),
      0);
  EXPECT_EQ(decoder.GetBitsPerSample(), 8);
  std::vector<std::uint8_t> left(kDecodeBlock), right(kDecodeBlock);
  ASSERT_EQ(decoder.Read(left.data(), right.data()), 2);
  EXPECT_EQ(left[0], 0x10);
  EXPECT_EQ(right[0], 0xF0);
  EXPECT_EQ(left[1], 0x80);
  EXPECT_EQ(right[1], 0x7F);
}

TEST(WavDecoder, SixChannelALawKeepsTheFirstTwo) {
  std::vector<std::uint8_t> data;
  for (int frame = 0; frame < 2000; ++frame)
    for (int c = 0; c < 6; ++c)
      data.push_back(static_cast<std::uint8_t>(c == 0 ? 0xD5 : c == 1 ? 0x55 : 0x00));
  CWavDecoder decoder;
  ASSERT_NE(decoder.OpenSource(Memory(MakeWav(FmtBody(6, 6, 8000, 6, 8).data, data))), 0);
  EXPECT_EQ(decoder.GetChannels(), 6);
  EXPECT_EQ(decoder.GetOutputChannels(), 2);
  const Decoded out = DecodeAll(decoder);
  ASSERT_EQ(out.samples.size(), 4000u);
  EXPECT_EQ(out.readSizes[0], 1152);
  for (std::size_t i = 0; i < out.samples.size(); i += 2) {
    ASSERT_EQ(out.samples[i], 8);
    ASSERT_EQ(out.samples[i + 1], -8);
  }
}

// ---- Chunk walking ----------------------------------------------------------------

std::vector<std::uint8_t> MsAdpcmFmt(int channels, int blockAlign, int samplesPerBlock,
                                     int coefficientCount, std::uint32_t rate = 8000);

std::vector<std::uint8_t> Pcm16Data(int count) {
  Bytes b;
  for (int i = 0; i < count; ++i) b.Le16(static_cast<unsigned>(i * 7) & 0xFFFF);
  return b.data;
}

TEST(WavDecoder, ZeroSizedDataChunkRunsToTheEndOfTheFile) {
  auto file = MakeWav(FmtBody(1, 1, 8000, 2, 16).data, Pcm16Data(3000));
  const std::size_t sizeField = file.size() - 6000 - 4;
  std::memset(&file[sizeField], 0, 4);
  CWavDecoder decoder;
  ASSERT_NE(decoder.OpenSource(Memory(file)), 0);
  EXPECT_EQ(decoder.GetLength(), 6000u);
  const Decoded out = DecodeAll(decoder);
  ASSERT_EQ(out.samples.size(), 3000u);
  EXPECT_EQ(out.samples[2999], static_cast<std::int16_t>(2999 * 7));
}

TEST(WavDecoder, LetterScanSkipsPadAndJunkBetweenChunks) {
  Bytes body;
  body.Text("WAVE");
  // fmt chunk claiming 16 bytes but followed by two junk bytes that are no letters.
  body.Text("fmt ").Le32(16).Append(FmtBody(1, 1, 8000, 2, 16).data).U8(0).U8(0x17);
  // An odd-sized chunk with its pad byte.
  body.Text("LIST").Le32(3).U8('a').U8('b').U8('c').U8(0);
  body.Text("data").Le32(20).Append(Pcm16Data(10));
  Bytes file;
  file.Text("RIFF").Le32(static_cast<std::uint32_t>(body.data.size())).Append(body.data);
  CWavDecoder decoder;
  ASSERT_NE(decoder.OpenSource(Memory(file.data)), 0);
  EXPECT_EQ(DecodeAll(decoder).samples.size(), 10u);
}

TEST(WavDecoder, ALaterFmtChunkReplacesTheEarlierOneCompletely) {
  // Found by fuzzing: an ADPCM fmt chunk followed by a PCM one left the ADPCM block
  // decoder in charge of blocks sized for PCM.
  Bytes body;
  body.Text("WAVE");
  const auto adpcm = MsAdpcmFmt(1, 256, 500, 7);
  body.Text("fmt ").Le32(static_cast<std::uint32_t>(adpcm.size())).Append(adpcm);
  body.Text("fmt ").Le32(16).Append(FmtBody(1, 1, 8000, 2, 16).data);
  body.Text("data").Le32(20).Append(Pcm16Data(10));
  Bytes file;
  file.Text("RIFF").Le32(static_cast<std::uint32_t>(body.data.size())).Append(body.data);
  CWavDecoder decoder;
  ASSERT_NE(decoder.OpenSource(Memory(file.data)), 0);
  const Decoded out = DecodeAll(decoder);
  ASSERT_EQ(out.samples.size(), 10u);
  EXPECT_EQ(out.samples[9], 63);
}

TEST(WavDecoder, DurationAndBitRateOfPcm) {
  CWavDecoder decoder;
  ASSERT_NE(
      decoder.OpenSource(Memory(MakeWav(FmtBody(1, 1, 8000, 2, 16).data, Pcm16Data(8000 * 3 + 5)))),
      0);
  EXPECT_EQ(decoder.GetDuration(), 3);
  EXPECT_EQ(decoder.GetBitrate(), 128);  // 48010 bytes / (3 s × 125)
}

// ---- Files that must not open --------------------------------------------------------

std::vector<std::uint8_t> MsAdpcmFmt(int channels, int blockAlign, int samplesPerBlock,
                                     int coefficientCount, std::uint32_t rate) {
  Bytes b = FmtBody(2, channels, rate, blockAlign, 4);
  b.Le16(static_cast<unsigned>(4 + 4 * coefficientCount))
      .Le16(static_cast<unsigned>(samplesPerBlock))
      .Le16(static_cast<unsigned>(coefficientCount));
  const int pairs[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                           {240, 0}, {460, -208}, {392, -232}};
  for (int i = 0; i < coefficientCount; ++i)
    b.Le16(static_cast<unsigned>(pairs[i % 7][0]) & 0xFFFF)
        .Le16(static_cast<unsigned>(pairs[i % 7][1]) & 0xFFFF);
  return b.data;
}

std::vector<std::uint8_t> ImaFmt(int channels, int blockAlign, int samplesPerBlock) {
  Bytes b = FmtBody(0x11, channels, 8000, blockAlign, 4);
  b.Le16(2).Le16(static_cast<unsigned>(samplesPerBlock));
  return b.data;
}

std::vector<std::uint8_t> GsmFmt(int blockAlign, int samplesPerBlock, int channels = 1) {
  Bytes b = FmtBody(49, channels, 8000, blockAlign, 0);
  b.Le16(2).Le16(static_cast<unsigned>(samplesPerBlock));
  return b.data;
}

struct RefusedCase {
  const char* name;
  std::vector<std::uint8_t> file;
};

class WavRefused : public testing::TestWithParam<RefusedCase> {};

TEST_P(WavRefused, OpenFailsAndLeavesTheDecoderClosed) {
  CWavDecoder decoder;
  EXPECT_EQ(decoder.OpenSource(Memory(GetParam().file)), 0);
  EXPECT_EQ(decoder.GetSampleRate(), 0);
  EXPECT_EQ(decoder.GetChannels(), 0);
  std::vector<std::int16_t> left(kDecodeBlock), right(kDecodeBlock);
  EXPECT_LE(decoder.Read(left.data(), right.data()), 0);
}

std::vector<std::uint8_t> Junk(std::size_t n) { return std::vector<std::uint8_t>(n, 0x42); }

INSTANTIATE_TEST_SUITE_P(
    Headers, WavRefused,
    testing::Values(
        RefusedCase{"DataBeforeFmt", MakeWav(FmtBody(1, 1, 8000, 2, 16).data, Pcm16Data(10), true)},
        RefusedCase{"NotRiff", [] { auto f = MakeWav(FmtBody(1, 1, 8000, 2, 16).data, Pcm16Data(10)); f[0] = 'X'; return f; }()},
        RefusedCase{"NoDataChunk", [] { auto f = MakeWav(FmtBody(1, 1, 8000, 2, 16).data, {}); f.resize(f.size() - 8); return f; }()},
        RefusedCase{"ShortFmtChunk", MakeWav(Bytes().Le16(1).Le16(1).Le32(8000).data, Pcm16Data(10))},
        RefusedCase{"Pcm12Bits", MakeWav(FmtBody(1, 1, 8000, 2, 12).data, Pcm16Data(10))},
        RefusedCase{"Pcm9Channels", MakeWav(FmtBody(1, 9, 8000, 18, 16).data, Pcm16Data(90))},
        RefusedCase{"ZeroChannels", MakeWav(FmtBody(1, 0, 8000, 2, 16).data, Pcm16Data(10))},
        RefusedCase{"ZeroSampleRate", MakeWav(FmtBody(1, 1, 0, 2, 16).data, Pcm16Data(10))},
        RefusedCase{"ZeroChannelsALaw", MakeWav(FmtBody(6, 0, 8000, 1, 8).data, Junk(10))},
        RefusedCase{"Float24Bits", MakeWav(FmtBody(3, 1, 8000, 3, 24).data, Junk(30))},
        RefusedCase{"UnknownTag", MakeWav(FmtBody(0x160, 1, 8000, 2, 16).data, Junk(30))},
        RefusedCase{"GsmBlockAlign64", MakeWav(GsmFmt(64, 320), Junk(130))},
        RefusedCase{"GsmSamplesPerBlock319", MakeWav(GsmFmt(65, 319), Junk(130))},
        RefusedCase{"GsmStereo", MakeWav(GsmFmt(65, 320, 2), Junk(130))},
        RefusedCase{"MsAdpcmThreeChannels", MakeWav(MsAdpcmFmt(3, 3 * 256, 500, 7), Junk(768))},
        RefusedCase{"MsAdpcmNoCoefficients", MakeWav(MsAdpcmFmt(1, 256, 500, 0), Junk(256))},
        RefusedCase{"MsAdpcmZeroBlockAlign", MakeWav(MsAdpcmFmt(1, 0, 500, 7), Junk(256))},
        // 256-byte mono blocks hold 2 + 498 samples; 600 cannot come from them.
        RefusedCase{"MsAdpcmSamplesBeyondBlock", MakeWav(MsAdpcmFmt(1, 256, 600, 7), Junk(256))},
        RefusedCase{"MsAdpcmCoefficientsCutShort", [] { auto fmt = MsAdpcmFmt(1, 256, 500, 7); fmt.resize(fmt.size() - 10); Bytes b; b.Text("RIFF").Le32(static_cast<std::uint32_t>(fmt.size() + 12)).Text("WAVE").Text("fmt ").Le32(static_cast<std::uint32_t>(fmt.size())).Append(fmt); return b.data; }()},
        RefusedCase{"ImaThreeChannels", MakeWav(ImaFmt(3, 3 * 256, 505), Junk(768))},
        RefusedCase{"ImaZeroBlockAlign", MakeWav(ImaFmt(1, 0, 505), Junk(256))},
        // 256-byte mono blocks hold 1 + 504 samples.
        RefusedCase{"ImaSamplesBeyondBlock", MakeWav(ImaFmt(1, 256, 513), Junk(256))},
        RefusedCase{"MpegWithoutFrames", MakeWav(FmtBody(85, 2, 44100, 1, 0).data, Junk(5000))}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

// ---- Block codecs: layouts at the edges ---------------------------------------------

TEST(WavDecoder, ImaStereoBlocksOf2048BytesGive2041Frames) {
  // Two blocks: headers (left 1000, index 0; right -1000, index 88) and all-zero codes.
  std::vector<std::uint8_t> data(2 * 2048, 0);
  for (int block = 0; block < 2; ++block) {
    std::uint8_t* h = &data[static_cast<std::size_t>(block) * 2048];
    h[0] = 0xE8;
    h[1] = 0x03;
    h[2] = 0;
    h[4] = 0x18;
    h[5] = 0xFC;
    h[6] = 200;  // an index beyond 88 is held at 88
  }
  CWavDecoder decoder;
  ASSERT_NE(decoder.OpenSource(Memory(MakeWav(ImaFmt(2, 2048, 2041), data))), 0);
  const Decoded out = DecodeAll(decoder);
  ASSERT_EQ(out.samples.size(), 2u * 2041 * 2);
  EXPECT_EQ(out.readSizes, (std::vector<int>{1152, 1152, 1152, 626, 0}));
  EXPECT_EQ(out.samples[0], 1000);
  EXPECT_EQ(out.samples[1], -1000);
  // Code 0 adds step/8: 7/8 rounds to 0 on the left; 32767/8 = 4095 on the right.
  EXPECT_EQ(out.samples[2], 1000);
  EXPECT_EQ(out.samples[3], -1000 + 4095);
  EXPECT_EQ(out.samples[2041 * 2], 1000);  // the second block starts from its own header
}

TEST(WavDecoder, MsAdpcmMonoWithAnOddCodeCountStaysInsideTheBlock) {
  // 17-byte blocks: 7 header bytes and 10 code bytes (20 nibbles), of which 19 are used.
  std::vector<std::uint8_t> data;
  for (int block = 0; block < 3; ++block) {
    Bytes b;
    b.U8(0).Le16(16).Le16(100).Le16(50);
    for (int i = 0; i < 10; ++i) b.U8(0x11);
    data.insert(data.end(), b.data.begin(), b.data.end());
  }
  CWavDecoder decoder;
  ASSERT_NE(decoder.OpenSource(Memory(MakeWav(MsAdpcmFmt(1, 17, 21, 7), data))), 0);
  const Decoded out = DecodeAll(decoder);
  ASSERT_EQ(out.samples.size(), 63u);
  EXPECT_EQ(out.samples[0], 50);   // sample2 first,
  EXPECT_EQ(out.samples[1], 100);  // then sample1
  // Predictor 0 is (256, 0): 100 + 1 × 16.
  EXPECT_EQ(out.samples[2], 116);
}

TEST(WavDecoder, MsAdpcmPredictorBeyondTheTableEndsTheStreamQuietly) {
  TempDir dir;
  const std::string source = dir / "s.wav", encoded = dir / "ms.wav";
  WriteWav16(source, Tones(1, 8000, 8000), 1, 8000);
  ASSERT_EQ(test::Run("ffmpeg -v error -nostdin -y -i " + ShellQuote(source) +
                      " -c:a adpcm_ms -block_size 256 " + ShellQuote(encoded))
                .exitCode,
            0);
  auto bytes = ReadFileBytes(encoded);
  // Find the data chunk and damage the predictor byte of the third block.
  std::size_t data = 12;
  while (data + 8 <= bytes.size() && std::memcmp(&bytes[data], "data", 4) != 0)
    data += 8 + (bytes[data + 4] | (bytes[data + 5] << 8) | (bytes[data + 6] << 16));
  ASSERT_LT(data + 8 + 3 * 256, bytes.size());
  bytes[data + 8 + 2 * 256] = 7;  // the table has 7 entries: 0 to 6

  CWavDecoder decoder;
  ASSERT_NE(decoder.OpenSource(Memory(bytes)), 0);
  const Decoded out = DecodeAll(decoder);
  EXPECT_EQ(out.samples.size(), 2u * 500);  // two good blocks of 2 + 498 samples
  EXPECT_EQ(out.readSizes.back(), 0);
}

TEST(WavDecoder, GsmDurationFromBlockCount) {
  std::vector<std::uint8_t> data(65 * 50, 0);
  CWavDecoder decoder;
  ASSERT_NE(decoder.OpenSource(Memory(MakeWav(GsmFmt(65, 320), data))), 0);
  EXPECT_EQ(decoder.GetDuration(), 2);  // 3250 × 320 / 65 = 16000 samples at 8000 Hz
  const Decoded out = DecodeAll(decoder);
  EXPECT_EQ(out.samples.size(), 50u * 320);
}

TEST(WavDecoder, ReopenAndCloseLeaveNothingBehind) {
  CWavDecoder decoder;
  ASSERT_NE(decoder.OpenSource(Memory(MakeWav(GsmFmt(65, 320), std::vector<std::uint8_t>(650, 0)))),
            0);
  ASSERT_NE(decoder.OpenSource(Memory(MakeWav(FmtBody(1, 2, 44100, 4, 16).data, Pcm16Data(8)))), 0);
  EXPECT_EQ(decoder.GetSampleRate(), 44100);
  EXPECT_EQ(DecodeAll(decoder).samples.size(), 8u);
  decoder.Close();
  decoder.Close();
  EXPECT_EQ(decoder.GetLength(), 0u);
  EXPECT_EQ(decoder.Open("/nonexistent/file.wav", 0), 0);
}

}  // namespace
}  // namespace wavorax::test
