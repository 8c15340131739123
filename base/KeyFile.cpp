#include "base/KeyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace wavorax {

namespace {

std::string_view Trim(std::string_view s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return {};
  const auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

}  // namespace

std::string KeyFileValue(std::string_view text, std::string_view group, std::string_view key) {
  bool inGroup = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inGroup = line.size() == group.size() + 2 && line.back() == ']' &&
                line.substr(1, group.size()) == group;
      continue;
    }
    if (!inGroup) continue;
    const auto eq = line.find('=');
    if (eq != std::string_view::npos && eq > 0 && Trim(line.substr(0, eq)) == key)
      return std::string(Trim(line.substr(eq + 1)));
  }
  return {};
}

bool ReadKeyFile(const std::string& path, std::size_t maxBytes, std::string& text) {
  // Checked before opening too: opening some devices has effects of its own.
  struct stat before {};
  if (::stat(path.c_str(), &before) != 0 || !S_ISREG(before.st_mode)) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  const bool ok =
      ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= static_cast<off_t>(maxBytes);
  if (ok) {
    text.resize(maxBytes);
    std::size_t got = 0;
    while (got < text.size()) {
      const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    text.resize(got);
  }
  ::close(fd);
  return ok;
}

}  // namespace wavorax
