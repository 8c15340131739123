#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "encoders/WavWriter.h"
#include "tests/encoders/EncoderTestUtil.h"

namespace wavorax {
namespace {

using test::Le16;
using test::Le32;
using test::ReadFileBytes;

using test::ShellQuote;

// sox's view of a file: "channels rate bits samples".
std::string SoxInfo(const std::string& path) {
  auto r = test::Run("sox --i -c " + ShellQuote(path) + " && sox --i -r " + ShellQuote(path) +
                     " && sox --i -b " + ShellQuote(path) + " && sox --i -s " + ShellQuote(path));
  std::string s;
  for (char c : r.output) s += c == '\n' ? ' ' : c;
  return r.exitCode == 0 ? s : "sox failed: " + r.output;
}

TEST(WavWriter, EmptyFileIsExactlyTheHeader) {
  test::TempDir dir;
  const std::string path = dir / "empty.wav";
  CWavWriter w;
  ASSERT_TRUE(w.Open(path, true, 16, 44100));
  ASSERT_TRUE(w.Close());
  const std::vector<std::uint8_t> expected = {
      'R',  'I', 'F', 'F', 36, 0, 0,   0,   'W', 'A',  'V',  'E', 'f', 'm',  't',
      ' ',  16,  0,   0,   0,  1, 0,   2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1,
      0x02, 0,   4,   0,   16, 0, 'd', 'a', 't', 'a',  0,    0,   0,   0};
  EXPECT_EQ(ReadFileBytes(path), expected);
  EXPECT_EQ(SoxInfo(path), "2 44100 16 0 ");
  EXPECT_EQ(test::FfprobeStream(path, "codec_name"), "pcm_s16le");
}

struct WavCase {
  const char* label;
  bool stereo;
  int bits;
  int rate;
  int frames;
  std::uint32_t byteRate;
  std::uint16_t blockAlign;
};

class WavWriterFormatTest : public ::testing::TestWithParam<WavCase> {};

TEST_P(WavWriterFormatTest, HeaderSizesAndSamplesAsOtherToolsReadThem) {
  const WavCase& c = GetParam();
  test::TempDir dir;
  const std::string path = dir / "out.wav";
  const int channels = c.stereo ? 2 : 1;
  const auto sig = test::PlanarSignal::Make(c.rate, static_cast<std::size_t>(c.frames));
  std::vector<std::uint8_t> l8(sig.left.size()), r8(sig.right.size());
  for (std::size_t i = 0; i < l8.size(); ++i) {
    l8[i] = static_cast<std::uint8_t>((sig.left[i] >> 8) + 128);
    r8[i] = static_cast<std::uint8_t>((sig.right[i] >> 8) + 128);
  }
  {
    CWavWriter w;
    ASSERT_TRUE(w.Open(path, c.stereo, c.bits, c.rate));
    // Uneven blocks, as a decoder hands them over, with a null right buffer in mono.
    int done = 0;
    for (int block : {1, 1152, 7, 100000}) {
      const int n = std::min(block, c.frames - done);
      if (n <= 0) break;
      const bool ok =
          c.bits == 16
              ? w.Write16(sig.left.data() + done, c.stereo ? sig.right.data() + done : nullptr, n)
              : w.Write8(l8.data() + done, c.stereo ? r8.data() + done : nullptr, n);
      ASSERT_TRUE(ok);
      done += n;
    }
    ASSERT_EQ(done, c.frames);
    ASSERT_TRUE(w.Close());
  }
  const auto bytes = ReadFileBytes(path);
  const std::uint32_t dataBytes = static_cast<std::uint32_t>(c.frames * channels * c.bits / 8);
  ASSERT_EQ(bytes.size(), 44u + dataBytes);  // no pad byte after odd data
  EXPECT_EQ(Le32(bytes, 4), dataBytes + 36);
  EXPECT_EQ(Le16(bytes, 22), channels);
  EXPECT_EQ(Le32(bytes, 24), static_cast<std::uint32_t>(c.rate));
  EXPECT_EQ(Le32(bytes, 28), c.byteRate);
  EXPECT_EQ(Le16(bytes, 32), c.blockAlign);
  EXPECT_EQ(Le16(bytes, 34), c.bits);
  EXPECT_EQ(Le32(bytes, 40), dataBytes);

  EXPECT_EQ(SoxInfo(path), std::to_string(channels) + " " + std::to_string(c.rate) + " " +
                               std::to_string(c.bits) + " " + std::to_string(c.frames) + " ");
  std::vector<std::int16_t> decoded;
  int ch = 0, rate = 0;
  ASSERT_TRUE(test::FfmpegDecodeS16(path, decoded, &ch, &rate));
  EXPECT_EQ(ch, channels);
  EXPECT_EQ(rate, c.rate);
  std::vector<std::int16_t> expected;
  for (int i = 0; i < c.frames; ++i) {
    if (c.bits == 16) {
      expected.push_back(sig.left[i]);
      if (c.stereo) expected.push_back(sig.right[i]);
    } else {
      expected.push_back(static_cast<std::int16_t>((l8[i] - 128) * 256));
      if (c.stereo) expected.push_back(static_cast<std::int16_t>((r8[i] - 128) * 256));
    }
  }
  EXPECT_EQ(decoded, expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, WavWriterFormatTest,
                         ::testing::Values(WavCase{"Mono16", false, 16, 44100, 4410, 88200, 2},
                                           WavCase{"Stereo8", true, 8, 11025, 2205, 22050, 2},
                                           WavCase{"Stereo16", true, 16, 48000, 3001, 192000, 4},
                                           WavCase{"Mono8OddData", false, 8, 8000, 1001, 8000, 1}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(WavWriter, ReplacesAnExistingFileAndClosesOnlyOnce) {
  test::TempDir dir;
  const std::string path = dir / "x.wav";
  test::WriteFileBytes(path, std::vector<std::uint8_t>(5000, 0xAB));
  CWavWriter w;
  ASSERT_TRUE(w.Open(path, false, 16, 8000));
  const std::int16_t s[3] = {1, -2, 3};
  ASSERT_TRUE(w.Write16(s, nullptr, 3));
  ASSERT_TRUE(w.Close());
  const auto once = ReadFileBytes(path);
  EXPECT_EQ(once.size(), 50u);
  EXPECT_TRUE(w.Close());
  EXPECT_FALSE(w.Write16(s, nullptr, 3));
  EXPECT_EQ(ReadFileBytes(path), once);
}

TEST(WavWriter, RefusesWhatItCannotWrite) {
  test::TempDir dir;
  CWavWriter w;
  EXPECT_FALSE(w.Open(dir / "missing/x.wav", true, 16, 44100));
  EXPECT_FALSE(w.Open(dir / "b12.wav", true, 12, 44100));
  EXPECT_FALSE(w.Open(dir / "r0.wav", true, 16, 0));
  EXPECT_FALSE(std::filesystem::exists(dir / "b12.wav"));
  // The wide writer takes only the wide widths.
  ASSERT_TRUE(w.Open(dir / "b16.wav", true, 16, 44100));
  const std::int32_t sample = 0;
  EXPECT_FALSE(w.WriteWide(&sample, &sample, 1));
}

// Data that would take the file past 4 GiB is refused before it is written: /dev/null takes
// the bytes without storing them, so the limit is reached quickly.
TEST(WavWriter, DataBeyondWhatTheHeaderCanHoldIsRefused) {
  CWavWriter w;
  ASSERT_TRUE(w.Open("/dev/null", false, 8, 8000));
  const std::size_t chunk = 64u << 20;
  std::vector<std::uint8_t> block(chunk, 128);
  const std::uint64_t room = CWavWriter::kMaxFileSize - CWavWriter::kHeaderSize;
  std::uint64_t written = 0;
  while (room - written >= chunk) {
    ASSERT_TRUE(w.Write8(block.data(), nullptr, static_cast<int>(chunk)));
    written += chunk;
  }
  const int last = static_cast<int>(room - written);
  EXPECT_FALSE(w.Write8(block.data(), nullptr, last + 1));
  EXPECT_TRUE(w.Write8(block.data(), nullptr, last));
  EXPECT_FALSE(w.Write8(block.data(), nullptr, 1));
  // /dev/null has no size to patch the header from.
  EXPECT_FALSE(w.Close());
}

// Whatever went through the handle counts; a file that has grown past 4 GiB by other means
// gets no wrapped sizes: the placeholders stay and Close reports the failure.
TEST(WavWriter, OversizedFileKeepsItsPlaceholderSizes) {
  test::TempDir dir;
  const std::string path = dir / "big.wav";
  CWavWriter w;
  ASSERT_TRUE(w.Open(path, true, 16, 44100));
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(CWavWriter::kMaxFileSize + 1)), 0);
  EXPECT_FALSE(w.Close());
  std::vector<std::uint8_t> head(44);
  FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fread(head.data(), 1, 44, f), 44u);
  std::fclose(f);
  EXPECT_EQ(Le32(head, 4), 4u);
  EXPECT_EQ(Le32(head, 40), 4u);

  // One byte less is the largest file that fits.
  CWavWriter w2;
  ASSERT_TRUE(w2.Open(path, true, 16, 44100));
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(CWavWriter::kMaxFileSize)), 0);
  EXPECT_TRUE(w2.Close());
  f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fread(head.data(), 1, 44, f), 44u);
  std::fclose(f);
  EXPECT_EQ(Le32(head, 4), 0xFFFFFFFFu);
  EXPECT_EQ(Le32(head, 40), 0xFFFFFFFFu - 36);
}

}  // namespace
}  // namespace wavorax
