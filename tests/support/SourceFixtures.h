// Source files that no command-line tool here writes, made by the tests themselves.
#pragma once

#include <opencore-amrnb/interf_enc.h>

#include <cstdint>
#include <string>
#include <vector>

namespace wavorax::test {

// Encodes 8000 Hz mono speech with opencore-amrnb's encoder into the ".amr" storage format,
// cycling through the given modes frame by frame.
std::vector<std::uint8_t> EncodeAmr(const std::vector<std::int16_t>& speech,
                                    const std::vector<Mode>& modes);

// A 4-channel ProTracker module ("M.K."): one pattern at speed 3 (3.84 s), a looped square
// wave played on two channels.
std::vector<std::uint8_t> MakeMod(const std::string& title);

}  // namespace wavorax::test
