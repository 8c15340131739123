#include "encoders/vorbis/VorbisEncoder.h"

#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <random>
#include <vector>

#include "encoders/vorbiscomment/VorbisComment.h"

namespace wavorax {

namespace {

// Samples per channel handed to the analysis in one call.
constexpr int kChunk = 4096;

}  // namespace

// The libvorbis and libogg states, each cleared in the reverse order of its setup.
struct CVorbisEncoder::State {
  vorbis_info info{};
  vorbis_dsp_state dsp{};
  vorbis_block block{};
  ogg_stream_state stream{};
  bool infoReady = false, dspReady = false, blockReady = false, streamReady = false;

  ~State() {
    if (streamReady) ogg_stream_clear(&stream);
    if (blockReady) vorbis_block_clear(&block);
    if (dspReady) vorbis_dsp_clear(&dsp);
    if (infoReady) vorbis_info_clear(&info);
  }
};

void CVorbisEncoder::StateDeleter::operator()(State* s) const { delete s; }

CVorbisEncoder::CVorbisEncoder() = default;

CVorbisEncoder::~CVorbisEncoder() { Close(); }

bool CVorbisEncoder::Open(const std::string& path, int sampleRate, int channels, int bitsPerSample,
                          const VorbisOptions& options) {
  Close();
  if (sampleRate < kMinRate || sampleRate > kMaxRate || channels < 1 || channels > 2) return false;
  if (bitsPerSample < 8 || bitsPerSample > 32) return false;
  if (!(options.quality >= -1.0 && options.quality <= 10.0)) return false;
  if (options.averageKbps != 0 &&
      (options.averageKbps < kMinAverageKbps || options.averageKbps > kMaxAverageKbps))
    return false;

  std::unique_ptr<State, StateDeleter> s(new State);
  vorbis_info_init(&s->info);
  s->infoReady = true;
  const int rc =
      options.averageKbps != 0
          ? vorbis_encode_init(&s->info, channels, sampleRate, -1, options.averageKbps * 1000L, -1)
          : vorbis_encode_init_vbr(&s->info, channels, sampleRate,
                                   static_cast<float>(options.quality / 10.0));
  if (rc != 0) return false;
  if (vorbis_analysis_init(&s->dsp, &s->info) != 0) return false;
  s->dspReady = true;
  if (vorbis_block_init(&s->dsp, &s->block) != 0) return false;
  s->blockReady = true;
  std::uint32_t serial = options.serial;
  if (serial == 0) serial = static_cast<std::uint32_t>(std::random_device()());
  if (ogg_stream_init(&s->stream, static_cast<int>(serial)) != 0) return false;
  s->streamReady = true;

  if (!file_.Create(path)) return false;
  state_ = std::move(s);
  channels_ = channels;
  bits_ = bitsPerSample;
  return true;
}

bool CVorbisEncoder::SetTags(const AudioTags& tags) {
  if (!state_ || headersWritten_) return false;
  tags_ = tags;
  return true;
}

bool CVorbisEncoder::WriteHeaders() {
  State& s = *state_;
  vorbis_comment empty;
  vorbis_comment_init(&empty);
  ogg_packet id, comment, books;
  const int rc = vorbis_analysis_headerout(&s.dsp, &empty, &id, &comment, &books);
  vorbis_comment_clear(&empty);
  if (rc != 0) return false;
  // The comment header is ours, with libvorbis's vendor text taken from the one it made:
  // 0x03 "vorbis", then the vendor's length and text.
  std::string vendor;
  if (comment.bytes >= 11) {
    const unsigned char* p = comment.packet;
    const std::uint32_t length = p[7] | p[8] << 8 | p[9] << 16 | std::uint32_t{p[10]} << 24;
    if (length <= static_cast<std::uint32_t>(comment.bytes) - 11)
      vendor.assign(reinterpret_cast<const char*>(p + 11), length);
  }
  std::vector<std::uint8_t> ours = VorbisCommentPacket(tags_, vendor, CommentPacket::Vorbis, true);
  ogg_packet tagsPacket = comment;
  tagsPacket.packet = ours.data();
  tagsPacket.bytes = static_cast<long>(ours.size());

  ogg_page page;
  auto writePage = [this](const ogg_page& pg) {
    return file_.Write(pg.header, static_cast<std::size_t>(pg.header_len)) &&
           file_.Write(pg.body, static_cast<std::size_t>(pg.body_len));
  };
  if (ogg_stream_packetin(&s.stream, &id) != 0) return false;
  while (ogg_stream_flush(&s.stream, &page) != 0)
    if (!writePage(page)) return false;
  if (ogg_stream_packetin(&s.stream, &tagsPacket) != 0 ||
      ogg_stream_packetin(&s.stream, &books) != 0)
    return false;
  while (ogg_stream_flush(&s.stream, &page) != 0)
    if (!writePage(page)) return false;
  headersWritten_ = true;
  return true;
}

bool CVorbisEncoder::Drain(bool flush) {
  State& s = *state_;
  ogg_packet packet;
  ogg_page page;
  while (vorbis_analysis_blockout(&s.dsp, &s.block) == 1) {
    if (vorbis_analysis(&s.block, nullptr) != 0 || vorbis_bitrate_addblock(&s.block) != 0)
      return false;
    while (vorbis_bitrate_flushpacket(&s.dsp, &packet) == 1) {
      if (ogg_stream_packetin(&s.stream, &packet) != 0) return false;
      while (ogg_stream_pageout(&s.stream, &page) != 0)
        if (!file_.Write(page.header, static_cast<std::size_t>(page.header_len)) ||
            !file_.Write(page.body, static_cast<std::size_t>(page.body_len)))
          return false;
    }
  }
  if (flush) {
    while (ogg_stream_flush(&s.stream, &page) != 0)
      if (!file_.Write(page.header, static_cast<std::size_t>(page.header_len)) ||
          !file_.Write(page.body, static_cast<std::size_t>(page.body_len)))
        return false;
  }
  return true;
}

bool CVorbisEncoder::Write(const std::int32_t* left, const std::int32_t* right, int count) {
  if (!state_ || failed_ || count < 0) return false;
  if (count == 0) return true;
  if (!left || (channels_ == 2 && !right)) return false;
  if (!headersWritten_ && !WriteHeaders()) return failed_ = true, false;
  const float scale = 1.0f / static_cast<float>(std::uint64_t{1} << (bits_ - 1));
  for (int done = 0; done < count; done += kChunk) {
    const int n = std::min(kChunk, count - done);
    float** buffer = vorbis_analysis_buffer(&state_->dsp, n);
    const std::int32_t* planes[2] = {left + done, channels_ == 2 ? right + done : nullptr};
    for (int c = 0; c < channels_; ++c)
      for (int i = 0; i < n; ++i)
        buffer[c][i] = std::clamp(static_cast<float>(planes[c][i]) * scale, -1.0f, 1.0f);
    if (vorbis_analysis_wrote(&state_->dsp, n) != 0 || !Drain(false)) return failed_ = true, false;
    samples_ += static_cast<std::uint64_t>(n);
  }
  return true;
}

bool CVorbisEncoder::Close() {
  if (!state_) return file_.Close();
  bool ok = !failed_;
  if (ok && !headersWritten_) ok = WriteHeaders();  // an empty stream is still a whole file
  // A zero-length write marks the end: libvorbis then finishes the last block and gives
  // the last packet the stream's true length as its granule position.
  if (ok) ok = vorbis_analysis_wrote(&state_->dsp, 0) == 0 && Drain(true);
  ok = file_.Close() && ok;
  state_.reset();
  tags_ = AudioTags{};
  channels_ = bits_ = 0;
  headersWritten_ = failed_ = false;
  samples_ = 0;
  return ok;
}

}  // namespace wavorax
