#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include "encoders/Mp4CompactWriter.h"
#include "encoders/Mp4Encoder.h"
#include "encoders/alac/AlacEncoder.h"
#include "tests/encoders/EncoderTestUtil.h"

namespace wavorax {
namespace {

using test::ShellQuote;

// Sizes stay exact across the switch from 16-bit to 32-bit storage, equal durations share
// one run, and the last chunk holds what is left.
TEST(Mp4SampleTable, KeepsSizesAndRunsCompactly) {
  Mp4SampleTable t;
  const std::uint32_t sizes[] = {300, 65535, 70000, 12, 4000000};
  for (int i = 0; i < 130; ++i) t.Add(sizes[i % 5], i < 129 ? 1024 : 17);
  ASSERT_EQ(t.count(), 130u);
  for (std::uint64_t i = 0; i < 130; ++i) EXPECT_EQ(t.size(i), sizes[i % 5]) << i;
  const std::vector<std::pair<std::uint32_t, std::uint32_t>> runs = {{129, 1024}, {1, 17}};
  EXPECT_EQ(t.runs(), runs);
  EXPECT_EQ(t.duration(), 129u * 1024 + 17);
  EXPECT_EQ(t.largest(), 4000000u);
  EXPECT_EQ(t.chunks(), 3u);
}

// A 12-second source through each MP4-family writer, once through the muxer and once with
// the compact index: players must not tell the two apart.
struct CompactCase {
  const char* label;
  bool alac;
};

class Mp4CompactIndexTest : public ::testing::TestWithParam<CompactCase> {};

bool Encode(bool alac, const std::string& path, const test::PlanarSignal& sig, bool compact) {
  const std::vector<std::uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F'};
  const auto tag = [&](auto& enc) {
    return enc.SetSourceSeconds(compact ? 7200 : 12) &&
           enc.SetMetadata("Chapter \xC3\xA9", "Reader", "Book", "Audiobook", "2024", "", 3) &&
           enc.SetCoverArt(jpeg);
  };
  if (alac) {
    CAlacEncoder enc;
    if (!enc.Open(path, sig.rate, 2, 16) || !tag(enc)) return false;
    std::vector<std::int32_t> l(sig.left.begin(), sig.left.end());
    std::vector<std::int32_t> r(sig.right.begin(), sig.right.end());
    return enc.Write(l.data(), r.data(), static_cast<int>(l.size())) && enc.Close();
  }
  CMp4Encoder enc;
  if (!enc.Open(path, sig.rate, 2, 16) || !enc.Start() || !tag(enc)) return false;
  const bool ok =
      test::FeedBlocks(sig, 2, [&](auto* l, auto* r, int n) { return enc.Write16(l, r, n); });
  return enc.Close() && ok;
}

TEST_P(Mp4CompactIndexTest, PlaysAsTheMuxersFileDoes) {
  const CompactCase& c = GetParam();
  test::TempDir dir;
  const std::string usual = dir / "usual.m4b", compact = dir / "compact.m4b";
  const auto sig = test::PlanarSignal::Sweep(44100, 12 * 44100 + 77);
  ASSERT_TRUE(Encode(c.alac, usual, sig, false));
  ASSERT_TRUE(Encode(c.alac, compact, sig, true));
  EXPECT_NE(test::ReadFileBytes(usual), test::ReadFileBytes(compact));

  std::vector<std::int16_t> a, b;
  ASSERT_TRUE(test::FfmpegDecodeS16(usual, a));
  ASSERT_TRUE(test::FfmpegDecodeS16(compact, b));
  EXPECT_EQ(a.size(), b.size());
  EXPECT_TRUE(a == b);
  for (const char* field : {"codec_name", "sample_rate", "channels", "duration"})
    EXPECT_EQ(test::FfprobeStream(compact, field), test::FfprobeStream(usual, field)) << field;

  // The same items (in any order), the cover and (for AAC) the gapless item among them.
  const auto items = [](const std::string& path) {
    return test::Run("AtomicParsley " + ShellQuote(path) +
                     " -t | sed 's/^\\xEF\\xBB\\xBF//' | sort")
        .output;
  };
  const std::string listing = items(compact);
  EXPECT_EQ(listing, items(usual));
  EXPECT_NE(listing.find("covr"), std::string::npos) << listing;
  if (!c.alac) {
    EXPECT_NE(listing.find("iTunSMPB"), std::string::npos) << listing;
  }
}

INSTANTIATE_TEST_SUITE_P(Writers, Mp4CompactIndexTest,
                         ::testing::Values(CompactCase{"Aac", false}, CompactCase{"Alac", true}),
                         [](const auto& info) { return std::string(info.param.label); });

// Media past 4 GiB (a long ALAC book) needs a 64-bit mdat size and co64 offsets, and
// durations past 32 bits the 64-bit versions of mvhd, tkhd and elst. The samples
// of a short ALAC file, written again with those forms forced, must decode the same.
TEST(Mp4CompactWriter, WideOffsetsDecodeAsNarrowOnes) {
  test::TempDir dir;
  const std::string usual = dir / "usual.m4a", wide = dir / "wide.m4a";
  const auto sig = test::PlanarSignal::Sweep(44100, 3 * 44100 + 5);
  ASSERT_TRUE(Encode(true, usual, sig, false));

  AVFormatContext* in = nullptr;
  ASSERT_GE(avformat_open_input(&in, ("file:" + usual).c_str(), nullptr, nullptr), 0);
  ASSERT_GE(avformat_find_stream_info(in, nullptr), 0);
  // The cover is a stream of its own, with its picture as a packet.
  const int audio = av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  ASSERT_GE(audio, 0);
  const AVCodecParameters* par = in->streams[audio]->codecpar;
  Mp4CompactTrack track;
  track.alac = true;
  track.timeScale = static_cast<std::uint32_t>(par->sample_rate);
  track.channels = par->ch_layout.nb_channels;
  track.config.assign(par->extradata, par->extradata + par->extradata_size);
  AVIOContext* io = nullptr;
  ASSERT_GE(avio_open(&io, ("file:" + wide).c_str(), AVIO_FLAG_WRITE), 0);
  Mp4CompactWriter writer(io, 0);
  ASSERT_TRUE(writer.Begin());
  AVPacket* pkt = av_packet_alloc();
  while (av_read_frame(in, pkt) >= 0) {
    if (pkt->stream_index == audio) {
      EXPECT_TRUE(writer.WriteSample(pkt->data, static_cast<std::uint32_t>(pkt->size),
                                     static_cast<std::uint32_t>(pkt->duration)));
    }
    av_packet_unref(pkt);
  }
  av_packet_free(&pkt);
  avformat_close_input(&in);
  // A movie time scale this fine puts the durations past 32 bits, as 14 hours at 90 kHz do.
  EXPECT_TRUE(writer.Finish(track, 2000000000, -1, {}));
  ASSERT_GE(avio_closep(&io), 0);

  const auto bytes = test::ReadFileBytes(wide);
  ASSERT_GT(bytes.size(), 48u);
  // The free atom became the 16-byte header of the media: size 1, then the 64-bit size.
  EXPECT_EQ(std::string(bytes.begin() + 28, bytes.begin() + 36), std::string("\0\0\0\1mdat", 8));
  EXPECT_NE(test::Run("AtomicParsley " + ShellQuote(wide) + " -T 1").output.find("co64"),
            std::string::npos);
  EXPECT_NEAR(std::atof(test::FfprobeFormat(wide, "duration").c_str()),
              double(sig.left.size()) / 44100, 1e-5);
  std::vector<std::int16_t> a, b;
  ASSERT_TRUE(test::FfmpegDecodeS16(usual, a));
  ASSERT_TRUE(test::FfmpegDecodeS16(wide, b));
  EXPECT_EQ(a.size(), b.size());
  EXPECT_TRUE(a == b);
}

}  // namespace
}  // namespace wavorax
