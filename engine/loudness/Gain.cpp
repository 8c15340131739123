#include "engine/loudness/Gain.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace wavorax {

double ReplayGainDb(double integratedLufs) { return kReplayGainReferenceLufs - integratedLufs; }

std::optional<ReplayGain> ReplayGainOf(const LoudnessResult& track, const LoudnessResult* album) {
  if (!track.valid) return std::nullopt;
  ReplayGain g;
  g.trackGainDb = ReplayGainDb(track.integratedLufs);
  g.trackPeak = track.truePeak;
  if (album && album->valid) {
    g.hasAlbum = true;
    g.albumGainDb = ReplayGainDb(album->integratedLufs);
    g.albumPeak = album->truePeak;
  }
  return g;
}

namespace {

// std::to_chars, unlike printf, ignores LC_NUMERIC, which a Qt front end sets from the
// environment: a German desktop would otherwise write "9,51 dB", which no player reads.
std::string Fixed(double v, int decimals) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  std::string s(buf, res.ec == std::errc() ? res.ptr : buf);
  if (s.size() > 1 && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

}  // namespace

std::string FormatGainDb(double db) { return Fixed(db, 2) + " dB"; }

std::string FormatPeak(double peak) { return Fixed(peak, 6); }

std::vector<TagField> ReplayGainFields(const ReplayGain& gain) {
  std::vector<TagField> fields = {{"REPLAYGAIN_TRACK_GAIN", FormatGainDb(gain.trackGainDb)},
                                  {"REPLAYGAIN_TRACK_PEAK", FormatPeak(gain.trackPeak)}};
  if (gain.hasAlbum) {
    fields.push_back({"REPLAYGAIN_ALBUM_GAIN", FormatGainDb(gain.albumGainDb)});
    fields.push_back({"REPLAYGAIN_ALBUM_PEAK", FormatPeak(gain.albumPeak)});
  }
  return fields;
}

std::string Mp4FreeformKey(const std::string& name) {
  return std::string("----:") + kMp4FreeformMean + ":" + name;
}

int Q78(double db) {
  if (std::isnan(db)) return 0;
  return static_cast<int>(std::clamp(std::round(db * 256.0), -32768.0, 32767.0));
}

std::vector<TagField> OpusR128Fields(const ReplayGain& gain) {
  constexpr double kShift = kOpusR128ReferenceLufs - kReplayGainReferenceLufs;
  std::vector<TagField> fields = {
      {"R128_TRACK_GAIN", std::to_string(Q78(gain.trackGainDb + kShift))}};
  if (gain.hasAlbum)
    fields.push_back({"R128_ALBUM_GAIN", std::to_string(Q78(gain.albumGainDb + kShift))});
  return fields;
}

double NormalisationGainDb(const LoudnessResult& measured, double targetLufs) {
  if (!measured.valid || !std::isfinite(measured.integratedLufs)) return 0.0;
  if (std::isnan(targetLufs)) targetLufs = kNormaliseTargetDefaultLufs;
  targetLufs = std::clamp(targetLufs, kNormaliseTargetMinLufs, kNormaliseTargetMaxLufs);
  double gain = targetLufs - measured.integratedLufs;
  if (measured.truePeak > 0.0)
    gain = std::min(gain, kNormalisePeakCeilingDbtp - 20.0 * std::log10(measured.truePeak));
  return gain;
}

double DbToFactor(double db) { return std::pow(10.0, db / 20.0); }

namespace {

template <typename T>
void Scale(T* data, int count, double factor, double lo, double hi) {
  if (!data || !std::isfinite(factor)) return;
  for (int i = 0; i < count; ++i)
    data[i] = static_cast<T>(std::lrint(std::clamp(data[i] * factor, lo, hi)));
}

}  // namespace

void ApplyGain16(std::int16_t* left, std::int16_t* right, int count, int channels, double factor) {
  Scale(left, count, factor, -32768.0, 32767.0);
  if (channels == 2) Scale(right, count, factor, -32768.0, 32767.0);
}

void ApplyGain32(std::int32_t* left, std::int32_t* right, int count, int channels, int width,
                 double factor) {
  width = std::clamp(width, 8, 32);
  const double hi = std::ldexp(1.0, width - 1) - 1.0;
  Scale(left, count, factor, -hi - 1.0, hi);
  if (channels == 2) Scale(right, count, factor, -hi - 1.0, hi);
}

void ApplyGainFloat(float* left, float* right, int count, int channels, double factor) {
  const auto scale = [factor, count](float* data) {
    if (!data || !std::isfinite(factor)) return;
    for (int i = 0; i < count; ++i)
      data[i] = static_cast<float>(std::clamp(data[i] * factor, -1.0, 1.0));
  };
  scale(left);
  if (channels == 2) scale(right);
}

}  // namespace wavorax
