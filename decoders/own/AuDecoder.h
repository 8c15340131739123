// Sun/NeXT AU files in either byte order: linear PCM of 8 to 32 bits, IEEE float,
// G.711 µ-law and A-law, and G.721/G.723 ADPCM, one or two channels, delivered as
// signed 16-bit samples.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/ByteSource.h"
#include "decoders/Decoder.h"
#include "decoders/own/G72x.h"

namespace wavorax {

class CAuDecoder : public CDecoder {
 public:
  CAuDecoder();
  ~CAuDecoder() override;

  void Close() override;
  int Open(const std::string& path, int musicSampleRate) override;
  int Read(void* left, void* right) override;

  // Opens on a source the decoder takes over (memory in tests and fuzzing).
  int OpenSource(std::unique_ptr<ByteSource> source);

 private:
  // One block as the format gives it; Read adds the source's read failures.
  int ReadBlock(void* left, void* right);
  std::size_t ReadRaw(std::size_t request);

  std::unique_ptr<ByteSource> file;
  std::vector<std::uint8_t> readBuffer;
  bool bigEndian = false;
  std::uint32_t encoding = 0;
  int codeBits = 0;
  std::uint64_t dataStart = 0;
  G72xDecodeFn adpcmDecode = nullptr;
  G72xState adpcmState;
  std::uint32_t bitBuffer = 0;
  int bitCount = 0;
};

}  // namespace wavorax
