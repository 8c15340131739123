// Converts planar PCM blocks in sample rate, channel count and sample width. One object
// serves one file: the rate converter keeps its filter state from block to block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace wavorax {

class CResampler {
 public:
  CResampler();
  virtual ~CResampler();
  CResampler(const CResampler&) = delete;
  CResampler& operator=(const CResampler&) = delete;

  // Formats, all -1 until the pipeline sets them before Init.
  int outChannels = -1, outSampleRate = -1, outBitsPerSample = -1;
  int inChannels = -1, inSampleRate = -1, inBitsPerSample = -1;

  // Opens the rate converters when the rates differ.
  void Init();

  // Converts n input samples per channel into the caller's buffers and stores the output
  // count per channel. The output buffers must hold (outRate / inRate + 1) * n samples of
  // the output width (integer division). outRight is written only for two output channels.
  // Returns 1.
  int Process(const void* inLeft, const void* inRight, int n, void* outLeft, void* outRight,
              int* outCount);

  // At the end of the stream: writes what the rate converter still holds back, so that the
  // output holds the source's length at the new rate (to the nearest sample), at most
  // `capacity` samples per channel, and stores their count. Nothing when the rates agree.
  // Returns 1.
  int Flush(void* outLeft, void* outRight, int capacity, int* outCount);

  double factor() const { return factor_; }

  // A work buffer that grows to the largest size asked of it and never shrinks, so a
  // steady stream of equal blocks allocates only on its first block.
  class Buffer {
   public:
    void* Reserve(std::size_t bytes);
    std::size_t capacity() const { return capacity_; }

   private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t capacity_ = 0;
  };

 private:
  struct HandleDeleter {
    void operator()(void* handle) const;
  };
  using Handle = std::unique_ptr<void, HandleDeleter>;

  struct Block {
    const void* left;
    const void* right;  // null for one channel
    int n;
    int bits;
  };
  void ToChannels(Block& b, int targetChannels);
  void ToWidth(Block& b, int targetBits);
  // With `flushLimit` at 0 or more, the block is the end of the stream: what the filter
  // still holds comes out, up to that many samples.
  void Resample(Block& b, int flushLimit = -1);
  void ResampleChannel(void* handle, const void* in, int n, int inBits, Buffer& out, int* count,
                       int flushLimit);

  double factor_ = 1.0;
  std::uint64_t inFrames_ = 0, outFrames_ = 0;  // through the rate converter so far
  Handle left_, right_;
  Buffer mix_, widthLeft_, widthRight_, floatIn_, floatOut_, rateLeft_, rateRight_;
};

}  // namespace wavorax
