// Moving files into the freedesktop.org Trash, where file managers show them and can put
// them back. A file is only ever renamed into a trash on its own file system: never copied,
// never unlinked. When no such trash can be used the file stays where it is and the caller
// is told why.
#pragma once

#include <string>

namespace wavorax::library {

struct TrashOptions {
  // The home trash; empty means $XDG_DATA_HOME/Trash, or ~/.local/share/Trash when
  // XDG_DATA_HOME is unset or empty.
  std::string homeTrash;
  // The top directory of the file's file system; empty means its mount point. When set,
  // the file is taken to live on a file system of its own with this top directory, so the
  // home trash is not considered (for tests, and for callers that know the volume).
  std::string topDir;
};

struct TrashResult {
  bool moved = false;
  std::string trashedPath;  // files/NAME in the trash that took the file
  std::string infoPath;     // info/NAME.trashinfo beside it
  std::string error;        // when not moved: a short reason for the row's Status
};

// Moves one file (or symbolic link, never its target) into a trash. The home trash takes
// files on its own file system. Any other file goes to $topdir/.Trash/$uid when
// $topdir/.Trash is a real directory (no link) with the sticky bit, else to
// $topdir/.Trash-$uid, which is created with mode 0700. The info file
// (info/NAME.trashinfo, claimed with an exclusive create, NAME made unique) records Path=
// (URL-escaped; absolute for the home trash, relative to the top directory otherwise) and
// DeletionDate= in local time; then the file is renamed to files/NAME. Folders are refused.
TrashResult MoveToTrash(const std::string& path, const TrashOptions& options = {});

// The home trash's path as TrashOptions' default describes it; "" when neither
// XDG_DATA_HOME nor HOME is set.
std::string HomeTrashPath();

// The mount point of the file system that holds `path` (which must exist): the highest
// folder above it on the same device. "" when `path` cannot be examined.
std::string TopDirOf(const std::string& path);

// `path` with every byte other than letters, digits, '-', '_', '.', '~' and '/' written as
// %XX, as the Path= key of an info file wants it.
std::string EscapeTrashPath(const std::string& path);

}  // namespace wavorax::library
