// Source files of every format the audio-library layer reads, made at test time: by the
// Debian encoders where one exists, and by the small writers below for tracker modules, their
// Unreal package wrapper and MPEG layer I.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/SourceFixtures.h"

namespace wavorax::test {

// The tag values every tagging fixture tool is given.
inline const std::string kTitle = "\xC3\x84rger im Test";  // "Ärger im Test" in UTF-8
inline const std::string kArtist = "Wavorax Tester";
inline const std::string kAlbum = "Fixture Album";
inline const std::string kYear = "2019";
inline const std::string kGenre = "Rock";
inline const std::string kComment = "First line\nSecond line";
inline const std::string kTrack = "7";
inline const std::string kModuleTitle = "Wavorax Tune";

enum TagBits : unsigned {
  kTagTitle = 1,
  kTagArtist = 2,
  kTagAlbum = 4,
  kTagYear = 8,
  kTagGenre = 16,
  kTagComment = 32,
  kTagTrack = 64,
  kTagAll = 127,
};

struct FormatCase {
  const char* file;     // fixture file name; its extension is the format under test
  std::string command;  // shell template with {in} (3 s stereo 44.1 kHz WAV), {in32k}, {out};
                        // empty when the fixture comes from a writer in Fixtures.cpp
  int rate;             // expected output rate
  int channels;         // expected source channels
  int bits;             // expected output width
  unsigned tags;        // TagBits the tool writes
  bool music;           // rendered through the music path
};

const std::vector<FormatCase>& FormatCases();
// Names the case in test output.
inline std::ostream& operator<<(std::ostream& os, const FormatCase& c) { return os << c.file; }

// The fixture's path, made on first use (encoded fixtures are kept in the build folder).
// Fails the calling test (and returns "") when the tool could not make it.
std::string FixturePath(const FormatCase& fixture);

// A two-channel Scream Tracker 3 module of the same length.
std::vector<std::uint8_t> MakeS3m(const std::string& title);
// `module` inside an Unreal package (version 61) as one object of class Music.
std::vector<std::uint8_t> WrapInUmx(const std::vector<std::uint8_t>& module);
// MPEG-1 layer I at 48 kHz, 128 kbit/s, stereo: `frames` frames of silence (384 samples each).
std::vector<std::uint8_t> MakeMp1(int frames);
// An ID3v2.3 tag with one Latin-1 TIT2 frame holding `latin1Title` as raw bytes.
std::vector<std::uint8_t> MakeId3v2Latin1Title(const std::string& latin1Title);

}  // namespace wavorax::test
