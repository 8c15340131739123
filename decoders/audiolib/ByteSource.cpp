#include "decoders/audiolib/ByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace wavorax::audiolib {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

class FileSource final : public ByteSource {
 public:
  FileSource(FilePtr file, std::uint64_t size, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {
    size_ = size;
  }

  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override {
    if (offset >= size_) return 0;
    // pread leaves no shared file position behind, so the demuxer and the tag reader can take
    // turns without seeking each other astray.
    const int fd = fileno(file_.get());
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
      const ssize_t n = pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    return done;
  }
  const std::string& Path() const override { return path_; }

 private:
  FilePtr file_;
  std::string path_;
};

class MemorySource final : public ByteSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size) : bytes_(data, data + size) {
    size_ = size;
  }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override {
    if (offset >= size_) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - offset));
    if (n) std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
  }
  const std::string& Path() const override { return path_; }
  const std::vector<std::uint8_t>* Memory() const override { return &bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::string path_;
};

}  // namespace

std::unique_ptr<ByteSource> ByteSource::OpenFile(const std::string& path) {
  // O_NONBLOCK keeps open() from waiting for a writer when the path is a FIFO.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  FilePtr file(fdopen(fd, "rb"));
  if (!file) {
    ::close(fd);
    return nullptr;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return nullptr;
  return std::make_unique<FileSource>(std::move(file), static_cast<std::uint64_t>(st.st_size),
                                      path);
}

std::unique_ptr<ByteSource> ByteSource::FromMemory(const std::uint8_t* data, std::size_t size) {
  if (!data) size = 0;
  static const std::uint8_t kEmpty = 0;
  return std::make_unique<MemorySource>(data ? data : &kEmpty, size);
}

bool ReadAll(ByteSource& source, std::vector<std::uint8_t>& out, std::uint64_t limit) {
  if (source.Size() > limit) return false;
  if (const auto* memory = source.Memory()) {
    out = *memory;
    return true;
  }
  out.resize(static_cast<std::size_t>(source.Size()));
  const std::size_t got = source.ReadAt(0, out.data(), out.size());
  out.resize(got);
  return true;
}

}  // namespace wavorax::audiolib
