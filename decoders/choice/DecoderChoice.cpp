#include "decoders/choice/DecoderChoice.h"

#include "base/CdTrackPath.h"
#include "decoders/SourceType.h"
#include "decoders/audiolib/BassDecoder.h"
#include "decoders/cd/CdDecoder.h"
#include "decoders/own/AmrDecoder.h"
#include "decoders/own/AuDecoder.h"
#include "decoders/own/Mp3Decoder.h"
#include "decoders/own/WavDecoder.h"

namespace wavorax {
namespace {

std::unique_ptr<CDecoder> TryOpen(std::unique_ptr<CDecoder> decoder, const std::string& path,
                                  int rate) {
  if (decoder->Open(path, rate) == 0) return nullptr;  // destroyed here, holding nothing
  return decoder;
}

}  // namespace

std::unique_ptr<CDecoder> OpenDecoderFor(int sourceType, const std::string& path,
                                         int musicSampleRate) {
  // A track of a disc ("Track03.cda" below a drive or an image) is read from the disc; a
  // file of that name takes the usual way.
  if (IsCdTrackPath(path))
    if (auto decoder = TryOpen(std::make_unique<CCdDecoder>(), path, 0)) return decoder;
  switch (sourceType) {
    case kSourceAu:
      return TryOpen(std::make_unique<CAuDecoder>(), path, 0);
    case kSourceAmr:
      return TryOpen(std::make_unique<CAmrDecoder>(), path, 0);
    default:
      break;
  }
  const int rate = sourceType == kSourceMusic ? musicSampleRate : 0;
  if (auto decoder = TryOpen(std::make_unique<CBassDecoder>(), path, rate)) return decoder;
  switch (sourceType) {
    case kSourceMpeg:
      return TryOpen(std::make_unique<CMp3Decoder>(), path, 0);
    case kSourceWav:
      return TryOpen(std::make_unique<CWavDecoder>(), path, 0);
    default:
      return nullptr;
  }
}

}  // namespace wavorax
