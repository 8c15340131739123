#include "encoders/alac/AlacEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <filesystem>

#include "base/Utf8.h"

namespace wavorax {

namespace {

bool InRange(const std::int32_t* s, int count, std::int32_t lo, std::int32_t hi) {
  std::int32_t min = 0, max = 0;
  for (int i = 0; i < count; ++i) {
    min = std::min(min, s[i]);
    max = std::max(max, s[i]);
  }
  return min >= lo && max <= hi;
}

}  // namespace

CAlacEncoder::~CAlacEncoder() { Close(); }

bool CAlacEncoder::Open(const std::string& path, int sampleRate, int channels, int bitsPerSample) {
  Close();
  if (sampleRate < 1 || sampleRate > kMaxRate || channels < 1 || channels > 2) return false;
  if (bitsPerSample != 16 && bitsPerSample != 24) return false;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_ALAC);
  if (!codec) return false;
  codec_.reset(avcodec_alloc_context3(codec));
  frame_.reset(av_frame_alloc());
  packet_.reset(av_packet_alloc());
  if (!codec_ || !frame_ || !packet_) return Close(), false;
  AVCodecContext* c = codec_.get();
  c->sample_rate = sampleRate;
  // 24-bit samples travel in the high bits of 32-bit planes, which the encoder shifts down.
  c->sample_fmt = bitsPerSample == 16 ? AV_SAMPLE_FMT_S16P : AV_SAMPLE_FMT_S32P;
  c->bits_per_raw_sample = bitsPerSample;
  c->time_base = AVRational{1, sampleRate};
  av_channel_layout_default(&c->ch_layout, channels);
  if (avcodec_open2(c, codec, nullptr) < 0 || c->frame_size <= 0 || c->extradata_size != 36)
    return Close(), false;
  frame_->nb_samples = c->frame_size;
  frame_->format = c->sample_fmt;
  frame_->sample_rate = sampleRate;
  if (av_channel_layout_copy(&frame_->ch_layout, &c->ch_layout) < 0 ||
      av_frame_get_buffer(frame_.get(), 0) < 0)
    return Close(), false;

  container_ = MP4Create(path);
  if (!container_) return Close(), false;
  // The extradata is the whole 'alac' atom; the configuration follows its 12-byte header.
  track_ = MP4AddALACAudioTrack(container_.get(), c->extradata + 12, 24);
  if (track_ == MP4_INVALID_TRACK_ID) {
    // The file exists by now; without a track it is of no use, and the pipeline does not
    // clean up after a failed Open.
    MP4Close(container_);
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) std::filesystem::remove(path, ec);
    return Close(), false;
  }
  channels_ = channels;
  bits_ = bitsPerSample;
  return true;
}

bool CAlacEncoder::SetMetadata(std::string_view title, std::string_view artist,
                               std::string_view album, std::string_view genre,
                               std::string_view year, std::string_view comment, int track) {
  return container_ &&
         MP4SetMetadataTexts(container_.get(), title, artist, album, genre, year, comment, track);
}

bool CAlacEncoder::SetCoverArt(std::span<const std::uint8_t> picture) {
  return container_ && MP4SetMetadataCoverArt(container_.get(), picture);
}

bool CAlacEncoder::SetSourceSeconds(std::uint64_t seconds) {
  return container_ && MP4SetCompactIndex(container_.get(), seconds > kMp4CompactIndexSeconds);
}

bool CAlacEncoder::SetFreeForm(std::string_view name, std::string_view value) {
  if (!container_ || !IsValidUtf8(name) || !IsValidUtf8(value)) return false;
  return MP4SetMetadataFreeForm(container_.get(), name, value);
}

bool CAlacEncoder::Encode(bool last) {
  AVCodecContext* c = codec_.get();
  if (fill_ > 0) {
    frame_->nb_samples = fill_;
    frame_->pts = static_cast<std::int64_t>(samples_ - static_cast<std::uint64_t>(fill_));
    const int rc = avcodec_send_frame(c, frame_.get());
    frame_->nb_samples = c->frame_size;
    fill_ = 0;
    if (rc < 0) return false;
  }
  if (last && avcodec_send_frame(c, nullptr) < 0) return false;
  for (;;) {
    const int rc = avcodec_receive_packet(c, packet_.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) return false;
    const bool ok = packet_->duration > 0 &&
                    MP4WriteSample(container_.get(), track_, packet_->data,
                                   static_cast<std::uint32_t>(packet_->size),
                                   static_cast<MP4Duration>(packet_->duration), 0, true);
    av_packet_unref(packet_.get());
    if (!ok) return false;
  }
}

bool CAlacEncoder::Write(const std::int32_t* left, const std::int32_t* right, int count) {
  if (!container_ || failed_ || count < 0) return false;
  if (count == 0) return true;
  if (!left || (channels_ == 2 && !right)) return false;
  const std::int32_t hi = (std::int32_t{1} << (bits_ - 1)) - 1, lo = -hi - 1;
  if (!InRange(left, count, lo, hi) || (channels_ == 2 && !InRange(right, count, lo, hi)))
    return false;
  const std::int32_t* planes[2] = {left, right};
  const int frameSize = codec_->frame_size;
  for (int done = 0; done < count;) {
    // The encoder may still hold the last frame's buffers.
    if (fill_ == 0 && av_frame_make_writable(frame_.get()) < 0) return failed_ = true, false;
    const int n = std::min(frameSize - fill_, count - done);
    for (int ch = 0; ch < channels_; ++ch) {
      const std::int32_t* in = planes[ch] + done;
      if (bits_ == 16) {
        auto* out = reinterpret_cast<std::int16_t*>(frame_->extended_data[ch]) + fill_;
        for (int i = 0; i < n; ++i) out[i] = static_cast<std::int16_t>(in[i]);
      } else {
        auto* out = reinterpret_cast<std::int32_t*>(frame_->extended_data[ch]) + fill_;
        for (int i = 0; i < n; ++i) out[i] = in[i] * 256;
      }
    }
    fill_ += n;
    done += n;
    samples_ += static_cast<std::uint64_t>(n);
    if (fill_ == frameSize && !Encode(false)) return failed_ = true, false;
  }
  return true;
}

bool CAlacEncoder::Close() {
  if (!container_) {
    codec_.reset();
    frame_.reset();
    packet_.reset();
    return true;
  }
  // The muxer leaves a track without samples out, and a file without its track is no output.
  bool ok = !failed_ && samples_ > 0 && Encode(true);
  ok = MP4Close(container_) && ok;
  codec_.reset();
  frame_.reset();
  packet_.reset();
  track_ = MP4_INVALID_TRACK_ID;
  channels_ = bits_ = fill_ = 0;
  samples_ = 0;
  failed_ = false;
  return ok;
}

}  // namespace wavorax
