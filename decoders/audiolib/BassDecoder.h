// The decoder for every source that the audio-library layer reads: a decode-only stream when
// the layer can open one, else tracker music at the caller's render rate.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decoders/Decoder.h"
#include "decoders/MpegHeader.h"
#include "decoders/audiolib/AudioLib.h"

namespace wavorax {

class CBassDecoder : public CDecoder {
 public:
  CBassDecoder();
  ~CBassDecoder() override;

  void Close() override;
  int Open(const std::string& path, int musicSampleRate) override;
  int Read(void* left, void* right) override;
  bool EnableWideSamples() override;
  std::uint64_t GetPosition() override;
  int GetChannelMode() override { return channelMode; }
  int GetNominalBitrate() override { return nominalBitrate; }
  const std::uint8_t* GetId3v1Tag() override;
  const std::uint8_t* GetId3v2Tag(std::uint32_t* size) override;
  int ReadTags(std::string& title, std::string& artist, std::string& album, std::string& year,
               std::string& genre, std::string& comment, std::string& track) override;

  // Whether the open handle is tracker music (freed as music) rather than a stream.
  bool IsMusic() const { return isMusic; }

 private:
  void ParseFirstFrameHeader();

  std::unique_ptr<audiolib::Channel> handle;
  bool isMusic = false;
  std::vector<std::uint8_t> interleaveBuffer;
  std::uint32_t interleaveBytes = 0;
  int channelMode = 4;
  int nominalBitrate = 0;
  std::vector<std::uint8_t> id3v1Copy;
  std::vector<std::uint8_t> id3v2Copy;
  std::uint32_t id3v2Size = 0;
  bool isMpegFile = false;  // of the MPEG audio source type
  bool isMp4File = false;
  std::string path;
};

}  // namespace wavorax
