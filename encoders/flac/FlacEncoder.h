// Writes a native FLAC file through libFLAC's stream encoder.
//
// Samples arrive planar as signed integers at the output width (16-bit samples span
// -32768 ... 32767, 24-bit ones -8388608 ... 8388607), so no bit is changed on the way in.
//
// The file holds, in this order: STREAMINFO, VORBIS_COMMENT (the tags; always present, as
// flac writes it), PICTURE (the front cover, if any), SEEKTABLE and PADDING. The length is
// not known before the end, so Open reserves one block and Close divides it into a seek
// table with a point every ten seconds (as flac makes by default; the spacing grows for
// streams above kMaxSeekPoints × 10 s) and the padding, which keeps at least the 8192 bytes
// that flac leaves for later tag edits. At Close libFLAC also rewrites STREAMINFO with the
// total sample count, frame sizes and the MD5 signature of the audio.
//
// Every write is checked: a short write (full disk) fails the call that made it, or Close.
#pragma once

#include <FLAC/stream_encoder.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "encoders/OutputFile.h"
#include "encoders/vorbiscomment/AudioTags.h"

namespace wavorax {

class CFlacEncoder {
 public:
  static constexpr int kDefaultCompressionLevel = 5;
  static constexpr std::uint32_t kMinPadding = 8192;
  static constexpr std::uint32_t kSeekPointSpacingSeconds = 10;
  static constexpr std::uint32_t kMaxSeekPoints = 360;
  // The metadata block body that Close divides into SEEKTABLE and PADDING.
  static constexpr std::uint32_t kReservedBytes = kMinPadding + 4 + kMaxSeekPoints * 18;

  CFlacEncoder() = default;
  CFlacEncoder(const CFlacEncoder&) = delete;
  CFlacEncoder& operator=(const CFlacEncoder&) = delete;
  virtual ~CFlacEncoder();

  // Closes whatever is open, then creates the file. False, creating nothing, for a rate
  // outside 1 ... 655350 Hz, channels other than 1 or 2, a width other than 16 or 24 bits or
  // a compression level outside 0 ... 8 (flac's -0 ... -8); false when the file cannot be
  // created.
  bool Open(const std::string& path, int sampleRate, int channels, int bitsPerSample,
            int compressionLevel = kDefaultCompressionLevel);
  // Between Open and the first Write; a later call replaces the tags. Fields the format
  // cannot hold are left out (see AudioTags). False when closed, after the first Write, or
  // when the tags (with the cover) do not fit FLAC's 16 MiB block limit.
  bool SetTags(const AudioTags& tags);
  // `count` samples per channel; `right` is read only in stereo and may be null in mono.
  // False when not open, for a missing channel, for a sample outside the width (nothing of
  // the block is encoded then), on an encoder error or on a failed write.
  bool Write(const std::int32_t* left, const std::int32_t* right, int count);
  // Encodes what libFLAC still buffers, completes STREAMINFO and the seek table and closes
  // the file. False when any of that fails. True, doing nothing, when nothing is open.
  bool Close();

  std::uint64_t samplesWritten() const { return samples_; }

 private:
  struct EncoderDeleter {
    void operator()(FLAC__StreamEncoder* e) const;
  };
  struct MetadataDeleter {
    void operator()(FLAC__StreamMetadata* m) const;
  };
  struct SeekPoint {
    std::uint64_t sample, offset;
    std::uint32_t frameSamples;
  };

  // Sets up libFLAC with the metadata and writes the file's header.
  bool Begin();
  // Divides the reserved block into the seek table and the padding.
  bool WriteSeekTable();
  // libFLAC's output: header, metadata blocks and one call per frame.
  bool Output(const unsigned char* buffer, std::size_t bytes, std::uint32_t samples);
  friend struct FlacCallbacks;

  OutputFile file_;
  std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter> encoder_;
  std::vector<std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter>> metadata_;
  AudioTags tags_;
  int sampleRate_ = 0, channels_ = 0, bits_ = 0, level_ = 0;
  bool started_ = false;
  bool failed_ = false;           // a write, the setup or an encode failed; nothing more is tried
  std::uint64_t pos_ = 0;         // where libFLAC writes next
  std::uint64_t audioStart_ = 0;  // where the metadata ends and the frames begin
  std::uint64_t framesSamples_ = 0;   // samples in the frames written so far
  std::uint64_t nextSeekSample_ = 0;  // the next seek target
  std::uint64_t samples_ = 0;         // samples per channel handed to libFLAC
  std::vector<SeekPoint> seekPoints_;
};

}  // namespace wavorax
