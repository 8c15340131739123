// The interface every source decoder implements. A decoder opens one file, reports what
// the stream is and hands out planar PCM blocks of at most kDecodeBlock samples per channel.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace wavorax {

// Samples per channel that a caller's block buffer holds.
inline constexpr int kDecodeBlock = 1152;
// Read's answer when the source broke off before its end and the rest cannot be decoded: the
// conversion fails instead of keeping what came before. Every other answer of 0 or less is
// an end.
inline constexpr int kReadFailed = -0x7FFF'FFFF;

// The render rates that tracker music can be opened at; a caller that wants another rate
// opens the nearest of these and resamples.
inline constexpr int kMinMusicSampleRate = 8000;
inline constexpr int kMaxMusicSampleRate = 192000;

class CDecoder {
 public:
  CDecoder() = default;
  CDecoder(const CDecoder&) = delete;
  CDecoder& operator=(const CDecoder&) = delete;
  // Each implementation's destructor performs its own Close().
  virtual ~CDecoder() = default;

  // Releases the file or stream and every buffer; harmless when nothing is open.
  virtual void Close() = 0;
  // Non-zero on success. musicSampleRate matters only for tracker music (0 = default).
  virtual int Open(const std::string& path, int musicSampleRate) = 0;
  // Samples per channel written (at most kDecodeBlock); 0 or less ends the stream.
  // 16-bit samples are signed native-endian, 8-bit samples unsigned (silence 128); after
  // EnableWideSamples, 24- and 32-bit samples are signed 32-bit integers holding the value at
  // that width (a 24-bit sample lies in -2^23 .. 2^23-1).
  // `right` is written only when GetOutputChannels() is 2 and may be null otherwise.
  virtual int Read(void* left, void* right) = 0;

  virtual std::uint64_t GetLength() { return length; }
  virtual std::uint64_t GetPosition() { return position; }
  virtual int GetDuration() { return durationSeconds; }
  virtual int GetChannels() { return channels; }
  virtual int GetOutputChannels() { return outputChannels; }
  virtual int GetSampleRate() { return sampleRate; }
  virtual int GetBitsPerSample() { return bitsPerSample; }
  // Asks for the source's own samples where they are wider than 16 bits (24-bit PCM, 32-bit
  // PCM, floating point): afterwards GetBitsPerSample answers 24 or 32 and Read writes 32-bit
  // integers. False, changing nothing, when the source is not wider or the decoder cannot.
  // Before the first Read.
  virtual bool EnableWideSamples() { return false; }
  // MPEG channel mode: 0 stereo, 1 joint stereo, 2 dual channel, 3 mono, 4 unknown.
  virtual int GetChannelMode() { return 4; }
  virtual int GetBitrate() { return bitrateKbps; }
  virtual int GetNominalBitrate() { return 0; }
  // The source's 128-byte ID3v1 block, owned by the decoder until Close(), or null.
  virtual const std::uint8_t* GetId3v1Tag() { return nullptr; }
  // The source's whole ID3v2 tag (header included) and its size, or null and 0.
  virtual const std::uint8_t* GetId3v2Tag(std::uint32_t* size) {
    if (size) *size = 0;
    return nullptr;
  }
  // For a decoder that may wait long on a device, such as a drive retrying an unreadable
  // sector: while Read waits it asks `keepWaiting` every few tens of milliseconds, and stops
  // with kReadFailed when the answer is false. Without one, Read waits as long as it takes.
  // Decoders of files never wait, and ignore it.
  virtual void SetWaitCheck(std::function<bool()> /*keepWaiting*/) {}
  // Non-zero when text tags were found; fields not found keep the caller's values.
  // All texts are UTF-8.
  virtual int ReadTags(std::string& /*title*/, std::string& /*artist*/, std::string& /*album*/,
                       std::string& /*year*/, std::string& /*genre*/, std::string& /*comment*/,
                       std::string& /*track*/) {
    return 0;
  }

 protected:
  void ResetStreamInfo() {
    length = 0;
    position = 0;
    durationSeconds = 0;
    sampleRate = 0;
    channels = 0;
    outputChannels = 0;
    bitsPerSample = 0;
    bytesPerSample = 0;
    bitrateKbps = 0;
  }

  std::uint64_t length = 0;    // progress length, in the decoder's own unit
  std::uint64_t position = 0;  // progress position, same unit
  int durationSeconds = 0;
  int sampleRate = 0;
  int channels = 0;        // channels of the source stream
  int outputChannels = 0;  // channels Read delivers: 1, or 2 for two or more
  int bitsPerSample = 0;   // 8 or 16, or 24 or 32 after EnableWideSamples
  int bytesPerSample = 0;
  int bitrateKbps = 0;
};

// Whether the decoder hands out either of the source's raw ID3 blocks. An MPEG audio source's
// tags travel into an MP3 output as those blocks; one with neither (only an APEv2 tag, say)
// has its tags transferred through ReadTags, as every other source's are.
inline bool HasId3Blocks(CDecoder& decoder) {
  std::uint32_t size = 0;
  return decoder.GetId3v1Tag() != nullptr || (decoder.GetId3v2Tag(&size) != nullptr && size > 0);
}

// Opens a file with the decoder its source type names (with the fallback to the program's own
// decoders), or returns null when it cannot be decoded. Front ends pass OpenDecoderFor;
// keeping it a parameter lets the engine and the list stay apart from the decoder set.
using DecoderOpener = std::function<std::unique_ptr<CDecoder>(
    int sourceType, const std::string& path, int musicSampleRate)>;

}  // namespace wavorax
