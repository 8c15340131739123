// One row of the source list.
#pragma once

#include <string>

namespace wavorax {

struct SourceEntry {
  std::string path;     // full path of the source as added
  int channels = 0;     // from the decoder, for every type but MPEG
  int channelMode = 4;  // MPEG channel mode, for MPEG sources only
  int sampleRate = 0;
  int durationSeconds = 0;
  int bitrateKbps = 0;
  int sourceType = 0;
  std::string outputPath;  // output of the row's last successful conversion in this run
};

}  // namespace wavorax
