// A disc in a drive or a disc image, opened through libcdio. Cue sheets are read by our own
// reader and handed to libcdio as an equivalent TOC with absolute file names (libcdio's cue
// driver only finds a data file named like the sheet), so that drives and every image kind
// are read by the same code.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "decoders/cd/CueSheet.h"

typedef struct _CdIo CdIo_t;

namespace wavorax {

struct CdTrackTags {
  std::string title, performer, album, genre, year;
};

class CdDisc {
 public:
  ~CdDisc();
  CdDisc(const CdDisc&) = delete;
  CdDisc& operator=(const CdDisc&) = delete;

  // Opens a drive (a block device) or an image (.cue, .toc, .nrg); null when it cannot be
  // opened or holds nothing that can be read.
  static std::unique_ptr<CdDisc> Open(const std::string& container);

  // The disc's audio track numbers, in order; data tracks are left out.
  const std::vector<int>& AudioTracks() const { return audio_; }
  // The first and last sector of an audio track, as libcdio addresses them; false for a
  // track that is not an audio track of this disc.
  bool TrackSectors(int track, long& first, long& last) const;
  // CD-Text of the track (for a cue sheet, its TITLE and PERFORMER); false when none.
  bool TrackTags(int track, CdTrackTags& tags) const;

  CdIo_t* handle() const { return cdio_; }

 private:
  CdDisc() = default;
  bool Describe();

  CdIo_t* cdio_ = nullptr;
  bool fromCue_ = false;
  CueSheet cue_;
  // Track numbers as the disc (or cue sheet) names them, and libcdio's number for each: a
  // cue sheet's data tracks are not handed to libcdio, so its numbering can differ.
  std::vector<int> audio_;
  std::vector<int> cdioTrack_;
  std::vector<long> first_, last_;
};

// The track paths of every audio track of a drive or image, in track order; empty when it
// cannot be opened or holds no audio track.
std::vector<std::string> ExpandCdTracks(const std::string& container);

// The drives that hold a disc with at least one audio track, by device path.
std::vector<std::string> AudioCdDrives();

// The TOC text equivalent to a cue sheet's audio tracks; `folder` is where relative file
// names are found. Empty (with nothing else done) when a file is missing, is not raw
// little-endian audio, or is too short for the tracks that it should hold. `tracks` receives
// the cue track number of each TOC track.
std::string CueToToc(const CueSheet& sheet, const std::string& folder, std::vector<int>& tracks);

}  // namespace wavorax
