// Turns 16-bit PCM into an MPEG Layer III file through LAME, with the source's ID3v2 block
// (if any) in front of the audio and an ID3v1 block (if any) after it. The tags are built by
// the caller; LAME's own tag writing is not used.
//
// Three kinds of rate control: constant bit rate (the default), variable bit rate at LAME's
// quality V0 ... V9, and average bit rate. A constant-bit-rate file has no information
// frame. The other two start with LAME's Xing/LAME information frame, which gives players
// the length (frame and byte counts), a seek table, and the encoder delay and padding that
// gapless playback cuts off. LAME emits a placeholder for it as the first frame; Close
// writes the finished frame over it, right after the ID3v2 block.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "encoders/Id3v1.h"
#include "encoders/OutputFile.h"

struct lame_global_struct;

namespace wavorax {

enum class Mp3RateControl { Cbr, Vbr, Abr };

class CMp3Encoder {
 public:
  // Room for LAME's output of one decoder block (at most 1152 samples per channel).
  static constexpr int kOutputBufferSize = 16384;

  CMp3Encoder();
  CMp3Encoder(const CMp3Encoder&) = delete;
  CMp3Encoder& operator=(const CMp3Encoder&) = delete;
  virtual ~CMp3Encoder();

  // Closes any file still open, then creates the LAME context and the output file.
  bool Open(const std::string& path);
  // A copy of the 128-byte block is appended by Close.
  void SetId3v1Tag(const std::uint8_t* block);
  // A copy of `length` bytes is written as the first bytes of the file by Start.
  void SetId3v2Tag(const std::uint8_t* block, std::uint32_t length);
  void SetInputSampleRate(int hz);
  // Below 1 becomes 1, above 2 becomes 2.
  void SetChannels(int channels);
  // LAME's MPEG_mode numbers: 0 stereo, 1 joint stereo and 3 mono pass; anything else
  // (dual channel included) becomes 0.
  void SetMode(int mode);
  // 0 lets LAME choose.
  void SetOutputSampleRate(int hz);
  // Clamped to 8 ... 320 kbit/s.
  void SetBitRate(int kbps);
  // The rate control, between Open and Start (Open starts from constant bit rate).
  // Variable bit rate at quality V`quality`, 0 (best) ... 9. False, changing nothing, outside
  // that range.
  bool SetVbrQuality(int quality);
  // Average bit rate of `kbps`, 8 ... 320. False, changing nothing, outside that range.
  bool SetAbrBitRate(int kbps);
  // Back to constant bit rate at the SetBitRate rate.
  void SetConstantBitRate();
  // The rate control chosen; until a call above, Cbr.
  Mp3RateControl rateControl() const { return rateControl_; }
  // Sets LAME up for the chosen rate control and writes the ID3v2 block. False when LAME
  // refuses the parameters (the file then stays empty) or the ID3v2 block cannot be written.
  bool Start();
  // `count` samples per channel, planar; `right` is read only with two channels. False on a
  // LAME error or a short write.
  bool Encode(const std::int16_t* left, const std::int16_t* right, int count);
  // Writes LAME's last frames and the ID3v1 block, then the information frame over its
  // placeholder (VBR and ABR), and closes the file. False when any of those writes or the
  // close itself fails (a full disk is often noticed only here). True, doing nothing, when
  // no file is open.
  bool Close();

  // What LAME was told, for the caller's checks.
  int channels() const;
  int bitRate() const;
  int mode() const;

 private:
  struct LameCloser {
    void operator()(lame_global_struct* gf) const;
  };

  bool WriteBytes(const void* data, std::size_t size);
  bool WriteInfoFrame();

  OutputFile file_;
  std::unique_ptr<lame_global_struct, LameCloser> lame_;
  std::vector<std::uint8_t> output_;
  std::optional<Id3v1Block> id3v1_;
  std::vector<std::uint8_t> id3v2_;
  Mp3RateControl rateControl_ = Mp3RateControl::Cbr;
  int vbrQuality_ = 4;
  int abrKbps_ = 128;
  bool started_ = false;
};

}  // namespace wavorax
