// Loudness over a batch: which rows form albums, the measuring pass that normalisation
// needs before it converts, the gain each row applies, and the album tags, written once the
// last track of an album is done. The album figures are combined in batch order, so the
// number of jobs and the order they finish in never change them.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/SourceEntry.h"
#include "decoders/Decoder.h"
#include "engine/loudness/Gain.h"
#include "engine/loudness/LoudnessMeter.h"
#include "settings/ConversionSettings.h"

namespace wavorax {

// What one row's conversion measured and applied.
struct RowLoudness {
  LoudnessResult measured;         // of the samples the encoder received
  std::optional<ReplayGain> gain;  // the track figures, when the measurement was valid
  bool normalised = false;         // a normalisation gain was asked for
  double normaliseGainDb = 0.0;    // the gain applied (0 when the source could not be measured)
  bool tagged = false;             // the gain tags are in the output
};

// An album whose last track is done.
struct AlbumLoudness {
  std::vector<int> rows;  // 0-based, in batch order
  LoudnessResult measured;
  std::optional<ReplayGain> gain;  // album fields; nothing for silence or too little audio
  int tagged = 0;                  // outputs that received the album tags
};

class CBatchLoudness {
 public:
  // Null when the settings neither write ReplayGain tags nor normalise.
  static std::unique_ptr<CBatchLoudness> For(const ConversionSettings& settings, int targetCode,
                                             const std::vector<SourceEntry*>& entries);
  CBatchLoudness(const ConversionSettings& settings, int targetCode,
                 const std::vector<SourceEntry*>& entries);

  bool measures() const { return replayGain_ != 0; }
  bool normalises() const { return normalise_; }
  int targetCode() const { return targetCode_; }

  // The measuring pass of normalisation: decodes each source once, up to `jobs` at a time,
  // and derives every row's gain (an album's rows share their album's). False when `cancel`
  // stopped it.
  bool MeasureSources(const std::vector<SourceEntry*>& entries, const DecoderOpener& open, int jobs,
                      const std::function<bool()>& keepGoing);
  // The normalisation gain row `row` applies, 0 when none.
  double NormaliseGainDb(int row) const;
  // Whether the row's track tags should carry album fields already: in album mode a row
  // outside any album is its own album.
  bool AlbumOfItsOwn(int row) const;

  // Row `row` is done. `meter` is what its conversion measured, `committed` its output (empty
  // when it did not convert). When this completes an album, and nothing was cancelled, the
  // album tags go into every converted output of it and the album is returned.
  std::optional<AlbumLoudness> Finish(int row, std::optional<CLoudnessMeter> meter,
                                      const std::string& committed, bool cancelled);

 private:
  int replayGain_;
  bool normalise_;
  double target_;
  int targetCode_;
  // The target's amplification in dB, which the conversion applies before the normalisation
  // gain: the measuring pass of the source adds it to what it measured.
  double amplifyDb_ = 0.0;
  AlbumGroups groups_;
  std::vector<double> normaliseGain_;

  std::mutex mutex_;
  std::vector<std::unique_ptr<CAlbumLoudness>> albums_;
  std::vector<std::size_t> done_;
  std::vector<bool> cancelled_;
  std::vector<std::string> committed_;
  std::vector<LoudnessResult> trackResult_;
};

// The loudness of a source as it decodes, at its own rate, width and channels; not valid
// when it cannot be opened or `keepGoing` turns false.
LoudnessResult MeasureSource(const DecoderOpener& open, int sourceType, const std::string& path,
                             const std::function<bool()>& keepGoing,
                             std::optional<CLoudnessMeter>* meter = nullptr);

// " (-9.3 dB)": the figure a row's Status shows after the output's name, empty when there
// is none.
std::string LoudnessStatusSuffix(const RowLoudness& loudness);

}  // namespace wavorax
