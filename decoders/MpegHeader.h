// MPEG audio frame headers, read by the library route and by the program's own MP3 decoder.
#pragma once

#include <cstdint>

namespace wavorax {

// Parses a 4-byte MPEG audio frame header. On success stores the bit rate in kbit/s (never 0:
// free-format frames fail) and the channel mode (0 stereo, 1 joint, 2 dual, 3 mono).
bool ParseMpegFrameHeader(const std::uint8_t header[4], int& bitrateKbps, int& channelMode);

}  // namespace wavorax
