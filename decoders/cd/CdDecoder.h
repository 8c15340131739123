// Tracks of audio discs and disc images, named "DEVICE-OR-IMAGE/TrackNN.cda". Sectors are read
// through cd-paranoia's error correction with a bounded number of retries, so that a scratched disc
// slows a conversion down but cannot hold it forever. The reading runs on a thread of its own, a
// second of audio ahead, so that whoever waits for a sector that the drive is retrying can still
// answer Cancel (see CDecoder::SetWaitCheck).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "decoders/Decoder.h"
#include "decoders/cd/CdDisc.h"

namespace wavorax {

// Audio CD: 44100 Hz, 16-bit stereo, 2352 bytes per sector.
inline constexpr int kCdFramesPerSector = 588;
inline constexpr int kCdSectorBytes = 2352;
// Retries paranoia makes for one sector before it gives up and moves on.
inline constexpr int kCdReadRetries = 5;

// Runs before every read of the disc's sectors, on the reading thread, and may take as long as a
// drive retrying a scratch would. `abandoned` turns true once no decoder waits for the read any
// more. Tests put a slow drive in the place of a disc image with it; null removes it.
using CdReadHook = std::function<void(long firstSector, const std::atomic<bool>& abandoned)>;
void SetCdReadHookForTesting(CdReadHook hook);

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
  void SetWaitCheck(std::function<bool()> keepWaiting) override {
    keepWaiting_ = std::move(keepWaiting);
  }

  struct Reader;  // the disc, its paranoia state and the sectors read ahead

 private:
  // Lets go of the reader; a read still in progress finishes on its own thread.
  void Abandon();

  std::shared_ptr<Reader> reader_;
  bool reading_ = false;  // the reading thread has been started
  std::function<bool()> keepWaiting_;
  int track_ = 0;
  bool hasTags_ = false;
  // Read at Open, so that only the reading thread touches the disc after that.
  CdTrackTags tags_;
  long sectorCount_ = 0, sectorsTaken_ = 0;
  std::int16_t sector_[kCdFramesPerSector * 2] = {};
  // Frames held in sector_, and those of them handed out.
  int sectorFrames_ = 0, sectorUsed_ = 0;
};

}  // namespace wavorax
