// Output names from patterns and tags: the table of patterns and fields against the relative
// paths they give or the reasons they are refused, and tags read by TagLib from files that
// the Debian tools tagged.
#include <gtest/gtest.h>

#include <cstring>

#include "decoders/audiolib/TagFields.h"
#include "engine/library/NamePattern.h"
#include "tests/support/TestSupport.h"

namespace wavorax::library {
namespace {

std::string Times(int n, const std::string& s) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

NameFields Track(std::string title) {
  NameFields f = SampleFields();
  f.title = std::move(title);
  return f;
}

struct PatternCase {
  const char* name;
  std::string pattern;
  NameFields fields;
  bool fatSafe;
  bool valid;
  std::string expected;  // the path, or a part of the refusal
};

class NamePatternTable : public ::testing::TestWithParam<PatternCase> {};

TEST_P(NamePatternTable, GivesThePathOrTheReason) {
  const PatternCase& c = GetParam();
  const PatternExample example = ExampleOf(c.pattern, c.fields, ".mp3", {c.fatSafe});
  ASSERT_EQ(example.valid, c.valid) << example.text;
  if (c.valid) {
    EXPECT_EQ(example.text, c.expected);
  } else {
    EXPECT_NE(example.text.find(c.expected), std::string::npos) << example.text;
  }
}

const NameFields kNoAlbumArtist{.artist = "Solo", .title = "T", .fileName = "01 t"};
const NameFields kBare{.fileName = "take 5", .folder = "Inbox"};

INSTANTIATE_TEST_SUITE_P(
    Patterns, NamePatternTable,
    ::testing::Values(
        PatternCase{"album_layout", "%albumartist%/%album%/%disc%-%track% %title%", SampleFields(),
                    false, true, "The Quiet Rooms/North Light/1-03 Harbour at Dawn.mp3"},
        PatternCase{"year_genre_ext", "%EXT%/%genre%/%year% %title%.%ext%", SampleFields(), false,
                    true, "mp3/Ambient/2019 Harbour at Dawn.mp3"},
        PatternCase{"field_fallback", "%albumartist|artist%/%title%", kNoAlbumArtist, false, true,
                    "Solo/T.mp3"},
        PatternCase{"text_fallback", "%album|No Album%/%track|xx%%%", kNoAlbumArtist, false, true,
                    "No Album/xx%.mp3"},
        PatternCase{"empty_folder_left_out_empty_name_from_file", "%genre%/%artist%/%title%", kBare,
                    false, true, "take 5.mp3"},
        PatternCase{"path_fields", "%folder%/%filename% (%artist|?%)", kBare, false, true,
                    "Inbox/take 5 (?).mp3"},
        PatternCase{"slash_and_controls", "%title%", Track("AC/DC\t\x01\xC2\x85 live\n"), false,
                    true, "AC_DC___ live_.mp3"},
        PatternCase{"non_ascii_and_colon_kept", "%title%", Track("\xC3\x84rger: Teil 2?"), false,
                    true, "\xC3\x84rger: Teil 2?.mp3"},
        PatternCase{"no_hidden_or_dot_parts", "%album%/%title%",
                    NameFields{.album = "..", .title = ".38 Calibre"}, false, true,
                    "_./_38 Calibre.mp3"},
        PatternCase{"fat_safe_characters", "%album%/%title%",
                    NameFields{.album = " Vol. 2... ", .title = "a\\b:c*d?\"<e>|f \xFF"}, true,
                    true, "Vol. 2/a_b_c_d___e__f _.mp3"},
        PatternCase{"fat_safe_device_names", "%artist%/%title%",
                    NameFields{.artist = "aux", .title = "Con"}, true, true, "_aux/_Con.mp3"},
        PatternCase{"long_parts_cut_on_character", "%album%/%title%",
                    NameFields{.album = Times(300, "a"), .title = Times(200, "\xC3\xA9")}, false,
                    true, Times(255, "a") + "/" + Times(125, "\xC3\xA9") + ".mp3"},
        PatternCase{"empty", "  ", {}, false, false, "empty"},
        PatternCase{"absolute", "/music/%title%", {}, false, false, "must not begin with /"},
        PatternCase{"unknown_field", "%artst%/%title%", {}, false, false, "unknown field: %artst%"},
        PatternCase{"unclosed", "%artist%/%title", {}, false, false, "without the %"},
        PatternCase{"ends_with_slash", "%artist%/", {}, false, false, "must end with a file name"},
        PatternCase{"empty_folder", "%artist%//%title%", {}, false, false, "empty folder name"},
        PatternCase{"dot_dot", "%artist%/../%title%", {}, false, false, ". or .."}),
    [](const auto& info) { return std::string(info.param.name); });

// Tags as the Debian tools write them, read back through TagLib's property map and named:
// several values and full dates kept, the first value and the year used for the name.
struct TaggedCase {
  const char* name;
  const char* file;
  std::string command;  // {in} is a short WAV, {out} the tagged file
  audiolib::TagMap expected;
  std::string path;  // "%artist%/%year%/%track% %title%"
};

class TagFieldsRead : public ::testing::TestWithParam<TaggedCase> {};

TEST_P(TagFieldsRead, KeepsEveryValueAndNamesByTheFirst) {
  const TaggedCase& c = GetParam();
  test::TempDir dir;
  const std::string in = dir / "in.wav", out = dir / c.file;
  test::WriteWav16(in, test::Sine(440, 44100, 4410), 1, 44100);
  std::string command = c.command;
  for (const auto& [key, value] : {std::pair{"{in}", in}, std::pair{"{out}", out}})
    for (auto at = command.find(key); at != std::string::npos; at = command.find(key))
      command.replace(at, std::strlen(key), test::ShellQuote(value));
  ASSERT_EQ(test::Run(command).exitCode, 0) << command;

  const audiolib::TagMap tags = audiolib::ReadTagMap(out);
  for (const auto& [key, values] : c.expected) {
    const auto it = tags.find(key);
    ASSERT_NE(it, tags.end()) << key;
    EXPECT_EQ(it->second, values) << key;
  }
  const auto pattern =
      ExampleOf("%artist%/%year%/%track% %title%", NameFieldsOfFile(out), "ogg", {});
  EXPECT_EQ(pattern.text, c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Tools, TagFieldsRead,
    ::testing::Values(
        TaggedCase{"flac_vorbis_comment",
                   "t.flac",
                   "flac -s -f -o {out} {in} && metaflac --set-tag=ARTIST=One --set-tag=ARTIST=Two "
                   "--set-tag=TITLE=\xC3\x84rger --set-tag=DATE=2019-05-04 "
                   "--set-tag=TRACKNUMBER=3/12 --set-tag=COMMENT=\"a\nb\" {out}",
                   {{"ARTIST", {"One", "Two"}},
                    {"DATE", {"2019-05-04"}},
                    {"TRACKNUMBER", {"3/12"}},
                    {"COMMENT", {"a\nb"}}},
                   "One/2019/03 \xC3\x84rger.ogg"},
        TaggedCase{"mp3_id3v24",
                   "t.mp3",
                   "ffmpeg -v error -y -i {in} -id3v2_version 4 -metadata artist=Solo "
                   "-metadata title=Intro -metadata date=2019-05-04 -metadata track=7/9 "
                   "-metadata disc=2/2 -metadata album_artist=Various {out}",
                   {{"ARTIST", {"Solo"}},
                    {"ALBUMARTIST", {"Various"}},
                    {"DATE", {"2019-05-04"}},
                    {"DISCNUMBER", {"2/2"}}},
                   "Solo/2019/07 Intro.ogg"},
        TaggedCase{
            "not_audio", "t.mp3", "yes not audio | head -c 3000 > {out}; : {in}", {}, "t.ogg"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wavorax::library
