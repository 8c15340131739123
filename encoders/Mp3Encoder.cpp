#include "encoders/Mp3Encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <shared_mutex>

namespace wavorax {

namespace {

// lame_init_params fills tables that LAME keeps for the whole process (pow43, pow20 and
// others), every time, and the encoding calls of every context read them. The command-line
// front end encodes several files at once, so initialisation takes this lock alone and
// encoding takes it shared: no table is ever rewritten while another encoder reads it.
std::shared_mutex& LameTablesLock() {
  static std::shared_mutex lock;
  return lock;
}

}  // namespace

void CMp3Encoder::LameCloser::operator()(lame_global_struct* gf) const { lame_close(gf); }

CMp3Encoder::CMp3Encoder() : output_(kOutputBufferSize) {}

CMp3Encoder::~CMp3Encoder() { Close(); }

bool CMp3Encoder::Open(const std::string& path) {
  Close();
  // The context comes first: when LAME cannot be set up, no file is created or truncated.
  {
    std::unique_lock lock(LameTablesLock());
    lame_.reset(lame_init());
  }
  if (!lame_) return false;
  if (!file_.Create(path)) {
    lame_.reset();
    return false;
  }
  return true;
}

void CMp3Encoder::SetId3v1Tag(const std::uint8_t* block) {
  if (!block) return;
  Id3v1Block copy;
  std::memcpy(copy.data(), block, copy.size());
  id3v1_ = copy;
}

void CMp3Encoder::SetId3v2Tag(const std::uint8_t* block, std::uint32_t length) {
  if (!block) length = 0;
  id3v2_.assign(block, block + length);
}

void CMp3Encoder::SetInputSampleRate(int hz) {
  if (lame_) lame_set_in_samplerate(lame_.get(), hz);
}

void CMp3Encoder::SetChannels(int channels) {
  if (lame_) lame_set_num_channels(lame_.get(), std::clamp(channels, 1, 2));
}

void CMp3Encoder::SetMode(int mode) {
  if (!lame_) return;
  const MPEG_mode m =
      (mode == JOINT_STEREO || mode == MONO) ? static_cast<MPEG_mode>(mode) : STEREO;
  lame_set_mode(lame_.get(), m);
}

void CMp3Encoder::SetOutputSampleRate(int hz) {
  if (lame_) lame_set_out_samplerate(lame_.get(), hz);
}

void CMp3Encoder::SetBitRate(int kbps) {
  if (lame_) lame_set_brate(lame_.get(), std::clamp(kbps, 8, 320));
}

bool CMp3Encoder::SetVbrQuality(int quality) {
  if (quality < 0 || quality > 9) return false;
  rateControl_ = Mp3RateControl::Vbr;
  vbrQuality_ = quality;
  return true;
}

bool CMp3Encoder::SetAbrBitRate(int kbps) {
  if (kbps < 8 || kbps > 320) return false;
  rateControl_ = Mp3RateControl::Abr;
  abrKbps_ = kbps;
  return true;
}

void CMp3Encoder::SetConstantBitRate() { rateControl_ = Mp3RateControl::Cbr; }

int CMp3Encoder::channels() const { return lame_ ? lame_get_num_channels(lame_.get()) : 0; }
int CMp3Encoder::bitRate() const { return lame_ ? lame_get_brate(lame_.get()) : 0; }
int CMp3Encoder::mode() const { return lame_ ? static_cast<int>(lame_get_mode(lame_.get())) : 0; }

bool CMp3Encoder::WriteBytes(const void* data, std::size_t size) {
  return size == 0 || file_.Write(data, size);
}

bool CMp3Encoder::WriteInfoFrame() {
  // LAME's placeholder is the first frame after the ID3v2 block; the finished frame has
  // the same size.
  std::size_t n;
  {
    std::shared_lock lock(LameTablesLock());
    n = lame_get_lametag_frame(lame_.get(), output_.data(), output_.size());
  }
  if (n == 0 || n > output_.size()) return false;
  return file_.WriteAt(id3v2_.size(), output_.data(), n);
}

bool CMp3Encoder::Start() {
  if (!lame_ || !file_.IsOpen() || started_) return false;
  lame_global_struct* gf = lame_.get();
  if (rateControl_ == Mp3RateControl::Cbr) {
    lame_set_bWriteVbrTag(gf, 0);
    lame_set_VBR(gf, vbr_off);
  } else {
    // As lame's -V and --abr set it up; a constant bit rate chosen before plays no part.
    lame_set_bWriteVbrTag(gf, 1);
    lame_set_brate(gf, 0);
    if (rateControl_ == Mp3RateControl::Vbr) {
      lame_set_VBR(gf, vbr_default);
      lame_set_VBR_quality(gf, static_cast<float>(vbrQuality_));
    } else {
      lame_set_VBR(gf, vbr_abr);
      lame_set_VBR_mean_bitrate_kbps(gf, abrKbps_);
    }
  }
  int rc;
  {
    std::unique_lock lock(LameTablesLock());
    rc = lame_init_params(lame_.get());
  }
  if (rc < 0) return false;
  if (!WriteBytes(id3v2_.data(), id3v2_.size())) return false;
  started_ = true;
  return true;
}

bool CMp3Encoder::Encode(const std::int16_t* left, const std::int16_t* right, int count) {
  if (!started_ || count < 0 || (count > 0 && !left)) return false;
  if (count > 1152) {
    // One call's output must fit the buffer; longer blocks go through in pieces.
    for (int done = 0; done < count; done += 1152) {
      const int n = std::min(1152, count - done);
      if (!Encode(left + done, right ? right + done : nullptr, n)) return false;
    }
    return true;
  }
  if (lame_get_num_channels(lame_.get()) == 2 && count > 0 && !right) return false;
  int n;
  {
    std::shared_lock lock(LameTablesLock());
    n = lame_encode_buffer(lame_.get(), left, right ? right : left, count, output_.data(),
                           kOutputBufferSize);
  }
  if (n < 0) return false;
  return WriteBytes(output_.data(), static_cast<std::size_t>(n));
}

bool CMp3Encoder::Close() {
  if (!file_.IsOpen()) {
    lame_.reset();
    return true;
  }
  bool ok = true;
  if (started_) {
    int n;
    {
      std::shared_lock lock(LameTablesLock());
      n = lame_encode_flush(lame_.get(), output_.data(), kOutputBufferSize);
    }
    if (n < 0)
      ok = false;
    else
      ok = WriteBytes(output_.data(), static_cast<std::size_t>(n));
  }
  if (id3v1_) ok = WriteBytes(id3v1_->data(), id3v1_->size()) && ok;
  if (started_ && ok && rateControl_ != Mp3RateControl::Cbr) ok = WriteInfoFrame();
  // Every write was checked as it went; a close can still report a delayed error.
  const bool closed = file_.Close();
  ok = closed && ok;
  id3v1_.reset();
  id3v2_.clear();
  lame_.reset();
  rateControl_ = Mp3RateControl::Cbr;
  vbrQuality_ = 4;
  abrKbps_ = 128;
  started_ = false;
  return ok;
}

}  // namespace wavorax
