// A forward-mostly stream of bytes that the container parsers read from. Files are read
// through a buffered file source; tests and fuzzers hand the parsers a memory source, so
// the same parsing code runs on bytes that never touched the disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace wavorax {

class CByteSource {
 public:
  virtual ~CByteSource() = default;
  // Copies up to `count` bytes into `dest` and returns how many arrived (0 at the end).
  virtual std::size_t Read(void* dest, std::size_t count) = 0;
  // Moves to an absolute offset; false when the offset lies beyond the end.
  virtual bool Seek(std::uint64_t offset) = 0;
  virtual std::uint64_t Tell() const = 0;
  // Total size in bytes.
  virtual std::uint64_t Size() const = 0;

  // Moves forward (or back) relative to the current offset; false when out of range.
  bool Skip(std::int64_t delta);
  // Reads exactly `count` bytes; false when fewer arrive.
  bool ReadExact(void* dest, std::size_t count) { return Read(dest, count) == count; }
};

// Reads a file through stdio's buffer. Open() fails for anything that is not a readable
// regular file.
class CFileByteSource final : public CByteSource {
 public:
  ~CFileByteSource() override;
  static std::unique_ptr<CFileByteSource> Open(const std::string& path);

  std::size_t Read(void* dest, std::size_t count) override;
  bool Seek(std::uint64_t offset) override;
  std::uint64_t Tell() const override;
  std::uint64_t Size() const override { return size_; }

 private:
  CFileByteSource() = default;
  std::FILE* file_ = nullptr;
  std::uint64_t size_ = 0;
};

// Reads from a byte range in memory. The bytes are either borrowed (the caller keeps them
// alive) or copied in.
class CMemoryByteSource final : public CByteSource {
 public:
  CMemoryByteSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  explicit CMemoryByteSource(std::vector<std::uint8_t> bytes)
      : owned_(std::move(bytes)), data_(owned_.data()), size_(owned_.size()) {}

  std::size_t Read(void* dest, std::size_t count) override;
  bool Seek(std::uint64_t offset) override;
  std::uint64_t Tell() const override { return offset_; }
  std::uint64_t Size() const override { return size_; }

 private:
  std::vector<std::uint8_t> owned_;
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

}  // namespace wavorax
