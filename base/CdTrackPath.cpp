#include "base/CdTrackPath.h"

#include <sys/stat.h>

#include <cstdio>

#include "base/Paths.h"

namespace wavorax {

bool ParseCdTrackPath(const std::string& path, CdTrackRef& ref) {
  const std::string name = FileNameOf(path);
  // "Track" + two digits + ".cda"; the digits are exactly two, as a disc has at most 99.
  if (name.size() != 11 || name.size() >= path.size()) return false;
  if (!EqualsNoCase(name.substr(0, 5), "track") || !EqualsNoCase(name.substr(7), ".cda"))
    return false;
  const char tens = name[5], ones = name[6];
  if (tens < '0' || tens > '9' || ones < '0' || ones > '9') return false;
  const int track = (tens - '0') * 10 + (ones - '0');
  if (track < 1) return false;
  std::string container = path.substr(0, path.size() - name.size() - 1);
  if (container.empty()) return false;
  ref.container = std::move(container);
  ref.track = track;
  return true;
}

bool IsCdTrackPath(const std::string& path) {
  CdTrackRef ref;
  return ParseCdTrackPath(path, ref);
}

std::string CdTrackPath(const std::string& container, int track) {
  char name[16];
  std::snprintf(name, sizeof name, "Track%02d.cda", track);
  return container + "/" + name;
}

bool IsDiscImagePath(const std::string& path) {
  const std::string ext = ExtensionOf(path);
  return EqualsNoCase(ext, ".cue") || EqualsNoCase(ext, ".toc") || EqualsNoCase(ext, ".nrg");
}

bool IsBlockDevice(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

std::string CdTrackOutputFolder(const std::string& trackPath) {
  CdTrackRef ref;
  if (!ParseCdTrackPath(trackPath, ref)) return {};
  if (IsBlockDevice(ref.container)) return ref.container + "/";
  const std::string name = FileNameOf(ref.container);
  const std::string folder = ref.container.substr(0, ref.container.size() - name.size());
  return folder.empty() ? "./" : folder;  // an image named without a folder
}

}  // namespace wavorax
