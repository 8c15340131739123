#include "engine/BatchLoudness.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <thread>

#include "decoders/SourceType.h"
#include "decoders/audiolib/TagFields.h"
#include "engine/Amplify.h"
#include "engine/GainTags.h"
#include "settings/TargetCodes.h"

namespace wavorax {

namespace {

// The amplification the target's page sets, 1 for none.
double AmplificationOf(const ConversionSettings& s, int targetCode) {
  float factor = 0.0f;
  switch (targetCode) {
    case kTargetMp3:
      factor = AmplificationFactor(s.AmplifyMp3, s.AmplifyMp3Coeff);
      break;
    case kTargetWav:
      factor = AmplificationFactor(s.AmplifyWav, s.AmplifyWavCoeff);
      break;
    case kTargetAac:
      factor = AmplificationFactor(s.AmplifyAAC, s.AmplifyAACCoef);
      break;
    case kTargetM4a:
    case kTargetMp4:
    case kTargetM4b:
      factor = AmplificationFactor(s.AmplifyM4A, s.AmplifyM4ACoef);
      break;
    default:
      break;
  }
  return factor > 0.0f ? double(factor) : 1.0;
}

std::string FolderOfPath(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::unique_ptr<CBatchLoudness> CBatchLoudness::For(const ConversionSettings& settings,
                                                    int targetCode,
                                                    const std::vector<SourceEntry*>& entries) {
  if (settings.ReplayGainMode == 0 && settings.NormaliseLoudness == 0) return nullptr;
  return std::make_unique<CBatchLoudness>(settings, targetCode, entries);
}

CBatchLoudness::CBatchLoudness(const ConversionSettings& settings, int targetCode,
                               const std::vector<SourceEntry*>& entries)
    : replayGain_(settings.ReplayGainMode == 1 || settings.ReplayGainMode == 2
                      ? settings.ReplayGainMode
                      : 0),
      normalise_(settings.NormaliseLoudness == 1),
      target_(settings.NormaliseTarget),
      targetCode_(targetCode) {
  const std::size_t n = entries.size();
  // Only album mode needs the album tags, which are read from every source up front.
  std::vector<AlbumKey> keys(n);
  if (replayGain_ == 2)
    for (std::size_t i = 0; i < n; ++i)
      keys[i] = {audiolib::FirstValue(audiolib::ReadTagMap(entries[i]->path), "ALBUM"),
                 FolderOfPath(entries[i]->path)};
  groups_ = GroupAlbums(keys);
  amplifyDb_ = 20.0 * std::log10(AmplificationOf(settings, targetCode));
  normaliseGain_.assign(n, 0.0);
  for (const auto& rows : groups_.rowsOfAlbum)
    albums_.push_back(std::make_unique<CAlbumLoudness>(rows.size()));
  done_.assign(albums_.size(), 0);
  cancelled_.assign(albums_.size(), false);
  committed_.assign(n, std::string());
  trackResult_.assign(n, LoudnessResult{});
}

LoudnessResult MeasureSource(const DecoderOpener& open, int sourceType, const std::string& path,
                             const std::function<bool()>& keepGoing,
                             std::optional<CLoudnessMeter>* keep) {
  if (!open) return {};
  auto decoder = open(sourceType, path, sourceType == kSourceMusic ? 44100 : 0);
  if (!decoder) return {};
  decoder->EnableWideSamples();
  const int rate = decoder->GetSampleRate(), channels = decoder->GetOutputChannels();
  const int bits = decoder->GetBitsPerSample();
  if (rate <= 0 || rate > 768000 || (channels != 1 && channels != 2)) return {};
  const std::size_t bytes = bits > 16 ? 4 : bits == 16 ? 2 : 1;
  std::vector<std::uint8_t> left(kDecodeBlock * bytes), right(channels == 2 ? left.size() : 0);
  std::vector<std::int32_t> wideLeft, wideRight;
  CLoudnessMeter meter(rate, channels);
  const std::uint64_t length = decoder->GetLength();
  for (;;) {
    if (keepGoing && !keepGoing()) return {};
    const int n = decoder->Read(left.data(), right.empty() ? nullptr : right.data());
    if (n == kReadFailed) return {};
    if (n <= 0) break;
    const int count = std::min(n, kDecodeBlock);
    if (bits == 16) {
      meter.Add16(reinterpret_cast<const std::int16_t*>(left.data()),
                  reinterpret_cast<const std::int16_t*>(right.data()), count);
    } else if (bits > 16) {
      meter.Add32(reinterpret_cast<const std::int32_t*>(left.data()),
                  reinterpret_cast<const std::int32_t*>(right.data()), count, bits);
    } else {
      wideLeft.resize(std::size_t(count));
      wideRight.resize(right.empty() ? 0 : std::size_t(count));
      for (int i = 0; i < count; ++i) {
        wideLeft[i] = std::int32_t{left[i]} - 128;
        if (!right.empty()) wideRight[i] = std::int32_t{right[i]} - 128;
      }
      meter.Add32(wideLeft.data(), wideRight.empty() ? nullptr : wideRight.data(), count, 8);
    }
    // Tracker music can loop forever; it ends at its length, as in the conversion.
    if (sourceType == kSourceMusic && decoder->GetPosition() >= length) break;
  }
  decoder->Close();
  const LoudnessResult result = meter.Result();
  if (keep) keep->emplace(std::move(meter));
  return result;
}

bool CBatchLoudness::MeasureSources(const std::vector<SourceEntry*>& entries,
                                    const DecoderOpener& open, int jobs,
                                    const std::function<bool()>& keepGoing) {
  if (!normalise_) return true;
  const std::size_t n = entries.size();
  std::vector<LoudnessResult> results(n);
  std::vector<std::optional<CLoudnessMeter>> meters(n);
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stopped{false};
  const auto worker = [&] {
    for (std::size_t i; !stopped.load() && (i = next++) < n;) {
      results[i] = MeasureSource(
          open, entries[i]->sourceType, entries[i]->path,
          [&] {
            if (keepGoing && !keepGoing()) stopped.store(true);
            return !stopped.load();
          },
          &meters[i]);
    }
  };
  const int threads = std::max(1, std::min<int>(jobs, static_cast<int>(n)));
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (auto& t : pool) t.join();
  if (stopped.load()) return false;

  // What the encoder would receive before the gain: the source amplified as the target's
  // page says (clipping aside).
  const auto amplified = [this](LoudnessResult r) {
    r.integratedLufs += amplifyDb_;
    r.truePeak *= DbToFactor(amplifyDb_);
    r.truePeakDbtp += amplifyDb_;
    return r;
  };
  // In album mode an album's tracks share the gain of their combined loudness, so they keep
  // their levels relative to each other; every other row gets its own.
  std::vector<bool> fromAlbum(n, false);
  if (replayGain_ == 2) {
    for (const auto& rows : groups_.rowsOfAlbum) {
      CAlbumLoudness album(rows.size());
      for (std::size_t place = 0; place < rows.size(); ++place)
        if (meters[rows[place]]) album.Add(place, std::move(*meters[rows[place]]));
      const double gain = NormalisationGainDb(amplified(album.Result()), target_);
      for (const std::size_t row : rows) {
        normaliseGain_[row] = gain;
        fromAlbum[row] = true;
      }
    }
  }
  for (std::size_t i = 0; i < n; ++i)
    if (!fromAlbum[i]) normaliseGain_[i] = NormalisationGainDb(amplified(results[i]), target_);
  return true;
}

double CBatchLoudness::NormaliseGainDb(int row) const {
  return row >= 0 && std::size_t(row) < normaliseGain_.size() ? normaliseGain_[row] : 0.0;
}

bool CBatchLoudness::AlbumOfItsOwn(int row) const {
  return replayGain_ == 2 && row >= 0 && std::size_t(row) < groups_.albumOfRow.size() &&
         groups_.albumOfRow[row] < 0;
}

std::optional<AlbumLoudness> CBatchLoudness::Finish(int row, std::optional<CLoudnessMeter> meter,
                                                    const std::string& committed, bool cancelled) {
  if (replayGain_ != 2 || row < 0 || std::size_t(row) >= groups_.albumOfRow.size())
    return std::nullopt;
  const int a = groups_.albumOfRow[row];
  if (a < 0) return std::nullopt;
  const auto& rows = groups_.rowsOfAlbum[a];
  AlbumLoudness album;
  std::vector<std::pair<std::string, ReplayGain>> writes;
  {
    std::lock_guard lock(mutex_);
    if (cancelled) cancelled_[a] = true;
    if (!committed.empty() && meter) {
      committed_[row] = committed;
      trackResult_[row] = meter->Result();
      const std::size_t place =
          std::size_t(std::find(rows.begin(), rows.end(), std::size_t(row)) - rows.begin());
      albums_[a]->Add(place, std::move(*meter));
    }
    if (++done_[a] != rows.size() || cancelled_[a]) return std::nullopt;
    album.measured = albums_[a]->Result();
    for (const std::size_t r : rows) {
      album.rows.push_back(static_cast<int>(r));
      if (committed_[r].empty()) continue;
      if (auto gain = ReplayGainOf(trackResult_[r], &album.measured); gain && gain->hasAlbum) {
        writes.emplace_back(committed_[r], *gain);
        if (!album.gain) album.gain = gain;
      }
    }
  }
  // The figures are the album's whatever track gave them; only the album fields matter here.
  for (const auto& [path, gain] : writes)
    if (WriteGainTagsReplacing(path, targetCode_, gain) && TakesGainTags(targetCode_))
      ++album.tagged;
  return album;
}

std::string LoudnessStatusSuffix(const RowLoudness& loudness) {
  double db;
  std::string label;
  if (loudness.gain) {
    db = loudness.gain->trackGainDb;
  } else if (loudness.normalised && loudness.normaliseGainDb != 0.0) {
    db = loudness.normaliseGainDb;
    label = "normalised ";
  } else {
    return {};
  }
  // One decimal with a point whatever the locale, a sign, and never "-0.0".
  char digits[32];
  const double rounded = std::round(db * 10.0) / 10.0;
  const auto end = std::to_chars(digits, digits + sizeof digits, std::fabs(rounded),
                                 std::chars_format::fixed, 1);
  const std::string number(digits, end.ptr);
  const std::string sign = rounded > 0.0 ? "+" : rounded < 0.0 ? "-" : "";
  return " (" + label + sign + number + " dB)";
}

}  // namespace wavorax
