// The MP3 parser on arbitrary bytes from memory.
#include "decoders/own/Mp3Decoder.h"
#include "fuzz/DecoderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return wavorax::FuzzOwnDecoder<wavorax::CMp3Decoder>(data, size);
}
