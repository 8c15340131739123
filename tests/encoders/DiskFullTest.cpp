// Every writer must notice a disk that fills up: a short write fails the block write or
// Close, so that the pipeline deletes the output instead of reporting success.
#include <gtest/gtest.h>

#include <functional>

#include "encoders/AacEncoder.h"
#include "encoders/Mp3Encoder.h"
#include "encoders/Mp4Encoder.h"
#include "encoders/WavWriter.h"
#include "tests/encoders/EncoderTestUtil.h"
#include "tests/encoders/NewEncoderUtil.h"

namespace wavorax {
namespace {

enum class Sink { DevFull, FileSizeLimit };

// Runs a whole conversion into `path`; true only if every step reported success.
using Conversion = std::function<bool(const std::string& path, const test::PlanarSignal& sig)>;

struct WriterCase {
  const char* label;
  const char* extension;
  Conversion convert;
};

bool ConvertWav(const std::string& path, const test::PlanarSignal& sig) {
  CWavWriter w;
  if (!w.Open(path, true, 16, sig.rate)) return false;
  const bool ok =
      test::FeedBlocks(sig, 2, [&](auto* l, auto* r, int n) { return w.Write16(l, r, n); });
  return w.Close() && ok;
}

bool ConvertMp3(const std::string& path, const test::PlanarSignal& sig) {
  CMp3Encoder enc;
  if (!enc.Open(path)) return false;
  const Id3v1Block tag = BuildId3v1("t", "a", "b", "2000", "c", 1, false, 0);
  enc.SetId3v1Tag(tag.data());
  enc.SetInputSampleRate(sig.rate);
  enc.SetChannels(2);
  enc.SetBitRate(320);
  if (!enc.Start()) return false;
  const bool ok =
      test::FeedBlocks(sig, 2, [&](auto* l, auto* r, int n) { return enc.Encode(l, r, n); });
  return enc.Close() && ok;
}

bool ConvertAac(const std::string& path, const test::PlanarSignal& sig) {
  CAacEncoder enc;
  if (!enc.Open(path, sig.rate, 2, 16)) return false;
  enc.GetConfiguration()->bitRate = 128000;
  if (!enc.Start()) return false;
  const bool ok =
      test::FeedBlocks(sig, 2, [&](auto* l, auto* r, int n) { return enc.Write16(l, r, n); });
  return enc.Close() && ok;
}

// `compact`: as for a source of two hours, written with the compact index.
template <bool compact>
bool ConvertMp4(const std::string& path, const test::PlanarSignal& sig) {
  CMp4Encoder enc;
  if (!enc.Open(path, sig.rate, 2, 16)) return false;
  enc.GetConfiguration()->bitRate = 128000;
  if (!enc.Start() || !enc.SetSourceSeconds(compact ? 7200 : 0)) return false;
  enc.SetMetadata("t", "a", "b", "Rock", "2000", "c", 1);
  const bool ok =
      test::FeedBlocks(sig, 2, [&](auto* l, auto* r, int n) { return enc.Write16(l, r, n); });
  return enc.Close() && ok;
}

bool ConvertMp3Vbr(const std::string& path, const test::PlanarSignal& sig) {
  CMp3Encoder enc;
  if (!enc.Open(path)) return false;
  enc.SetInputSampleRate(sig.rate);
  enc.SetChannels(2);
  if (!enc.SetVbrQuality(0) || !enc.Start()) return false;
  const bool ok =
      test::FeedBlocks(sig, 2, [&](auto* l, auto* r, int n) { return enc.Encode(l, r, n); });
  return enc.Close() && ok;
}

// The writers on 32-bit samples, with a tag so that their metadata is written too. A sweep,
// so that even Vorbis makes a file of some size.
template <test::NewEncoder kind>
bool ConvertNew(const std::string& path, const test::PlanarSignal& sig) {
  AudioTags tags;
  tags.Add("TITLE", "t");
  return test::Encode(kind, path, test::Pcm32::Sweep(sig.rate, 2, 16, sig.left.size()), &tags);
}

class DiskFullTest : public ::testing::TestWithParam<std::tuple<WriterCase, Sink>> {};

TEST_P(DiskFullTest, ConversionReportsFailure) {
  const auto& [writer, sink] = GetParam();
  const auto sig = test::PlanarSignal::Make(44100, 44100 * 2);
  test::TempDir dir;
  const std::string path = dir / (std::string("out.") + writer.extension);
  // The same conversion succeeds where there is room.
  ASSERT_TRUE(writer.convert(path, sig));
  const auto full = test::ReadFileBytes(path);
  // At least twice the smaller limit below, so that the limit cuts into the audio.
  ASSERT_GT(full.size(), 2 * 8192u);

  if (sink == Sink::DevFull) {
    EXPECT_FALSE(writer.convert("/dev/full", sig));
  } else {
    // Room for part of the audio only; a limit of 8 KiB falls inside every output.
    bool ok;
    {
      test::ScopedFileSizeLimit limit(8192);
      ok = writer.convert(path, sig);
    }
    EXPECT_FALSE(ok);
    // A second limit just short of the complete file: only the last bytes are missing, which
    // the writers learn in their final writes or in Close.
    {
      test::ScopedFileSizeLimit limit(full.size() - 1);
      ok = writer.convert(path, sig);
    }
    EXPECT_FALSE(ok);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Writers, DiskFullTest,
    ::testing::Combine(
        ::testing::Values(WriterCase{"Wav", "wav", ConvertWav},
                          WriterCase{"Mp3", "mp3", ConvertMp3},
                          WriterCase{"Aac", "aac", ConvertAac},
                          WriterCase{"Mp4", "m4a", ConvertMp4<false>},
                          WriterCase{"Mp4Compact", "m4a", ConvertMp4<true>},
                          WriterCase{"Mp3Vbr", "mp3", ConvertMp3Vbr},
                          WriterCase{"Flac", "flac", ConvertNew<test::NewEncoder::Flac>},
                          WriterCase{"Opus", "opus", ConvertNew<test::NewEncoder::Opus>},
                          WriterCase{"Vorbis", "ogg", ConvertNew<test::NewEncoder::Vorbis>},
                          WriterCase{"Alac", "m4a", ConvertNew<test::NewEncoder::Alac>}),
        ::testing::Values(Sink::DevFull, Sink::FileSizeLimit)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).label) +
             (std::get<1>(info.param) == Sink::DevFull ? "DevFull" : "FileSizeLimit");
    });

}  // namespace
}  // namespace wavorax
