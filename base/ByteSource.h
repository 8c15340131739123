// The bytes of one source, from a regular file or from memory, behind one small interface
// that every parser reads through: the program's own decoders read it in order from a
// position of their own, the audio-library layer (demuxer, ID3 reader, music loader) at
// offsets of its choosing. Tests and fuzzers hand the same parsing code bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace wavorax {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;

  // Null when the path is not a readable regular file. Anything else (a folder, a FIFO that
  // would block, a device that never ends) is refused.
  static std::unique_ptr<ByteSource> OpenFile(const std::string& path);
  // A copy of `size` bytes at `data` (none when data is null).
  static std::unique_ptr<ByteSource> FromMemory(const std::uint8_t* data, std::size_t size);
  static std::unique_ptr<ByteSource> FromBytes(std::vector<std::uint8_t> bytes);

  // Total size in bytes, as it was when the source was opened.
  std::uint64_t Size() const { return size_; }
  // Copies up to `count` bytes from `offset`; returns how many were copied (0 at the end).
  // Leaves the reading position alone, so random access and in-order reading can mix.
  virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) = 0;
  // The file's path, or "" for memory.
  virtual const std::string& Path() const = 0;
  // True once a read of a file failed, or found the file shorter than it was when opened:
  // what a reader took for the end was not the end, and the decoding must fail.
  virtual bool Failed() const { return false; }
  // The whole memory block, or null for a file.
  virtual const std::vector<std::uint8_t>* Memory() const { return nullptr; }

  // In-order reading from the reading position. A file is read ahead in blocks, so that a
  // parser may read a byte at a time without a system call per byte.
  // Copies up to `count` bytes into `dest` and returns how many arrived (0 at the end).
  std::size_t Read(void* dest, std::size_t count);
  // Reads exactly `count` bytes; false when fewer arrive.
  bool ReadExact(void* dest, std::size_t count) { return Read(dest, count) == count; }
  // Moves to an absolute offset; false when the offset lies beyond the end.
  bool Seek(std::uint64_t offset);
  // Moves forward (or back) relative to the reading position; false when out of range.
  bool Skip(std::int64_t delta);
  std::uint64_t Tell() const { return position_; }

 protected:
  explicit ByteSource(std::uint64_t size) : size_(size) {}

 private:
  std::uint64_t size_;
  std::uint64_t position_ = 0;
  // Read-ahead of a file: `aheadFill_` bytes from `aheadStart_`.
  std::vector<std::uint8_t> ahead_;
  std::uint64_t aheadStart_ = 0;
  std::size_t aheadFill_ = 0;
};

// Reads the whole source into memory, refusing sources above `limit` bytes.
bool ReadAll(ByteSource& source, std::vector<std::uint8_t>& out, std::uint64_t limit);

}  // namespace wavorax
