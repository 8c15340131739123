// RIFF/WAVE files: integer PCM and IEEE float (plain or extensible), A-law, µ-law,
// Microsoft and IMA ADPCM, GSM 06.10 and MPEG payloads. 8-bit PCM is delivered as unsigned
// 8-bit; everything else as signed 16-bit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/ByteSource.h"
#include "decoders/Decoder.h"

struct gsm_state;

namespace wavorax {

class CMp3Decoder;
class CMsAdpcmBlockDecoder;
class CImaAdpcmBlockDecoder;

class CWavDecoder : public CDecoder {
 public:
  CWavDecoder();
  ~CWavDecoder() override;

  void Close() override;
  int Open(const std::string& path, int musicSampleRate) override;
  int Read(void* left, void* right) override;
  bool EnableWideSamples() override;
  // The tags the tag layer reads from the file: RIFF INFO, an ID3 chunk.
  int ReadTags(std::string& title, std::string& artist, std::string& album, std::string& year,
               std::string& genre, std::string& comment, std::string& track) override;

  // Opens on a source the decoder takes over (memory in tests and fuzzing).
  int OpenSource(std::unique_ptr<ByteSource> source);

 private:
  bool wide_ = false;  // PCM wider than 16 bits and float handed out as 32-bit integers
  // One block as the format gives it; Read adds the source's read failures.
  int ReadBlock(void* left, void* right);
  enum class Reader { None, Pcm8, Pcm16, Pcm24, Pcm32, Float32, Float64, G711, Block, Mpeg };
  struct GsmDeleter {
    void operator()(gsm_state* handle) const;
  };

  int ParseHeader();
  int ParseFormat(std::uint32_t chunkSize);
  bool SkipToLetter();
  int SetUpReader();
  std::size_t ReadRaw(std::size_t request);
  int ReadDirect(void* left, void* right);
  int ReadBlocks(std::int16_t* left, std::int16_t* right);
  int CopyPending(std::int16_t* left, std::int16_t* right, int written);
  bool DecodeNextBlock();
  bool EndStream();

  std::unique_ptr<ByteSource> file;
  int formatTag = 0;
  int sourceBits = 0;
  int blockAlign = 0;
  int samplesPerBlock = 0;
  bool alaw = false;
  Reader readRoutine = Reader::None;
  std::unique_ptr<CMsAdpcmBlockDecoder> msAdpcm;
  std::unique_ptr<CImaAdpcmBlockDecoder> imaAdpcm;
  std::unique_ptr<gsm_state, GsmDeleter> gsm;
  std::unique_ptr<CMp3Decoder> innerMp3;
  std::vector<std::uint8_t> rawBuffer;
  std::vector<std::int16_t> blockBuffer;
  int rawBlockBytes = 0;
  int blockSamples = 0;  // decoded samples per block, all output channels together
  int blockCursor = 0;   // next unread sample in blockBuffer
  int blockFill = 0;     // decoded samples in blockBuffer; the block is used up at blockFill
};

}  // namespace wavorax
