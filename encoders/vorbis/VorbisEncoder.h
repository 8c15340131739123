// Writes an Ogg Vorbis file through libvorbisenc.
//
// Samples arrive planar as signed integers at the source's width (`bitsPerSample`, 8 ... 32;
// full scale is 2^(bits-1)); they are handed on as floats. The last page's granule position
// is the number of input samples per channel, so a decoder returns exactly the source's
// length.
//
// Rate control is either libvorbisenc's quality mode (oggenc's -q) or its managed average
// bit rate (oggenc's --managed -b). The tags become the comment header, whose vendor text is
// libvorbis's own; the cover becomes a METADATA_BLOCK_PICTURE comment. The identification
// header has a page of its own and the audio starts on a fresh page, as Vorbis requires.
//
// Every write is checked: a short write (full disk) fails the call that made it, or Close.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "encoders/OutputFile.h"
#include "encoders/vorbiscomment/AudioTags.h"

namespace wavorax {

struct VorbisOptions {
  // -1 ... 10, fractions allowed; used when averageKbps is 0.
  double quality = 5.0;
  // A managed average bit rate for the whole stream in kbit/s; 0 selects quality mode.
  int averageKbps = 0;
  // The Ogg stream's serial number; 0 picks a random one.
  std::uint32_t serial = 0;
};

class CVorbisEncoder {
 public:
  static constexpr int kMinRate = 8000;
  static constexpr int kMaxRate = 192000;
  static constexpr int kMinAverageKbps = 16;
  static constexpr int kMaxAverageKbps = 500;

  CVorbisEncoder();
  CVorbisEncoder(const CVorbisEncoder&) = delete;
  CVorbisEncoder& operator=(const CVorbisEncoder&) = delete;
  virtual ~CVorbisEncoder();

  // Closes whatever is open, sets the encoder up and creates the file. False, creating
  // nothing, for a rate outside kMinRate ... kMaxRate, channels other than 1 or 2, a width
  // outside 8 ... 32, a quality outside -1 ... 10, an average bit rate (other than 0)
  // outside kMinAverageKbps ... kMaxAverageKbps, or a combination libvorbisenc has no setup
  // for (a high average bit rate at a low sample rate); false when the file cannot be
  // created.
  bool Open(const std::string& path, int sampleRate, int channels, int bitsPerSample,
            const VorbisOptions& options = {});
  // Between Open and the first Write; a later call replaces the tags. False when closed or
  // after the first Write.
  bool SetTags(const AudioTags& tags);
  // `count` samples per channel; `right` is read only in stereo and may be null in mono.
  // Samples beyond full scale are clipped. False when not open, for a missing channel, on
  // an encoder error or on a failed write.
  bool Write(const std::int32_t* left, const std::int32_t* right, int count);
  // Marks the end of the stream, writes the last pages and closes the file. False when any
  // of that fails. True, doing nothing, when nothing is open.
  bool Close();

  std::uint64_t samplesWritten() const { return samples_; }

 private:
  struct State;
  struct StateDeleter {
    void operator()(State* s) const;
  };

  bool WriteHeaders();
  // Runs the analysis on what libvorbis buffers and writes every finished page; with
  // `flush`, the last partial page too.
  bool Drain(bool flush);

  OutputFile file_;
  std::unique_ptr<State, StateDeleter> state_;
  AudioTags tags_;
  int channels_ = 0, bits_ = 0;
  bool headersWritten_ = false;
  bool failed_ = false;
  std::uint64_t samples_ = 0;
};

}  // namespace wavorax
