// AMR narrow-band speech in the storage format ("#!AMR\n"), decoded frame by frame by
// opencore-amrnb into 8000 Hz mono 16-bit PCM.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/ByteSource.h"
#include "decoders/Decoder.h"

namespace wavorax {

class CAmrDecoder : public CDecoder {
 public:
  CAmrDecoder();
  ~CAmrDecoder() override;

  void Close() override;
  int Open(const std::string& path, int musicSampleRate) override;
  int Read(void* left, void* right) override;

  // Opens on a source the decoder takes over (memory in tests and fuzzing).
  int OpenSource(std::unique_ptr<ByteSource> source);

 private:
  // One block as the format gives it; Read adds the source's read failures.
  int ReadBlock(void* left, void* right);
  struct StateDeleter {
    void operator()(void* state) const;
  };
  int DecodeFrame();

  std::unique_ptr<ByteSource> file;
  std::unique_ptr<void, StateDeleter> speechState;
  std::uint8_t frame[64] = {};  // header byte and payload, zero beyond the payload
  std::int16_t synth[160] = {};
  std::int16_t carry[160] = {};
  int carryCount = 0;
};

}  // namespace wavorax
