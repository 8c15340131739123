#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

#include "encoders/AacEncoder.h"
#include "tests/encoders/EncoderTestUtil.h"

namespace wavorax {
namespace {

using test::ReadFileBytes;

using test::ShellQuote;

struct AdtsFrame {
  int id, profile, rateIndex, channels, length;
};

// Walks the ADTS frames of a raw AAC file; false when the stream does not consist of whole,
// well-formed frames.
bool ParseAdts(const std::vector<std::uint8_t>& b, std::vector<AdtsFrame>& frames) {
  std::size_t at = 0;
  while (at < b.size()) {
    if (at + 7 > b.size() || b[at] != 0xFF || (b[at + 1] & 0xF6) != 0xF0) return false;
    AdtsFrame f;
    f.id = (b[at + 1] >> 3) & 1;
    f.profile = b[at + 2] >> 6;
    f.rateIndex = (b[at + 2] >> 2) & 0xF;
    f.channels = ((b[at + 2] & 1) << 2) | (b[at + 3] >> 6);
    f.length = ((b[at + 3] & 3) << 11) | (b[at + 4] << 3) | (b[at + 5] >> 5);
    if (f.length < 7 || at + static_cast<std::size_t>(f.length) > b.size()) return false;
    frames.push_back(f);
    at += static_cast<std::size_t>(f.length);
  }
  return true;
}

// Deterministic noise under a tone: something that needs bits, so that bit-rate targets show.
test::PlanarSignal RichSignal(int rate, std::size_t frames) {
  auto s = test::PlanarSignal::Make(rate, frames, 0.3);
  std::uint32_t x = 12345;
  for (std::size_t i = 0; i < frames; ++i) {
    x = x * 1664525u + 1013904223u;
    const int n = static_cast<int>(x >> 20) - 2048;  // about -12 dB noise
    s.left[i] = static_cast<std::int16_t>(std::clamp(s.left[i] + n * 4, -32768, 32767));
    x = x * 1664525u + 1013904223u;
    const int m = static_cast<int>(x >> 20) - 2048;
    s.right[i] = static_cast<std::int16_t>(std::clamp(s.right[i] + m * 4, -32768, 32767));
  }
  return s;
}

using Configure = std::function<void(faacEncConfiguration&)>;

// Encodes a signal with CAacEncoder; the configuration hook runs between Open and Start.
bool EncodeAac(const std::string& path, const test::PlanarSignal& sig, int channels,
               const Configure& configure = {}, int bits = 16) {
  CAacEncoder enc;
  if (!enc.Open(path, sig.rate, channels, bits)) return false;
  if (configure) configure(*enc.GetConfiguration());
  if (!enc.Start()) return false;
  bool ok;
  if (bits == 8) {
    std::vector<std::uint8_t> l(sig.left.size()), r(sig.right.size());
    for (std::size_t i = 0; i < l.size(); ++i) {
      l[i] = static_cast<std::uint8_t>((sig.left[i] >> 8) + 128);
      r[i] = static_cast<std::uint8_t>((sig.right[i] >> 8) + 128);
    }
    ok = true;
    for (std::size_t i = 0; ok && i < l.size(); i += 1152) {
      const int n = static_cast<int>(std::min<std::size_t>(1152, l.size() - i));
      ok = enc.Write8(l.data() + i, channels == 2 ? r.data() + i : nullptr, n);
    }
  } else {
    ok = test::FeedBlocks(sig, channels,
                          [&](auto* l, auto* r, int n) { return enc.Write16(l, r, n); });
  }
  return enc.Close() && ok;
}

// Signal-to-noise ratio of a decoded channel against the input, after finding the encoder
// delay. The first and last 1024 samples (priming and the padded end) are left out.
double AlignedSnr(const std::vector<std::int16_t>& decodedInterleaved, int channels, int channel,
                  const std::vector<std::int16_t>& reference) {
  std::vector<std::int16_t> decoded;
  for (std::size_t i = static_cast<std::size_t>(channel); i < decodedInterleaved.size();
       i += static_cast<std::size_t>(channels))
    decoded.push_back(decodedInterleaved[i]);
  const std::size_t span = std::min<std::size_t>(8192, reference.size() / 2);
  const std::size_t lag = test::BestAlignment(decoded, reference, 4096, span);
  const std::size_t end = std::min(reference.size(), decoded.size() - lag);
  if (end < 4096) return -1000;
  const std::vector<std::int16_t> a(reference.begin() + 1024,
                                    reference.begin() + static_cast<long>(end) - 1024);
  const std::vector<std::int16_t> b(decoded.begin() + static_cast<long>(lag) + 1024,
                                    decoded.begin() + static_cast<long>(lag + end) - 1024);
  return test::SnrDb(a, b);
}

struct FormatCase {
  const char* label;
  int rate, channels, bits;
  std::size_t frames;
  int rateIndex;
};

class AacEncoderFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(AacEncoderFormatTest, DecodesWithFaadAndFfmpegAtTheRightRateChannelsAndLength) {
  const FormatCase& c = GetParam();
  test::TempDir dir;
  const std::string path = dir / "out.aac";
  const auto sig = test::PlanarSignal::Sweep(c.rate, c.frames);
  ASSERT_TRUE(EncodeAac(path, sig, c.channels, {}, c.bits));

  std::vector<AdtsFrame> frames;
  ASSERT_TRUE(ParseAdts(ReadFileBytes(path), frames));
  ASSERT_FALSE(frames.empty());
  for (const AdtsFrame& f : frames) {
    EXPECT_EQ(f.id, 0);       // MPEG-4 unless asked otherwise
    EXPECT_EQ(f.profile, 1);  // low complexity
    EXPECT_EQ(f.rateIndex, c.rateIndex);
    EXPECT_EQ(f.channels, c.channels);
  }
  // One frame per 1024 input frames, plus the encoder's one frame of delay.
  EXPECT_EQ(frames.size(), (c.frames + 1024 + 1023) / 1024);

  // faad, given no configuration, allows for SBR at rates up to 24 kHz (and decodes at twice
  // the rate) and for parametric stereo in mono streams (and hands out two channels).
  const std::string wav = dir / "faad.wav";
  auto r = test::Run("faad -q -o " + ShellQuote(wav) + " " + ShellQuote(path));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const int faadRate = c.rate <= 24000 ? 2 * c.rate : c.rate;
  EXPECT_EQ(test::Run("sox --i -r " + ShellQuote(wav)).output, std::to_string(faadRate) + "\n");
  EXPECT_EQ(test::Run("sox --i -c " + ShellQuote(wav)).output, "2\n");
  const double faadSeconds =
      double(std::stoul(test::Run("sox --i -s " + ShellQuote(wav)).output)) / faadRate;
  EXPECT_GE(faadSeconds, double(c.frames) / c.rate);
  EXPECT_LE(faadSeconds, double(c.frames + 2048) / c.rate);

  std::vector<std::int16_t> decoded;
  int ch = 0, rate = 0;
  ASSERT_TRUE(test::FfmpegDecodeS16(path, decoded, &ch, &rate));
  EXPECT_EQ(ch, c.channels);
  EXPECT_EQ(rate, c.rate);
  EXPECT_GE(decoded.size() / static_cast<std::size_t>(ch), c.frames);
  EXPECT_LE(decoded.size() / static_cast<std::size_t>(ch), c.frames + 2048);
  // The tones come back on their own channels (8-bit input is coarser).
  const double minSnr = c.bits == 8 ? 8.0 : 12.0;
  EXPECT_GT(AlignedSnr(decoded, ch, 0, sig.left), minSnr);
  if (c.channels == 2) {
    EXPECT_GT(AlignedSnr(decoded, ch, 1, sig.right), minSnr);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, AacEncoderFormatTest,
                         ::testing::Values(FormatCase{"Stereo44k", 44100, 2, 16, 44100, 4},
                                           FormatCase{"Mono22kFrom8Bit", 22050, 1, 8, 22050, 7},
                                           FormatCase{"Stereo48kFrom8Bit", 48000, 2, 8, 30000, 3},
                                           FormatCase{"Mono8kShort", 8000, 1, 16, 8000, 11}),
                         [](const auto& info) { return std::string(info.param.label); });

struct BitRateCase {
  const char* label;
  int channels;
  unsigned long perChannel;
  int expectKbps;
};

class AacEncoderBitRateTest : public ::testing::TestWithParam<BitRateCase> {};

TEST_P(AacEncoderBitRateTest, AverageBitRateIsPerChannel) {
  const BitRateCase& c = GetParam();
  test::TempDir dir;
  const std::string path = dir / "abr.aac";
  const std::size_t frames = 44100 * 8;
  ASSERT_TRUE(EncodeAac(path, RichSignal(44100, frames), c.channels,
                        [&](faacEncConfiguration& cfg) { cfg.bitRate = c.perChannel; }));
  const double kbps = std::filesystem::file_size(path) * 8.0 / (frames / 44100.0) / 1000.0;
  EXPECT_NEAR(kbps, c.expectKbps, c.expectKbps * 0.12);
}

INSTANTIATE_TEST_SUITE_P(Rates, AacEncoderBitRateTest,
                         ::testing::Values(BitRateCase{"Stereo128", 2, 64000, 128},
                                           BitRateCase{"Mono128", 1, 128000, 128},
                                           BitRateCase{"Stereo64", 2, 32000, 64}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(AacEncoder, QualityModeFollowsQuantqual) {
  test::TempDir dir;
  const auto sig = RichSignal(44100, 44100 * 4);
  std::uintmax_t size[2];
  const unsigned long quality[2] = {50, 200};
  for (int i = 0; i < 2; ++i) {
    const std::string path = dir / ("q" + std::to_string(quality[i]) + ".aac");
    ASSERT_TRUE(EncodeAac(path, sig, 2, [&](faacEncConfiguration& cfg) {
      cfg.bitRate = 0;
      cfg.quantqual = quality[i];
    }));
    size[i] = std::filesystem::file_size(path);
  }
  EXPECT_GT(double(size[1]), double(size[0]) * 1.4) << size[0] << " vs " << size[1];
}

// Goertzel power of one frequency, relative to the signal's total power, in dB.
double ToneShareDb(const std::vector<std::int16_t>& interleaved, int channels, double freq,
                   int rate) {
  const double w = 2 * M_PI * freq / rate;
  double s1 = 0, s2 = 0, total = 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < interleaved.size(); i += static_cast<std::size_t>(channels), ++n) {
    const double x = interleaved[i];
    const double s = x + 2 * std::cos(w) * s1 - s2;
    s2 = s1;
    s1 = s;
    total += x * x;
  }
  const double power = s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2;
  return 10 * std::log10((power / (double(n) * n / 4) + 1e-9) / (total / double(n) + 1e-9));
}

TEST(AacEncoder, BandWidthCutsHighFrequencies) {
  test::TempDir dir;
  test::PlanarSignal sig = test::PlanarSignal::Make(44100, 44100 * 2, 0.3);
  const auto high = test::Sine(9000.0, 44100, sig.left.size(), 0.3);
  for (std::size_t i = 0; i < sig.left.size(); ++i) {
    sig.left[i] = static_cast<std::int16_t>(sig.left[i] + high[i]);
    sig.right[i] = sig.left[i];
  }
  double share[2];
  const unsigned int bandWidth[2] = {0, 4000};
  for (int i = 0; i < 2; ++i) {
    const std::string path = dir / ("bw" + std::to_string(i) + ".aac");
    ASSERT_TRUE(EncodeAac(path, sig, 2, [&](faacEncConfiguration& cfg) {
      cfg.bitRate = 64000;
      cfg.bandWidth = bandWidth[i];
    }));
    std::vector<std::int16_t> decoded;
    ASSERT_TRUE(test::FfmpegDecodeS16(path, decoded));
    share[i] = ToneShareDb(decoded, 2, 9000.0, 44100);
  }
  EXPECT_GT(share[0], -6.0);   // about half the power is the 9 kHz tone
  EXPECT_LT(share[1], -30.0);  // gone above the cutoff
}

struct FieldCase {
  const char* label;
  Configure change;
};

class AacEncoderFieldTest : public ::testing::TestWithParam<FieldCase> {};

// Each field the options set reaches the encoder: the stream comes out different.
TEST_P(AacEncoderFieldTest, ChangesTheStream) {
  test::TempDir dir;
  // Plucked strings (sharp attacks, for TNS) with nearly identical channels (for mid/side).
  const std::string wav = dir / "pluck.wav";
  ASSERT_EQ(test::Run("sox -n -r 44100 -c 2 " + ShellQuote(wav) +
                      " synth 0.25 pluck C3 pluck C4 repeat 7 remix 1v0.9,2v0.1 1")
                .exitCode,
            0);
  std::vector<std::int16_t> pcm;
  ASSERT_TRUE(test::FfmpegDecodeS16(wav, pcm));
  test::PlanarSignal sig;
  for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
    sig.left.push_back(pcm[i]);
    sig.right.push_back(pcm[i + 1]);
  }
  const Configure base = [](faacEncConfiguration& cfg) { cfg.bitRate = 48000; };
  ASSERT_TRUE(EncodeAac(dir / "base.aac", sig, 2, base));
  ASSERT_TRUE(EncodeAac(dir / "changed.aac", sig, 2, [&](faacEncConfiguration& cfg) {
    base(cfg);
    GetParam().change(cfg);
  }));
  const auto a = ReadFileBytes(dir / "base.aac");
  const auto b = ReadFileBytes(dir / "changed.aac");
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b);
  std::vector<std::int16_t> decoded;
  EXPECT_TRUE(test::FfmpegDecodeS16(dir / "changed.aac", decoded));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, AacEncoderFieldTest,
    ::testing::Values(FieldCase{"UseTns", [](faacEncConfiguration& c) { c.useTns = 1; }},
                      FieldCase{"NoMidside", [](faacEncConfiguration& c) { c.allowMidside = 0; }},
                      FieldCase{"MainProfile",
                                [](faacEncConfiguration& c) { c.aacObjectType = MAIN; }},
                      FieldCase{"Mpeg2", [](faacEncConfiguration& c) { c.mpegVersion = MPEG2; }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(AacEncoder, Mpeg2SetsTheIdBitOfEveryHeader) {
  test::TempDir dir;
  const std::string path = dir / "m2.aac";
  ASSERT_TRUE(EncodeAac(path, test::PlanarSignal::Make(32000, 20000), 2,
                        [](faacEncConfiguration& c) { c.mpegVersion = MPEG2; }));
  std::vector<AdtsFrame> frames;
  ASSERT_TRUE(ParseAdts(ReadFileBytes(path), frames));
  ASSERT_FALSE(frames.empty());
  for (const AdtsFrame& f : frames) EXPECT_EQ(f.id, 1);
  EXPECT_EQ(test::FfprobeStream(path, "profile"), "LC");
  auto r = test::Run("faad -q -o " + ShellQuote(dir / "m2.wav") + " " + ShellQuote(path));
  EXPECT_EQ(r.exitCode, 0) << r.output;
}

// inputSamples is 2048 for stereo: 1000 frames leave 2000 samples waiting; the next block's
// first 24 frames complete the buffer, the next 1024 fill another, and 104 frames remain.
TEST(AacEncoder, BuffersPartialFramesAcrossBlocks) {
  test::TempDir dir;
  const auto sig = test::PlanarSignal::Make(44100, 2152);
  CAacEncoder enc;
  ASSERT_TRUE(enc.Open(dir / "buf.aac", 44100, 2, 16));
  EXPECT_EQ(enc.inputSamples(), 2048u);
  ASSERT_TRUE(enc.Start());
  ASSERT_TRUE(enc.Write16(sig.left.data(), sig.right.data(), 1000));
  EXPECT_EQ(enc.fill(), 2000u);
  EXPECT_EQ(enc.samplesEncoded(), 0u);
  ASSERT_TRUE(enc.Write16(sig.left.data() + 1000, sig.right.data() + 1000, 1152));
  EXPECT_EQ(enc.samplesEncoded(), 4096u);
  EXPECT_EQ(enc.fill(), 208u);
  ASSERT_TRUE(enc.Close());
  std::vector<AdtsFrame> frames;
  ASSERT_TRUE(ParseAdts(ReadFileBytes(dir / "buf.aac"), frames));
  EXPECT_EQ(frames.size(), 4u);  // 2152 + 1024 delay = 3.1 frames
}

TEST(AacEncoder, ClosingRightAfterStartStillMakesAValidFile) {
  test::TempDir dir;
  CAacEncoder enc;
  ASSERT_TRUE(enc.Open(dir / "empty.aac", 44100, 1, 16));
  ASSERT_TRUE(enc.Start());
  ASSERT_TRUE(enc.Close());
  std::vector<AdtsFrame> frames;
  EXPECT_TRUE(ParseAdts(ReadFileBytes(dir / "empty.aac"), frames));
  EXPECT_TRUE(enc.Close());
}

struct RefusalCase {
  const char* label;
  int rate, channels;
  bool opens;
  Configure change;
};

class AacEncoderRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(AacEncoderRefusalTest, OpenOrStartFails) {
  const RefusalCase& c = GetParam();
  test::TempDir dir;
  const std::string path = dir / "x.aac";
  CAacEncoder enc;
  ASSERT_EQ(enc.Open(path, c.rate, c.channels, 16), c.opens);
  // A failed Open leaves no file for anyone to clean up.
  EXPECT_EQ(std::filesystem::exists(path), c.opens);
  if (!c.opens) return;
  if (c.change) c.change(*enc.GetConfiguration());
  EXPECT_FALSE(enc.Start());
  const std::int16_t s[2] = {};
  EXPECT_FALSE(enc.Write16(s, s, 1));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AacEncoderRefusalTest,
    ::testing::Values(RefusalCase{"ThreeChannels", 44100, 3, false, {}},
                      RefusalCase{"ZeroRate", 0, 2, false, {}},
                      RefusalCase{"RateWithoutTable", 12345, 2, true, {}},
                      RefusalCase{"BitRateTooLow", 44100, 2, true,
                                  [](faacEncConfiguration& c) { c.bitRate = 4000; }},
                      RefusalCase{"BitRateTooHigh", 8000, 1, true,
                                  [](faacEncConfiguration& c) { c.bitRate = 49000; }},
                      RefusalCase{"SsrObjectType", 44100, 2, true,
                                  [](faacEncConfiguration& c) { c.aacObjectType = SSR; }},
                      RefusalCase{"Mpeg2Ltp", 44100, 2, true,
                                  [](faacEncConfiguration& c) {
                                    c.aacObjectType = LTP;
                                    c.mpegVersion = MPEG2;
                                  }},
                      RefusalCase{"WrongVersion", 44100, 2, true,
                                  [](faacEncConfiguration& c) { c.version = 1; }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(AacCodec, QuantqualAndBandWidthAreHeldToTheirRanges) {
  unsigned long inputSamples = 0, maxOutput = 0;
  FaacEncoderPtr enc = faacEncOpen(22050, 1, &inputSamples, &maxOutput);
  ASSERT_TRUE(enc);
  faacEncConfigurationPtr cfg = faacEncGetCurrentConfiguration(enc.get());
  cfg->quantqual = 5;
  cfg->bandWidth = 20000;
  ASSERT_EQ(faacEncSetConfiguration(enc.get(), cfg), 1);
  EXPECT_EQ(cfg->quantqual, 10u);
  EXPECT_EQ(cfg->bandWidth, 11025u);
  cfg->quantqual = 600;
  ASSERT_EQ(faacEncSetConfiguration(enc.get(), cfg), 1);
  EXPECT_EQ(cfg->quantqual, 500u);
  // Once samples have gone in, the setup is final.
  std::vector<std::int16_t> in(inputSamples, 0);
  std::vector<unsigned char> out(maxOutput);
  cfg->inputFormat = FAAC_INPUT_16BIT;
  ASSERT_EQ(faacEncSetConfiguration(enc.get(), cfg), 1);
  ASSERT_GE(faacEncEncode(enc.get(), in.data(), static_cast<unsigned int>(in.size()), out.data(),
                          static_cast<unsigned int>(out.size())),
            0);
  EXPECT_EQ(faacEncSetConfiguration(enc.get(), cfg), 0);
  // More than a frame, or input after a short last frame, is an error.
  EXPECT_EQ(faacEncEncode(enc.get(), in.data(), static_cast<unsigned int>(in.size()) + 1,
                          out.data(), static_cast<unsigned int>(out.size())),
            -1);
  ASSERT_GE(
      faacEncEncode(enc.get(), in.data(), 100, out.data(), static_cast<unsigned int>(out.size())),
      0);
  EXPECT_EQ(
      faacEncEncode(enc.get(), in.data(), 100, out.data(), static_cast<unsigned int>(out.size())),
      -1);
  EXPECT_EQ(faacEncClose(enc), 0);
  EXPECT_FALSE(enc);
}

}  // namespace
}  // namespace wavorax
