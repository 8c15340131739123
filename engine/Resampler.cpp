#include "engine/Resampler.h"

#include <libresample.h>

#include <algorithm>
#include <cstring>

namespace wavorax {

void* CResampler::Buffer::Reserve(std::size_t bytes) {
  if (bytes > capacity_) {
    data_.reset();
    data_.reset(new std::uint8_t[bytes]);
    capacity_ = bytes;
  }
  return data_.get();
}

void CResampler::HandleDeleter::operator()(void* handle) const {
  if (handle) resample_close(handle);
}

CResampler::CResampler() = default;
CResampler::~CResampler() = default;

void CResampler::Init() {
  if (inSampleRate == outSampleRate || inSampleRate <= 0 || outSampleRate <= 0) return;
  factor_ = static_cast<double>(outSampleRate) / inSampleRate;
  left_.reset(resample_open(1, factor_, factor_));
  if (outChannels == 2) right_.reset(resample_open(1, factor_, factor_));
}

// Down-mix to one channel, or duplicate one channel into two.
void CResampler::ToChannels(Block& b, int targetChannels) {
  const bool stereo = b.right != nullptr;
  if (targetChannels == 2 && !stereo) {
    b.right = b.left;
  } else if (targetChannels == 1 && stereo) {
    if (b.bits == 16) {
      auto* out = static_cast<std::int16_t*>(mix_.Reserve(std::size_t(b.n) * 2));
      const auto* l = static_cast<const std::int16_t*>(b.left);
      const auto* r = static_cast<const std::int16_t*>(b.right);
      // Shifting the signed sum rounds toward minus infinity, as an arithmetic mean of
      // integers should when it must pick one side.
      for (int i = 0; i < b.n; ++i)
        out[i] = static_cast<std::int16_t>((int(l[i]) + int(r[i])) >> 1);
      b.left = out;
    } else {
      auto* out = static_cast<std::uint8_t*>(mix_.Reserve(std::size_t(b.n)));
      const auto* l = static_cast<const std::uint8_t*>(b.left);
      const auto* r = static_cast<const std::uint8_t*>(b.right);
      for (int i = 0; i < b.n; ++i)
        out[i] = static_cast<std::uint8_t>((unsigned(l[i]) + unsigned(r[i])) >> 1);
      b.left = out;
    }
    b.right = nullptr;
  }
}

namespace {

void Widen(const std::uint8_t* in, std::int16_t* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = static_cast<std::int16_t>((int(in[i]) - 128) * 256);
}

void Narrow(const std::int16_t* in, std::uint8_t* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>((in[i] >> 8) + 128);
}

}  // namespace

void CResampler::ToWidth(Block& b, int targetBits) {
  if (b.bits == targetBits) return;
  const bool stereo = b.right != nullptr && b.right != b.left;
  const bool duplicated = b.right != nullptr && b.right == b.left;
  if (targetBits == 16) {
    auto* l = static_cast<std::int16_t*>(widthLeft_.Reserve(std::size_t(b.n) * 2));
    Widen(static_cast<const std::uint8_t*>(b.left), l, b.n);
    b.left = l;
    if (stereo) {
      auto* r = static_cast<std::int16_t*>(widthRight_.Reserve(std::size_t(b.n) * 2));
      Widen(static_cast<const std::uint8_t*>(b.right), r, b.n);
      b.right = r;
    }
  } else {
    auto* l = static_cast<std::uint8_t*>(widthLeft_.Reserve(std::size_t(b.n)));
    Narrow(static_cast<const std::int16_t*>(b.left), l, b.n);
    b.left = l;
    if (stereo) {
      auto* r = static_cast<std::uint8_t*>(widthRight_.Reserve(std::size_t(b.n)));
      Narrow(static_cast<const std::int16_t*>(b.right), r, b.n);
      b.right = r;
    }
  }
  if (duplicated) b.right = b.left;
  b.bits = targetBits;
}

void CResampler::ResampleChannel(void* handle, const void* in, int n, int inBits, Buffer& out,
                                 int* count, int flushLimit) {
  const bool last = flushLimit >= 0;
  auto* fin = static_cast<float*>(
      floatIn_.Reserve(std::max<std::size_t>(std::size_t(n), 1) * sizeof(float)));
  if (inBits == 16) {
    const auto* s = static_cast<const std::int16_t*>(in);
    for (int i = 0; i < n; ++i) fin[i] = s[i] * (1.0f / 32768.0f);
  } else {
    const auto* s = static_cast<const std::uint8_t*>(in);
    for (int i = 0; i < n; ++i) fin[i] = (int(s[i]) - 128) * (1.0f / 128.0f);
  }
  const int capacity = last ? flushLimit : (outSampleRate / inSampleRate + 1) * n;
  auto* fout = static_cast<float*>(
      floatOut_.Reserve(std::max<std::size_t>(std::size_t(capacity), 1) * sizeof(float)));
  int m = 0;
  if (handle && !last) {
    int used = 0;
    m = std::max(resample_process(handle, factor_, fin, n, 0, &used, fout, capacity), 0);
  }
  // At the end the filter gives up what it holds back, padded with silence, for as long as
  // it is asked: only the source's own length is taken.
  while (handle && last && m < capacity) {
    int used = 0;
    const int got = resample_process(handle, factor_, fin, 0, 1, &used, fout + m, capacity - m);
    if (got <= 0) break;
    m += got;
  }
  if (outBitsPerSample == 16) {
    auto* o = static_cast<std::int16_t*>(
        out.Reserve(std::max<std::size_t>(std::size_t(capacity), 1) * 2));
    for (int i = 0; i < m; ++i)
      o[i] =
          static_cast<std::int16_t>(static_cast<int>(std::clamp(fout[i], -1.0f, 1.0f) * 32767.0f));
  } else {
    auto* o =
        static_cast<std::uint8_t*>(out.Reserve(std::max<std::size_t>(std::size_t(capacity), 1)));
    for (int i = 0; i < m; ++i)
      o[i] = static_cast<std::uint8_t>(128 +
                                       static_cast<int>(std::clamp(fout[i], -1.0f, 1.0f) * 127.0f));
  }
  *count = m;
}

void CResampler::Resample(Block& b, int flushLimit) {
  if (inChannels != outChannels && outChannels == 1) ToChannels(b, 1);
  int m = 0;
  ResampleChannel(left_.get(), b.left, b.n, b.bits, rateLeft_, &m, flushLimit);
  const void* left = rateLeft_.Reserve(0);
  const void* right = nullptr;
  if (b.right) {
    ResampleChannel(right_.get(), b.right, b.n, b.bits, rateRight_, &m, flushLimit);
    right = rateRight_.Reserve(0);
  }
  inFrames_ += static_cast<std::uint64_t>(b.n);
  outFrames_ += static_cast<std::uint64_t>(m);
  b.left = left;
  b.right = right;
  b.n = m;
  b.bits = outBitsPerSample;
  if (outChannels == 2 && inChannels == 1) b.right = b.left;
}

int CResampler::Flush(void* outLeft, void* outRight, int capacity, int* outCount) {
  if (outCount) *outCount = 0;
  if (inSampleRate == outSampleRate || !left_) return 1;
  // The whole stream holds its length at the new rate, rounded to the nearest sample.
  const std::uint64_t expected =
      (inFrames_ * std::uint64_t(outSampleRate) + std::uint64_t(inSampleRate) / 2) /
      std::uint64_t(inSampleRate);
  const std::uint64_t missing = expected > outFrames_ ? expected - outFrames_ : 0;
  const int limit = static_cast<int>(std::min<std::uint64_t>(missing, std::max(capacity, 0)));
  if (limit == 0) return 1;
  // The tail comes out at the output's width and channels, like any block.
  static const std::int16_t kNothing = 0;
  Block b{&kNothing, inChannels == 2 && outChannels == 2 ? &kNothing : nullptr, 0, 16};
  Resample(b, limit);
  const std::size_t bytes = std::size_t(b.n) * (outBitsPerSample == 16 ? 2 : 1);
  if (outLeft && b.left && bytes) std::memcpy(outLeft, b.left, bytes);
  if (outChannels == 2 && outRight && bytes)
    std::memcpy(outRight, b.right ? b.right : b.left, bytes);
  if (outCount) *outCount = b.n;
  return 1;
}

int CResampler::Process(const void* inLeft, const void* inRight, int n, void* outLeft,
                        void* outRight, int* outCount) {
  Block b{inLeft, inChannels == 2 ? inRight : nullptr, std::max(n, 0), inBitsPerSample};
  if (inSampleRate != outSampleRate) {
    Resample(b);
  } else {
    ToWidth(b, outBitsPerSample);
    if (inChannels != outChannels) ToChannels(b, outChannels);
  }
  const std::size_t bytes = std::size_t(b.n) * (outBitsPerSample == 16 ? 2 : 1);
  if (outLeft && b.left && bytes) std::memcpy(outLeft, b.left, bytes);
  if (outChannels == 2 && outRight && bytes)
    std::memcpy(outRight, b.right ? b.right : b.left, bytes);
  if (outCount) *outCount = b.n;
  return 1;
}

}  // namespace wavorax
