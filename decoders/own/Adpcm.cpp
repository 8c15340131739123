#include "decoders/own/Adpcm.h"

#include <algorithm>
#include <climits>

#include "base/ByteOrder.h"

namespace wavorax {
namespace {

constexpr int kImaStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr int kImaIndexAdjust[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

constexpr int kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                   768, 614, 512, 409, 307, 230, 230, 230};

// A delta this large already saturates every sample; capping it keeps delta × 768 and
// code × delta inside int.
constexpr int kMsMaxDelta = INT_MAX / 768;

inline std::int16_t Clamp16(std::int64_t v) {
  return static_cast<std::int16_t>(std::clamp<std::int64_t>(v, INT16_MIN, INT16_MAX));
}

inline int Le16Signed(const std::uint8_t* p) { return static_cast<std::int16_t>(Le16(p)); }

bool CommonLayoutOk(const AdpcmFormat& f, int headerBytesPerChannel, int minSamples) {
  return (f.channels == 1 || f.channels == 2) && f.samplesPerBlock >= minSamples &&
         f.blockAlign >= headerBytesPerChannel * f.channels;
}

}  // namespace

std::unique_ptr<CMsAdpcmBlockDecoder> CMsAdpcmBlockDecoder::Create(
    const AdpcmFormat& format, std::vector<std::int16_t> coefficientPairs) {
  if (!CommonLayoutOk(format, 7, 2)) return nullptr;
  if (coefficientPairs.empty() || coefficientPairs.size() % 2 != 0) return nullptr;
  // Every code is a nibble after the 7-byte header of each channel.
  const long codes = static_cast<long>(format.samplesPerBlock - 2) * format.channels;
  const long codeBytes = format.blockAlign - 7L * format.channels;
  if ((codes + 1) / 2 > codeBytes) return nullptr;
  std::unique_ptr<CMsAdpcmBlockDecoder> decoder(new CMsAdpcmBlockDecoder);
  decoder->format_ = format;
  decoder->coefficients_ = std::move(coefficientPairs);
  return decoder;
}

int CMsAdpcmBlockDecoder::DecodeBlock(const std::uint8_t* encoded, std::int16_t* decoded) const {
  const int n = format_.channels;
  const std::size_t pairCount = coefficients_.size() / 2;
  int coef1[2] = {}, coef2[2] = {}, delta[2] = {}, sample1[2] = {}, sample2[2] = {};
  for (int ch = 0; ch < n; ++ch) {
    const std::size_t predictor = encoded[ch];
    // A predictor outside the table marks a damaged block; the stream ends here.
    if (predictor >= pairCount) return 0;
    coef1[ch] = coefficients_[2 * predictor];
    coef2[ch] = coefficients_[2 * predictor + 1];
    delta[ch] = std::min<int>(Le16(encoded + n + 2 * ch), kMsMaxDelta);
    sample1[ch] = Le16Signed(encoded + 3 * n + 2 * ch);
    sample2[ch] = Le16Signed(encoded + 5 * n + 2 * ch);
  }
  int out = 0;
  for (int ch = 0; ch < n; ++ch) decoded[out++] = static_cast<std::int16_t>(sample2[ch]);
  for (int ch = 0; ch < n; ++ch) decoded[out++] = static_cast<std::int16_t>(sample1[ch]);

  const std::uint8_t* data = encoded + 7 * n;
  const long codes = static_cast<long>(format_.samplesPerBlock - 2) * n;
  for (long k = 0; k < codes; ++k) {
    const int byte = data[k / 2];
    const int code = (k % 2 == 0) ? (byte >> 4) : (byte & 0x0F);
    const int ch = (n == 2) ? static_cast<int>(k % 2) : 0;
    const std::int64_t predictor = (static_cast<std::int64_t>(sample1[ch]) * coef1[ch] +
                                    static_cast<std::int64_t>(sample2[ch]) * coef2[ch]) /
                                   256;
    const int signedCode = code >= 8 ? code - 16 : code;
    const std::int16_t sample =
        Clamp16(predictor + static_cast<std::int64_t>(signedCode) * delta[ch]);
    delta[ch] = std::clamp(delta[ch] * kMsAdaptation[code] / 256, 16, kMsMaxDelta);
    sample2[ch] = sample1[ch];
    sample1[ch] = sample;
    decoded[out++] = sample;
  }
  return out;
}

std::unique_ptr<CImaAdpcmBlockDecoder> CImaAdpcmBlockDecoder::Create(const AdpcmFormat& format) {
  if (!CommonLayoutOk(format, 4, 1)) return nullptr;
  // Codes come in groups of eight (4 bytes) per channel, channels taking turns.
  const long groups = (format.samplesPerBlock - 1 + 7) / 8;
  if (groups * 4L * format.channels > format.blockAlign - 4L * format.channels) return nullptr;
  std::unique_ptr<CImaAdpcmBlockDecoder> decoder(new CImaAdpcmBlockDecoder);
  decoder->format_ = format;
  return decoder;
}

int CImaAdpcmBlockDecoder::DecodeBlock(const std::uint8_t* encoded, std::int16_t* decoded) const {
  const int n = format_.channels;
  const int samples = format_.samplesPerBlock;
  for (int ch = 0; ch < n; ++ch) {
    const std::uint8_t* header = encoded + 4 * ch;
    int predictor = Le16Signed(header);
    int index = std::min<int>(header[2], 88);
    decoded[ch] = static_cast<std::int16_t>(predictor);
    // Samples 1 .. S-1 of this channel come from its 4-byte groups.
    for (int s = 1; s < samples; ++s) {
      const int k = s - 1;       // code number within the channel
      const int group = k / 8;   // which 4-byte group of this channel
      const int within = k % 8;  // code within the group
      const std::uint8_t byte = encoded[4 * n + (group * n + ch) * 4 + within / 2];
      const int code = (within % 2 == 0) ? (byte & 0x0F) : (byte >> 4);
      const int step = kImaStepTable[index];
      int diff = step >> 3;
      if (code & 1) diff += step >> 2;
      if (code & 2) diff += step >> 1;
      if (code & 4) diff += step;
      if (code & 8) diff = -diff;
      predictor = Clamp16(predictor + diff);
      index = std::clamp(index + kImaIndexAdjust[code], 0, 88);
      decoded[s * n + ch] = static_cast<std::int16_t>(predictor);
    }
  }
  return samples * n;
}

}  // namespace wavorax
