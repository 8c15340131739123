// The interleaved input buffer that the AAC and MP4 writers fill from planar decoder blocks
// and hand to the encoder one whole frame at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wavorax {

class AacFrameBuffer {
 public:
  // `inputSamples` counts the samples of all channels in one frame.
  void Reset(int channels, std::size_t inputSamples) {
    channels_ = channels;
    capacity_ = inputSamples;
    // A little slack past the frame, as the encoder's interface has always allowed.
    samples_.assign(inputSamples + 4, 0);
    fill_ = 0;
  }
  void Release() {
    samples_.clear();
    samples_.shrink_to_fit();
    capacity_ = 0;
    fill_ = 0;
  }

  // Appends from position `from` of the caller's block until the block ends or the frame is
  // full, widening each sample with `widen`; returns the new position. Because the frame
  // size is a multiple of the channel count, a stereo pair never straddles two frames.
  template <typename Sample, typename Widen>
  int Append(const Sample* left, const Sample* right, int count, int from, Widen widen) {
    int i = from;
    if (channels_ == 2) {
      while (i < count && fill_ < capacity_) {
        samples_[fill_++] = widen(left[i]);
        samples_[fill_++] = widen(right[i]);
        ++i;
      }
    } else {
      while (i < count && fill_ < capacity_) {
        samples_[fill_++] = widen(left[i]);
        ++i;
      }
    }
    return i;
  }

  // Takes a whole planar block: fills frames and hands each full one to `encodeFrame`, which
  // must empty the buffer. False for a malformed block or when encoding a frame fails.
  template <typename Sample, typename Widen, typename EncodeFrame>
  bool Feed(const Sample* left, const Sample* right, int count, Widen widen,
            EncodeFrame encodeFrame) {
    if (count < 0 || (count > 0 && !left)) return false;
    if (channels_ == 2 && count > 0 && !right) return false;
    int i = 0;
    while (i < count) {
      i = Append(left, right, count, i, widen);
      if (Full() && !encodeFrame()) return false;
    }
    return true;
  }

  bool Full() const { return capacity_ > 0 && fill_ >= capacity_; }
  const std::int16_t* data() const { return samples_.data(); }
  // Samples buffered, all channels counted.
  std::size_t fill() const { return fill_; }
  void Clear() { fill_ = 0; }

 private:
  std::vector<std::int16_t> samples_;
  std::size_t capacity_ = 0;
  std::size_t fill_ = 0;
  int channels_ = 1;
};

// 8-bit PCM is unsigned with silence at 128; the encoder takes signed 16-bit.
inline std::int16_t WidenPcm8(std::uint8_t b) {
  return static_cast<std::int16_t>((static_cast<int>(b) - 128) * 256);
}
inline std::int16_t KeepPcm16(std::int16_t s) { return s; }

}  // namespace wavorax
