// Every source format the layer reads: stream information, decoded length and content against
// ffmpeg's own decoding, tags, and damaged copies.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "decoders/audiolib/BassDecoder.h"
#include "tests/decoders/audiolib/DecodeHelpers.h"
#include "tests/decoders/audiolib/Fixtures.h"
#include "tests/support/TestSupport.h"

namespace wavorax::test {
namespace {

// Longest codec frame among the fixtures (WavPack blocks, Vorbis long windows are shorter).
constexpr std::int64_t kOneFrame = 4608;

// ffmpeg's decoding of a fixture as frames of its first two channels. Tracker modules are
// rendered by ffmpeg's own libopenmpt wrapper at the rate under test.
bool ReferenceDecode(const FormatCase& fixture, const std::string& path,
                     std::vector<std::int16_t>& left, std::vector<std::int16_t>& right) {
  std::vector<std::int16_t> samples;
  int channels = 0;
  if (fixture.music) {
    const TempDir tmp;
    const std::string raw = tmp / "ref.raw";
    const auto r = Run("ffmpeg -v error -y -sample_rate " + std::to_string(fixture.rate) + " -i " +
                       ShellQuote(path) + " -f s16le -ac 2 " + ShellQuote(raw));
    if (r.exitCode != 0) return false;
    const auto bytes = ReadFileBytes(raw);
    samples.resize(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    channels = 2;
  } else if (!FfmpegDecodeS16(path, samples)) {
    return false;
  } else {
    channels = fixture.channels;
  }
  const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
  left.resize(frames);
  right.resize(channels > 1 ? frames : 0);
  for (std::size_t i = 0; i < frames; ++i) {
    left[i] = samples[i * channels];
    if (channels > 1) right[i] = samples[i * channels + 1];
  }
  return true;
}

class FormatMatrix : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatMatrix, ReportsStreamInformation) {
  const FormatCase& fixture = GetParam();
  const std::string path = FixturePath(fixture);
  ASSERT_FALSE(path.empty());
  CBassDecoder decoder;
  ASSERT_NE(decoder.Open(path, 0), 0);
  EXPECT_EQ(decoder.IsMusic(), fixture.music);
  EXPECT_EQ(decoder.GetSampleRate(), fixture.rate);
  EXPECT_EQ(decoder.GetChannels(), fixture.channels);
  EXPECT_EQ(decoder.GetOutputChannels(), std::min(fixture.channels, 2));
  EXPECT_EQ(decoder.GetBitsPerSample(), fixture.bits);

  // The play time as ffmpeg decodes it (its container estimate is off for short Musepack
  // files), and the bit rate as the whole file over that time.
  std::vector<std::int16_t> refLeft, refRight;
  ASSERT_TRUE(ReferenceDecode(fixture, path, refLeft, refRight));
  const double seconds = static_cast<double>(refLeft.size()) / fixture.rate;
  ASSERT_GT(seconds, 1.0);
  EXPECT_NEAR(decoder.GetDuration(), seconds, 1.0);

  // Tracker music has no file size in its figures: it reports the PCM rate it renders.
  const double expectedKbps =
      fixture.music ? 16.0 * fixture.rate * 2 / 1000
                    : static_cast<double>(ReadFileBytes(path).size()) * 8 / seconds / 1000;
  EXPECT_NEAR(decoder.GetBitrate(), expectedKbps, expectedKbps * 0.10);
}

TEST_P(FormatMatrix, DecodesWhatFfmpegDecodes) {
  const FormatCase& fixture = GetParam();
  const std::string path = FixturePath(fixture);
  ASSERT_FALSE(path.empty());
  std::vector<std::int16_t> refLeft, refRight;
  ASSERT_TRUE(ReferenceDecode(fixture, path, refLeft, refRight));

  CBassDecoder decoder;
  ASSERT_NE(decoder.Open(path, 0), 0);
  const Decoded ours = DecodeAll(decoder, 1'000'000);
  ASSERT_TRUE(ours.endedByItself);
  // Streams come out sample for sample as ffmpeg decodes them; the tolerance is one MPEG frame.
  // ffmpeg renders tracker music 0.1 s past the song's end, where ours stops.
  const auto refFrames = static_cast<std::int64_t>(refLeft.size());
  const double tolerance = fixture.music ? fixture.rate / 10.0 + 1 : 1152.0;
  EXPECT_NEAR(static_cast<double>(ours.frames), static_cast<double>(refFrames), tolerance);
  // Progress ends where the bytes handed out end, counted over every source channel.
  const std::uint64_t frameBytes =
      static_cast<std::uint64_t>(fixture.channels) * static_cast<std::uint64_t>(fixture.bits / 8);
  EXPECT_EQ(decoder.GetPosition(), ours.frames * frameBytes);
  EXPECT_NEAR(static_cast<double>(decoder.GetLength()),
              static_cast<double>(ours.frames * frameBytes),
              static_cast<double>(fixture.rate * frameBytes));

  // Both sides decode with the same codec libraries, so what comes out must be the same
  // signal on the same channels: a swapped, shifted or mangled channel fails here.
  const std::size_t n = std::min<std::size_t>(ours.left.size(), refLeft.size());
  std::vector<std::int16_t> a(ours.left.begin(), ours.left.begin() + n),
      b(refLeft.begin(), refLeft.begin() + n);
  EXPECT_GT(SnrDb(b, a), 40.0) << "left channel";
  if (fixture.channels > 1) {
    std::vector<std::int16_t> c(ours.right.begin(), ours.right.begin() + n),
        d(refRight.begin(), refRight.begin() + n);
    EXPECT_GT(SnrDb(d, c), 40.0) << "right channel";
  }
}

TEST_P(FormatMatrix, ReadsTheToolsTags) {
  const FormatCase& fixture = GetParam();
  const std::string path = FixturePath(fixture);
  ASSERT_FALSE(path.empty());
  CBassDecoder decoder;
  ASSERT_NE(decoder.Open(path, 0), 0);
  const std::string untouched = "untouched";
  std::string title = untouched, artist = untouched, album = untouched, year = untouched,
              genre = untouched, comment = untouched, track = untouched;
  const int found = decoder.ReadTags(title, artist, album, year, genre, comment, track);
  if (fixture.tags == 0) {
    if (!fixture.music) {
      EXPECT_EQ(found, 0);
      EXPECT_EQ(title, untouched);
      EXPECT_EQ(comment, untouched);
    }
    return;
  }
  ASSERT_EQ(found, 1);
  const std::string& expectedTitle = fixture.music ? kModuleTitle : kTitle;
  if (fixture.tags & kTagTitle) {
    EXPECT_EQ(title, expectedTitle);
  }
  if (fixture.tags & kTagArtist) {
    EXPECT_EQ(artist, kArtist);
  }
  if (fixture.tags & kTagAlbum) {
    EXPECT_EQ(album, kAlbum);
  }
  if (fixture.tags & kTagYear) {
    EXPECT_EQ(year, kYear);
  }
  if (fixture.tags & kTagGenre) {
    EXPECT_EQ(genre, kGenre);
  }
  if (fixture.tags & kTagComment) {
    EXPECT_EQ(comment, kComment);
  }
  if (fixture.tags & kTagTrack) {
    EXPECT_EQ(track, kTrack);
  }
}

std::vector<FormatCase> AllCases() { return FormatCases(); }

INSTANTIATE_TEST_SUITE_P(AllSupportFormats, FormatMatrix, ::testing::ValuesIn(AllCases()),
                         [](const auto& info) { return CaseName(info.param.file); });

// Damaged copies: cut at 10, 50 and 90 %, or with bytes flipped all through the file.
enum class Damage { kCut10, kCut50, kCut90, kFlipped };
struct DamageCase {
  FormatCase fixture;
  Damage damage;
};
void PrintTo(const DamageCase& c, std::ostream* os) {
  *os << c.fixture.file << " damage " << static_cast<int>(c.damage);
}

class DamagedCopies : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedCopies, EndInAFailedOpenOrAShorterStream) {
  const auto& [fixture, damage] = GetParam();
  const std::string path = FixturePath(fixture);
  ASSERT_FALSE(path.empty());
  std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  switch (damage) {
    case Damage::kCut10:
      bytes.resize(bytes.size() / 10);
      break;
    case Damage::kCut50:
      bytes.resize(bytes.size() / 2);
      break;
    case Damage::kCut90:
      bytes.resize(bytes.size() * 9 / 10);
      break;
    case Damage::kFlipped:
      // 64 flips spread over the file, headers included.
      for (std::size_t i = 1; i <= 64; ++i) bytes[bytes.size() * i / 65] ^= 0xA5;
      break;
  }
  const TempDir tmp;
  const std::string damaged = tmp / fixture.file;
  WriteFileBytes(damaged, bytes);

  CBassDecoder whole;
  ASSERT_NE(whole.Open(path, 0), 0);
  const std::uint64_t fullFrames = DecodeAll(whole, 1'000'000).frames;

  CBassDecoder decoder;
  if (decoder.Open(damaged, 0) == 0) {
    EXPECT_EQ(decoder.Read(nullptr, nullptr), 0);  // closed: nothing to read, nothing written
    return;
  }
  // Flipped bytes may change the stream's parameters; whatever it reports, the data must end.
  const Decoded ours = DecodeAll(decoder, 20'000);
  ASSERT_TRUE(ours.endedByItself) << "decoding did not end";
  const double fullSeconds = static_cast<double>(fullFrames) / fixture.rate;
  const double seconds = static_cast<double>(ours.frames) / std::max(decoder.GetSampleRate(), 1);
  if (fixture.music) {
    // A cut module is still a song, read differently (a 15-sample module without its speed
    // command plays slower); rendering must stop at the length scanned at load.
    const double scanned = static_cast<double>(decoder.GetLength()) / 4 / decoder.GetSampleRate();
    EXPECT_LE(seconds, scanned + 1.0);
  } else if (damage == Damage::kFlipped) {
    EXPECT_LE(seconds, fullSeconds + 1.0);
  } else {
    EXPECT_LE(ours.frames, fullFrames + static_cast<std::uint64_t>(kOneFrame));
  }
  std::string t, a, al, y, g, c, tr;
  decoder.ReadTags(t, a, al, y, g, c, tr);  // must not crash on a damaged tag either
  std::uint32_t size = 0;
  decoder.GetId3v2Tag(&size);
  decoder.GetId3v1Tag();
}

std::vector<DamageCase> AllDamage() {
  std::vector<DamageCase> cases;
  for (const FormatCase& f : FormatCases())
    for (Damage d : {Damage::kCut10, Damage::kCut50, Damage::kCut90, Damage::kFlipped})
      cases.push_back({f, d});
  return cases;
}

std::string DamageName(const ::testing::TestParamInfo<DamageCase>& info) {
  static const char* kNames[] = {"cut10", "cut50", "cut90", "flipped"};
  return CaseName(info.param.fixture.file) + "_" + kNames[static_cast<int>(info.param.damage)];
}

INSTANTIATE_TEST_SUITE_P(AllSupportFormats, DamagedCopies, ::testing::ValuesIn(AllDamage()),
                         DamageName);

}  // namespace
}  // namespace wavorax::test
