// An output file written straight through the operating system's descriptor, with every
// write checked: a short write (full disk, file-size limit) is a failure, never data that
// silently went missing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wavorax {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the file anew (an existing one is truncated), write access only.
  bool Create(const std::string& path);
  bool IsOpen() const { return fd_ >= 0; }
  // Writes all `size` bytes at the current position; false if any of them could not be.
  bool Write(const void* data, std::size_t size);
  // Writes all `size` bytes at `offset` without moving the current position.
  bool WriteAt(std::uint64_t offset, const void* data, std::size_t size);
  // Whether the descriptor refers to a regular file (not a device such as /dev/null).
  bool IsRegularFile() const;
  // The file's current size.
  bool Size(std::uint64_t& size) const;
  // Closes the descriptor; false when the close reports an error. Harmless when closed.
  bool Close();

 private:
  int fd_ = -1;
};

}  // namespace wavorax
