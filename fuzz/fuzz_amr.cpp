// The AMR parser on arbitrary bytes from memory.
#include "decoders/own/AmrDecoder.h"
#include "fuzz/DecoderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return wavorax::FuzzOwnDecoder<wavorax::CAmrDecoder>(data, size);
}
