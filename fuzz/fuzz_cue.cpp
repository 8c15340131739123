// The cue-sheet reader on arbitrary text, and what libcdio makes of every sheet it accepts:
// the sheet is written beside a small raw image, opened, listed and its first track read.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "base/CdTrackPath.h"
#include "decoders/cd/CdDecoder.h"
#include "decoders/cd/CdDisc.h"
#include "decoders/cd/CueSheet.h"

namespace {

// A private folder holding "disc.bin" (two seconds of raw audio), made once per process and
// removed at its end.
struct ImageFolder {
  ImageFolder() {
    if (!::mkdtemp(path.data())) std::abort();
    std::ofstream(path + "/disc.bin", std::ios::binary) << std::string(2352 * 150, '\x11');
  }
  ~ImageFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string path = "/tmp/wavorax-fuzz-cue-XXXXXX";
};

const std::string& Folder() {
  static const ImageFolder folder;
  return folder.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  wavorax::CueSheet sheet;
  if (!wavorax::ParseCueSheet(text, sheet)) return 0;
  const std::string cue = Folder() + "/sheet.cue";
  std::ofstream(cue, std::ios::binary).write(text.data(), static_cast<std::streamsize>(size));
  const std::vector<std::string> tracks = wavorax::ExpandCdTracks(cue);
  if (!tracks.empty()) {
    wavorax::CCdDecoder decoder;
    if (decoder.Open(tracks.front(), 0)) {
      std::int16_t left[wavorax::kDecodeBlock], right[wavorax::kDecodeBlock];
      for (int blocks = 0; blocks < 4 && decoder.Read(left, right) > 0; ++blocks) {
      }
      std::string title, artist, album, year, genre, comment, track;
      decoder.ReadTags(title, artist, album, year, genre, comment, track);
    }
  }
  return 0;
}
