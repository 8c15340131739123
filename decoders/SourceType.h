// Decoder family of a source, chosen from its file extension.
#pragma once

#include <string>

namespace wavorax {

enum SourceType : int {
  kSourceMpeg = 1000,
  kSourceWav = 2000,
  kSourceMusic = 3000,  // tracker modules, rendered at a chosen rate
  kSourceOgg = 4000,
  kSourceAu = 5000,
  kSourceAmr = 5500,
  kSourceOther = 9000,
};

// The SourceType code for a path, from the text after the last '.' of its file name,
// compared without regard to case.
int SourceTypeOf(const std::string& path);

}  // namespace wavorax
