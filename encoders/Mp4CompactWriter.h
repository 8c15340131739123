// The MP4 writer for long sources. libavformat's muxer keeps an entry of some 60 bytes for
// every sample until it writes the index, which for an audiobook of 20 hours (three million
// AAC frames) is far more memory than the rest of a conversion. This writer lays the samples
// of one audio track back to back in a single mdat and keeps only what the index needs in
// its compact form: the sample sizes as 16-bit numbers (32-bit once one does not fit), the
// durations as runs, and chunks of a fixed number of samples, whose offsets follow from the
// sizes when the index is written. The index (and the metadata items) go after the media.
//
// It writes through the AVIOContext of the container layer, so failed writes show in its
// error flag as they do for the muxer.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct AVIOContext;

namespace wavorax {

// The sample description and timing of the one track.
struct Mp4CompactTrack {
  bool alac = false;
  std::uint32_t timeScale = 0;
  int channels = 0;
  int sampleSize = 16;
  std::uint8_t objectType = 0x40;
  // The AudioSpecificConfig, or for ALAC the whole 'alac' atom (header included).
  std::vector<std::uint8_t> config;
  std::uint64_t priming = 0;  // media ticks before the presentation starts (edit list)
};

// Metadata items, in the order they are written.
struct Mp4CompactItems {
  std::vector<std::pair<std::string, std::string>> texts;  // four-character code, UTF-8 text
  std::uint16_t track = 0, totalTracks = 0;
  std::vector<std::uint8_t> cover;
  std::uint32_t coverType = 0;  // 13 JPEG, 14 PNG
  std::map<std::string, std::string> freeForm;
};

// The per-sample tables in their compact form.
class Mp4SampleTable {
 public:
  static constexpr std::uint32_t kSamplesPerChunk = 64;

  void Add(std::uint32_t size, std::uint32_t duration);
  std::uint64_t count() const { return count_; }
  std::uint64_t bytes() const { return bytes_; }
  std::uint64_t duration() const { return duration_; }
  std::uint32_t largest() const { return largest_; }
  std::uint32_t size(std::uint64_t i) const { return wide_.empty() ? narrow_[i] : wide_[i]; }
  const std::vector<std::pair<std::uint32_t, std::uint32_t>>& runs() const { return runs_; }
  std::uint64_t chunks() const { return (count_ + kSamplesPerChunk - 1) / kSamplesPerChunk; }
  // The largest number of bytes in any one second of media (for the bit-rate fields).
  std::uint64_t peakBytesPerSecond(std::uint32_t timeScale) const;

 private:
  // In blocks rather than one array: a growing array would, for a moment, hold its old
  // copy beside the new one, half again as much as the sizes themselves.
  std::deque<std::uint16_t> narrow_;
  std::deque<std::uint32_t> wide_;  // replaces narrow_ once a size needs 32 bits
  std::vector<std::pair<std::uint32_t, std::uint32_t>> runs_;  // (count, duration)
  std::uint64_t count_ = 0, bytes_ = 0, duration_ = 0;
  std::uint32_t largest_ = 0;
};

class Mp4CompactWriter {
 public:
  // Media reaching past `wideFrom` bytes of the file gets a 64-bit mdat size and 64-bit
  // chunk offsets (co64); tests lower it to reach those forms without writing 4 GiB.
  explicit Mp4CompactWriter(AVIOContext* io, std::uint64_t wideFrom = 0xFFFFFFFF)
      : io_(io), wideFrom_(wideFrom) {}
  // The file type and the media data's header.
  bool Begin();
  bool WriteSample(const std::uint8_t* bytes, std::uint32_t size, std::uint32_t duration);
  // Completes the media data's size and writes the index and items after it.
  bool Finish(const Mp4CompactTrack& track, std::uint32_t movieTimeScale, int audioProfile,
              const Mp4CompactItems& items);
  const Mp4SampleTable& table() const { return table_; }

 private:
  void Open(const char* type);
  void OpenFull(const char* type, int version, std::uint32_t flags);
  void Close();
  void WriteMovie(const Mp4CompactTrack& track, std::uint32_t movieTimeScale, int audioProfile,
                  const Mp4CompactItems& items);
  void WriteSampleDescription(const Mp4CompactTrack& track);
  void WriteTables(bool aac);
  void WriteItems(const Mp4CompactItems& items);

  AVIOContext* io_;
  std::uint64_t wideFrom_;
  Mp4SampleTable table_;
  std::int64_t freeAt_ = 0;         // the 8-byte free atom that a 64-bit mdat header takes over
  std::int64_t dataAt_ = 0;         // the first sample
  std::vector<std::int64_t> open_;  // starts of the atoms being written
};

}  // namespace wavorax
