// Cue sheets: the text that describes a disc image as data files, tracks and their indexes,
// with the disc's and each track's TITLE and PERFORMER. Parsed from memory, so that it can be
// fed from tests and the fuzzer without files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wavorax {

struct CueFile {
  std::string name;  // as written in the sheet, relative to the sheet's folder unless absolute
  std::string type;  // BINARY, MOTOROLA, WAVE, ... in upper case
};

struct CueTrack {
  int number = 0;
  bool audio = false;  // AUDIO; every MODEx/CDI track is data
  std::string mode;    // AUDIO, MODE1/2352, MODE1/2048 ... in upper case
  int file = -1;       // index into CueSheet::files
  long index0 = -1;    // sector of INDEX 00 within the file, -1 when absent
  long index1 = -1;    // sector of INDEX 01 within the file
  std::string title, performer;
};

struct CueSheet {
  std::string title, performer, genre, date;  // the disc's (REM GENRE, REM DATE)
  std::vector<CueFile> files;
  std::vector<CueTrack> tracks;
};

// Largest cue sheet read; real ones are a few kilobytes.
inline constexpr std::size_t kMaxCueSheetBytes = 1 << 20;

// Parses a cue sheet. False when it is not one that can be played: no track, a track without
// INDEX 01 or before any FILE, track numbers out of order or outside 1..99, indexes that run
// backwards within a file, or a time that is not mm:ss:ff. Unknown commands are skipped.
bool ParseCueSheet(std::string_view text, CueSheet& sheet);

}  // namespace wavorax
