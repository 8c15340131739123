// Keeps a decoded stream in one PCM layout from its first block to its end. A stream may
// change its sample format, rate or channel count part-way (two files joined end to end);
// the writer was set up from the first block, so every later block is converted to that
// block's format, rate and channels. Blocks already in that layout are copied as they are.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct SwrContext;

namespace wavorax {

class PcmConverter {
 public:
  PcmConverter();
  ~PcmConverter();
  PcmConverter(const PcmConverter&) = delete;
  PcmConverter& operator=(const PcmConverter&) = delete;

  // Fixes the layout handed out: interleaved samples of `format` (an AVSampleFormat) at
  // `rate` with `channels`. Forgets any earlier input.
  void SetOutput(int format, int rate, int channels);
  // Bytes of one output frame (all channels); 0 before SetOutput.
  int BytesPerFrame() const { return bytesPerFrame_; }

  // Appends `samples` frames to `out`, given as FFmpeg lays out `format` (one plane, or one
  // per channel for a planar format) at `rate` with `channels`. When the layout differs from
  // the previous block's, what a resampler still held comes first. False when the block
  // cannot be converted; `out` then holds what was converted before it.
  bool Append(const std::uint8_t* const* planes, int format, int rate, int channels, int samples,
              std::vector<std::uint8_t>& out);
  // Appends the samples that a rate conversion still holds back, at the end of the stream.
  bool Flush(std::vector<std::uint8_t>& out);

 private:
  struct SwrDeleter {
    void operator()(SwrContext* s) const;
  };
  bool SetUp(int format, int rate, int channels, std::vector<std::uint8_t>& out);
  bool Convert(const std::uint8_t* const* input, int samples, std::vector<std::uint8_t>& out);

  std::unique_ptr<SwrContext, SwrDeleter> converter_;
  int outFormat_ = -1, outRate_ = 0, outChannels_ = 0, bytesPerFrame_ = 0;
  int inFormat_ = -1, inRate_ = 0, inChannels_ = 0;  // of the blocks the converter is set up for
};

}  // namespace wavorax
