#include "decoders/MpegHeader.h"

namespace wavorax {

bool ParseMpegFrameHeader(const std::uint8_t b[4], int& bitrateKbps, int& channelMode) {
  // kbit/s by [MPEG-1 ? 0 : 1][layer index 1..3 = III, II, I][bit-rate index]
  static const int kBitrates[2][4][16] = {
      {{0},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
       {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}},
      {{0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
  };
  if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return false;
  const int version = (b[1] >> 3) & 3;
  const int layer = (b[1] >> 1) & 3;
  const int index = b[2] >> 4;
  if (version == 1 || layer == 0 || index == 15) return false;
  const int rate = kBitrates[version == 3 ? 0 : 1][layer][index];
  if (rate == 0) return false;
  bitrateKbps = rate;
  channelMode = b[3] >> 6;
  return true;
}

}  // namespace wavorax
