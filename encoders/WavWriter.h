// Writes uncompressed PCM into a RIFF/WAVE file with the canonical 44-byte header. The caller
// has already brought the samples to the output format; the writer only interleaves them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoders/OutputFile.h"

namespace wavorax {

// The PCM format block; its first 16 bytes are the fmt chunk.
struct WavFormat {
  std::uint16_t formatTag = 0;  // 1 = PCM, 3 = IEEE floating point
  std::uint16_t channels = 0;
  std::uint32_t sampleRate = 0;
  std::uint32_t byteRate = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;
  std::uint16_t extraSize = 0;
};

class CWavWriter {
 public:
  // The largest file whose RIFF size (file size - 8) and data size (file size - 44) both
  // still fit their unsigned 32-bit fields.
  static constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFull + 8;
  static constexpr std::uint32_t kHeaderSize = 44;

  CWavWriter() = default;
  CWavWriter(const CWavWriter&) = delete;
  CWavWriter& operator=(const CWavWriter&) = delete;
  virtual ~CWavWriter();

  // Creates the file anew and writes the header with placeholder sizes: integer PCM at 8, 16
  // or 24 bits, or with 32 IEEE floating point. False when the width is none of those or the
  // rate is not positive, when the file cannot be created, or when
  // the header cannot be written (the half-made file is then removed).
  bool Open(const std::string& path, bool stereo, int bitsPerSample, int sampleRate);
  // `count` samples per channel; `right` is read only in stereo and may be null in mono.
  // False when the writer is closed, when a write falls short (full disk), or when the data
  // would make the file too large for the header's sizes; nothing is written then.
  bool Write16(const std::int16_t* left, const std::int16_t* right, int count);
  bool Write8(const std::uint8_t* left, const std::uint8_t* right, int count);
  // For 24 and 32 bits: samples as 32-bit integers, 24-bit values for 24 bits and full-scale
  // 32-bit ones for floating point (2^31 is 1.0). False for the narrower widths.
  bool WriteWide(const std::int32_t* left, const std::int32_t* right, int count);
  // Patches the RIFF and data sizes from the file's actual size and closes it. False when a
  // size does not fit (the placeholders are then left as they are, never wrapped values),
  // or when the patch or the close fails. True, doing nothing, when nothing is open.
  bool Close();

  const WavFormat& format() const { return format_; }

 private:
  bool WriteData(const void* data, std::uint64_t bytes);

  OutputFile file_;
  WavFormat format_{};
  std::uint64_t fileBytes_ = 0;  // bytes written through the handle, header included
  std::vector<std::uint8_t> interleaved_;
};

}  // namespace wavorax
