#include "base/ByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace wavorax {
namespace {

// Read-ahead block of a file; a request at least this large goes straight to the caller.
constexpr std::size_t kReadAhead = 64 * 1024;

class FileSource final : public ByteSource {
 public:
  FileSource(int fd, std::uint64_t size, std::string path)
      : ByteSource(size), fd_(fd), path_(std::move(path)) {}
  ~FileSource() override { ::close(fd_); }

  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override {
    if (offset >= Size()) return 0;
    // pread leaves no shared file position behind, so the demuxer and the tag reader can take
    // turns without seeking each other astray.
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
      const ssize_t n = ::pread(fd_, out + done, count - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      // A read error, and a file that ends before the size it had when it was opened (cut
      // short while it is read), both lose audio: neither may pass for the end of the file.
      if (n < 0 || (n == 0 && offset + done < Size())) failed_ = true;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    return done;
  }
  const std::string& Path() const override { return path_; }
  bool Failed() const override { return failed_; }

 private:
  int fd_;
  std::string path_;
  bool failed_ = false;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::vector<std::uint8_t> bytes)
      : ByteSource(bytes.size()), bytes_(std::move(bytes)) {}

  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override {
    if (offset >= Size()) return 0;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, Size() - offset));
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
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<FileSource>(fd, static_cast<std::uint64_t>(st.st_size), path);
}

std::unique_ptr<ByteSource> ByteSource::FromMemory(const std::uint8_t* data, std::size_t size) {
  if (!data) return FromBytes({});
  return FromBytes(std::vector<std::uint8_t>(data, data + size));
}

std::unique_ptr<ByteSource> ByteSource::FromBytes(std::vector<std::uint8_t> bytes) {
  return std::make_unique<MemorySource>(std::move(bytes));
}

std::size_t ByteSource::Read(void* dest, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(dest);
  std::size_t done = 0;
  if (Memory()) {
    done = ReadAt(position_, out, count);
    position_ += done;
    return done;
  }
  while (done < count && position_ < size_) {
    if (position_ >= aheadStart_ && position_ < aheadStart_ + aheadFill_) {
      const auto at = static_cast<std::size_t>(position_ - aheadStart_);
      const std::size_t n = std::min(count - done, aheadFill_ - at);
      std::memcpy(out + done, ahead_.data() + at, n);
      done += n;
      position_ += n;
      continue;
    }
    std::size_t n;
    if (count - done >= kReadAhead) {
      n = ReadAt(position_, out + done, count - done);
      done += n;
      position_ += n;
    } else {
      ahead_.resize(kReadAhead);
      aheadStart_ = position_;
      aheadFill_ = n = ReadAt(position_, ahead_.data(), kReadAhead);
    }
    if (n == 0) break;  // the file ended early (it shrank) or cannot be read
  }
  return done;
}

bool ByteSource::Seek(std::uint64_t offset) {
  if (offset > size_) return false;
  position_ = offset;
  return true;
}

bool ByteSource::Skip(std::int64_t delta) {
  if (delta < 0) {
    const std::uint64_t back = static_cast<std::uint64_t>(-(delta + 1)) + 1;
    if (back > position_) return false;
    return Seek(position_ - back);
  }
  const auto forward = static_cast<std::uint64_t>(delta);
  if (forward > size_ - position_) return false;
  return Seek(position_ + forward);
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

}  // namespace wavorax
