// Random-access bytes of one source, from a regular file or from memory. The stream demuxer,
// the ID3 reader and the music loader all read through this, so that the fuzzer can feed the
// same code from memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace wavorax::audiolib {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  std::uint64_t Size() const { return size_; }
  // Copies up to `count` bytes from `offset`; returns how many were copied (0 at the end).
  virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) = 0;
  // The file's path, or "" for memory.
  virtual const std::string& Path() const = 0;
  // The whole memory block, or null for a file.
  virtual const std::vector<std::uint8_t>* Memory() const { return nullptr; }

  // Null when the path is not a readable regular file. Anything else (a folder, a FIFO that
  // would block, a device that never ends) is refused.
  static std::unique_ptr<ByteSource> OpenFile(const std::string& path);
  static std::unique_ptr<ByteSource> FromMemory(const std::uint8_t* data, std::size_t size);

 protected:
  std::uint64_t size_ = 0;
};

// Reads the whole source into memory, refusing sources above `limit` bytes.
bool ReadAll(ByteSource& source, std::vector<std::uint8_t>& out, std::uint64_t limit);

}  // namespace wavorax::audiolib
