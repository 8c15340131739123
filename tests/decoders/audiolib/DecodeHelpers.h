// Decoding a whole source through a CDecoder, with a bound on the number of calls so that a
// decoder that never ends fails the test instead of hanging it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decoders/Decoder.h"
#include "tests/support/DecodeAll.h"

namespace wavorax::test {

// Names a parameterised case after a file name: letters and digits kept, the rest '_'.
std::string CaseName(const std::string& file);

}  // namespace wavorax::test
