// Source tags: the line layout of the tag text, the UTF-8 rules, and ReadTags on files whose
// tags are made byte by byte.
#include <gtest/gtest.h>

#include <cstring>

#include "decoders/audiolib/BassDecoder.h"
#include "decoders/audiolib/SourceTags.h"
#include "decoders/audiolib/TagText.h"
#include "tests/decoders/audiolib/Fixtures.h"
#include "tests/support/TestSupport.h"

namespace wavorax::test {
namespace {

struct SplitCase {
  const char* name;
  std::string text;
  int result;
  // expected track, title, artist, album, genre, year, comment ("=" means untouched)
  std::vector<std::string> fields;
};

class TagTextSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(TagTextSplit, FillsFieldsLineByLine) {
  const SplitCase& c = GetParam();
  std::string track = "=", title = "=", artist = "=", album = "=", genre = "=", year = "=",
              comment = "=";
  EXPECT_EQ(SplitTagText(c.text, title, artist, album, year, genre, comment, track), c.result);
  EXPECT_EQ((std::vector<std::string>{track, title, artist, album, genre, year, comment}),
            c.fields);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TagTextSplit,
    ::testing::Values(
        SplitCase{
            "all", "3/12\nT\nA\nAl\nG\n1999\nC", 1, {"3/12", "T", "A", "Al", "G", "1999", "C"}},
        SplitCase{"comment_keeps_line_feeds",
                  "1\nT\nA\nAl\nG\nY\none\ntwo\n",
                  1,
                  {"1", "T", "A", "Al", "G", "Y", "one\ntwo\n"}},
        SplitCase{"empty_fields", "\n\n\n\n\n\n", 1, {"", "", "", "", "", "", ""}},
        SplitCase{"three_line_feeds", "1\nT\nA\nrest", 1, {"1", "T", "A", "=", "=", "=", "="}},
        SplitCase{"no_line_feed", "just text", 1, {"=", "=", "=", "=", "=", "=", "="}},
        SplitCase{"empty_text", "", 0, {"=", "=", "=", "=", "=", "=", "="}}),
    [](const auto& info) { return std::string(info.param.name); });

struct FormatCaseT {
  const char* name;
  audiolib::TagFields fields;
  std::string format;
  std::string expected;
};

class TagTextFormat : public ::testing::TestWithParam<FormatCaseT> {};

TEST_P(TagTextFormat, PutsValuesIntoTheFormat) {
  const FormatCaseT& c = GetParam();
  EXPECT_EQ(audiolib::FormatTagText(c.format, c.fields), c.expected);
}

audiolib::TagFields Fields(std::string title, std::string comment, std::string track = "") {
  audiolib::TagFields f;
  f.title = std::move(title);
  f.comment = std::move(comment);
  f.track = std::move(track);
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TagTextFormat,
    ::testing::Values(
        FormatCaseT{"layout", Fields("T", "C", "4"), kTagTextFormat, "4\nT\n\n\n\n\nC"},
        // A line break inside a title would shift every later field by a line.
        FormatCaseT{"title_line_breaks_become_spaces", Fields("a\nb\r\nc\rd", "x\ny"),
                    kTagTextFormat, "\na b c d\n\n\n\n\nx\ny"},
        FormatCaseT{"nothing_found_is_empty", Fields("", ""), kTagTextFormat, ""},
        FormatCaseT{"unknown_keys_and_percent_stay", Fields("T", ""), "%TITL %XXXX 100% %TIT",
                    "T %XXXX 100% %TIT"},
        FormatCaseT{"value_ends_at_nul", Fields(std::string("ab\0cd", 5), ""), "[%TITL]", "[ab]"}),
    [](const auto& info) { return std::string(info.param.name); });

struct Utf8Case {
  const char* name;
  std::string in;
  std::string out;
};

class Utf8Repair : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Repair, KeepsUtf8AndReadsTheRestAsLatin1) {
  EXPECT_EQ(audiolib::ToValidUtf8(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf8Repair,
    ::testing::Values(Utf8Case{"ascii", "Rock", "Rock"},
                      Utf8Case{"utf8_kept", "\xC3\x84rger \xE2\x82\xAC \xF0\x9F\x8E\xB5",
                               "\xC3\x84rger \xE2\x82\xAC \xF0\x9F\x8E\xB5"},
                      Utf8Case{"latin1", "\xC4rger", "\xC3\x84rger"},
                      Utf8Case{"cut_sequence", "ab\xC3", "ab\xC3\x83"},
                      Utf8Case{"overlong", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
                      Utf8Case{"surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
                      // Bytes 80 to 9F are Windows-1252's, whether raw or already read as
                      // Latin-1 into C1 controls; the undefined 81 stays U+0081.
                      Utf8Case{"cp1252_bytes", "Don\x92t \x80\x81",
                               "Don\xE2\x80\x99t \xE2\x82\xAC\xC2\x81"},
                      Utf8Case{"c1_controls", "Don\xC2\x92t \xC2\x85\xC2\x81",
                               "Don\xE2\x80\x99t \xE2\x80\xA6\xC2\x81"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- ReadTags on made files -------------------------------------------------------------

std::string MakeMp3(const TempDir& tmp, const std::string& name) {
  const std::string wav = tmp / "in.wav";
  WriteWav16(wav, Sine(440, 44100, 44100), 1, 44100);
  const std::string out = tmp / name;
  EXPECT_EQ(Run("lame --quiet -b 64 " + ShellQuote(wav) + " " + ShellQuote(out)).exitCode, 0);
  return out;
}

struct Tags {
  std::string title = "=", artist = "=", album = "=", year = "=", genre = "=", comment = "=",
              track = "=";
  int Read(CDecoder& d) { return d.ReadTags(title, artist, album, year, genre, comment, track); }
};

TEST(ReadTags, Id3v2Latin1TitleArrivesAsTheSameCharacters) {
  const TempDir tmp;
  const std::string plain = MakeMp3(tmp, "plain.mp3");
  std::vector<std::uint8_t> bytes = MakeId3v2Latin1Title(
      "\xC4rger \xFC"
      "ber");
  const auto audio = ReadFileBytes(plain);
  bytes.insert(bytes.end(), audio.begin(), audio.end());
  const std::string path = tmp / "latin1.mp3";
  WriteFileBytes(path, bytes);
  CBassDecoder d;
  ASSERT_NE(d.Open(path, 0), 0);
  Tags t;
  EXPECT_EQ(t.Read(d), 1);
  EXPECT_EQ(t.title,
            "\xC3\x84rger \xC3\xBC"
            "ber");
  EXPECT_EQ(t.artist, "");
}

TEST(ReadTags, Id3v1Latin1TitleArrivesAsTheSameCharacters) {
  const TempDir tmp;
  std::vector<std::uint8_t> bytes = ReadFileBytes(MakeMp3(tmp, "plain.mp3"));
  std::vector<std::uint8_t> v1(128, 0);
  std::memcpy(v1.data(), "TAG\xC4rger", 8);
  std::memcpy(v1.data() + 33, "Artist", 6);
  v1[126] = 9;   // ID3v1.1 track
  v1[127] = 17;  // Rock
  bytes.insert(bytes.end(), v1.begin(), v1.end());
  const std::string path = tmp / "v1.mp3";
  WriteFileBytes(path, bytes);
  CBassDecoder d;
  ASSERT_NE(d.Open(path, 0), 0);
  Tags t;
  EXPECT_EQ(t.Read(d), 1);
  EXPECT_EQ(t.title, "\xC3\x84rger");
  EXPECT_EQ(t.artist, "Artist");
  EXPECT_EQ(t.genre, "Rock");
  EXPECT_EQ(t.track, "9");
}

// ID3 text marked Latin-1 is Windows-1252 on every route: TagLib's ID3v2 and ID3v1 readers,
// and FFmpeg's reading of what TagLib has no field for (a TXXX comment).
std::vector<std::uint8_t> Id3v23(const std::vector<std::vector<std::uint8_t>>& frames) {
  std::vector<std::uint8_t> body;
  for (const auto& f : frames) body.insert(body.end(), f.begin(), f.end());
  const auto n = static_cast<std::uint32_t>(body.size());
  std::vector<std::uint8_t> tag = {'I', 'D', '3', 3, 0, 0};
  for (int shift : {21, 14, 7, 0}) tag.push_back(static_cast<std::uint8_t>((n >> shift) & 0x7F));
  tag.insert(tag.end(), body.begin(), body.end());
  return tag;
}

std::vector<std::uint8_t> Latin1Frame(const char* id, const std::string& payload) {
  std::vector<std::uint8_t> f(id, id + 4);
  const auto size = static_cast<std::uint32_t>(payload.size() + 1);
  for (int shift : {24, 16, 8, 0}) f.push_back(static_cast<std::uint8_t>(size >> shift));
  f.insert(f.end(), {0, 0, 0 /* Latin-1 */});
  f.insert(f.end(), payload.begin(), payload.end());
  return f;
}

const std::string kCp1252Text = "Don\x92t \x80 \x85 \x93q\x94";
const std::string kCp1252AsUtf8 =
    "Don\xE2\x80\x99t \xE2\x82\xAC \xE2\x80\xA6 \xE2\x80\x9Cq\xE2\x80\x9D";

struct Cp1252Route {
  const char* name;
  std::vector<std::uint8_t> (*tagged)(const std::vector<std::uint8_t>& audio);
  std::string Tags::*field;
};

class Id3Cp1252 : public ::testing::TestWithParam<Cp1252Route> {};

TEST_P(Id3Cp1252, ArrivesAsTheCharactersWindowsMeant) {
  const TempDir tmp;
  const std::string path = tmp / "cp1252.mp3";
  WriteFileBytes(path, GetParam().tagged(ReadFileBytes(MakeMp3(tmp, "plain.mp3"))));
  CBassDecoder d;
  ASSERT_NE(d.Open(path, 0), 0);
  Tags t;
  EXPECT_EQ(t.Read(d), 1);
  EXPECT_EQ(t.*(GetParam().field), kCp1252AsUtf8);
}

INSTANTIATE_TEST_SUITE_P(
    Routes, Id3Cp1252,
    ::testing::Values(Cp1252Route{"id3v2_title",
                                  [](const std::vector<std::uint8_t>& audio) {
                                    auto file = Id3v23({Latin1Frame("TIT2", kCp1252Text)});
                                    file.insert(file.end(), audio.begin(), audio.end());
                                    return file;
                                  },
                                  &Tags::title},
                      Cp1252Route{"id3v2_txxx_comment",
                                  [](const std::vector<std::uint8_t>& audio) {
                                    auto file =
                                        Id3v23({Latin1Frame("TIT2", "T"),
                                                Latin1Frame("TXXX", std::string("comment\0", 8) +
                                                                        kCp1252Text)});
                                    file.insert(file.end(), audio.begin(), audio.end());
                                    return file;
                                  },
                                  &Tags::comment},
                      Cp1252Route{"id3v1_title",
                                  [](const std::vector<std::uint8_t>& audio) {
                                    auto file = audio;
                                    std::vector<std::uint8_t> v1(128, 0);
                                    std::memcpy(v1.data(), "TAG", 3);
                                    std::memcpy(v1.data() + 3, kCp1252Text.data(),
                                                kCp1252Text.size());
                                    file.insert(file.end(), v1.begin(), v1.end());
                                    return file;
                                  },
                                  &Tags::title}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadTags, OggTitleBeginningWithUmlautArrivesAsUtf8) {
  CBassDecoder d;
  ASSERT_NE(d.Open(FixturePath(FormatCases()[6]), 0), 0);  // tone.ogg
  Tags t;
  ASSERT_EQ(t.Read(d), 1);
  ASSERT_GE(t.title.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(t.title[0]), 0xC3);
  EXPECT_EQ(static_cast<unsigned char>(t.title[1]), 0x84);
}

TEST(ReadTags, LineBreakInATitleDoesNotShiftTheOtherFields) {
  const TempDir tmp;
  const std::string wav = tmp / "in.wav";
  WriteWav16(wav, Sine(440, 44100, 44100), 1, 44100);
  const std::string path = tmp / "t.flac";
  ASSERT_EQ(
      test::Run("flac -s -T " + ShellQuote("TITLE=two\nlines") + " -T ARTIST=Me -T " +
                ShellQuote("COMMENT=c1\nc2") + " -o " + ShellQuote(path) + " " + ShellQuote(wav))
          .exitCode,
      0);
  CBassDecoder d;
  ASSERT_NE(d.Open(path, 0), 0);
  Tags t;
  ASSERT_EQ(t.Read(d), 1);
  EXPECT_EQ(t.title, "two lines");
  EXPECT_EQ(t.artist, "Me");
  EXPECT_EQ(t.comment, "c1\nc2");
}

TEST(ReadTags, TrackNumberAloneIsNoTags) {
  const TempDir tmp;
  const std::string wav = tmp / "in.wav";
  WriteWav16(wav, Sine(440, 44100, 44100), 1, 44100);
  const std::string path = tmp / "t.flac";
  ASSERT_EQ(
      test::Run("flac -s -T TRACKNUMBER=3 -o " + ShellQuote(path) + " " + ShellQuote(wav)).exitCode,
      0);
  CBassDecoder d;
  ASSERT_NE(d.Open(path, 0), 0);
  Tags t;
  EXPECT_EQ(t.Read(d), 0);
  EXPECT_EQ(t.track, "3");
}

TEST(ReadTags, Mp4TrackNumberAloneIsNoTags) {
  const TempDir tmp;
  const std::string wav = tmp / "in.wav";
  WriteWav16(wav, Sine(440, 44100, 44100), 1, 44100);
  const std::string path = tmp / "t.m4a";
  ASSERT_EQ(test::Run("ffmpeg -v error -i " + ShellQuote(wav) + " -c:a aac -metadata track=5 " +
                      ShellQuote(path))
                .exitCode,
            0);
  CBassDecoder d;
  ASSERT_NE(d.Open(path, 0), 0);
  Tags t;
  EXPECT_EQ(t.Read(d), 0);
  EXPECT_EQ(t.track, "5");
  EXPECT_EQ(t.title, "=");
  EXPECT_EQ(t.comment, "=");
}

TEST(ReadTags, Mp4NumericGenreBecomesItsName) {
  const TempDir tmp;
  const std::string wav = tmp / "in.wav";
  WriteWav16(wav, Sine(440, 44100, 44100), 1, 44100);
  const std::string path = tmp / "t.m4a";
  ASSERT_EQ(
      test::Run("ffmpeg -v error -i " + ShellQuote(wav) + " -c:a aac " + ShellQuote(path)).exitCode,
      0);
  // AtomicParsley writes the old numeric "gnre" item for a standard genre name.
  if (!HaveTool("AtomicParsley")) GTEST_SKIP() << "AtomicParsley is not installed";
  ASSERT_EQ(test::Run("AtomicParsley " + ShellQuote(path) + " --genre Jazz --overWrite").exitCode,
            0);
  CBassDecoder d;
  ASSERT_NE(d.Open(path, 0), 0);
  Tags t;
  EXPECT_EQ(t.Read(d), 1);
  EXPECT_EQ(t.genre, "Jazz");
}

}  // namespace
}  // namespace wavorax::test
