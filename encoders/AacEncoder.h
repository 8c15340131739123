// Encodes 16-bit PCM (or unsigned 8-bit PCM, widened) to AAC and writes the frames, each
// behind its ADTS header, one after another into a raw .aac file. No container, no tag.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoders/AacCodec.h"
#include "encoders/AacFrameBuffer.h"
#include "encoders/OutputFile.h"

namespace wavorax {

class CAacEncoder {
 public:
  CAacEncoder() = default;
  CAacEncoder(const CAacEncoder&) = delete;
  CAacEncoder& operator=(const CAacEncoder&) = delete;
  virtual ~CAacEncoder();

  // Closes whatever is open, creates the encoder and configures it: low complexity, MPEG-4,
  // no TNS, mid/side allowed, bandwidth chosen by the encoder, ADTS, 16-bit input. Then
  // creates the file. False (with no file created) when the encoder cannot be made for this
  // rate and channel count, or when the file cannot be created.
  bool Open(const std::string& path, int sampleRate, int channels, int bitsPerSample);
  // The encoder's configuration record, for the caller to edit between Open and Start;
  // null while closed.
  faacEncConfigurationPtr GetConfiguration();
  // Applies the configuration; false when the encoder refuses it.
  bool Start();
  // `count` samples per channel; `right` is read only with two channels. Whole frames are
  // encoded and written as they fill; the rest waits for the next call. False when not
  // started, on an encoder error, or when a write falls short (full disk).
  bool Write16(const std::int16_t* left, const std::int16_t* right, int count);
  // 8-bit samples b become (b - 128) x 256.
  bool Write8(const std::uint8_t* left, const std::uint8_t* right, int count);
  // Encodes what is buffered, drains the encoder's delayed frames, closes the file and
  // releases everything. False when any of that fails. True, doing nothing, when closed.
  bool Close();

  int sampleRate() const { return sampleRate_; }
  int channels() const { return channels_; }
  int bitsPerSample() const { return bitsPerSample_; }
  unsigned long inputSamples() const { return inputSamples_; }
  unsigned long maxOutputBytes() const { return maxOutputBytes_; }
  // Samples (all channels) waiting in the input buffer.
  std::size_t fill() const { return input_.fill(); }
  // Samples (all channels) handed to the encoder so far.
  std::uint64_t samplesEncoded() const { return samplesEncoded_; }

 private:
  template <typename Sample, typename Widen>
  bool Feed(const Sample* left, const Sample* right, int count, Widen widen);
  // Hands the buffered samples (possibly none) to the encoder and writes what comes back.
  bool EncodeBuffered(int& produced);

  OutputFile file_;
  FaacEncoderPtr encoder_;
  faacEncConfigurationPtr config_ = nullptr;
  int sampleRate_ = 0;
  int channels_ = 0;
  int bitsPerSample_ = 0;
  unsigned long inputSamples_ = 0;
  unsigned long maxOutputBytes_ = 0;
  AacFrameBuffer input_;
  std::vector<std::uint8_t> output_;
  std::uint64_t samplesEncoded_ = 0;
  bool started_ = false;
};

}  // namespace wavorax
