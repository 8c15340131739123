// Encodes PCM to Apple Lossless with libavcodec's ALAC encoder and stores each frame as one
// sample of a single audio track in an MP4 file (.m4a), with the same metadata items as the
// AAC writer (CMp4Encoder): title, artist, album, year, genre, comment, track number, the
// cover and free-form items.
//
// Samples arrive planar as signed integers at the output width (16-bit samples span
// -32768 ... 32767, 24-bit ones -8388608 ... 8388607), and decode to exactly the same
// values. The encoder has no priming: every sample lasts its frame's length (4096 samples,
// the last one shorter), so the track's length is the number of samples written.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "encoders/FfmpegHandles.h"
#include "encoders/Mp4Container.h"

namespace wavorax {

class CAlacEncoder {
 public:
  static constexpr int kMaxRate = 384000;

  CAlacEncoder() = default;
  CAlacEncoder(const CAlacEncoder&) = delete;
  CAlacEncoder& operator=(const CAlacEncoder&) = delete;
  virtual ~CAlacEncoder();

  // Closes whatever is open, creates the encoder, then the file with its track. False,
  // creating nothing, for a rate outside 1 ... kMaxRate, channels other than 1 or 2, a width
  // other than 16 or 24 bits, or when the encoder cannot be made; false when the file
  // cannot be created.
  bool Open(const std::string& path, int sampleRate, int channels, int bitsPerSample);
  // As CMp4Encoder's, between Open and Close: UTF-8 texts, empty or malformed ones left
  // out; track 0 (and one above 65535) writes no track number. False when not open or a
  // container call fails.
  bool SetMetadata(std::string_view title, std::string_view artist, std::string_view album,
                   std::string_view genre, std::string_view year, std::string_view comment,
                   int track);
  // The cover picture (JPEG or PNG). False, storing nothing, for any other picture.
  bool SetCoverArt(std::span<const std::uint8_t> picture);
  // As CMp4Encoder's: a source longer than kMp4CompactIndexSeconds gets the compact index.
  bool SetSourceSeconds(std::uint64_t seconds);
  // A free-form item ("----" com.apple.iTunes `name`); a later call with the same name
  // replaces it. False when not open, for an empty name, or for text that is not UTF-8.
  bool SetFreeForm(std::string_view name, std::string_view value);
  // `count` samples per channel; `right` is read only in stereo and may be null in mono.
  // False when not open, for a missing channel, for a sample outside the width (nothing of
  // the block is taken then), on an encoder error, or when the container cannot write.
  bool Write(const std::int32_t* left, const std::int32_t* right, int count);
  // Encodes the last, shorter frame, completes and closes the file. False when any of that
  // fails, and when no sample was written: an MP4 file cannot hold an empty track. True,
  // doing nothing, when nothing is open.
  bool Close();

  std::uint64_t samplesWritten() const { return samples_; }

 private:
  // Sends the buffered frame (`fill` samples) to the encoder, or with null the end, and
  // stores every packet that comes back.
  bool Encode(bool last);

  std::unique_ptr<AVCodecContext, CodecContextFree> codec_;
  std::unique_ptr<AVFrame, FrameFree> frame_;
  std::unique_ptr<AVPacket, PacketFree> packet_;
  Mp4FilePtr container_;
  MP4TrackId track_ = MP4_INVALID_TRACK_ID;
  int channels_ = 0, bits_ = 0;
  int fill_ = 0;  // samples per channel in frame_
  std::uint64_t samples_ = 0;
  bool failed_ = false;
};

}  // namespace wavorax
