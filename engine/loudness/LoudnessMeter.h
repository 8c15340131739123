// EBU R128 loudness of the samples exactly as an encoder receives them: integrated loudness
// and loudness range per track through libebur128, the true peak through CTruePeak, and the
// album figures combined over the tracks of one album.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/loudness/TruePeak.h"

namespace wavorax {

struct LoudnessResult {
  // False for silence (nothing above the −70 LUFS gate) and for anything shorter than one
  // 400 ms gating block: no gain is derived and no gain tag is written then.
  bool valid = false;
  double integratedLufs = 0.0;
  // The highest true peak over the channels: 1.0 is full scale; dBTP is 20·log10 of it.
  double truePeak = 0.0;
  double truePeakDbtp = 0.0;
  double loudnessRangeLu = 0.0;
};

class CLoudnessMeter {
 public:
  // The most samples per channel handed to libebur128 at once; larger blocks are fed in
  // pieces of this size through the one interleave buffer.
  static constexpr int kChunkFrames = 4096;

  // One or two channels at any rate libebur128 takes. A meter that libebur128 refuses (no
  // memory, a channel count other than 1 or 2, a rate of 0) is not open: it ignores what
  // it is fed and its result is never valid.
  CLoudnessMeter(int sampleRate, int channels);
  ~CLoudnessMeter();
  CLoudnessMeter(CLoudnessMeter&&) noexcept;
  CLoudnessMeter& operator=(CLoudnessMeter&&) noexcept;
  CLoudnessMeter(const CLoudnessMeter&) = delete;
  CLoudnessMeter& operator=(const CLoudnessMeter&) = delete;

  bool IsOpen() const { return state_ != nullptr; }
  int channels() const { return channels_; }
  int sampleRate() const { return sampleRate_; }
  // Samples per channel fed so far.
  std::uint64_t frames() const { return frames_; }

  // Planar blocks of `count` samples per channel; `right` is read only with two channels.
  // The interleave buffer is allocated on the first call and reused after that.
  void Add16(const std::int16_t* left, const std::int16_t* right, int count);
  // Signed samples in the low `width` bits (16, 24 or 32; others are clamped to 8 … 32);
  // values outside that width are clamped to it.
  void Add32(const std::int32_t* left, const std::int32_t* right, int count, int width);
  // Full scale is ±1.0.
  void AddFloat(const float* left, const float* right, int count);

  // The figures over everything fed so far; the meter may go on being fed after this.
  LoudnessResult Result() const;

 private:
  friend class CAlbumLoudness;
  // libebur128's state, an unnamed struct that cannot be declared here.
  struct State;
  std::unique_ptr<State> state_;
  CTruePeak truePeak_;
  int sampleRate_ = 0;
  int channels_ = 0;
  std::uint64_t frames_ = 0;
  // One of these is used, by whichever Add the track's samples come through.
  std::vector<std::int16_t> interleave16_;
  std::vector<std::int32_t> interleave32_;
  std::vector<float> interleaveFloat_;
};

// The tracks of one album, kept as their meters until the last one is in. Each track has a
// fixed place (0 … trackCount − 1), and the figures are combined in that order, so the
// result is the same whichever order parallel conversions finish in. Add and Result may be
// called from several threads.
class CAlbumLoudness {
 public:
  explicit CAlbumLoudness(std::size_t trackCount);

  // Keeps the finished meter of the track at `place`. False (the meter is dropped) for a
  // place out of range or one already filled.
  bool Add(std::size_t place, CLoudnessMeter meter);
  std::size_t trackCount() const { return tracks_.size(); }
  // Whether every place is filled.
  bool Complete() const;

  // Integrated loudness and loudness range over the blocks of every track that is in
  // (libebur128's *_multiple functions: one long programme, not an average of the tracks),
  // and the highest true peak of any track. Not valid when no track has a block above the
  // gate.
  LoudnessResult Result() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<CLoudnessMeter>> tracks_;
};

// Which rows of a batch form an album: the rows that share both the album tag and the source
// folder. The grouping is the engine's; this only does the bookkeeping.
struct AlbumKey {
  std::string album;   // the album tag as read (UTF-8)
  std::string folder;  // the source's folder
};

struct AlbumGroups {
  // For every row, its album's number, or −1 when the row has no album tag (blank after
  // trimming spaces): such a row's album gain is its track gain.
  std::vector<int> albumOfRow;
  // For every album, its rows in batch order; a row's position here is its place in
  // CAlbumLoudness.
  std::vector<std::vector<std::size_t>> rowsOfAlbum;
};

// Albums are numbered in the order their first row appears. Tags compare exactly after
// trimming leading and trailing white space; folders compare as given.
AlbumGroups GroupAlbums(const std::vector<AlbumKey>& rows);

}  // namespace wavorax
