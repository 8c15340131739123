// Which decoder reads a source, by its SourceType code, with the fallback to the program's own
// decoders. The probe of the source list and every target pipeline open files through this.
#pragma once

#include <memory>
#include <string>

#include "decoders/Decoder.h"

namespace wavorax {

// Opens `path` with the decoder its source type names and returns it open, or null when the
// file cannot be decoded. AU/SND and AMR files go to their own decoders only; every other type
// is tried with the audio-library decoder first, and MPEG audio and WAV files that it cannot
// open are tried once more with the program's MP3 or WAV decoder.
//
// `musicSampleRate` is the render rate for tracker music (0 = the library's 44100). It is
// handed on only for kSourceMusic; files of every other type open with 0, so that a tracker
// module hiding under another extension still renders at the library's default.
std::unique_ptr<CDecoder> OpenDecoderFor(int sourceType, const std::string& path,
                                         int musicSampleRate);

}  // namespace wavorax
