#include "encoders/AacEncoder.h"

namespace wavorax {

CAacEncoder::~CAacEncoder() { Close(); }

bool CAacEncoder::Open(const std::string& path, int sampleRate, int channels, int bitsPerSample) {
  Close();
  if (sampleRate <= 0 || channels <= 0) return false;
  sampleRate_ = sampleRate;
  channels_ = channels;
  bitsPerSample_ = bitsPerSample;
  // The encoder comes first, so that a rate or channel count it cannot take leaves no
  // empty file behind (the pipeline does not delete after a failed Open).
  encoder_ = OpenWriterEncoder(sampleRate, channels, 1 /* ADTS */, &config_, &inputSamples_,
                               &maxOutputBytes_);
  if (!encoder_) return false;
  return file_.Create(path);
}

faacEncConfigurationPtr CAacEncoder::GetConfiguration() { return config_; }

bool CAacEncoder::Start() {
  if (!encoder_ || !config_ || !file_.IsOpen() || started_) return false;
  // Samples go in as 16-bit whatever the record says: that is what the buffer holds.
  config_->inputFormat = FAAC_INPUT_16BIT;
  if (!faacEncSetConfiguration(encoder_.get(), config_)) return false;
  input_.Reset(channels_, inputSamples_);
  output_.assign(maxOutputBytes_, 0);
  samplesEncoded_ = 0;
  started_ = true;
  return true;
}

bool CAacEncoder::EncodeBuffered(int& produced) {
  samplesEncoded_ += input_.fill();
  produced = faacEncEncode(encoder_.get(), input_.data(), static_cast<unsigned int>(input_.fill()),
                           output_.data(), static_cast<unsigned int>(output_.size()));
  input_.Clear();
  if (produced < 0) return false;
  return produced == 0 || file_.Write(output_.data(), static_cast<std::size_t>(produced));
}

template <typename Sample, typename Widen>
bool CAacEncoder::Feed(const Sample* left, const Sample* right, int count, Widen widen) {
  if (!started_) return false;
  return input_.Feed(left, right, count, widen, [this] {
    int produced;
    return EncodeBuffered(produced);
  });
}

bool CAacEncoder::Write16(const std::int16_t* left, const std::int16_t* right, int count) {
  return Feed(left, right, count, KeepPcm16);
}

bool CAacEncoder::Write8(const std::uint8_t* left, const std::uint8_t* right, int count) {
  return Feed(left, right, count, WidenPcm8);
}

bool CAacEncoder::Close() {
  bool ok = true;
  if (started_ && encoder_ && file_.IsOpen()) {
    // The rest of the input, then empty calls until the encoder has nothing left.
    int produced = 0;
    ok = EncodeBuffered(produced);
    while (ok && produced > 0) ok = EncodeBuffered(produced);
  }
  ok = file_.Close() && ok;
  faacEncClose(encoder_);
  config_ = nullptr;
  input_.Release();
  output_.clear();
  output_.shrink_to_fit();
  sampleRate_ = channels_ = bitsPerSample_ = 0;
  inputSamples_ = maxOutputBytes_ = 0;
  samplesEncoded_ = 0;
  started_ = false;
  return ok;
}

}  // namespace wavorax
