// MPEG audio layers I to III, decoded frame by frame by LAME's hip decoder. Each object
// has its own decoder state, so several files can be decoded at once on different threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/ByteSource.h"
#include "decoders/Decoder.h"
#include "decoders/PcmConverter.h"

struct hip_global_struct;

namespace wavorax {

class CMp3Decoder : public CDecoder {
 public:
  CMp3Decoder();
  ~CMp3Decoder() override;

  void Close() override;
  int Open(const std::string& path, int musicSampleRate) override;
  int Read(void* left, void* right) override;
  int GetChannelMode() override { return channelMode; }
  int GetNominalBitrate() override { return nominalBitrate; }
  const std::uint8_t* GetId3v1Tag() override;
  const std::uint8_t* GetId3v2Tag(std::uint32_t* size) override;
  // The tags the tag layer reads from the file (ID3v2 of any version, APEv2, ID3v1). None
  // when the stream is another file's payload: that file's decoder answers for its tags.
  int ReadTags(std::string& title, std::string& artist, std::string& album, std::string& year,
               std::string& genre, std::string& comment, std::string& track) override;

  // Opens on a source already positioned at the start of MPEG data (the payload of a WAV
  // file). The decoder reads the source but never closes it; the caller keeps it alive
  // until Close(). `path` only names the stream.
  int OpenOnFile(ByteSource* file, const std::string& path);
  // Opens on a source the decoder takes over (memory in tests and fuzzing).
  int OpenSource(std::unique_ptr<ByteSource> source);

 private:
  // One block as the format gives it; Read adds the source's read failures.
  int ReadBlock(void* left, void* right);
  struct HipDeleter {
    void operator()(hip_global_struct* hip) const;
  };
  bool NewHip();
  int Start();
  int SearchHeader();
  int DecodeFrame(const std::uint8_t* data, std::size_t size, std::int16_t* left,
                  std::int16_t* right, bool withDelay);
  int DecodeNext(std::int16_t* left, std::int16_t* right);
  std::int64_t FindOtherFormat(std::uint64_t upTo);
  bool StartsPart(std::uint64_t at, int key, int freeLengthNoPadding = 0);
  int MeasureFreeFormat(std::uint64_t at, const std::uint8_t* header);
  std::size_t NextFreeFrame();
  std::int64_t FindFreeFrame(std::uint64_t from);
  std::int64_t FindFreeFormatIn(std::size_t n);
  int StartPart(std::uint64_t at);
  std::size_t ReadOn(std::int64_t& part);
  int ReadConverted(std::int16_t* left, std::int16_t* right);

  std::unique_ptr<ByteSource> ownedFile;
  ByteSource* file = nullptr;
  bool borrowedFile = false;
  std::unique_ptr<hip_global_struct, HipDeleter> hip;
  struct Header {
    int headerParsed = 0, stereo = 0, samplerate = 0, bitrate = 0, mode = 0, modeExt = 0,
        framesize = 0;
    unsigned long nsamp = 0;
    int totalframes = 0, framenum = 0;
  } header;
  int channelMode = 4;
  int nominalBitrate = 0;
  std::vector<std::uint8_t> id3v2Block;
  std::vector<std::uint8_t> id3v1Block;
  std::vector<std::uint8_t> input;  // one read's worth of compressed data
  std::vector<std::int16_t> scratchLeft, scratchRight;

  // A stream may change its rate, channels or layer part-way (MP3 files joined end to end).
  // The hip decoder keeps to one format, so each later part gets a decoder of its own, and
  // its samples are converted to the first part's rate and channels.
  int partKey = -1;  // the current part's version, layer, rate and mono bits
  // A part of free-format layer I or II frames is handed to the decoder a frame at a time,
  // each under a header of a standard bit-rate index whose frames are at least as long.
  struct FreeFrames {
    int lengthNoPadding = 0;  // measured from one header to the next
    int index = 0;            // the standard index; 0 when the part is not of such frames
  } freeLayer12;
  std::uint64_t partStart = 0;     // file offset of the current part's first frame
  std::uint64_t lastOutputAt = 0;  // reading position when the part last gave samples
  std::uint64_t scannedTo = 0;     // where the search for another format has looked up to
  bool laterPart = false;          // decoding a part after the first, through `converter`
  bool partsEnded = false;         // no further part follows
  PcmConverter converter;
  std::vector<std::uint8_t> converted;  // interleaved output not yet handed out
  std::size_t convertedOffset = 0;
};

}  // namespace wavorax
