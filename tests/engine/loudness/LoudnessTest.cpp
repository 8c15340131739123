// The meter, album figures, gains and normalisation against ffmpeg's ebur128 filter and
// loudgain, on generated tones and noise.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "engine/loudness/Gain.h"
#include "engine/loudness/LoudnessMeter.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

using test::ShellQuote;

enum class Form { k16, k24, kFloat };

struct Audio {
  std::vector<std::int16_t> ch[2];  // planar
  int channels = 2, rate = 44100;

  std::vector<std::int16_t> Interleaved() const {
    std::vector<std::int16_t> out;
    for (std::size_t i = 0; i < ch[0].size(); ++i)
      for (int c = 0; c < channels; ++c) out.push_back(ch[c][i]);
    return out;
  }
  std::string Write(const test::TempDir& dir, const std::string& name) const {
    test::WriteWav16(dir / name, Interleaved(), channels, rate);
    return dir / name;
  }
};

// A tone or pink noise (Paul Kellet's filter, a seed per channel) whose highest sample is at
// `dbfs`; `stepDb` lowers the second half, for a loudness range. Nothing clips, and each end
// fades over 20 ms: the true peak of a clipped signal or of a tone that starts at full level
// depends on the interpolator's length (ffmpeg's and libebur128's differ there by 0.3 dB).
Audio Make(double freq, double dbfs, int channels, int rate, double seconds, double stepDb = 0,
           double phase = 0) {
  Audio a{{}, channels, rate};
  const auto frames = static_cast<std::size_t>(seconds * rate);
  std::vector<double> v[2];
  double peak = 1e-300;
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
      s *= std::min(1.0, std::min(i, frames - i) / (0.02 * rate));
      v[c].push_back(s * std::pow(10.0, (i >= frames / 2 ? -stepDb : 0) / 20.0));
      peak = std::max(peak, std::fabs(v[c].back()));
    }
  }
  for (int c = 0; c < channels; ++c)
    for (double s : v[c])
      a.ch[c].push_back(std::int16_t(std::lrint(s * 32767 * std::pow(10.0, dbfs / 20) / peak)));
  return a;
}

// Feeds the samples as a decoder hands them on, in planar blocks of 1152.
CLoudnessMeter Measure(const Audio& a, Form form = Form::k16) {
  CLoudnessMeter m(a.rate, a.channels);
  std::vector<std::int32_t> i32[2];
  std::vector<float> f32[2];
  for (int c = 0; c < a.channels; ++c)
    for (std::int16_t v : a.ch[c]) i32[c].push_back(v * 256), f32[c].push_back(v / 32768.0f);
  const int r = a.channels - 1;
  for (std::size_t at = 0; at < a.ch[0].size(); at += 1152) {
    const int n = static_cast<int>(std::min<std::size_t>(1152, a.ch[0].size() - at));
    if (form == Form::k16) m.Add16(&a.ch[0][at], &a.ch[r][at], n);
    if (form == Form::k24) m.Add32(&i32[0][at], &i32[r][at], n, 24);
    if (form == Form::kFloat) m.AddFloat(&f32[0][at], &f32[r][at], n);
  }
  return m;
}

struct Ffmpeg {
  double lufs = NAN, lra = NAN, peakDb = NAN;
};

// The summary of ffmpeg's ebur128 filter (one decimal).
Ffmpeg FfmpegEbur128(const std::string& path) {
  const std::string out = test::Run("ffmpeg -nostats -hide_banner -nostdin -i " + ShellQuote(path) +
                                    " -af ebur128=peak=true -f null -")
                              .output;
  std::istringstream in(out.substr(std::min(out.size(), out.rfind("Summary:"))));
  Ffmpeg f;
  for (std::string key; in >> key;) {
    if (key == "I:") in >> f.lufs;
    if (key == "LRA:") in >> f.lra;
    if (key == "Peak:") in >> f.peakDb;
  }
  return f;
}

struct MeterCase {
  const char* name;
  double freq;  // 0: pink noise
  double dbfs, stepDb, phase;
  int channels, rate;
  Form form;
};

class MeterTest : public testing::TestWithParam<MeterCase> {};

TEST_P(MeterTest, AgreesWithFfmpegAndLoudgain) {
  const MeterCase& c = GetParam();
  const Audio a = Make(c.freq, c.dbfs, c.channels, c.rate, 12.0, c.stepDb, c.phase);
  test::TempDir dir;
  const std::string wav = a.Write(dir, "in.wav");
  const LoudnessResult r = Measure(a, c.form).Result();
  ASSERT_TRUE(r.valid);
  const Ffmpeg f = FfmpegEbur128(wav);
  double lgLufs = NAN, lgRange = NAN;  // loudgain's table: file, loudness, range, ...
  std::istringstream(test::Run("loudgain -q -O " + ShellQuote(wav) +
                               " 2>/dev/null | awk -F'\\t' 'NR == 2 {print $2 + 0, $3 + 0}'")
                         .output) >>
      lgLufs >> lgRange;
  EXPECT_NEAR(r.integratedLufs, f.lufs, 0.1);
  EXPECT_NEAR(r.integratedLufs, lgLufs, 0.1);
  EXPECT_NEAR(r.truePeakDbtp, f.peakDb, 0.2);
  EXPECT_NEAR(r.loudnessRangeLu, lgRange, 0.1);
  EXPECT_NEAR(r.loudnessRangeLu, f.lra, 0.6);  // ffmpeg bins its blocks by 0.1 LU
}

INSTANTIATE_TEST_SUITE_P(
    Signals, MeterTest,
    testing::Values(MeterCase{"Tone1k_Stereo44", 1000, -20, 0, 0, 2, 44100, Form::k16},
                    MeterCase{"Tone440_Mono48_Float", 440, -6, 0, 0, 1, 48000, Form::kFloat},
                    // A quarter of the rate, 45° off the samples: the peak lies between them,
                    // 3 dB above every sample.
                    MeterCase{"InterSamplePeak_Stereo44_24bit", 11025, -2, 0, M_PI / 4, 2, 44100,
                              Form::k24},
                    MeterCase{"Tone15k_Stereo48", 15000, -3, 0, 0.3, 2, 48000, Form::k16},
                    MeterCase{"QuietPink_Stereo44", 0, -30, 0, 0, 2, 44100, Form::k16},
                    MeterCase{"LoudPink_Mono44_24bit", 0, -1, 0, 0, 1, 44100, Form::k24},
                    MeterCase{"SteppedPink_Stereo48_Float", 0, -10, 12, 0, 2, 48000, Form::kFloat}),
    [](const auto& info) { return std::string(info.param.name); });

struct InvalidCase {
  const char* name;
  double seconds, dbfs;
  bool valid;
};

class InvalidTest : public testing::TestWithParam<InvalidCase> {};

// No gain comes from silence or from less than one 400 ms gating block.
TEST_P(InvalidTest, GivesNoGain) {
  const InvalidCase& c = GetParam();
  const LoudnessResult r = Measure(Make(1000, c.dbfs, 2, 44100, c.seconds)).Result();
  EXPECT_EQ(r.valid, c.valid);
  EXPECT_EQ(ReplayGainOf(r).has_value(), c.valid);
  EXPECT_EQ(NormalisationGainDb(r, -18) == 0.0, !c.valid);
}

INSTANTIATE_TEST_SUITE_P(Lengths, InvalidTest,
                         testing::Values(InvalidCase{"Silence", 5.0, -400, false},
                                         InvalidCase{"BelowTheGate", 5.0, -75, false},
                                         InvalidCase{"Short300ms", 0.3, -10, false},
                                         InvalidCase{"Just400ms", 0.4, -10, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// loudgain -a writes an album's tags in each format's convention. Ours, measured on the same
// decoded samples, must be the same texts; only the peaks may differ (by at most 0.2 dB),
// since loudgain's true peak is libebur128's.
class AlbumTagsTest : public testing::TestWithParam<const char*> {};

TEST_P(AlbumTagsTest, MatchLoudgain) {
  const std::string ext = GetParam();
  test::TempDir dir;
  const Audio tracks[] = {Make(0, -8, 2, 44100, 7), Make(440, -24, 2, 44100, 4),
                          Make(0, -20, 2, 44100, 9, 6)};
  std::vector<std::string> files;
  std::string loudgain = "loudgain -q -a -s i";
  for (int i = 0; i < 3; ++i) {
    files.push_back(dir / ("t" + std::to_string(i) + "." + ext));
    loudgain += " " + ShellQuote(files[i]);
    ASSERT_EQ(test::Run("ffmpeg -v error -nostdin -i " + ShellQuote(tracks[i].Write(dir, "t.wav")) +
                        " " + ShellQuote(files[i]))
                  .exitCode,
              0);
  }
  ASSERT_EQ(test::Run(loudgain).exitCode, 0);

  // Finished in reverse order, as parallel conversions may.
  CAlbumLoudness album(3);
  LoudnessResult results[3];
  for (int i = 2; i >= 0; --i) {
    std::vector<std::int16_t> pcm;
    Audio d;
    ASSERT_TRUE(test::FfmpegDecodeS16(files[i], pcm, &d.channels, &d.rate));
    for (std::size_t k = 0; k < pcm.size(); ++k) d.ch[k % d.channels].push_back(pcm[k]);
    CLoudnessMeter m = Measure(d);
    results[i] = m.Result();
    EXPECT_TRUE(album.Add(i, std::move(m)));
    EXPECT_EQ(album.Complete(), i == 0);
  }
  EXPECT_FALSE(album.Add(1, CLoudnessMeter(44100, 2)));
  const LoudnessResult albumResult = album.Result();
  for (int i = 0; i < 3; ++i) {
    const auto gain = ReplayGainOf(results[i], &albumResult);
    ASSERT_TRUE(gain && gain->hasAlbum);
    const auto fields = ext == "opus" ? OpusR128Fields(*gain) : ReplayGainFields(*gain);
    ASSERT_EQ(fields.size(), ext == "opus" ? 2u : 4u);
    for (const TagField& f : fields) {
      const std::string theirs = test::FfprobeTag(files[i], f.name);
      if (f.name.ends_with("_PEAK"))
        EXPECT_NEAR(20 * std::log10(std::stod(f.value) / std::stod(theirs)), 0.0, 0.2) << f.name;
      else
        EXPECT_EQ(f.value, theirs) << files[i] << " " << f.name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, AlbumTagsTest, testing::Values("flac", "mp3", "m4a", "opus"));

struct NormaliseCase {
  const char* name;
  double freq, dbfs, target;
  bool limited;  // the −1 dBTP ceiling, not the target, sets the gain
  Form apply;
};

class NormaliseTest : public testing::TestWithParam<NormaliseCase> {};

TEST_P(NormaliseTest, ReachesTargetUnderCeiling) {
  const NormaliseCase& c = GetParam();
  Audio a = Make(c.freq, c.dbfs, 2, 48000, 10);
  const LoudnessResult before = Measure(a).Result();
  const double gain = NormalisationGainDb(before, c.target);
  EXPECT_EQ(gain < c.target - before.integratedLufs - 0.01, c.limited);

  // Applied to the planar samples in the form the case names, then written as 16-bit.
  auto& [l, r] = a.ch;
  const int n = static_cast<int>(l.size());
  const double factor = DbToFactor(gain);
  if (c.apply == Form::k16) ApplyGain16(l.data(), r.data(), n, 2, factor);
  if (c.apply == Form::k24) {
    std::vector<std::int32_t> l32(l.begin(), l.end()), r32(r.begin(), r.end());
    ApplyGain32(l32.data(), r32.data(), n, 2, 16, factor);
    l.assign(l32.begin(), l32.end()), r.assign(r32.begin(), r32.end());
  }
  if (c.apply == Form::kFloat) {
    std::vector<float> lf, rf;
    for (int i = 0; i < n; ++i) lf.push_back(l[i] / 32768.0f), rf.push_back(r[i] / 32768.0f);
    ApplyGainFloat(lf.data(), rf.data(), n, 2, factor);
    for (int i = 0; i < n; ++i)
      l[i] = std::int16_t(std::lrint(lf[i] * 32767)),
      r[i] = std::int16_t(std::lrint(rf[i] * 32767));
  }
  test::TempDir dir;
  const Ffmpeg f = FfmpegEbur128(a.Write(dir, "out.wav"));
  EXPECT_NEAR(f.lufs, c.limited ? before.integratedLufs + gain : c.target, 0.2);
  EXPECT_LE(f.peakDb, kNormalisePeakCeilingDbtp);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, NormaliseTest,
    testing::Values(NormaliseCase{"QuietPinkUp", 0, -40, -18, false, Form::k16},
                    NormaliseCase{"LoudPinkDown", 0, -1, -23, false, Form::k24},
                    NormaliseCase{"QuietToneUp", 1000, -35, -14, false, Form::kFloat},
                    // Noise has 10 dB and more between loudness and peak: at −5 LUFS the
                    // ceiling holds it back.
                    NormaliseCase{"PinkToLoudTargetLimited", 0, -20, -5, true, Form::k16}),
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
