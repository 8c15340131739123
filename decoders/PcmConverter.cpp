#include "decoders/PcmConverter.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <cstring>

namespace wavorax {

void PcmConverter::SwrDeleter::operator()(SwrContext* s) const { swr_free(&s); }

PcmConverter::PcmConverter() = default;
PcmConverter::~PcmConverter() = default;

void PcmConverter::SetOutput(int format, int rate, int channels) {
  converter_.reset();
  outFormat_ = format;
  outRate_ = rate;
  outChannels_ = channels;
  bytesPerFrame_ = channels * av_get_bytes_per_sample(static_cast<AVSampleFormat>(format));
  inFormat_ = -1;
  inRate_ = inChannels_ = 0;
}

bool PcmConverter::SetUp(int format, int rate, int channels, std::vector<std::uint8_t>& out) {
  // Samples still held by a resampling converter belong before the new block.
  if (!Flush(out)) return false;
  converter_.reset();
  inFormat_ = format;
  inRate_ = rate;
  inChannels_ = channels;
  if (format == outFormat_ && rate == outRate_ && channels == outChannels_)
    return true;  // already interleaved in the output layout
  AVChannelLayout inLayout{}, outLayout{};
  av_channel_layout_default(&inLayout, channels);
  av_channel_layout_default(&outLayout, outChannels_);
  SwrContext* raw = nullptr;
  const int made =
      swr_alloc_set_opts2(&raw, &outLayout, static_cast<AVSampleFormat>(outFormat_), outRate_,
                          &inLayout, static_cast<AVSampleFormat>(format), rate, 0, nullptr);
  av_channel_layout_uninit(&inLayout);
  av_channel_layout_uninit(&outLayout);
  if (made < 0) return false;
  converter_.reset(raw);
  return swr_init(converter_.get()) >= 0;
}

bool PcmConverter::Append(const std::uint8_t* const* planes, int format, int rate, int channels,
                          int samples, std::vector<std::uint8_t>& out) {
  if (bytesPerFrame_ <= 0 || rate <= 0 || channels <= 0 || channels > 64) return false;
  if ((format != inFormat_ || rate != inRate_ || channels != inChannels_) &&
      !SetUp(format, rate, channels, out))
    return false;
  if (samples <= 0) return true;
  if (converter_) return Convert(planes, samples, out);
  const std::size_t bytes = static_cast<std::size_t>(samples) * bytesPerFrame_;
  const std::size_t at = out.size();
  out.resize(at + bytes);
  std::memcpy(out.data() + at, planes[0], bytes);
  return true;
}

bool PcmConverter::Convert(const std::uint8_t* const* input, int samples,
                           std::vector<std::uint8_t>& out) {
  const int room = swr_get_out_samples(converter_.get(), samples);
  if (room < 0) return false;
  if (room == 0) return true;
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(room) * bytesPerFrame_);
  std::uint8_t* dest = out.data() + at;
  const int done =
      swr_convert(converter_.get(), &dest, room, const_cast<const std::uint8_t**>(input), samples);
  if (done < 0) {
    out.resize(at);
    return false;
  }
  out.resize(at + static_cast<std::size_t>(done) * bytesPerFrame_);
  return true;
}

bool PcmConverter::Flush(std::vector<std::uint8_t>& out) {
  // Only a converter that changes the rate holds samples back.
  if (!converter_ || inRate_ == outRate_) return true;
  const bool ok = Convert(nullptr, 0, out);
  converter_.reset();
  // The next block sets a converter up again, even in the same layout.
  inFormat_ = -1;
  inRate_ = inChannels_ = 0;
  return ok;
}

}  // namespace wavorax
