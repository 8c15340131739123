// Tracks of audio discs and disc images, named "DEVICE-OR-IMAGE/TrackNN.cda". Sectors are
// read through cd-paranoia's error correction with a bounded number of retries, so that a
// scratched disc slows a conversion down but cannot hold it forever.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "decoders/Decoder.h"

struct cdrom_drive_s;
struct cdrom_paranoia_s;

namespace wavorax {

class CdDisc;

// Audio CD: 44100 Hz, 16-bit stereo, 2352 bytes per sector.
inline constexpr int kCdFramesPerSector = 588;
inline constexpr int kCdSectorBytes = 2352;
// Retries paranoia makes for one sector before it gives up and moves on.
inline constexpr int kCdReadRetries = 5;

class CCdDecoder : public CDecoder {
 public:
  CCdDecoder();
  ~CCdDecoder() override;

  void Close() override;
  // `path` is a track path; progress is counted in bytes of the track's sectors.
  int Open(const std::string& path, int musicSampleRate) override;
  int Read(void* left, void* right) override;
  // The track's CD-Text, or its cue sheet's TITLE and PERFORMER (album: the disc's title).
  int ReadTags(std::string& title, std::string& artist, std::string& album, std::string& year,
               std::string& genre, std::string& comment, std::string& track) override;

 private:
  struct Reader;
  std::unique_ptr<CdDisc> disc_;
  std::unique_ptr<Reader> reader_;
  int track_ = 0;
  long firstSector_ = 0, sectorCount_ = 0, nextSector_ = 0;
  std::int16_t sector_[kCdFramesPerSector * 2] = {};
  int sectorFrames_ = 0, sectorUsed_ = 0;  // frames held in sector_ and handed out of them
};

}  // namespace wavorax
