// Outputs that appear whole or not at all. A conversion writes into a temporary file beside
// its output, under a dot-name that the folder scan and the list never take; once the file is
// complete it is flushed and renamed onto the output's name, and the folder is flushed too. A
// kill at any moment leaves the earlier state or the whole new file, and at most a temporary
// file, which a later run in that folder removes once it is a day old. Names are claimed with
// a rename that refuses to replace, so two processes sharing a folder never take one name.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>

namespace wavorax {

// What a path named when it was looked at: enough to tell whether another file has taken
// its place since.
struct FileState {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;  // the inode's change time: a rename onto the name sets it
  bool operator==(const FileState& o) const {
    return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
           modifiedNs == o.modifiedNs;
  }
};
// The path itself, or with `followLinks` the file a link names.
FileState StateOf(const std::string& path, bool followLinks = false);

// Creates a new empty temporary file in the folder of `target`, named after it and keeping
// its extension; "" when the folder takes no new file.
std::string CreateTemporaryBeside(const std::string& target);

// Removes the temporary files that runs killed before they could finish left in `folder`,
// once they are older than a day (a run that is still writing one is younger than that).
void RemoveStaleTemporaries(const std::string& folder);

// How a finished temporary file takes its output's place.
struct CommitRequest {
  std::string temporary;
  // The name decided on, and the base and extension its numbered siblings are made of
  // ("<base>_<k><extension>").
  std::string target, base, extension;
  // Replace an earlier file at the target, provided it is still the one the decision saw
  // (`decidedOn`); any other file that took the name since belongs to someone else.
  bool replace = false;
  FileState decidedOn;
  // Keep an existing file at the target and give up instead of taking another name.
  bool skipExisting = false;
  // A name that this batch must not take, because a conversion of it still runs.
  std::function<bool(const std::string&)> reserved;
};

enum class CommitOutcome { Committed, Skipped, Failed };

// Flushes the temporary file and renames it onto the target, or onto the next free numbered
// name when another writer has taken the target meanwhile. `committed` receives the name the
// output got. On Skipped and Failed the temporary file is removed.
CommitOutcome CommitOutput(const CommitRequest& request, std::string& committed);

}  // namespace wavorax
