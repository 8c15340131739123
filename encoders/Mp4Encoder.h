// Encodes PCM to AAC and stores each frame as one sample of a single audio track in an MP4
// file, with metadata items for title, artist, album, year, genre, comment and track number.
// The same writer serves the .mp4, .m4a and .m4b targets: only the file name differs.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoders/AacCodec.h"
#include "encoders/AacFrameBuffer.h"
#include "encoders/Mp4Container.h"

namespace wavorax {

// Timing of the samples handed to the container. Every sample lasts one frame except the
// last ones, which are shortened so that the track's total is the fed sample frames plus
// one frame of encoder delay; the first sample carries that delay as its rendering offset.
// A frame that arrives after the total is reached gets duration 0.
class Mp4SampleClock {
 public:
  struct Sample {
    std::uint64_t duration;
    std::uint64_t renderingOffset;
  };

  explicit Mp4SampleClock(std::uint32_t frameLength = 0)
      : frameLength_(frameLength), maxDuration_(frameLength) {}
  // Sample frames (per channel) handed to the encoder.
  void Feed(std::uint64_t frames) { fed_ += frames; }
  // The timing of the next frame the encoder returned.
  Sample Next() {
    const std::uint64_t remaining = fed_ + frameLength_ - written_;
    const std::uint64_t duration = remaining < maxDuration_ ? remaining : maxDuration_;
    const Sample s{duration, written_ == 0 ? std::uint64_t{frameLength_} : 0};
    written_ += duration;
    return s;
  }
  std::uint64_t fed() const { return fed_; }
  std::uint64_t written() const { return written_; }
  std::uint32_t frameLength() const { return frameLength_; }

 private:
  std::uint32_t frameLength_;
  std::uint32_t maxDuration_;
  std::uint64_t fed_ = 0;
  std::uint64_t written_ = 0;
};

// The iTunSMPB text as iTunes writes it: twelve hex words, each after a space; the second is
// the priming (encoder delay), the third the padding after the last real sample, the fourth
// (16 digits) the number of real samples, the rest zero. The padding is what the stored
// frames hold beyond priming and length, 0 if they hold less.
std::string GaplessInfo(std::uint32_t priming, std::uint64_t frames, std::uint32_t frameLength,
                        std::uint64_t length);

class CMp4Encoder {
 public:
  static constexpr std::uint32_t kMovieTimeScale = 90000;
  static constexpr std::uint8_t kAudioProfileLevel = 0x0F;

  CMp4Encoder() = default;
  CMp4Encoder(const CMp4Encoder&) = delete;
  CMp4Encoder& operator=(const CMp4Encoder&) = delete;
  virtual ~CMp4Encoder();

  // Closes whatever is open, creates the encoder (configured as the AAC writer's, but with
  // raw frames: the container frames them) and then the file. False, with no file created,
  // when the encoder cannot be made; false when the file cannot be created.
  bool Open(const std::string& path, int sampleRate, int channels, int bitsPerSample);
  // The encoder's configuration record, for the caller to edit between Open and Start.
  faacEncConfigurationPtr GetConfiguration();
  // Applies the configuration and sets up the track. False when the encoder refuses the
  // configuration or a container call fails.
  bool Start();
  // Between Start and the first write. Texts are UTF-8; empty ones, and any that is not
  // well-formed UTF-8, are left out. Track 0 writes no track number (nor does one above
  // 65535, which the item cannot hold); others are written with total 0. False when a
  // container call fails.
  bool SetMetadata(std::string_view title, std::string_view artist, std::string_view album,
                   std::string_view genre, std::string_view year, std::string_view comment,
                   int track);
  // The source's length, between Open and the first write: above kMp4CompactIndexSeconds
  // the file is written with the compact index, so that memory stays flat however long the
  // source is. False when the container refuses.
  bool SetSourceSeconds(std::uint64_t seconds);
  // The cover picture (JPEG or PNG), between Open and Close. False, storing nothing, for any
  // other picture.
  bool SetCoverArt(std::span<const std::uint8_t> picture);
  // As CAacEncoder's; each finished frame becomes one sample of the track. False when not
  // started, on an encoder error, or when the container cannot write (full disk).
  bool Write16(const std::int16_t* left, const std::int16_t* right, int count);
  bool Write8(const std::uint8_t* left, const std::uint8_t* right, int count);
  // Encodes what is buffered, drains the encoder, completes and closes the file. Besides
  // the edit list, the file gets the iTunSMPB item that players without edit-list support
  // read for gapless playback (see GaplessInfo). False when any of that fails. True, doing
  // nothing, when closed.
  bool Close();

  int sampleRate() const { return sampleRate_; }
  int channels() const { return channels_; }
  int bitsPerSample() const { return bitsPerSample_; }
  unsigned long inputSamples() const { return inputSamples_; }
  std::size_t fill() const { return input_.fill(); }
  const Mp4SampleClock& clock() const { return clock_; }

 private:
  template <typename Sample, typename Widen>
  bool Feed(const Sample* left, const Sample* right, int count, Widen widen);
  // Hands the buffered samples to the encoder and stores the frame that comes back.
  bool EncodeBuffered(int& produced);

  Mp4FilePtr container_;
  MP4TrackId track_ = MP4_INVALID_TRACK_ID;
  FaacEncoderPtr encoder_;
  faacEncConfigurationPtr config_ = nullptr;
  int sampleRate_ = 0;
  int channels_ = 0;
  int bitsPerSample_ = 0;
  unsigned long inputSamples_ = 0;
  unsigned long maxOutputBytes_ = 0;
  AacFrameBuffer input_;
  std::vector<std::uint8_t> output_;
  Mp4SampleClock clock_;
  std::uint64_t framesWritten_ = 0;
  bool started_ = false;
};

}  // namespace wavorax
