// Disc images made by the tests: a BIN file of generated tones, each padded with zeros to a
// whole sector, and a cue sheet (or TOC) that describes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wavorax::test {

struct CdImage {
  std::string cue, toc;  // both describe the same BIN
  // What each audio track decodes to, interleaved stereo: its tone, the zeros to its last
  // sector and, for track 1, the pregap (INDEX 00) of track 2, which is heard at its end.
  std::vector<std::vector<std::int16_t>> tracks;
  std::vector<int> seconds;  // whole seconds of each track
};

// Three audio tracks with CD-Text in `folder`, a data track after them in the same file, and
// one more in a second file.
CdImage MakeCdImage(const std::string& folder);

}  // namespace wavorax::test
