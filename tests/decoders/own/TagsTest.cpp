// The own decoders' tags: whichever decoder plays a file, its tags are the ones the tag layer
// reads, in tag kinds that only the own decoders' files may carry.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "decoders/own/Mp3Decoder.h"
#include "decoders/own/WavDecoder.h"
#include "tests/decoders/own/DecodeHelpers.h"
#include "tests/support/TestSupport.h"

namespace wavorax::test {
namespace {

const std::string kTitle = "\xC3\x84rger im Test";  // "Ärger im Test"
const std::string kComment = "First line\nSecond line";

// An ID3v2.2 tag as iTunes writes it: three-letter frames, the title in UTF-16 with a byte
// order mark, the genre as a number in parentheses, the track with the count of tracks.
std::vector<std::uint8_t> Id3v22() {
  Bytes frames;
  auto frame = [&](const char* id, const std::vector<std::uint8_t>& body) {
    const auto n = static_cast<std::uint32_t>(body.size());
    frames.Text(id).U8(n >> 16).U8((n >> 8) & 0xFF).U8(n & 0xFF).Append(body);
  };
  auto latin1 = [](const std::string& text) {
    Bytes b;
    b.U8(0).Text(text.c_str());
    return b.data;
  };
  Bytes title;
  title.U8(1).U8(0xFF).U8(0xFE);
  title.Le16(0xC4);  // Ä
  for (const char* c = "rger im Test"; *c; ++c) title.Le16(static_cast<unsigned char>(*c));
  frame("TT2", title.data);
  frame("TP1", latin1("Wavorax Tester"));
  frame("TAL", latin1("Fixture Album"));
  frame("TYE", latin1("2019"));
  frame("TCO", latin1("(17)"));
  frame("TRK", latin1("7/12"));
  Bytes comment;
  comment.U8(0).Text("eng").U8(0).Text(kComment.c_str());
  frame("COM", comment.data);
  frames.data.resize(frames.data.size() + 200);  // padding, as iTunes leaves
  const auto n = static_cast<std::uint32_t>(frames.data.size());
  Bytes tag;
  tag.Text("ID3").U8(2).U8(0).U8(0);
  tag.U8((n >> 21) & 0x7F).U8((n >> 14) & 0x7F).U8((n >> 7) & 0x7F).U8(n & 0x7F);
  return tag.Append(frames.data).data;
}

// Every case's values, under their APEv2 key and RIFF INFO id.
struct Item {
  const char *ape, *info;
  std::string value;
};
const std::vector<Item>& Items() {
  static const std::vector<Item> items = {{"Title", "INAM", kTitle},
                                          {"Artist", "IART", "Wavorax Tester"},
                                          {"Album", "IPRD", "Fixture Album"},
                                          {"Year", "ICRD", "2019"},
                                          {"Genre", "IGNR", "Rock"},
                                          {"Comment", "ICMT", kComment},
                                          {"Track", "IPRT", "7"}};
  return items;
}

// An APEv2 tag (items and footer) as it ends an MP3 file.
std::vector<std::uint8_t> Ape() {
  Bytes items;
  for (const Item& i : Items())
    items.Le32(static_cast<std::uint32_t>(i.value.size()))
        .Le32(0)
        .Text(i.ape)
        .U8(0)
        .Text(i.value.c_str());
  Bytes footer;
  footer.Text("APETAGEX").Le32(2000).Le32(static_cast<std::uint32_t>(items.data.size() + 32));
  footer.Le32(static_cast<std::uint32_t>(Items().size())).Le32(0).Le32(0).Le32(0);
  return items.Append(footer.data).data;
}

// A RIFF LIST/INFO chunk.
std::vector<std::uint8_t> Info() {
  Bytes body;
  body.Text("INFO");
  for (const Item& i : Items()) {
    const std::uint32_t n = static_cast<std::uint32_t>(i.value.size()) + 1;
    body.Text(i.info).Le32(n).Text(i.value.c_str()).U8(0);
    if (n & 1) body.U8(0);
  }
  Bytes chunk;
  chunk.Text("LIST").Le32(static_cast<std::uint32_t>(body.data.size()));
  return chunk.Append(body.data).data;
}

enum class Audio { kMp3, kFreeFormatMp2, kWav };

struct TagCase {
  const char* name;
  Audio audio;
  std::function<std::vector<std::uint8_t>(std::vector<std::uint8_t> audio)> tag;
};

void PrintTo(const TagCase& c, std::ostream* os) { *os << c.name; }

class OwnDecoderTags : public testing::TestWithParam<TagCase> {};

TEST_P(OwnDecoderTags, AreTheTagLayers) {
  const TagCase& c = GetParam();
  TempDir dir;
  const std::string wav = dir / "in.wav", mpeg = dir / "in.mpeg";
  WriteWav16(wav, Sine(440, 48000, 48000), 1, 48000);
  const bool isWav = c.audio == Audio::kWav;
  if (c.audio == Audio::kMp3) {
    ASSERT_EQ(test::Run("lame --quiet -b 64 " + ShellQuote(wav) + " " + ShellQuote(mpeg)).exitCode,
              0);
  } else if (c.audio == Audio::kFreeFormatMp2) {
    // 576-byte frames at 192 kbit/s and 48 kHz, their bit rates then taken out: a stream that
    // TagLib's own check does not take for MPEG audio.
    ASSERT_EQ(test::Run("ffmpeg -v error -i " + ShellQuote(wav) + " -c:a mp2 -b:a 192k -f mp2 " +
                        ShellQuote(mpeg))
                  .exitCode,
              0);
    auto bytes = ReadFileBytes(mpeg);
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 576) bytes[at + 2] &= 0x0F;
    WriteFileBytes(mpeg, bytes);
  }
  const std::string path = dir / (isWav                    ? "tagged.wav"
                                  : c.audio == Audio::kMp3 ? "tagged.mp3"
                                                           : "tagged.mp2");
  WriteFileBytes(path, c.tag(ReadFileBytes(isWav ? wav : mpeg)));

  CMp3Decoder mp3Decoder;
  CWavDecoder wavDecoder;
  CDecoder& decoder = isWav ? static_cast<CDecoder&>(wavDecoder) : mp3Decoder;
  ASSERT_NE(decoder.Open(path, 0), 0);
  std::string title, artist, album, year, genre, comment, track;
  EXPECT_EQ(decoder.ReadTags(title, artist, album, year, genre, comment, track), 1);
  const std::vector<std::string> got = {title, artist, album, year, genre, comment, track};
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], Items()[i].value) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, OwnDecoderTags,
    testing::Values(TagCase{"Id3v22", Audio::kMp3,
                            [](std::vector<std::uint8_t> audio) {
                              auto bytes = Id3v22();
                              bytes.insert(bytes.end(), audio.begin(), audio.end());
                              return bytes;
                            }},
                    TagCase{"Apev2FreeFormat", Audio::kFreeFormatMp2,
                            [](std::vector<std::uint8_t> audio) {
                              const auto tag = Ape();
                              audio.insert(audio.end(), tag.begin(), tag.end());
                              return audio;
                            }},
                    TagCase{"RiffInfo", Audio::kWav,
                            [](std::vector<std::uint8_t> audio) {
                              const auto chunk = Info();
                              audio.insert(audio.end(), chunk.begin(), chunk.end());
                              const auto riff = static_cast<std::uint32_t>(audio.size() - 8);
                              for (int b = 0; b < 4; ++b)
                                audio[4 + b] = static_cast<std::uint8_t>(riff >> 8 * b);
                              return audio;
                            }}),
    [](const testing::TestParamInfo<TagCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wavorax::test
