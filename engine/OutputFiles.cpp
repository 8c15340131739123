#include "engine/OutputFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>

#include "base/Paths.h"

namespace wavorax {

namespace {

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A file's data reach the disk before it is renamed, so that a power loss cannot leave the
// new name on an empty or partial file.
bool FlushFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot sync
  ::close(fd);
  return ok;
}

// Renames `from` onto `to` unless `to` exists, atomically where the file system can: with
// renameat2's no-replace flag, else by a hard link (which refuses an existing name too).
// False with errno EEXIST when the name is taken.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  // A file system with neither (FAT): the check and the rename are two steps there.
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

constexpr std::size_t kNameMax = 255;

}  // namespace

FileState StateOf(const std::string& path, bool followLinks) {
  struct stat st {};
  FileState id;
  if ((followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return id;
  id.exists = true;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = st.st_size;
  id.modifiedNs = std::int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec;
  id.changedNs = std::int64_t{st.st_ctim.tv_sec} * 1'000'000'000 + st.st_ctim.tv_nsec;
  return id;
}

std::string CreateTemporaryBeside(const std::string& target) {
  const std::string folder = FolderOf(target);
  const std::string name = FileNameOf(target);
  const std::string extension = ExtensionOf(name);
  // Prefix, six random letters and a dash, then as much of the name as fits, so the name
  // stays within the file system's limit and ends in the output's extension.
  const std::size_t fixed = std::strlen(kTemporaryOutputPrefix) + 7;
  std::string stem = name.substr(0, name.size() - extension.size());
  if (fixed + stem.size() + extension.size() > kNameMax)
    stem.resize(kNameMax > fixed + extension.size() ? kNameMax - fixed - extension.size() : 0);
  static thread_local std::mt19937 random{std::random_device{}()};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::string tag;
    for (int i = 0; i < 6; ++i) tag += kLetters[random() % (sizeof kLetters - 1)];
    const std::string path =
        (folder == "/" ? "" : folder) + "/" + kTemporaryOutputPrefix + tag + "-" + stem + extension;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
      ::close(fd);
      return path;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

void RemoveStaleTemporaries(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const std::time_t dayAgo = std::time(nullptr) - 24 * 60 * 60;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (!IsTemporaryOutputName(name)) continue;
    const std::string path = (folder == "/" ? "" : folder) + "/" + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime < dayAgo)
      ::unlink(path.c_str());
  }
  ::closedir(dir);
}

CommitOutcome CommitOutput(const CommitRequest& request, std::string& committed) {
  const auto give_up = [&](CommitOutcome outcome) {
    ::unlink(request.temporary.c_str());
    return outcome;
  };
  if (!FlushFile(request.temporary)) return give_up(CommitOutcome::Failed);
  std::string target = request.target;
  bool done = false;
  // First the name decided on.
  if (request.replace) {
    const FileState now = StateOf(target);
    // Another writer that put a file of its own there since owns that name now.
    if (!now.exists || now == request.decidedOn) {
      if (::rename(request.temporary.c_str(), target.c_str()) != 0)
        return give_up(CommitOutcome::Failed);
      done = true;
    }
  } else if (RenameNoReplace(request.temporary, target)) {
    done = true;
  } else if (errno != EEXIST) {
    return give_up(CommitOutcome::Failed);
  } else if (request.skipExisting) {
    return give_up(CommitOutcome::Skipped);
  }
  // Then the numbered names, when another writer took that one meanwhile.
  for (int k = 1; !done; ++k) {
    if (k > 1'000'000) return give_up(CommitOutcome::Failed);
    target = request.base + "_" + std::to_string(k) + request.extension;
    if (request.reserved && request.reserved(target)) continue;
    if (RenameNoReplace(request.temporary, target))
      done = true;
    else if (errno != EEXIST)
      return give_up(CommitOutcome::Failed);
  }
  // The folder is not flushed: a rename that a power loss undoes leaves no file under the
  // name, never a partial one, and flushing the folder after every file would double the
  // cost of a batch of small files.
  committed = target;
  return CommitOutcome::Committed;
}

}  // namespace wavorax
