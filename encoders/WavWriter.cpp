#include "encoders/WavWriter.h"

#include <unistd.h>

#include <bit>
#include <cstring>

namespace wavorax {

namespace {

void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

CWavWriter::~CWavWriter() { Close(); }

bool CWavWriter::Open(const std::string& path, bool stereo, int bitsPerSample, int sampleRate) {
  Close();
  if ((bitsPerSample != 8 && bitsPerSample != 16 && bitsPerSample != 24 && bitsPerSample != 32) ||
      sampleRate <= 0)
    return false;

  WavFormat f;
  f.formatTag = bitsPerSample == 32 ? 3 : 1;
  f.channels = stereo ? 2 : 1;
  f.sampleRate = static_cast<std::uint32_t>(sampleRate);
  f.bitsPerSample = static_cast<std::uint16_t>(bitsPerSample);
  f.byteRate = (std::uint32_t{f.channels} * f.bitsPerSample * f.sampleRate) >> 3;
  f.blockAlign = static_cast<std::uint16_t>(f.channels * f.bitsPerSample / 8);
  f.extraSize = 0;

  std::uint8_t header[kHeaderSize];
  std::memcpy(header, "RIFF", 4);
  Put32(header + 4, 4);  // placeholder, patched at Close
  std::memcpy(header + 8, "WAVEfmt ", 8);
  Put32(header + 16, 16);
  Put16(header + 20, f.formatTag);
  Put16(header + 22, f.channels);
  Put32(header + 24, f.sampleRate);
  Put32(header + 28, f.byteRate);
  Put16(header + 32, f.blockAlign);
  Put16(header + 34, f.bitsPerSample);
  std::memcpy(header + 36, "data", 4);
  Put32(header + 40, 4);  // placeholder, patched at Close

  if (!file_.Create(path)) return false;
  if (!file_.Write(header, sizeof header)) {
    // A file without its header is of no use to anyone; the pipeline gives up on a failed
    // Open without cleaning up, so the half-made file goes here. Only a regular file: a
    // device node given as the output path is never removed.
    const bool regular = file_.IsRegularFile();
    file_.Close();
    if (regular) ::unlink(path.c_str());
    return false;
  }
  format_ = f;
  fileBytes_ = kHeaderSize;
  return true;
}

bool CWavWriter::WriteData(const void* data, std::uint64_t bytes) {
  if (!file_.IsOpen()) return false;
  // Refuse data the header could not account for, rather than let the sizes wrap at Close.
  if (bytes > kMaxFileSize - fileBytes_) return false;
  if (!file_.Write(data, static_cast<std::size_t>(bytes))) return false;
  fileBytes_ += bytes;
  return true;
}

bool CWavWriter::Write16(const std::int16_t* left, const std::int16_t* right, int count) {
  if (!file_.IsOpen() || count < 0 || (count > 0 && !left)) return false;
  const auto n = static_cast<std::size_t>(count);
  if (format_.channels == 2) {
    if (n > 0 && !right) return false;
    interleaved_.resize(n * 4);
    std::uint8_t* p = interleaved_.data();
    for (std::size_t i = 0; i < n; ++i, p += 4) {
      Put16(p, static_cast<std::uint16_t>(left[i]));
      Put16(p + 2, static_cast<std::uint16_t>(right[i]));
    }
    return WriteData(interleaved_.data(), n * 4);
  }
  if constexpr (std::endian::native == std::endian::little) {
    return WriteData(left, n * 2);
  } else {
    interleaved_.resize(n * 2);
    for (std::size_t i = 0; i < n; ++i)
      Put16(interleaved_.data() + 2 * i, static_cast<std::uint16_t>(left[i]));
    return WriteData(interleaved_.data(), n * 2);
  }
}

bool CWavWriter::Write8(const std::uint8_t* left, const std::uint8_t* right, int count) {
  if (!file_.IsOpen() || count < 0 || (count > 0 && !left)) return false;
  const auto n = static_cast<std::size_t>(count);
  if (format_.channels == 2) {
    if (n > 0 && !right) return false;
    interleaved_.resize(n * 2);
    std::uint8_t* p = interleaved_.data();
    for (std::size_t i = 0; i < n; ++i) {
      *p++ = left[i];
      *p++ = right[i];
    }
    return WriteData(interleaved_.data(), n * 2);
  }
  return WriteData(left, n);
}

bool CWavWriter::WriteWide(const std::int32_t* left, const std::int32_t* right, int count) {
  const int bits = format_.bitsPerSample;
  if (!file_.IsOpen() || (bits != 24 && bits != 32) || count < 0 || (count > 0 && !left))
    return false;
  const auto n = static_cast<std::size_t>(count);
  const std::size_t channels = format_.channels;
  if (channels == 2 && n > 0 && !right) return false;
  const std::size_t width = static_cast<std::size_t>(bits / 8);
  interleaved_.resize(n * channels * width);
  std::uint8_t* p = interleaved_.data();
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t c = 0; c < channels; ++c, p += width) {
      const std::int32_t v = c == 0 ? left[i] : right[i];
      if (bits == 24) {
        const auto u = static_cast<std::uint32_t>(v);
        p[0] = static_cast<std::uint8_t>(u);
        p[1] = static_cast<std::uint8_t>(u >> 8);
        p[2] = static_cast<std::uint8_t>(u >> 16);
      } else {
        Put32(p, std::bit_cast<std::uint32_t>(static_cast<float>(v) * (1.0f / 2147483648.0f)));
      }
    }
  }
  return WriteData(interleaved_.data(), interleaved_.size());
}

bool CWavWriter::Close() {
  if (!file_.IsOpen()) return true;
  // The sizes come from the file itself, so whatever went through the handle counts as data.
  std::uint64_t size = 0;
  bool ok = file_.Size(size) && size >= kHeaderSize && size <= kMaxFileSize;
  if (ok) {
    std::uint8_t riff[4], data[4];
    Put32(riff, static_cast<std::uint32_t>(size - 8));
    Put32(data, static_cast<std::uint32_t>(size - kHeaderSize));
    ok = file_.WriteAt(4, riff, 4) && file_.WriteAt(40, data, 4);
  }
  ok = file_.Close() && ok;
  format_ = WavFormat{};
  fileBytes_ = 0;
  interleaved_.clear();
  interleaved_.shrink_to_fit();
  return ok;
}

}  // namespace wavorax
