// The meter, album figures, gains and normalisation against ffmpeg's ebur128 filter and
// loudgain, on generated tones and noise.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "engine/loudness/Gain.h"
#include "engine/loudness/LoudnessMeter.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

using test::ShellQuote;

enum class Feed { k16, k24, kFloat };

struct Audio {
  std::vector<std::int16_t> interleaved;
  int channels = 2;
  int rate = 44100;
};

// A tone or pink noise (Paul Kellet's filter over white noise, a different seed per
// channel) whose highest sample is at `dbfs`; `stepDb` lowers the second half, for a
// loudness range. Nothing clips: the true peak of a clipped signal depends on how sharp the
// interpolator is, and ffmpeg's and libebur128's differ there by 0.3 dB. A 20 ms fade at each
// end, for the same reason: a tone that starts at full level rings at its first samples.
Audio Make(double freq, double dbfs, int channels, int rate, double seconds, double stepDb = 0,
           double phase = 0) {
  Audio a{{}, channels, rate};
  const auto frames = static_cast<std::size_t>(seconds * rate);
  std::vector<double> v(frames * channels);
  for (int c = 0; c < channels; ++c) {
    std::uint32_t x = 12345u + 777u * c;
    double b0 = 0, b1 = 0, b2 = 0;
    for (std::size_t i = 0; i < frames; ++i) {
      double s = std::sin(2 * M_PI * freq * double(i) / rate + phase);
      if (freq == 0) {
        x = x * 1664525u + 1013904223u;
        const double white = (static_cast<int>(x >> 8) - (1 << 23)) / double(1 << 23);
        b0 = 0.99765 * b0 + white * 0.0990460;
        b1 = 0.96300 * b1 + white * 0.2965164;
        b2 = 0.57000 * b2 + white * 1.0526913;
        s = b0 + b1 + b2 + white * 0.1848;
      }
      const double edge = std::min(i, frames - i) / (0.02 * rate);
      v[i * channels + c] =
          std::min(1.0, edge) * s * std::pow(10.0, (i >= frames / 2 ? -stepDb : 0) / 20.0);
    }
  }
  double peak = 0;
  for (double s : v) peak = std::max(peak, std::fabs(s));
  const double scale = 32767 * std::pow(10.0, dbfs / 20.0) / peak;
  for (double s : v) a.interleaved.push_back(static_cast<std::int16_t>(std::lrint(s * scale)));
  return a;
}

// Feeds the samples as the WAV decoder would hand them on: planar blocks of 1152.
CLoudnessMeter Measure(const Audio& a, Feed feed = Feed::k16) {
  CLoudnessMeter m(a.rate, a.channels);
  const std::size_t frames = a.interleaved.size() / a.channels;
  std::vector<std::int16_t> s16[2];
  std::vector<std::int32_t> s32[2];
  std::vector<float> f32[2];
  for (std::size_t at = 0; at < frames; at += 1152) {
    const int n = static_cast<int>(std::min<std::size_t>(1152, frames - at));
    for (int c = 0; c < a.channels; ++c) {
      s16[c].resize(n), s32[c].resize(n), f32[c].resize(n);
      for (int i = 0; i < n; ++i) {
        const std::int16_t v = a.interleaved[(at + i) * a.channels + c];
        s16[c][i] = v, s32[c][i] = v * 256, f32[c][i] = v / 32768.0f;
      }
    }
    const int r = a.channels - 1;
    if (feed == Feed::k16) m.Add16(s16[0].data(), s16[r].data(), n);
    if (feed == Feed::k24) m.Add32(s32[0].data(), s32[r].data(), n, 24);
    if (feed == Feed::kFloat) m.AddFloat(f32[0].data(), f32[r].data(), n);
  }
  return m;
}

struct Ffmpeg {
  double lufs = NAN, lra = NAN, peakDb = NAN;
};

// The summary of ffmpeg's ebur128 filter (one decimal).
Ffmpeg FfmpegEbur128(const std::string& path) {
  const auto r = test::Run("ffmpeg -nostats -hide_banner -nostdin -i " + ShellQuote(path) +
                           " -af ebur128=peak=true -f null - 2>&1");
  Ffmpeg f;
  const auto summary = r.output.rfind("Summary:");
  if (summary == std::string::npos) return f;
  std::istringstream in(r.output.substr(summary));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string key;
    double v;
    if (!(words >> key >> v)) continue;
    if (key == "I:") f.lufs = v;
    if (key == "LRA:") f.lra = v;
    if (key == "Peak:") f.peakDb = v;
  }
  return f;
}

// loudgain's table for one file: loudness (LUFS) and range (LU).
std::pair<double, double> Loudgain(const std::string& path) {
  const auto r = test::Run("loudgain -q -O " + ShellQuote(path) + " 2>/dev/null");
  std::istringstream in(r.output);
  std::string line;
  std::getline(in, line);  // the column names
  std::getline(in, line);
  std::istringstream cols(line);
  std::string file, lufs, range;
  std::getline(cols, file, '\t'), std::getline(cols, lufs, '\t'), std::getline(cols, range, '\t');
  return {std::atof(lufs.c_str()), std::atof(range.c_str())};
}

struct MeterCase {
  const char* name;
  double freq;  // 0: pink noise
  double dbfs, stepDb, phase;
  int channels, rate;
  Feed feed;
};

class MeterTest : public testing::TestWithParam<MeterCase> {};

TEST_P(MeterTest, AgreesWithFfmpegAndLoudgain) {
  const MeterCase& c = GetParam();
  ASSERT_TRUE(test::HaveTool("ffmpeg") && test::HaveTool("loudgain"));
  const Audio a = Make(c.freq, c.dbfs, c.channels, c.rate, 12.0, c.stepDb, c.phase);
  test::TempDir dir;
  const std::string wav = dir / "in.wav";
  test::WriteWav16(wav, a.interleaved, a.channels, a.rate);

  const LoudnessResult r = Measure(a, c.feed).Result();
  ASSERT_TRUE(r.valid);
  const Ffmpeg f = FfmpegEbur128(wav);
  const auto [lgLufs, lgRange] = Loudgain(wav);
  EXPECT_NEAR(r.integratedLufs, f.lufs, 0.1);
  EXPECT_NEAR(r.integratedLufs, lgLufs, 0.1);
  EXPECT_NEAR(r.truePeakDbtp, f.peakDb, 0.2);
  EXPECT_NEAR(r.truePeakDbtp, 20 * std::log10(r.truePeak), 1e-9);
  EXPECT_NEAR(r.loudnessRangeLu, lgRange, 0.1);
  EXPECT_NEAR(r.loudnessRangeLu, f.lra, 0.6);  // ffmpeg bins its blocks by 0.1 LU
}

INSTANTIATE_TEST_SUITE_P(
    Signals, MeterTest,
    testing::Values(MeterCase{"Tone1k_Stereo44", 1000, -20, 0, 0, 2, 44100, Feed::k16},
                    MeterCase{"Tone440_Mono48_Float", 440, -6, 0, 0, 1, 48000, Feed::kFloat},
                    // A quarter of the rate, 45° off the samples: the peak lies between them,
                    // 3 dB above every sample.
                    MeterCase{"InterSamplePeak_Stereo44_24bit", 11025, -2, 0, M_PI / 4, 2, 44100,
                              Feed::k24},
                    MeterCase{"Tone15k_Stereo48", 15000, -3, 0, 0.3, 2, 48000, Feed::k16},
                    MeterCase{"QuietPink_Stereo44", 0, -30, 0, 0, 2, 44100, Feed::k16},
                    MeterCase{"LoudPink_Mono44_24bit", 0, -1, 0, 0, 1, 44100, Feed::k24},
                    MeterCase{"SteppedPink_Stereo48_Float", 0, -10, 12, 0, 2, 48000,
                              Feed::kFloat}),
    [](const auto& info) { return std::string(info.param.name); });

struct InvalidCase {
  const char* name;
  double seconds, dbfs;
  bool valid;
};

class InvalidTest : public testing::TestWithParam<InvalidCase> {};

// No gain is derived from silence or from less than one 400 ms gating block.
TEST_P(InvalidTest, GivesNoGain) {
  const InvalidCase& c = GetParam();
  const Audio a = Make(1000, c.dbfs, 2, 44100, c.seconds);
  const LoudnessResult r = Measure(a).Result();
  EXPECT_EQ(r.valid, c.valid);
  EXPECT_EQ(ReplayGainOf(r).has_value(), c.valid);
  if (!c.valid) {
    EXPECT_EQ(NormalisationGainDb(r, -18), 0.0);
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, InvalidTest,
                         testing::Values(InvalidCase{"Silence", 5.0, -400, false},
                                         InvalidCase{"BelowTheGate", 5.0, -75, false},
                                         InvalidCase{"Short300ms", 0.3, -10, false},
                                         InvalidCase{"Just400ms", 0.4, -10, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// loudgain -a writes the album's tags in each format's convention; ours, measured on the
// same decoded samples, must agree: names, gains within 0.01 dB, peaks within 0.2 dB.
class AlbumTagsTest : public testing::TestWithParam<const char*> {};

TEST_P(AlbumTagsTest, MatchLoudgain) {
  const std::string ext = GetParam();
  const bool opus = ext == "opus";
  ASSERT_TRUE(test::HaveTool("ffmpeg") && test::HaveTool("loudgain") && test::HaveTool("ffprobe"));
  test::TempDir dir;
  const Audio tracks[] = {Make(0, -8, 2, 44100, 8), Make(440, -24, 2, 44100, 5),
                          Make(0, -20, 2, 44100, 11, 6)};
  std::vector<std::string> files;
  for (int i = 0; i < 3; ++i) {
    const std::string wav = dir / ("t" + std::to_string(i) + ".wav");
    files.push_back(dir / ("t" + std::to_string(i) + "." + ext));
    test::WriteWav16(wav, tracks[i].interleaved, 2, 44100);
    ASSERT_EQ(test::Run("ffmpeg -v error -nostdin -y -i " + ShellQuote(wav) + " " +
                        ShellQuote(files.back()))
                  .exitCode,
              0);
  }
  std::string cmd = "loudgain -q -a -s i";
  for (const auto& f : files) cmd += " " + ShellQuote(f);
  ASSERT_EQ(test::Run(cmd).exitCode, 0);

  // Finished in reverse order, as parallel conversions may.
  CAlbumLoudness album(3);
  std::vector<LoudnessResult> results(3);
  for (int i = 2; i >= 0; --i) {
    Audio decoded;
    ASSERT_TRUE(
        test::FfmpegDecodeS16(files[i], decoded.interleaved, &decoded.channels, &decoded.rate));
    CLoudnessMeter m = Measure(decoded);
    results[i] = m.Result();
    EXPECT_TRUE(album.Add(i, std::move(m)));
    EXPECT_EQ(album.Complete(), i == 0);
  }
  EXPECT_FALSE(album.Add(1, CLoudnessMeter(44100, 2)));
  const LoudnessResult albumResult = album.Result();
  for (int i = 0; i < 3; ++i) {
    const auto gain = ReplayGainOf(results[i], &albumResult);
    ASSERT_TRUE(gain && gain->hasAlbum);
    const auto fields = opus ? OpusR128Fields(*gain) : ReplayGainFields(*gain);
    ASSERT_EQ(fields.size(), opus ? 2u : 4u);
    for (const TagField& f : fields) {
      const std::string theirs = test::FfprobeTag(files[i], f.name);
      SCOPED_TRACE(files[i] + " " + f.name + ": ours " + f.value + ", loudgain's " + theirs);
      ASSERT_FALSE(theirs.empty());
      const double a = std::atof(f.value.c_str()), b = std::atof(theirs.c_str());
      if (opus)
        EXPECT_NEAR(a, b, 1);  // Q7.8: 1 is 0.004 dB
      else if (f.name.ends_with("_GAIN"))
        EXPECT_NEAR(a, b, 0.0101);
      else
        EXPECT_NEAR(20 * std::log10(a / b), 0.0, 0.2);
      EXPECT_EQ(f.value.find(','), std::string::npos);
      if (!opus && f.name.ends_with("_GAIN")) {
        EXPECT_TRUE(f.value.ends_with(" dB"));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, AlbumTagsTest, testing::Values("flac", "mp3", "m4a", "opus"));

struct NormaliseCase {
  const char* name;
  double freq, dbfs, target;
  bool limited;  // the −1 dBTP ceiling, not the target, sets the gain
  Feed apply;
};

class NormaliseTest : public testing::TestWithParam<NormaliseCase> {};

TEST_P(NormaliseTest, ReachesTargetUnderCeiling) {
  const NormaliseCase& c = GetParam();
  Audio a = Make(c.freq, c.dbfs, 2, 48000, 10);
  const LoudnessResult before = Measure(a).Result();
  const double gain = NormalisationGainDb(before, c.target);
  EXPECT_EQ(gain < c.target - before.integratedLufs - 0.01, c.limited);

  // Applied to planar blocks in the form the case names, then written as 16-bit.
  const double factor = DbToFactor(gain);
  std::vector<std::int16_t> l(a.interleaved.size() / 2), r(l.size());
  for (std::size_t i = 0; i < l.size(); ++i)
    l[i] = a.interleaved[2 * i], r[i] = a.interleaved[2 * i + 1];
  if (c.apply == Feed::k16) ApplyGain16(l.data(), r.data(), int(l.size()), 2, factor);
  if (c.apply == Feed::k24) {
    std::vector<std::int32_t> l32(l.begin(), l.end()), r32(r.begin(), r.end());
    for (auto* v : {&l32, &r32})
      for (auto& s : *v) s *= 256;
    ApplyGain32(l32.data(), r32.data(), int(l.size()), 2, 24, factor);
    for (std::size_t i = 0; i < l.size(); ++i) l[i] = l32[i] / 256, r[i] = r32[i] / 256;
  }
  if (c.apply == Feed::kFloat) {
    std::vector<float> lf(l.begin(), l.end()), rf(r.begin(), r.end());
    for (auto* v : {&lf, &rf})
      for (auto& s : *v) s /= 32768;
    ApplyGainFloat(lf.data(), rf.data(), int(l.size()), 2, factor);
    for (std::size_t i = 0; i < l.size(); ++i)
      l[i] = std::int16_t(std::lrint(lf[i] * 32767)), r[i] = std::int16_t(std::lrint(rf[i] * 32767));
  }
  for (std::size_t i = 0; i < l.size(); ++i) a.interleaved[2 * i] = l[i], a.interleaved[2 * i + 1] = r[i];

  test::TempDir dir;
  test::WriteWav16(dir / "out.wav", a.interleaved, 2, 48000);
  const Ffmpeg f = FfmpegEbur128(dir / "out.wav");
  EXPECT_NEAR(f.lufs, c.limited ? before.integratedLufs + gain : c.target, 0.2);
  EXPECT_LE(f.peakDb, kNormalisePeakCeilingDbtp);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, NormaliseTest,
    testing::Values(NormaliseCase{"QuietPinkUp", 0, -40, -18, false, Feed::k16},
                    NormaliseCase{"LoudPinkDown", 0, -1, -23, false, Feed::k24},
                    NormaliseCase{"QuietToneUp", 1000, -35, -14, false, Feed::kFloat},
                    // Noise has 10 dB and more between loudness and peak: at −5 LUFS the
                    // ceiling holds it back.
                    NormaliseCase{"PinkToLoudTargetLimited", 0, -20, -5, true, Feed::k16}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AlbumGroupsTest, SharesTagAndFolder) {
  const AlbumGroups g = GroupAlbums({{"Blue", "/m/a"},
                                     {"", "/m/a"},
                                     {"Blue ", "/m/b"},
                                     {" Blue", "/m/a"},
                                     {"Red", "/m/a"},
                                     {"  ", "/m/b"},
                                     {"Blue", "/m/b"}});
  EXPECT_EQ(g.albumOfRow, (std::vector<int>{0, -1, 1, 0, 2, -1, 1}));
  EXPECT_EQ(g.rowsOfAlbum, (std::vector<std::vector<std::size_t>>{{0, 3}, {2, 6}, {4}}));
}

}  // namespace
}  // namespace wavorax
