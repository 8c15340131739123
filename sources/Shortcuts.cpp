#include "sources/Shortcuts.h"

#include <sys/stat.h>
#include <unistd.h>

#include "base/KeyFile.h"
#include "base/Paths.h"

namespace wavorax {

namespace {

bool IsSymlink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The local path of a file:// URL, or "" for any other URL.
std::string LocalPathOfUrl(const std::string& url) {
  static const std::string kScheme = "file://";
  if (url.compare(0, kScheme.size(), kScheme) != 0) return {};
  std::string rest = url.substr(kScheme.size());
  // file://localhost/path and file:///path are both local.
  if (rest.compare(0, 9, "localhost") == 0) rest.erase(0, 9);
  if (rest.empty() || rest.front() != '/') return {};
  std::string out;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 &&
        HexValue(rest[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
      i += 2;
    } else {
      out += rest[i];
    }
  }
  return out;
}

// The target of a freedesktop link file, or "" when it is not one.
std::string DesktopLinkTarget(const std::string& path) {
  if (!EqualsNoCase(ExtensionOf(path), ".desktop")) return {};
  std::string text;
  if (!ReadKeyFile(path, kMaxDesktopLinkBytes, text)) return {};
  return ParseDesktopLink(text);
}

}  // namespace

std::string ParseDesktopLink(std::string_view text) {
  if (KeyFileValue(text, "Desktop Entry", "Type") != "Link") return {};
  return LocalPathOfUrl(KeyFileValue(text, "Desktop Entry", "URL"));
}

bool IsShortcut(const std::string& path) {
  return IsSymlink(path) || !DesktopLinkTarget(path).empty();
}

bool ResolveShortcut(const std::string& shortcut, std::string& target) {
  target.clear();
  if (IsSymlink(shortcut)) {
    std::string buf(4096, '\0');
    const ssize_t n = ::readlink(shortcut.c_str(), buf.data(), buf.size() - 1);
    if (n <= 0) return false;
    buf.resize(static_cast<std::size_t>(n));
    if (buf.front() != '/') {
      const std::string name = FileNameOf(shortcut);
      buf = shortcut.substr(0, shortcut.size() - name.size()) + buf;
    }
    target = buf;
    return true;
  }
  target = DesktopLinkTarget(shortcut);
  return !target.empty();
}

}  // namespace wavorax
