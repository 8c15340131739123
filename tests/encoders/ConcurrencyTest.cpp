// The command-line front end converts several files at once: writers on different threads
// must not disturb each other.
#include <gtest/gtest.h>

#include <thread>

#include "encoders/AacEncoder.h"
#include "encoders/Mp3Encoder.h"
#include "encoders/Mp4Encoder.h"
#include "tests/encoders/EncoderTestUtil.h"

namespace wavorax {
namespace {

bool Mp3(const std::string& path, const test::PlanarSignal& sig) {
  CMp3Encoder enc;
  if (!enc.Open(path)) return false;
  enc.SetInputSampleRate(sig.rate);
  enc.SetChannels(2);
  enc.SetBitRate(128);
  if (!enc.Start()) return false;
  const bool ok =
      test::FeedBlocks(sig, 2, [&](auto* l, auto* r, int n) { return enc.Encode(l, r, n); });
  return enc.Close() && ok;
}

bool Aac(const std::string& path, const test::PlanarSignal& sig) {
  CAacEncoder enc;
  if (!enc.Open(path, sig.rate, 2, 16) || !enc.Start()) return false;
  const bool ok =
      test::FeedBlocks(sig, 2, [&](auto* l, auto* r, int n) { return enc.Write16(l, r, n); });
  return enc.Close() && ok;
}

bool Mp4(const std::string& path, const test::PlanarSignal& sig) {
  CMp4Encoder enc;
  if (!enc.Open(path, sig.rate, 2, 16) || !enc.Start()) return false;
  enc.SetMetadata("t", "a", "b", "Rock", "2000", "c", 1);
  const bool ok =
      test::FeedBlocks(sig, 2, [&](auto* l, auto* r, int n) { return enc.Write16(l, r, n); });
  return enc.Close() && ok;
}

TEST(Writers, ParallelConversionsGiveTheSameBytesAsOneAtATime) {
  test::TempDir dir;
  const auto sig = test::PlanarSignal::Sweep(44100, 44100 * 2);
  using Writer = bool (*)(const std::string&, const test::PlanarSignal&);
  const std::vector<std::pair<Writer, std::string>> writers = {
      {Mp3, "mp3"}, {Aac, "aac"}, {Mp4, "m4a"}};
  std::vector<std::vector<std::uint8_t>> alone;
  for (const auto& [write, ext] : writers) {
    ASSERT_TRUE(write(dir / ("alone." + ext), sig));
    alone.push_back(test::ReadFileBytes(dir / ("alone." + ext)));
  }
  // Two of each writer at once: the encoders' set-up and their work overlap.
  constexpr int kCopies = 2;
  std::vector<std::thread> threads;
  std::vector<char> ok(writers.size() * kCopies, 0);
  for (std::size_t w = 0; w < writers.size(); ++w)
    for (int c = 0; c < kCopies; ++c)
      threads.emplace_back([&, w, c] {
        ok[w * kCopies + c] =
            writers[w].first(dir / ("par" + std::to_string(c) + "." + writers[w].second), sig);
      });
  for (std::thread& t : threads) t.join();
  for (std::size_t w = 0; w < writers.size(); ++w)
    for (int c = 0; c < kCopies; ++c) {
      ASSERT_TRUE(ok[w * kCopies + c]) << writers[w].second;
      EXPECT_EQ(test::ReadFileBytes(dir / ("par" + std::to_string(c) + "." + writers[w].second)),
                alone[w])
          << writers[w].second;
    }
}

}  // namespace
}  // namespace wavorax
