#include "base/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace wavorax {

namespace fs = std::filesystem;

std::string FileNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtensionOf(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::size_t start = slash == std::string::npos ? 1 : slash + 1;
  if (start >= path.size()) return {};
  const auto dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) return {};
  return path.substr(dot);
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool QueryFileSize(const std::string& path, std::uint64_t& size) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

static bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

static bool MakeFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && IsFolder(path));
}

bool CreateFolderPath(const std::string& path) {
  if (path.empty()) return false;
  if (IsFolder(path)) return true;
  for (std::size_t i = path.find('/'); i != std::string::npos; i = path.find('/', i + 1)) {
    if (i == 0) continue;  // the root
    const std::string prefix = path.substr(0, i);
    if (FileExists(prefix)) {
      if (!IsFolder(prefix)) return false;
    } else if (!MakeFolder(prefix)) {
      return false;
    }
  }
  if (path.back() == '/') return true;
  if (!FileExists(path)) return MakeFolder(path);
  return IsFolder(path);
}

std::string NormalisedAbsolute(const std::string& p) {
  std::error_code ec;
  fs::path abs = fs::absolute(fs::path(p), ec);
  if (ec) abs = fs::path(p);
  return abs.lexically_normal().string();
}

FileIdentity IdentityOf(const std::string& path) {
  FileIdentity id;
  struct stat st {};
  if (!path.empty() && ::stat(path.c_str(), &st) == 0) {
    id.exists = true;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
  }
  id.normalPath = NormalisedAbsolute(path);
  return id;
}

bool SameIdentity(const FileIdentity& a, const FileIdentity& b) {
  if (a.exists && b.exists) return a.device == b.device && a.inode == b.inode;
  return a.normalPath == b.normalPath;
}

bool SameFile(const std::string& a, const std::string& b) {
  return SameIdentity(IdentityOf(a), IdentityOf(b));
}

void DeleteUnlessSame(const std::string& path, const std::string& keep) {
  if (path.empty() || SameFile(path, keep)) return;
  ::unlink(path.c_str());
}

static std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) : std::string();
}

// Reads XDG_DOCUMENTS_DIR from user-dirs.dirs, as xdg-user-dir does: the value is a
// quoted path that is either absolute or starts with $HOME.
static std::string DocumentsFromUserDirs(const std::string& home) {
  const char* cfg = std::getenv("XDG_CONFIG_HOME");
  const std::string configHome = cfg && *cfg ? std::string(cfg) : home + "/.config";
  std::ifstream in(configHome + "/user-dirs.dirs");
  std::string line;
  while (std::getline(in, line)) {
    std::size_t p = line.find_first_not_of(" \t");
    if (p == std::string::npos || line.compare(p, 18, "XDG_DOCUMENTS_DIR=") != 0) continue;
    std::string value = line.substr(p + 18);
    if (value.size() >= 2 && value.front() == '"') {
      const auto close = value.find('"', 1);
      value = value.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    if (value.rfind("$HOME", 0) == 0) {
      value = home + value.substr(5);
    } else if (value.empty() || value.front() != '/') {
      return {};
    }
    // A value equal to $HOME is kept: xdg-user-dir reports the home folder then, and that is
    // where the user chose documents to go.
    return value;
  }
  return {};
}

std::string DocumentsFolderPath() {
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  std::string docs = DocumentsFromUserDirs(home);
  if (docs.empty()) docs = home + "/Documents";
  return docs;
}

std::string DocumentsFolder() {
  const std::string docs = DocumentsFolderPath();
  if (docs.empty() || !CreateFolderPath(docs)) return {};
  return docs;
}

bool IsTemporaryOutputName(const std::string& fileName) {
  return fileName.compare(0, std::strlen(kTemporaryOutputPrefix), kTemporaryOutputPrefix) == 0;
}

}  // namespace wavorax
