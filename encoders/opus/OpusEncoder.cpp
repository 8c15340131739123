#include "encoders/opus/OpusEncoder.h"

#include <opus/opusenc.h>

#include <algorithm>
#include <random>

#include "encoders/vorbiscomment/VorbisComment.h"

namespace wavorax {

namespace {

// Samples per channel converted and handed to libopusenc in one call.
constexpr int kChunk = 4096;

struct CommentsDeleter {
  void operator()(OggOpusComments* c) const { ope_comments_destroy(c); }
};

std::uint32_t RandomSerial() {
  std::random_device device;
  return static_cast<std::uint32_t>(device());
}

}  // namespace

struct OpusCallbacks {
  static int Write(void* data, const unsigned char* ptr, opus_int32 len) {
    auto* self = static_cast<COpusEncoder*>(data);
    if (len < 0 || !self->file_.Write(ptr, static_cast<std::size_t>(len))) {
      self->failed_ = true;
      return 1;
    }
    return 0;
  }
  // libopusenc closes the stream after its last page.
  static int Close(void* data) {
    auto* self = static_cast<COpusEncoder*>(data);
    self->closedByEncoder_ = true;
    if (!self->file_.Close()) {
      self->failed_ = true;
      return 1;
    }
    return 0;
  }
};

void COpusEncoder::EncoderDeleter::operator()(OggOpusEnc* e) const { ope_encoder_destroy(e); }

COpusEncoder::~COpusEncoder() { Close(); }

bool COpusEncoder::Open(const std::string& path, int inputRate, int channels, int bitsPerSample,
                        const OpusOptions& options) {
  Close();
  if (inputRate < kMinRate || inputRate > kMaxRate || channels < 1 || channels > 2) return false;
  if (bitsPerSample < 8 || bitsPerSample > 32) return false;
  if (options.bitRateKbps < kMinKbpsPerChannel * channels ||
      options.bitRateKbps > kMaxKbpsPerChannel * channels)
    return false;
  if (!file_.Create(path)) return false;
  rate_ = inputRate;
  channels_ = channels;
  bits_ = bitsPerSample;
  options_ = options;
  if (options_.serial == 0) options_.serial = RandomSerial();
  return true;
}

bool COpusEncoder::SetTags(const AudioTags& tags) {
  if (!file_.IsOpen() || encoder_) return false;
  tags_ = tags;
  return true;
}

bool COpusEncoder::Begin() {
  // The tags go into the header that libopusenc builds when it is created.
  std::unique_ptr<OggOpusComments, CommentsDeleter> comments(ope_comments_create());
  if (!comments) return false;
  for (const std::string& entry : VorbisCommentEntries(tags_, true))
    if (ope_comments_add_string(comments.get(), entry.c_str()) != OPE_OK) return false;
  static const OpusEncCallbacks kCallbacks = {OpusCallbacks::Write, OpusCallbacks::Close};
  int error = OPE_OK;
  encoder_.reset(
      ope_encoder_create_callbacks(&kCallbacks, this, comments.get(), rate_, channels_, 0, &error));
  if (!encoder_ || error != OPE_OK) return false;
  OggOpusEnc* e = encoder_.get();
  const int signal =
      options_.signal == OpusOptions::Signal::Speech ? OPUS_SIGNAL_VOICE : OPUS_SIGNAL_MUSIC;
  // The settings opusenc makes for the same choices: 20 ms frames, unconstrained VBR or hard
  // CBR, the highest complexity, and the input's depth so that the encoder spends no bits on
  // noise below it. The frame duration must be set: libopusenc 0.2 leaves the value that it
  // consults at the end of the stream uninitialised otherwise.
  bool ok =
      ope_encoder_ctl(e, OPUS_SET_EXPERT_FRAME_DURATION(OPUS_FRAMESIZE_20_MS)) == OPE_OK &&
      ope_encoder_ctl(e, OPE_SET_SERIALNO(static_cast<opus_int32>(options_.serial))) == OPE_OK &&
      ope_encoder_ctl(e, OPUS_SET_BITRATE(options_.bitRateKbps * 1000)) == OPE_OK &&
      ope_encoder_ctl(e, OPUS_SET_VBR(options_.vbr ? 1 : 0)) == OPE_OK &&
      ope_encoder_ctl(e, OPUS_SET_SIGNAL(signal)) == OPE_OK &&
      ope_encoder_ctl(e, OPUS_SET_COMPLEXITY(10)) == OPE_OK &&
      ope_encoder_ctl(e, OPUS_SET_LSB_DEPTH(std::clamp(bits_, 8, 24))) == OPE_OK;
  if (ok && options_.vbr) ok = ope_encoder_ctl(e, OPUS_SET_VBR_CONSTRAINT(0)) == OPE_OK;
  return ok;
}

bool COpusEncoder::Write(const std::int32_t* left, const std::int32_t* right, int count) {
  if (!file_.IsOpen() || closedByEncoder_ || count < 0 || failed_) return false;
  if (count == 0) return true;
  if (!left || (channels_ == 2 && !right)) return false;
  // A failed setup or encode is not retried: the file is lost either way.
  if (!encoder_ && !Begin()) return failed_ = true, false;
  const float scale = 1.0f / static_cast<float>(std::uint64_t{1} << (bits_ - 1));
  interleaved_.resize(static_cast<std::size_t>(kChunk) * channels_);
  for (int done = 0; done < count; done += kChunk) {
    const int n = std::min(kChunk, count - done);
    float* out = interleaved_.data();
    if (channels_ == 1) {
      for (int i = 0; i < n; ++i)
        out[i] = std::clamp(static_cast<float>(left[done + i]) * scale, -1.0f, 1.0f);
    } else {
      for (int i = 0; i < n; ++i) {
        out[2 * i] = std::clamp(static_cast<float>(left[done + i]) * scale, -1.0f, 1.0f);
        out[2 * i + 1] = std::clamp(static_cast<float>(right[done + i]) * scale, -1.0f, 1.0f);
      }
    }
    if (ope_encoder_write_float(encoder_.get(), out, n) != OPE_OK || failed_)
      return failed_ = true, false;
    samples_ += static_cast<std::uint64_t>(n);
  }
  return true;
}

bool COpusEncoder::Close() {
  if (!file_.IsOpen() && !encoder_) return true;
  bool ok = !failed_;
  if (ok && !encoder_) ok = Begin();  // an empty stream is still a complete file
  if (encoder_) {
    // libopusenc 0.2 sets up a stream's length and pre-skip only in its write calls, so
    // that draining a stream without samples reads them uninitialised (and may trip an
    // assertion). An empty write sets them up.
    const float none[2] = {0.0f, 0.0f};
    if (ok && samples_ == 0) ok = ope_encoder_write_float(encoder_.get(), none, 0) == OPE_OK;
    // Drain writes the last pages and has the stream closed through the callback.
    if (ok) ok = ope_encoder_drain(encoder_.get()) == OPE_OK;
    encoder_.reset();
  }
  ok = file_.Close() && closedByEncoder_ && !failed_ && ok;
  tags_ = AudioTags{};
  options_ = OpusOptions{};
  rate_ = channels_ = bits_ = 0;
  failed_ = closedByEncoder_ = false;
  samples_ = 0;
  interleaved_.clear();
  return ok;
}

}  // namespace wavorax
