// The two block-based ADPCM codecs of WAV files: Microsoft ADPCM and IMA (DVI) ADPCM.
// Each block decoder is built from the fmt chunk's fields and refuses layouts it cannot
// decode safely, so DecodeBlock never reads or writes outside its buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace wavorax {

struct AdpcmFormat {
  int channels = 0;
  int blockAlign = 0;
  int samplesPerBlock = 0;  // per channel
};

class CMsAdpcmBlockDecoder {
 public:
  // Null when the layout is unusable: not one or two channels, no coefficients, a block
  // too small for its header, or samples per block that disagree with the block size.
  static std::unique_ptr<CMsAdpcmBlockDecoder> Create(const AdpcmFormat& format,
                                                      std::vector<std::int16_t> coefficientPairs);
  // Decodes one block of format.blockAlign bytes into samplesPerBlock × channels
  // interleaved samples. Returns the number of samples written, or 0 for a broken block
  // (a predictor index outside the coefficient table).
  int DecodeBlock(const std::uint8_t* encoded, std::int16_t* decoded) const;

  const AdpcmFormat& Format() const { return format_; }

 private:
  CMsAdpcmBlockDecoder() = default;
  AdpcmFormat format_;
  std::vector<std::int16_t> coefficients_;  // pairs: coef1, coef2
};

class CImaAdpcmBlockDecoder {
 public:
  // Null when the layout is unusable (see CMsAdpcmBlockDecoder::Create).
  static std::unique_ptr<CImaAdpcmBlockDecoder> Create(const AdpcmFormat& format);
  int DecodeBlock(const std::uint8_t* encoded, std::int16_t* decoded) const;

  const AdpcmFormat& Format() const { return format_; }

 private:
  CImaAdpcmBlockDecoder() = default;
  AdpcmFormat format_;
};

}  // namespace wavorax
