#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "encoders/Mp4Encoder.h"
#include "settings/TagRecord.h"
#include "tests/encoders/EncoderTestUtil.h"

namespace wavorax {
namespace {

using test::FfprobeStream;
using test::FormatTag;
using test::ReadFileBytes;

using test::ShellQuote;

// Every number in a text, in order.
std::vector<long> Numbers(const std::string& text) {
  std::vector<long> out;
  std::string digits;
  for (char c : text + " ") {
    if (c >= '0' && c <= '9') {
      digits += c;
    } else if (!digits.empty()) {
      out.push_back(std::stol(digits));
      digits.clear();
    }
  }
  return out;
}

struct Metadata {
  std::string title, artist, album, genre, year, comment;
  int track = 0;
};

bool EncodeMp4(const std::string& path, const test::PlanarSignal& sig, int channels, int bits = 16,
               const Metadata* meta = nullptr, CMp4Encoder* keep = nullptr) {
  CMp4Encoder local;
  CMp4Encoder& enc = keep ? *keep : local;
  if (!enc.Open(path, sig.rate, channels, bits)) return false;
  if (!enc.Start()) return false;
  if (meta && !enc.SetMetadata(meta->title, meta->artist, meta->album, meta->genre, meta->year,
                               meta->comment, meta->track))
    return false;
  bool ok = true;
  if (bits == 8) {
    std::vector<std::uint8_t> l(sig.left.size()), r(sig.right.size());
    for (std::size_t i = 0; i < l.size(); ++i) {
      l[i] = static_cast<std::uint8_t>((sig.left[i] >> 8) + 128);
      r[i] = static_cast<std::uint8_t>((sig.right[i] >> 8) + 128);
    }
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

struct ClockCase {
  const char* label;
  std::uint32_t frameLength;
  // Per encode call: sample frames fed, and whether the encoder returned a frame.
  std::vector<std::pair<std::uint64_t, bool>> calls;
  std::vector<std::uint64_t> durations;
};

class Mp4SampleClockTest : public ::testing::TestWithParam<ClockCase> {};

TEST_P(Mp4SampleClockTest, DurationsAddUpToTheFedFramesPlusOneFrameOfDelay) {
  const ClockCase& c = GetParam();
  Mp4SampleClock clock(c.frameLength);
  std::vector<std::uint64_t> durations;
  std::uint64_t fed = 0;
  for (const auto& [frames, produced] : c.calls) {
    clock.Feed(frames);
    fed += frames;
    if (!produced) continue;
    const Mp4SampleClock::Sample s = clock.Next();
    EXPECT_EQ(s.renderingOffset, durations.empty() ? c.frameLength : 0u);
    durations.push_back(s.duration);
  }
  EXPECT_EQ(durations, c.durations);
  EXPECT_EQ(clock.written(), fed + c.frameLength);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Mp4SampleClockTest,
    ::testing::Values(
        // 3000 frames: 1024, 1024, 952 go in; the first call only fills the look-ahead.
        ClockCase{"ThreeThousand",
                  1024,
                  {{1024, false}, {1024, true}, {952, true}, {0, true}, {0, true}, {0, true}},
                  {1024, 1024, 1024, 952, 0}},
        // An encoder that answers every call: the same durations.
        ClockCase{"ThreeThousandNoDelay",
                  1024,
                  {{1024, true}, {1024, true}, {952, true}, {0, true}, {0, true}},
                  {1024, 1024, 1024, 952, 0}},
        // Shorter than one frame: everything comes out of the flush at close.
        ClockCase{"ShortStream", 1024, {{300, true}, {0, true}}, {1024, 300}},
        ClockCase{"Empty", 1024, {{0, true}}, {1024}}),
    [](const auto& info) { return std::string(info.param.label); });

// The durations the container received, as ffprobe reads them back from the file.
TEST(Mp4Encoder, ThreeThousandFramesGiveTheExampleDurations) {
  test::TempDir dir;
  const std::string path = dir / "3000.m4a";
  CMp4Encoder enc;
  ASSERT_TRUE(EncodeMp4(path, test::PlanarSignal::Make(44100, 3000), 2, 16, nullptr, &enc));
  auto r =
      test::Run("ffprobe -v error -select_streams a:0 -show_entries packet=duration -of csv=p=0 " +
                ShellQuote(path));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(Numbers(r.output), (std::vector<long>{1024, 1024, 1024, 952}));
  // The stream's length is the 3000 fed frames: the 1024 of priming are edited out.
  EXPECT_EQ(FfprobeStream(path, "duration_ts"), "3000");
}

// The movie time scale and the audio profile of the object descriptor reach the file.
TEST(Mp4Encoder, MovieTimeScaleAndAudioProfile) {
  test::TempDir dir;
  const std::string path = dir / "t.mp4";
  ASSERT_TRUE(EncodeMp4(path, test::PlanarSignal::Make(22050, 22050), 1));
  const auto b = ReadFileBytes(path);
  const auto find = [&b](const char* fourcc) {
    for (std::size_t i = 0; i + 4 <= b.size(); ++i)
      if (std::equal(fourcc, fourcc + 4, b.begin() + static_cast<long>(i))) return i;
    return b.size();
  };
  const std::size_t mvhd = find("mvhd");
  ASSERT_LT(mvhd + 20, b.size());
  EXPECT_EQ((b[mvhd + 16] << 24) | (b[mvhd + 17] << 16) | (b[mvhd + 18] << 8) | b[mvhd + 19],
            90000);
  const std::size_t iods = find("iods");
  ASSERT_LT(iods + 20, b.size());
  // ... ES descriptor tag 0x10, its length, OD id, then OD, scene, audio profile.
  EXPECT_EQ(b[iods + 17], 0x0F);
}

struct StreamCase {
  const char* label;
  int rate, channels, bits;
  std::size_t frames;
};

class Mp4EncoderStreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(Mp4EncoderStreamTest, LastsTheFedSamplesAndPlaysFromTheFirst) {
  const StreamCase& c = GetParam();
  test::TempDir dir;
  const std::string path = dir / "out.m4a";
  const auto sig = test::PlanarSignal::Sweep(c.rate, c.frames);
  ASSERT_TRUE(EncodeMp4(path, sig, c.channels, c.bits));

  EXPECT_EQ(FfprobeStream(path, "codec_name"), "aac");
  EXPECT_EQ(FfprobeStream(path, "profile"), "LC");
  EXPECT_EQ(FfprobeStream(path, "sample_rate"), std::to_string(c.rate));
  EXPECT_EQ(FfprobeStream(path, "channels"), std::to_string(c.channels));
  const double duration = std::atof(test::FfprobeFormat(path, "duration").c_str());
  EXPECT_GE(duration, double(c.frames) / c.rate - 0.001);
  EXPECT_LE(duration, double(c.frames + 1024) / c.rate + 0.001);

  std::vector<std::int16_t> decoded;
  int ch = 0;
  ASSERT_TRUE(test::FfmpegDecodeS16(path, decoded, &ch));
  ASSERT_EQ(ch, c.channels);
  const std::size_t decodedFrames = decoded.size() / static_cast<std::size_t>(ch);
  EXPECT_GE(decodedFrames, c.frames);
  EXPECT_LE(decodedFrames, c.frames + 1024);
  // The first decoded sample is the first fed sample: no delay to skip by hand.
  std::vector<std::int16_t> left;
  for (std::size_t i = 0; i < decoded.size(); i += static_cast<std::size_t>(ch))
    left.push_back(decoded[i]);
  const std::size_t lag = test::BestAlignment(left, sig.left, 2048, 4096);
  EXPECT_LE(lag, 2u);
  const std::vector<std::int16_t> ref(sig.left.begin() + 1024, sig.left.end() - 1024);
  const std::vector<std::int16_t> got(left.begin() + 1024,
                                      left.begin() + static_cast<long>(c.frames) - 1024);
  EXPECT_GT(test::SnrDb(ref, got), c.bits == 8 ? 8.0 : 12.0);

  // faad reads the container too. It allows for parametric stereo in any mono stream and so
  // always hands out two channels.
  const std::string wav = dir / "faad.wav";
  auto r = test::Run("faad -q -o " + ShellQuote(wav) + " " + ShellQuote(path));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(test::Run("sox --i -r " + ShellQuote(wav)).output, std::to_string(c.rate) + "\n");
  EXPECT_EQ(test::Run("sox --i -c " + ShellQuote(wav)).output, "2\n");
}

INSTANTIATE_TEST_SUITE_P(Streams, Mp4EncoderStreamTest,
                         ::testing::Values(StreamCase{"Stereo44k", 44100, 2, 16, 110250},
                                           StreamCase{"Mono16kFrom8Bit", 16000, 1, 8, 40000},
                                           StreamCase{"Stereo48kOddLength", 48000, 2, 16, 48001}),
                         [](const auto& info) { return std::string(info.param.label); });

// AtomicParsley's listing of the metadata items: "Atom "©nam" contains: ...".
std::string AtomicParsleyTags(const std::string& path) {
  return test::Run("AtomicParsley " + ShellQuote(path) + " -t").output;
}

struct MetadataCase {
  const char* label;
  Metadata in;
  std::vector<std::string> present;  // AtomicParsley lines expected
  std::vector<std::string> absent;   // atoms that must not be there
};

class Mp4EncoderMetadataTest : public ::testing::TestWithParam<MetadataCase> {};

TEST_P(Mp4EncoderMetadataTest, ItemsAsOtherToolsReadThem) {
  const MetadataCase& c = GetParam();
  test::TempDir dir;
  const std::string path = dir / "tagged.m4a";
  ASSERT_TRUE(EncodeMp4(path, test::PlanarSignal::Make(44100, 20000), 2, 16, &c.in));
  const std::string listing = AtomicParsleyTags(path);
  for (const std::string& line : c.present)
    EXPECT_NE(listing.find(line), std::string::npos) << line << "\n" << listing;
  for (const std::string& atom : c.absent)
    EXPECT_EQ(listing.find("Atom \"" + atom + "\""), std::string::npos) << atom << "\n" << listing;
  if (!c.in.title.empty() && c.in.title[0] != '\xFF') {
    EXPECT_EQ(FormatTag(path, "title"), c.in.title);
  }
  if (!c.in.artist.empty()) {
    EXPECT_EQ(FormatTag(path, "artist"), c.in.artist);
  }
  if (c.in.track > 0) {
    EXPECT_EQ(FormatTag(path, "track"), std::to_string(c.in.track));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Items, Mp4EncoderMetadataTest,
    ::testing::Values(MetadataCase{"AllItemsNonAscii",
                                   {"\xC3\x9Cn\xC3\xAF c\xC3\xB8"
                                    "d\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC",
                                    "Bj\xC3\xB6rk",
                                    "\xC3\x87"
                                    "a va",
                                    GenreName(147), "2024", "na\xC3\xAFve \xE2\x98\x83", 7},
                                   {"Atom \"\xC2\xA9nam\" contains: \xC3\x9Cn\xC3\xAF c\xC3\xB8"
                                    "d\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC",
                                    "Atom \"\xC2\xA9"
                                    "ART\" contains: Bj\xC3\xB6rk",
                                    "Atom \"\xC2\xA9"
                                    "alb\" contains: \xC3\x87"
                                    "a va",
                                    "Atom \"\xC2\xA9"
                                    "day\" contains: 2024",
                                    "Atom \"\xC2\xA9gen\" contains: Synthpop",
                                    "Atom \"\xC2\xA9"
                                    "cmt\" contains: na\xC3\xAFve \xE2\x98\x83",
                                    "Atom \"trkn\" contains: 7"},
                                   {"trkn\" contains: 7 of"}},
                      MetadataCase{"NoGenreFor255NoTrackFor0",
                                   {"Song", "", "", GenreName(255), "", "", 0},
                                   {"Atom \"\xC2\xA9nam\" contains: Song"},
                                   {"\xC2\xA9gen", "gnre", "trkn",
                                    "\xC2\xA9"
                                    "ART",
                                    "\xC2\xA9"
                                    "day"}},
                      MetadataCase{
                          "GenreZeroIsBlues",
                          {"", "", "", GenreName(0), "", "", 300},
                          {"Atom \"\xC2\xA9gen\" contains: Blues", "Atom \"trkn\" contains: 300"},
                          {"\xC2\xA9nam"}},
                      MetadataCase{"TextThatIsNotUtf8IsLeftOut",
                                   {"\xFF\xFE bad", "Fine", "", "", "", "", 0},
                                   {"Atom \"\xC2\xA9"
                                    "ART\" contains: Fine"},
                                   {"\xC2\xA9nam"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Mp4Encoder, SameFileWhateverTheExtension) {
  test::TempDir dir;
  const auto sig = test::PlanarSignal::Make(44100, 30000);
  const Metadata meta{"T", "A", "B", "Rock", "1999", "C", 2};
  std::vector<std::vector<std::uint8_t>> files;
  for (const char* name : {"a.m4a", "a.mp4", "a.m4b"}) {
    ASSERT_TRUE(EncodeMp4(dir / name, sig, 2, 16, &meta));
    files.push_back(ReadFileBytes(dir / name));
  }
  ASSERT_FALSE(files[0].empty());
  EXPECT_EQ(files[0], files[1]);
  EXPECT_EQ(files[0], files[2]);
}

TEST(Mp4Encoder, RefusedConfigurationFailsStart) {
  test::TempDir dir;
  CMp4Encoder enc;
  ASSERT_TRUE(enc.Open(dir / "x.m4a", 44100, 2, 16));
  enc.GetConfiguration()->bitRate = 1000;
  EXPECT_FALSE(enc.Start());
  const std::int16_t s[2] = {};
  EXPECT_FALSE(enc.Write16(s, s, 1));
  EXPECT_FALSE(enc.Close());
  EXPECT_FALSE(enc.Open(dir / "y.m4a", 44100, 5, 16));
  EXPECT_FALSE(std::filesystem::exists(dir / "y.m4a"));
}

TEST(Mp4Container, CallsReportWhatTheyCannotDo) {
  test::TempDir dir;
  EXPECT_FALSE(MP4Create(dir / "missing/x.m4a"));
  // A colon is an ordinary character in a file name, not a protocol.
  const std::string colon = dir / "pipe:1.m4a";
  Mp4FilePtr file = MP4Create(colon);
  ASSERT_TRUE(file);
  EXPECT_TRUE(std::filesystem::exists(colon));
  EXPECT_EQ(MP4AddAudioTrack(file.get(), 44100, 1024, MP4_MPEG4_AUDIO_TYPE), MP4_INVALID_TRACK_ID);
  EXPECT_EQ(MP4AddAudioTrack(file.get(), 44100, MP4_INVALID_DURATION, 0x6B), MP4_INVALID_TRACK_ID);
  const MP4TrackId track = MP4AddAudioTrack(file.get(), 44100, MP4_INVALID_DURATION);
  ASSERT_NE(track, MP4_INVALID_TRACK_ID);
  const std::uint8_t frame[8] = {0x21, 0x10, 0x04, 0x60, 0x8C, 0x1C, 0, 0};
  // No ES configuration yet: the header cannot be written.
  EXPECT_FALSE(MP4WriteSample(file.get(), track, frame, sizeof frame, 1024, 0, true));
  const std::uint8_t badConfig[1] = {0x12};
  EXPECT_FALSE(MP4SetTrackESConfiguration(file.get(), track, badConfig, 1));
  EXPECT_FALSE(MP4SetTrackESConfiguration(file.get(), track + 1, badConfig, 1));
  // A cover is JPEG or PNG by its signature, or nothing.
  const std::uint8_t gif[8] = {'G', 'I', 'F', '8', '9', 'a', 1, 0};
  EXPECT_FALSE(MP4SetMetadataCoverArt(file.get(), gif, sizeof gif));
  EXPECT_FALSE(MP4SetMetadataCoverArt(file.get(), gif, 0));
  EXPECT_FALSE(MP4Close(file));
  EXPECT_FALSE(file);

  Mp4FilePtr good = MP4Create(dir / "good.m4a");
  ASSERT_TRUE(good);
  const MP4TrackId t = MP4AddAudioTrack(good.get(), 44100, MP4_INVALID_DURATION);
  const std::uint8_t asc[2] = {0x12, 0x10};  // AAC LC, 44100 Hz, stereo
  ASSERT_TRUE(MP4SetTrackESConfiguration(good.get(), t, asc, 2));
  EXPECT_FALSE(MP4WriteSample(good.get(), t, frame, sizeof frame, 0, 0, true));
  ASSERT_TRUE(MP4WriteSample(good.get(), t, frame, sizeof frame, 1024, 0, true));
  EXPECT_FALSE(MP4WriteSample(good.get(), t, frame, sizeof frame, 1024, 5, true));
  EXPECT_FALSE(MP4SetTrackESConfiguration(good.get(), t, asc, 2));  // header is out
  EXPECT_TRUE(MP4Close(good));
}

}  // namespace
}  // namespace wavorax
