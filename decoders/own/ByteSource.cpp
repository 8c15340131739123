#include "decoders/own/ByteSource.h"

#include <sys/stat.h>

#include <cstring>

namespace wavorax {

bool CByteSource::Skip(std::int64_t delta) {
  const std::uint64_t here = Tell();
  if (delta < 0) {
    const std::uint64_t back = static_cast<std::uint64_t>(-(delta + 1)) + 1;
    if (back > here) return false;
    return Seek(here - back);
  }
  return Seek(here + static_cast<std::uint64_t>(delta));
}

CFileByteSource::~CFileByteSource() {
  if (file_) std::fclose(file_);
}

std::unique_ptr<CFileByteSource> CFileByteSource::Open(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return nullptr;
  struct stat info {};
  // A folder or a device opens with fopen on Linux but is no audio file.
  if (fstat(fileno(f), &info) != 0 || !S_ISREG(info.st_mode)) {
    std::fclose(f);
    return nullptr;
  }
  std::unique_ptr<CFileByteSource> source(new CFileByteSource);
  source->file_ = f;
  source->size_ = static_cast<std::uint64_t>(info.st_size);
  return source;
}

std::size_t CFileByteSource::Read(void* dest, std::size_t count) {
  if (count == 0) return 0;
  return std::fread(dest, 1, count, file_);
}

bool CFileByteSource::Seek(std::uint64_t offset) {
  if (offset > size_ || offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
  return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::uint64_t CFileByteSource::Tell() const {
  const off_t at = ftello(file_);
  return at < 0 ? 0 : static_cast<std::uint64_t>(at);
}

std::size_t CMemoryByteSource::Read(void* dest, std::size_t count) {
  const std::size_t left = size_ - offset_;
  if (count > left) count = left;
  if (count) std::memcpy(dest, data_ + offset_, count);
  offset_ += count;
  return count;
}

bool CMemoryByteSource::Seek(std::uint64_t offset) {
  if (offset > size_) return false;
  offset_ = static_cast<std::size_t>(offset);
  return true;
}

}  // namespace wavorax
