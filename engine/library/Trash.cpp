#include "engine/library/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "base/Paths.h"

namespace wavorax::library {
namespace {

constexpr std::size_t kMaxNameBytes = 255;
constexpr const char* kInfoSuffix = ".trashinfo";
constexpr int kMaxNameTries = 10000;

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

std::string RealPath(const std::string& path) {
  const std::unique_ptr<char, FreeDeleter> real(::realpath(path.c_str(), nullptr));
  return real ? std::string(real.get()) : std::string();
}

std::string ParentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

bool IsRealFolder(const std::string& path, struct stat& st) {
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates `path` with `mode` unless it exists, then accepts it only as a folder that
// belongs to the user and lies on `device`. In a top directory, which others can write to,
// it must be a real folder: a link there could send the files anywhere. The home trash is
// the user's own and may be a link (to a folder on the same file system).
bool UsableFolder(const std::string& path, mode_t mode, dev_t device, bool linkAllowed) {
  if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST) return false;
  struct stat st {};
  const int found = linkAllowed ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
  return found == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && st.st_dev == device &&
         ::access(path.c_str(), W_OK | X_OK) == 0;
}

// Makes `trash` and its files/ and info/ folders ready on `device`.
bool PrepareTrash(const std::string& trash, dev_t device, bool linkAllowed = false) {
  return UsableFolder(trash, 0700, device, linkAllowed) &&
         UsableFolder(trash + "/files", 0700, device, false) &&
         UsableFolder(trash + "/info", 0700, device, false);
}

// Creates the missing folders of the home trash's path, as the user's data folder may not
// exist yet on a new account.
void CreateParents(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1))
    ::mkdir(path.substr(0, slash).c_str(), 0700);
}

// The device of the nearest existing folder along `path`.
bool DeviceAlong(std::string path, dev_t& device) {
  for (;;) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
      device = st.st_dev;
      return true;
    }
    if (path == "/" || path.empty()) return false;
    path = ParentOf(path);
  }
}

std::string LocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

// Cuts to at most `limit` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(const std::string& s, std::size_t limit) {
  if (s.size() <= limit) return s;
  std::size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

// The n-th candidate name in the trash for a file called `name`: the name itself, then
// "stem.2.ext", "stem.3.ext" ..., short enough that NAME.trashinfo is a legal name.
std::string Candidate(const std::string& name, int n) {
  const std::string ext = ExtensionOf(name);
  const std::string stem = name.substr(0, name.size() - ext.size());
  const std::string number = n == 1 ? std::string() : "." + std::to_string(n);
  const std::size_t budget = kMaxNameBytes - std::strlen(kInfoSuffix) - number.size();
  if (stem.size() + ext.size() <= budget) return stem + number + ext;
  // Keep a short extension; a long one is cut with the rest.
  if (ext.size() <= 16) return CutUtf8(stem, budget - ext.size()) + number + ext;
  return CutUtf8(stem + ext, budget) + number;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

TrashResult Failed(std::string why) {
  TrashResult result;
  result.error = std::move(why);
  return result;
}

// Claims a name in `trash`, writes its info file and renames the file in.
TrashResult MoveInto(const std::string& trash, const std::string& file, const std::string& name,
                     const std::string& infoPathValue) {
  const std::string content = "[Trash Info]\nPath=" + EscapeTrashPath(infoPathValue) +
                              "\nDeletionDate=" + LocalTime() + "\n";
  for (int n = 1; n <= kMaxNameTries; ++n) {
    const std::string candidate = Candidate(name, n);
    const std::string info = trash + "/info/" + candidate + kInfoSuffix;
    const std::string target = trash + "/files/" + candidate;
    const int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return Failed(std::string("Could not write to the trash: ") + std::strerror(errno));
    }
    // A file left in files/ without its info (a crash of some other program) keeps its
    // name too: rename would replace it.
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) {
      ::close(fd);
      ::unlink(info.c_str());
      continue;
    }
    const bool written = WriteAll(fd, content);
    if (::close(fd) != 0 || !written) {
      ::unlink(info.c_str());
      return Failed("Could not write to the trash");
    }
    if (::rename(file.c_str(), target.c_str()) != 0) {
      const int err = errno;
      ::unlink(info.c_str());
      return Failed(err == EXDEV
                        ? std::string("No usable trash on the file's file system")
                        : std::string("Could not move to the trash: ") + std::strerror(err));
    }
    TrashResult result;
    result.moved = true;
    result.trashedPath = target;
    result.infoPath = info;
    return result;
  }
  return Failed("The trash has no free name for the file");
}

}  // namespace

std::string HomeTrashPath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data == '/') return Join(data, "Trash");
  const char* home = std::getenv("HOME");
  if (home && *home == '/') return Join(home, ".local/share/Trash");
  return {};
}

std::string TopDirOf(const std::string& path) {
  std::string current = RealPath(path);
  struct stat st {};
  if (current.empty() || ::stat(current.c_str(), &st) != 0) return {};
  const dev_t device = st.st_dev;
  while (current != "/") {
    const std::string parent = ParentOf(current);
    struct stat up {};
    if (::stat(parent.c_str(), &up) != 0 || up.st_dev != device) break;
    current = parent;
  }
  return current;
}

std::string EscapeTrashPath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (const char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '~' || c == '/') {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

TrashResult MoveToTrash(const std::string& path, const TrashOptions& options) {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) return Failed("The file is not there");
  if (S_ISDIR(st.st_mode)) return Failed("Folders are not moved to the trash");

  // The file's own name with its folder resolved, so that a link is trashed as a link and
  // Path= names where the file really was.
  const std::string name = FileNameOf(path);
  const std::string folder = RealPath(ParentOf(path));
  if (folder.empty() || name.empty() || name == "." || name == "..")
    return Failed("The file is not there");
  const std::string absolute = Join(folder, name);
  const dev_t device = st.st_dev;

  if (options.topDir.empty()) {
    const std::string home = options.homeTrash.empty() ? HomeTrashPath() : options.homeTrash;
    dev_t homeDevice = 0;
    if (!home.empty() && DeviceAlong(home, homeDevice) && homeDevice == device) {
      CreateParents(home);
      if (!PrepareTrash(home, device, true)) return Failed("The home trash cannot be used");
      return MoveInto(home, absolute, name, absolute);
    }
  }

  const std::string top = options.topDir.empty() ? TopDirOf(folder) : RealPath(options.topDir);
  if (top.empty()) return Failed("No usable trash on the file's file system");
  std::string relative;
  if (top == "/") {
    relative = absolute.substr(1);
  } else if (absolute.starts_with(top + "/")) {
    relative = absolute.substr(top.size() + 1);
  } else {
    return Failed("The file does not lie under its trash's top folder");
  }

  // $topdir/.Trash is shared by every user: only a real sticky folder is trusted, since
  // anyone could otherwise put a link there that sends the files elsewhere.
  const std::string shared = top == "/" ? "/.Trash" : top + "/.Trash";
  struct stat sharedStat {};
  if (IsRealFolder(shared, sharedStat) && (sharedStat.st_mode & S_ISVTX) &&
      sharedStat.st_dev == device) {
    const std::string own = shared + "/" + std::to_string(::getuid());
    if (PrepareTrash(own, device)) return MoveInto(own, absolute, name, relative);
  }
  const std::string own =
      (top == "/" ? std::string("/.Trash-") : top + "/.Trash-") + std::to_string(::getuid());
  if (PrepareTrash(own, device)) return MoveInto(own, absolute, name, relative);
  return Failed("No usable trash on the file's file system");
}

}  // namespace wavorax::library
