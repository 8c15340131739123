// Writes an Ogg Opus file (RFC 7845) through libopusenc.
//
// Samples arrive planar as signed integers at the source's width (`bitsPerSample`, 8 ... 32;
// full scale is 2^(bits-1)); they are handed on as floats. Opus always codes at 48 kHz:
// libopusenc resamples any other input rate itself, and the header records the input rate
// so that a decoder may return to it.
//
// Length: the last page's granule position is the pre-skip plus ceil(n × 48000 / rate) for
// n input samples per channel, so a decode at 48 kHz yields that many samples (n exactly at
// 48 kHz, n / 2 at 96 kHz) and a decode back at the input rate yields exactly n. Rounding up
// rather than to nearest is what keeps that return trip from losing a sample. The pre-skip
// is the encoder's look-ahead plus the resampler's delay, as libopusenc computes it.
//
// Tags become the OpusTags header, the cover a METADATA_BLOCK_PICTURE comment. Every write
// is checked: a short write (full disk) fails the call that made it, or Close.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "encoders/OutputFile.h"
#include "encoders/vorbiscomment/AudioTags.h"

struct OggOpusEnc;

namespace wavorax {

struct OpusOptions {
  enum class Signal { Music, Speech };

  // The target bit rate of the whole stream in kbit/s, as opusenc's --bitrate takes it:
  // 128 is 128 kbit/s for a stereo stream (64 per channel) and also for a mono one. Valid
  // from 6 to 256 kbit/s per channel, that is 6 ... 256 in mono and 12 ... 512 in stereo.
  int bitRateKbps = 128;
  // Variable bit rate (opusenc's default) or, off, hard constant bit rate.
  bool vbr = true;
  // Tunes the encoder's choices at low bit rates.
  Signal signal = Signal::Music;
  // The Ogg stream's serial number; 0 picks a random one.
  std::uint32_t serial = 0;
};

class COpusEncoder {
 public:
  static constexpr int kMinRate = 8000;
  static constexpr int kMaxRate = 192000;
  static constexpr int kMinKbpsPerChannel = 6;
  static constexpr int kMaxKbpsPerChannel = 256;

  COpusEncoder() = default;
  COpusEncoder(const COpusEncoder&) = delete;
  COpusEncoder& operator=(const COpusEncoder&) = delete;
  virtual ~COpusEncoder();

  // Closes whatever is open, then creates the file. False, creating nothing, for an input
  // rate outside kMinRate ... kMaxRate (the pipeline resamples anything above), channels
  // other than 1 or 2, a width outside 8 ... 32 or a bit rate outside the range above; false
  // when the file cannot be created.
  bool Open(const std::string& path, int inputRate, int channels, int bitsPerSample,
            const OpusOptions& options = {});
  // Between Open and the first Write; a later call replaces the tags. False when closed or
  // after the first Write.
  bool SetTags(const AudioTags& tags);
  // `count` samples per channel; `right` is read only in stereo and may be null in mono.
  // Samples beyond full scale are clipped. False when not open, for a missing channel, on
  // an encoder error or on a failed write.
  bool Write(const std::int32_t* left, const std::int32_t* right, int count);
  // Encodes what is buffered, writes the last page and closes the file. False when any of
  // that fails. True, doing nothing, when nothing is open.
  bool Close();

  std::uint64_t samplesWritten() const { return samples_; }

 private:
  struct EncoderDeleter {
    void operator()(OggOpusEnc* e) const;
  };

  bool Begin();
  friend struct OpusCallbacks;

  OutputFile file_;
  std::unique_ptr<OggOpusEnc, EncoderDeleter> encoder_;
  AudioTags tags_;
  OpusOptions options_;
  int rate_ = 0, channels_ = 0, bits_ = 0;
  bool failed_ = false;
  bool closedByEncoder_ = false;
  std::uint64_t samples_ = 0;
  std::vector<float> interleaved_;
};

}  // namespace wavorax
