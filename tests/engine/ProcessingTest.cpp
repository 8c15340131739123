#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/Amplify.h"
#include "engine/Resampler.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

struct Amp16Case {
  int percent;
  std::int16_t in, out;
};
class Amplify16 : public ::testing::TestWithParam<Amp16Case> {};

TEST_P(Amplify16, TruncatesAndClampsSymmetrically) {
  const auto c = GetParam();
  std::int16_t left[1] = {c.in}, right[1] = {c.in};
  AmplifyPcm16(left, right, 1, 2, AmplificationFactor(1, c.percent));
  EXPECT_EQ(left[0], c.out);
  EXPECT_EQ(right[0], c.out);
}

INSTANTIATE_TEST_SUITE_P(Edges, Amplify16,
                         ::testing::Values(Amp16Case{3000, 1000, 30000},
                                           Amp16Case{3000, 2000, 32767},
                                           Amp16Case{3000, -2000, -32767}, Amp16Case{150, -3, -4},
                                           Amp16Case{150, 3, 4}, Amp16Case{10, -32768, -3276},
                                           Amp16Case{200, -32768, -32767}));

struct Amp8Case {
  int percent;
  std::uint8_t in, out;
};
class Amplify8 : public ::testing::TestWithParam<Amp8Case> {};

TEST_P(Amplify8, WorksAroundSilenceAndClamps) {
  const auto c = GetParam();
  std::uint8_t left[1] = {c.in};
  AmplifyPcm8(left, nullptr, 1, 1, AmplificationFactor(1, c.percent));
  EXPECT_EQ(left[0], c.out);
}

INSTANTIATE_TEST_SUITE_P(Edges, Amplify8,
                         ::testing::Values(Amp8Case{200, 200, 255}, Amp8Case{200, 10, 0},
                                           Amp8Case{200, 128, 128}, Amp8Case{50, 0, 64},
                                           Amp8Case{150, 131, 132}));

TEST(Amplify, FactorIsOffForHundredPercentOrSwitchClear) {
  EXPECT_EQ(AmplificationFactor(1, 100), 0.0f);
  EXPECT_EQ(AmplificationFactor(0, 150), 0.0f);
  EXPECT_FLOAT_EQ(AmplificationFactor(1, 150), 1.5f);
}

TEST(Amplify, MonoLeavesRightBufferAlone) {
  std::int16_t left[2] = {100, -100}, right[2] = {7, 7};
  AmplifyPcm16(left, right, 2, 1, 2.0f);
  EXPECT_EQ(left[1], -200);
  EXPECT_EQ(right[0], 7);
}

void Configure(CResampler& r, int inCh, int inRate, int inBits, int outCh, int outRate,
               int outBits) {
  r.inChannels = inCh;
  r.inSampleRate = inRate;
  r.inBitsPerSample = inBits;
  r.outChannels = outCh;
  r.outSampleRate = outRate;
  r.outBitsPerSample = outBits;
  r.Init();
}

TEST(Resampler, DownMixRoundsTowardMinusInfinity) {
  CResampler r;
  r.inChannels = 2, r.inSampleRate = 44100, r.inBitsPerSample = 16;
  r.outChannels = 1, r.outSampleRate = 44100, r.outBitsPerSample = 16;
  r.Init();
  std::int16_t l[3] = {32767, -1, -32768}, rr[3] = {32767, 0, -32768}, out[6] = {};
  int n = 0;
  EXPECT_EQ(r.Process(l, rr, 3, out, nullptr, &n), 1);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[1], -1);
  EXPECT_EQ(out[2], -32768);
}

TEST(Resampler, EightBitStereoToSixteenBitMonoWidensThenAverages) {
  CResampler r;
  r.inChannels = 2, r.inSampleRate = 8000, r.inBitsPerSample = 8;
  r.outChannels = 1, r.outSampleRate = 8000, r.outBitsPerSample = 16;
  r.Init();
  std::uint8_t l[2] = {255, 0}, rr[2] = {0, 1};
  std::int16_t out[4] = {};
  int n = 0;
  r.Process(l, rr, 2, out, nullptr, &n);
  ASSERT_EQ(n, 2);
  EXPECT_EQ(out[0], (127 * 256 + -128 * 256) >> 1);
  EXPECT_EQ(out[1], (-128 * 256 + -127 * 256) >> 1);
}

TEST(Resampler, WidthConversionsBothWays) {
  CResampler up;
  up.inChannels = up.outChannels = 1;
  up.inSampleRate = up.outSampleRate = 22050;
  up.inBitsPerSample = 8, up.outBitsPerSample = 16;
  up.Init();
  std::uint8_t in8[3] = {0, 128, 255};
  std::int16_t out16[6] = {};
  int n = 0;
  up.Process(in8, nullptr, 3, out16, nullptr, &n);
  EXPECT_EQ(out16[0], -32768);
  EXPECT_EQ(out16[1], 0);
  EXPECT_EQ(out16[2], 32512);

  CResampler down;
  down.inChannels = down.outChannels = 1;
  down.inSampleRate = down.outSampleRate = 22050;
  down.inBitsPerSample = 16, down.outBitsPerSample = 8;
  down.Init();
  std::int16_t in16[3] = {-32768, -1, 32767};
  std::uint8_t out8[6] = {};
  down.Process(in16, nullptr, 3, out8, nullptr, &n);
  EXPECT_EQ(out8[0], 0);
  EXPECT_EQ(out8[1], 127);  // -1 >> 8 is -1
  EXPECT_EQ(out8[2], 255);
}

TEST(Resampler, MonoToStereoDuplicates) {
  CResampler r;
  r.inChannels = 1, r.outChannels = 2;
  r.inSampleRate = r.outSampleRate = 44100;
  r.inBitsPerSample = r.outBitsPerSample = 16;
  r.Init();
  std::int16_t in[2] = {5, -6}, l[4] = {}, rr[4] = {};
  int n = 0;
  r.Process(in, nullptr, 2, l, rr, &n);
  EXPECT_EQ(rr[0], 5);
  EXPECT_EQ(rr[1], -6);
  EXPECT_EQ(l[1], -6);
}

// Runs a whole signal through the resampler block by block, as a pipeline does.
std::vector<std::int16_t> Stream(CResampler& r, const std::vector<std::int16_t>& in, int stereo,
                                 std::vector<std::int16_t>* rightOut = nullptr) {
  const int capacity = (r.outSampleRate / r.inSampleRate + 1) * 1152;
  std::vector<std::int16_t> outL(capacity), outR(capacity), result;
  for (std::size_t pos = 0; pos < in.size(); pos += 1152) {
    const int n = static_cast<int>(std::min<std::size_t>(1152, in.size() - pos));
    int m = 0;
    r.Process(in.data() + pos, stereo ? in.data() + pos : nullptr, n, outL.data(), outR.data(), &m);
    EXPECT_LE(m, capacity);
    result.insert(result.end(), outL.begin(), outL.begin() + m);
    if (rightOut) rightOut->insert(rightOut->end(), outR.begin(), outR.begin() + m);
  }
  return result;
}

// Frequency from the zero crossings of the steady part of the signal.
double Frequency(const std::vector<std::int16_t>& s, int rate) {
  const std::size_t skip = s.size() / 10;
  int crossings = 0;
  std::size_t first = 0, last = 0;
  for (std::size_t i = skip + 1; i < s.size() - skip; ++i) {
    if ((s[i - 1] < 0) != (s[i] < 0)) {
      if (!crossings) first = i;
      last = i;
      ++crossings;
    }
  }
  return (crossings - 1) / 2.0 / (double(last - first) / rate);
}

struct RateCase {
  int from, to;
};
class ResampleSine : public ::testing::TestWithParam<RateCase> {};

TEST_P(ResampleSine, KeepsFrequencyAndLevel) {
  const auto [from, to] = GetParam();
  CResampler r;
  Configure(r, 1, from, 16, 1, to, 16);
  EXPECT_DOUBLE_EQ(r.factor(), double(to) / from);
  const auto in = test::Sine(1000.0, from, static_cast<std::size_t>(from) * 3, 0.5);
  const auto out = Stream(r, in, 0);
  EXPECT_NEAR(double(out.size()), 3.0 * to, 0.01 * to);
  EXPECT_NEAR(Frequency(out, to), 1000.0, 1.0);
  const std::vector<std::int16_t> steadyIn(in.begin() + in.size() / 10, in.end() - in.size() / 10);
  const std::vector<std::int16_t> steadyOut(out.begin() + out.size() / 10,
                                            out.end() - out.size() / 10);
  EXPECT_NEAR(test::RmsDb(steadyOut), test::RmsDb(steadyIn), 0.2);
}

INSTANTIATE_TEST_SUITE_P(Rates, ResampleSine,
                         ::testing::Values(RateCase{22050, 44100}, RateCase{44100, 22050},
                                           RateCase{8000, 11025}, RateCase{48000, 44100}));

TEST(Resampler, MonoInputStereoOutputResamplesOnceAndDuplicates) {
  CResampler r;
  Configure(r, 1, 22050, 16, 2, 44100, 16);
  const auto in = test::Sine(440.0, 22050, 22050);
  std::vector<std::int16_t> right;
  const auto left = Stream(r, in, 0, &right);
  EXPECT_GT(left.size(), 40000u);
  EXPECT_EQ(left, right);
}

TEST(Resampler, EightBitOutputFromRateChange) {
  CResampler r;
  Configure(r, 1, 44100, 16, 1, 22050, 8);
  const auto in = test::Sine(1000.0, 44100, 44100, 0.5);
  const int capacity = (22050 / 44100 + 1) * 1152;
  std::vector<std::uint8_t> out(capacity);
  int lo = 255, hi = 0;
  for (std::size_t pos = 0; pos + 1152 <= in.size(); pos += 1152) {
    int m = 0;
    r.Process(in.data() + pos, nullptr, 1152, out.data(), nullptr, &m);
    for (int i = 0; i < m; ++i) lo = std::min<int>(lo, out[i]), hi = std::max<int>(hi, out[i]);
  }
  EXPECT_NEAR(hi, 128 + 63, 2);
  EXPECT_NEAR(lo, 128 - 63, 2);
}

}  // namespace
}  // namespace wavorax
