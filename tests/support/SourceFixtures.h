// Source files that no command-line tool here writes, made by the tests themselves.
#pragma once

#include <opencore-amrnb/interf_enc.h>

#include <cstdint>
#include <vector>

namespace wavorax::test {

// Encodes 8000 Hz mono speech with opencore-amrnb's encoder into the ".amr" storage format,
// cycling through the given modes frame by frame.
std::vector<std::uint8_t> EncodeAmr(const std::vector<std::int16_t>& speech,
                                    const std::vector<Mode>& modes);

}  // namespace wavorax::test
