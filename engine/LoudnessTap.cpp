#include "engine/LoudnessTap.h"

#include <algorithm>

#include "engine/loudness/Gain.h"

namespace wavorax {

CLoudnessTap::CLoudnessTap(bool measure, double gainDb)
    : measure_(measure), gainDb_(gainDb), factor_(DbToFactor(gainDb)) {}

void CLoudnessTap::Open(int rate, int channels, int meterChannels) {
  channels_ = channels;
  if (meterChannels <= 0) meterChannels = channels;
  mix_ = channels == 2 && meterChannels == 1;
  if (measure_) meter_.emplace(rate, meterChannels);
}

void CLoudnessTap::Process16(std::int16_t* left, std::int16_t* right, int n) {
  if (gainDb_ != 0.0) ApplyGain16(left, right, n, channels_, factor_);
  if (!meter_) return;
  if (!mix_) {
    meter_->Add16(left, right, n);
    return;
  }
  // LAME's mono mode hears (L + R) / 2.
  mix16_.resize(std::size_t(n));
  for (int i = 0; i < n; ++i) mix16_[i] = static_cast<std::int16_t>((int{left[i]} + right[i]) / 2);
  meter_->Add16(mix16_.data(), nullptr, n);
}

void CLoudnessTap::Process8(std::uint8_t* left, std::uint8_t* right, int n) {
  std::uint8_t* planes[2] = {left, right};
  for (int c = 0; c < channels_; ++c) {
    wide8_[c].resize(std::size_t(n));
    for (int i = 0; i < n; ++i) wide8_[c][i] = std::int32_t{planes[c][i]} - 128;
  }
  std::int32_t* r = channels_ == 2 ? wide8_[1].data() : nullptr;
  if (gainDb_ != 0.0) {
    ApplyGain32(wide8_[0].data(), r, n, channels_, 8, factor_);
    for (int c = 0; c < channels_; ++c)
      for (int i = 0; i < n; ++i) planes[c][i] = static_cast<std::uint8_t>(wide8_[c][i] + 128);
  }
  if (meter_) meter_->Add32(wide8_[0].data(), r, n, 8);
}

void CLoudnessTap::Gain32(std::int32_t* left, std::int32_t* right, int n, int width) {
  if (gainDb_ != 0.0) ApplyGain32(left, right, n, channels_, width, factor_);
}

void CLoudnessTap::Measure32(const std::int32_t* left, const std::int32_t* right, int n,
                             int width) {
  if (meter_) meter_->Add32(left, right, n, width);
}

std::optional<LoudnessResult> CLoudnessTap::Result() const {
  if (!meter_) return std::nullopt;
  return meter_->Result();
}

std::optional<CLoudnessMeter> CLoudnessTap::TakeMeter() {
  std::optional<CLoudnessMeter> meter = std::move(meter_);
  meter_.reset();
  return meter;
}

}  // namespace wavorax
