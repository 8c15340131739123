// Naming a CD track as a path: the drive or image, then "/TrackNN.cda"
// ("/dev/sr0/Track03.cda", "/home/u/rips/album.cue/Track03.cda"), so that the extension
// table, FileNameOf and the ".cda" flag treat a track as they treat a file.
#pragma once

#include <string>
#include <vector>

namespace wavorax {

struct CdTrackRef {
  std::string container;  // the drive's device or the image file
  int track = 0;          // 1..99
};

// Splits a track path; false when the name is not "TrackNN.cda" (any case) below a container.
bool ParseCdTrackPath(const std::string& path, CdTrackRef& ref);
bool IsCdTrackPath(const std::string& path);
std::string CdTrackPath(const std::string& container, int track);

// ".cue", ".toc" and ".nrg", compared without regard to case.
bool IsDiscImagePath(const std::string& path);
// A block device: a drive (what it holds is asked only when it is opened).
bool IsBlockDevice(const std::string& path);

// The folder an output goes to when "same as original file" is chosen for a track: the
// image's own folder, or the drive's path (which cannot be created, so that the documents
// folder takes over). Empty for a path that is no track.
std::string CdTrackOutputFolder(const std::string& trackPath);

}  // namespace wavorax
