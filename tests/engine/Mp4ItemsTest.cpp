// End-to-end runs of wavorax-cli into MP4-family outputs: the source's front cover carried
// over as covr (checked with AtomicParsley), and the gapless iTunSMPB item beside the edit
// list (checked with ffmpeg and ffprobe).
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

using test::ShellQuote;

const std::string kCli = std::string(WAVORAX_BINARY_DIR) + "/cli/wavorax-cli";
constexpr std::size_t kMaxCover = 16u * 1024u * 1024u;

class Mp4ItemsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HOME", (dir / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "home/.config").c_str(), 1);
    std::filesystem::create_directories(dir / "home/.config");
    std::ofstream(dir / "settings.conf") << "[Options]\nBrowseOutputFolder=0\n";
  }
  test::CommandResult Cli(const std::string& args) {
    return test::Run(ShellQuote(kCli) + " --settings " + ShellQuote(dir / "settings.conf") +
                     " -j 1 " + args);
  }
  test::TempDir dir;
};

// ---------------------------------------------------------------------------------------
// Album art

// A one-frame image of the given type made by ffmpeg.
std::vector<std::uint8_t> Image(const test::TempDir& dir, const std::string& extension) {
  const std::string path = dir / ("cover." + extension);
  test::Run("ffmpeg -v error -y -f lavfi -i color=c=red:s=24x16 -frames:v 1 " + ShellQuote(path));
  return test::ReadFileBytes(path);
}

// A JPEG signature padded with zeros: enough for the type check, sized at will.
std::vector<std::uint8_t> JpegOfSize(std::size_t size) {
  std::vector<std::uint8_t> bytes(size, 0);
  bytes[0] = 0xFF, bytes[1] = 0xD8, bytes[2] = 0xFF, bytes[3] = 0xE0;
  return bytes;
}

std::string Tone(const test::TempDir& dir) {
  const std::string wav = dir / "tone.wav";
  test::WriteWav16(wav, test::Sine(440, 44100, 44100), 1, 44100);
  return wav;
}

// An MP3 from lame (no tag of its own) behind an ID3v2.3 tag holding one front-cover APIC
// frame with `picture`, whatever its size.
std::string Mp3WithApic(const test::TempDir& dir, const std::vector<std::uint8_t>& picture,
                        const std::string& mime) {
  const std::string mp3 = dir / "plain.mp3";
  test::Run("lame --quiet -b 64 " + ShellQuote(Tone(dir)) + " " + ShellQuote(mp3));
  std::vector<std::uint8_t> frame = {0};  // Latin-1 description
  frame.insert(frame.end(), mime.begin(), mime.end());
  frame.insert(frame.end(), {0, 3, 0});  // end of MIME type, front cover, empty description
  frame.insert(frame.end(), picture.begin(), picture.end());
  const auto frameSize = static_cast<std::uint32_t>(frame.size());
  std::vector<std::uint8_t> tag = {'I', 'D', '3', 3, 0, 0};
  const std::uint32_t tagSize = frameSize + 10;
  for (int shift : {21, 14, 7, 0})
    tag.push_back(static_cast<std::uint8_t>((tagSize >> shift) & 0x7F));
  tag.insert(tag.end(), {'A', 'P', 'I', 'C'});
  for (int shift : {24, 16, 8, 0}) tag.push_back(static_cast<std::uint8_t>(frameSize >> shift));
  tag.insert(tag.end(), {0, 0});
  tag.insert(tag.end(), frame.begin(), frame.end());
  const auto audio = test::ReadFileBytes(mp3);
  tag.insert(tag.end(), audio.begin(), audio.end());
  const std::string path = dir / "source.mp3";
  test::WriteFileBytes(path, tag);
  return path;
}

std::string FlacWithPicture(const test::TempDir& dir, const std::string& image) {
  const std::string flac = dir / "source.flac";
  test::Run("flac --silent -f -T TITLE=Flac -o " + ShellQuote(flac) + " " + ShellQuote(Tone(dir)));
  test::Run("metaflac --import-picture-from=" + ShellQuote(image) + " " + ShellQuote(flac));
  return flac;
}

void Append32(std::vector<std::uint8_t>& out, std::uint32_t value, bool bigEndian) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<std::uint8_t>(value >> (bigEndian ? 24 - 8 * i : 8 * i)));
}

// An Ogg Vorbis file whose comment holds a FLAC picture block (METADATA_BLOCK_PICTURE).
std::string OggWithPicture(const test::TempDir& dir, const std::vector<std::uint8_t>& picture) {
  const std::string ogg = dir / "source.ogg";
  test::Run("oggenc --quiet -o " + ShellQuote(ogg) + " " + ShellQuote(Tone(dir)));
  std::vector<std::uint8_t> block;
  const std::string mime = "image/png";
  Append32(block, 3, true);  // front cover
  Append32(block, static_cast<std::uint32_t>(mime.size()), true);
  block.insert(block.end(), mime.begin(), mime.end());
  for (std::uint32_t v : {0u, 24u, 16u, 24u, 0u}) Append32(block, v, true);  // description, size
  Append32(block, static_cast<std::uint32_t>(picture.size()), true);
  block.insert(block.end(), picture.begin(), picture.end());
  test::WriteFileBytes(dir / "block.bin", block);
  test::Run("vorbiscomment -a -t \"METADATA_BLOCK_PICTURE=$(base64 -w0 " +
            ShellQuote(dir / "block.bin") + ")\" " + ShellQuote(ogg));
  return ogg;
}

// An MP3 from lame followed by an APEv2 tag (footer only) with a binary "Cover Art (Front)"
// item: the picture's file name, a zero byte, the picture.
std::string Mp3WithApeCover(const test::TempDir& dir, const std::vector<std::uint8_t>& picture) {
  const std::string path = dir / "source.mp3";
  test::Run("lame --quiet -b 64 " + ShellQuote(Tone(dir)) + " " + ShellQuote(path));
  std::vector<std::uint8_t> value = {'f', '.', 'j', 'p', 'g', 0};
  value.insert(value.end(), picture.begin(), picture.end());
  std::vector<std::uint8_t> item;
  Append32(item, static_cast<std::uint32_t>(value.size()), false);
  Append32(item, 2, false);  // binary
  const std::string key = "Cover Art (Front)";
  item.insert(item.end(), key.begin(), key.end());
  item.push_back(0);
  item.insert(item.end(), value.begin(), value.end());
  auto file = test::ReadFileBytes(path);
  file.insert(file.end(), item.begin(), item.end());
  const std::string preamble = "APETAGEX";
  file.insert(file.end(), preamble.begin(), preamble.end());
  Append32(file, 2000, false);
  Append32(file, static_cast<std::uint32_t>(item.size() + 32), false);
  Append32(file, 1, false);  // one item
  Append32(file, 0, false);  // flags: footer of a tag without header
  file.insert(file.end(), 8, 0);
  test::WriteFileBytes(path, file);
  return path;
}

// The pictures AtomicParsley finds in an MP4 file, in order.
std::vector<std::vector<std::uint8_t>> Pictures(const test::TempDir& dir, const std::string& mp4) {
  const std::string folder = dir / "pix";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  test::Run("AtomicParsley " + ShellQuote(mp4) + " --extractPixToPath " +
            ShellQuote(folder + "/art"));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().string());
  std::sort(names.begin(), names.end());
  std::vector<std::vector<std::uint8_t>> pictures;
  for (const auto& name : names) pictures.push_back(test::ReadFileBytes(name));
  return pictures;
}

enum class Source {
  Mp3Jpeg,
  FlacPng,
  OggPng,
  Mp3Ape,
  M4aFromMp3,
  FlacGif,
  Mp3AtLimit,
  Mp3OverLimit
};
struct CoverCase {
  const char* label;
  Source source;
  int tagChoice;  // 0 the user's tag, 1 transfer, 2 none
  bool carried;
};
class CoverArt : public Mp4ItemsTest, public ::testing::WithParamInterface<CoverCase> {};

TEST_P(CoverArt, GoesAlongOnlyWhenTransferredAndUsable) {
  const CoverCase c = GetParam();
  std::vector<std::uint8_t> picture;
  std::string source;
  switch (c.source) {
    case Source::Mp3Jpeg:
    case Source::M4aFromMp3:
      picture = Image(dir, "jpg");
      source = Mp3WithApic(dir, picture, "image/jpeg");
      break;
    case Source::FlacPng:
      picture = Image(dir, "png");
      source = FlacWithPicture(dir, dir / "cover.png");
      break;
    case Source::OggPng:
      picture = Image(dir, "png");
      source = OggWithPicture(dir, picture);
      break;
    case Source::Mp3Ape:
      picture = Image(dir, "jpg");
      source = Mp3WithApeCover(dir, picture);
      break;
    case Source::FlacGif:
      picture = Image(dir, "gif");
      source = FlacWithPicture(dir, dir / "cover.gif");
      break;
    case Source::Mp3AtLimit:
    case Source::Mp3OverLimit:
      picture = JpegOfSize(kMaxCover + (c.source == Source::Mp3OverLimit ? 1 : 0));
      // Declared as PNG: the signature decides, not the tag's word.
      source = Mp3WithApic(dir, picture, "image/png");
      break;
  }
  ASSERT_GT(picture.size(), 8u);
  const auto sourceBytes = test::ReadFileBytes(source);
  const std::string tagChoice = " --set M4AID3TagType=" + std::to_string(c.tagChoice) + " ";
  if (c.source == Source::M4aFromMp3) {
    // The program's own M4A, with the cover it carried over, is the source of an M4B.
    const auto r = Cli("-f m4a --set M4AID3TagType=1 " + ShellQuote(source));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    source = dir / "source.m4a";
    ASSERT_EQ(Pictures(dir, source).size(), 1u);
  }
  const auto r = Cli("-f m4b -o " + ShellQuote(dir / "out") + tagChoice + ShellQuote(source));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::string out = dir / "out/source.m4b";
  ASSERT_EQ(test::FfprobeStream(out, "codec_name"), "aac");
  const auto pictures = Pictures(dir, out);
  if (c.carried) {
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0], picture);
  } else {
    EXPECT_TRUE(pictures.empty());
  }
  if (c.source != Source::M4aFromMp3) {
    EXPECT_EQ(test::ReadFileBytes(source), sourceBytes) << "source untouched";
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, CoverArt,
                         ::testing::Values(CoverCase{"Mp3Apic", Source::Mp3Jpeg, 1, true},
                                           CoverCase{"FlacPicture", Source::FlacPng, 1, true},
                                           CoverCase{"OggPicture", Source::OggPng, 1, true},
                                           CoverCase{"Mp3ApeTag", Source::Mp3Ape, 1, true},
                                           CoverCase{"M4aCovr", Source::M4aFromMp3, 1, true},
                                           CoverCase{"SixteenMiB", Source::Mp3AtLimit, 1, true},
                                           CoverCase{"UserTag", Source::Mp3Jpeg, 0, false},
                                           CoverCase{"NoTag", Source::FlacPng, 2, false},
                                           CoverCase{"Gif", Source::FlacGif, 1, false},
                                           CoverCase{"OverSixteenMiB", Source::Mp3OverLimit, 1,
                                                     false}),
                         [](const auto& info) { return std::string(info.param.label); });

// ---------------------------------------------------------------------------------------
// Gapless playback

struct GaplessCase {
  const char* format;
  int rate, channels;
  int frames;
};
class Gapless : public Mp4ItemsTest, public ::testing::WithParamInterface<GaplessCase> {};

TEST_P(Gapless, DecodesToTheFedSamplesAndSaysSoInITunSMPB) {
  const GaplessCase c = GetParam();
  const std::string src = dir / "in.wav";
  const auto mono = test::Sine(660, c.rate, static_cast<std::size_t>(c.frames));
  std::vector<std::int16_t> pcm;
  for (std::int16_t s : mono)
    for (int ch = 0; ch < c.channels; ++ch) pcm.push_back(s);
  test::WriteWav16(src, pcm, c.channels, c.rate);
  const auto r =
      Cli(std::string("-f ") + c.format + " -o " + ShellQuote(dir / "out") + " " + ShellQuote(src));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::string out = dir / ("out/in." + std::string(c.format));

  const std::string smpb = test::FfprobeTag(out, "iTunSMPB");
  unsigned words[12] = {};
  unsigned long long length = 0;
  ASSERT_EQ(std::sscanf(smpb.c_str(), " %8x %8x %8x %16llx %8x %8x %8x %8x %8x %8x %8x %8x",
                        &words[0], &words[1], &words[2], &length, &words[4], &words[5], &words[6],
                        &words[7], &words[8], &words[9], &words[10], &words[11]),
            12)
      << smpb;
  EXPECT_EQ(smpb.size(), 12u * 9u + 8u) << smpb;  // eleven 8-digit words and one of 16
  EXPECT_EQ(length, static_cast<unsigned long long>(c.frames));
  EXPECT_EQ(words[1], 1024u) << "priming, as the edit list skips";
  EXPECT_LT(words[2], 1024u) << "padding";
  const unsigned long long packets =
      std::strtoull(test::FfprobeStream(out, "nb_frames").c_str(), nullptr, 10);
  EXPECT_EQ(words[1] + length + words[2], packets * 1024u) << "the stored frames, exactly";

  // ffmpeg skips the priming by the edit list (the item's priming must not be skipped a
  // second time) but, before its version 9, keeps the padding after the last sample. Cut by
  // the item's padding, as a player that reads only the item does, the decoded stream is
  // exactly the fed samples.
  std::vector<std::int16_t> decoded;
  int channels = 0;
  ASSERT_TRUE(test::FfmpegDecodeS16(out, decoded, &channels));
  ASSERT_EQ(channels, c.channels);
  const std::size_t decodedFrames = decoded.size() / static_cast<std::size_t>(channels);
  EXPECT_EQ(decodedFrames - words[2], static_cast<std::size_t>(c.frames));
  for (int i : {0, 4, 5, 6, 7, 8, 9, 10, 11}) EXPECT_EQ(words[i], 0u) << i;
}

INSTANTIATE_TEST_SUITE_P(Lengths, Gapless,
                         ::testing::Values(GaplessCase{"m4a", 44100, 2, 44100 * 2 + 333},
                                           GaplessCase{"mp4", 48000, 1, 1024 * 40},
                                           GaplessCase{"m4b", 22050, 2, 700}),
                         [](const auto& info) { return std::string(info.param.format); });

}  // namespace
}  // namespace wavorax
