// What a loudness measurement turns into: ReplayGain 2.0 and Opus R128 gains with their tag
// texts in each format's convention, and the normalisation gain with its application to the
// samples on their way to the encoder. Pure functions; nothing here keeps state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/loudness/LoudnessMeter.h"

namespace wavorax {

// ReplayGain 2.0 brings a track to −18 LUFS.
inline constexpr double kReplayGainReferenceLufs = -18.0;
// RFC 7845 (Opus in Ogg) brings a track to the EBU R128 level of −23 LUFS.
inline constexpr double kOpusR128ReferenceLufs = -23.0;

struct ReplayGain {
  double trackGainDb = 0.0;
  double trackPeak = 0.0;  // linear, 1.0 is full scale
  bool hasAlbum = false;
  double albumGainDb = 0.0;
  double albumPeak = 0.0;
};

// The gain that brings `integratedLufs` to −18 LUFS.
double ReplayGainDb(double integratedLufs);

// Nothing when the track's measurement is not valid (no tag is written then). The album
// fields are filled when `album` is given and valid; pass null for a track outside an album.
std::optional<ReplayGain> ReplayGainOf(const LoudnessResult& track,
                                       const LoudnessResult* album = nullptr);

struct TagField {
  std::string name;
  std::string value;
  bool operator==(const TagField&) const = default;
};

// "-9.30 dB": two decimals, a point whatever the process's locale, and never "-0.00".
std::string FormatGainDb(double db);
// "0.988553": six decimals.
std::string FormatPeak(double peak);

// REPLAYGAIN_TRACK_GAIN, REPLAYGAIN_TRACK_PEAK and, with an album, REPLAYGAIN_ALBUM_GAIN and
// REPLAYGAIN_ALBUM_PEAK, in that order, named in capitals as loudgain writes them. The same
// names and texts serve as ID3v2 TXXX descriptions and values (see Id3v2Gain.h), as Vorbis
// comments in FLAC and Ogg Vorbis (NAME=value), and as MP4 free-form items (below).
std::vector<TagField> ReplayGainFields(const ReplayGain& gain);

// MP4 carries those fields as free-form `----` items with mean "com.apple.iTunes" and the
// field's name, e.g. `----:com.apple.iTunes:REPLAYGAIN_TRACK_GAIN` in TagLib's item keys.
inline constexpr char kMp4FreeformMean[] = "com.apple.iTunes";
std::string Mp4FreeformKey(const std::string& name);

// A gain in dB as RFC 7845's Q7.8 integer (dB × 256, rounded to nearest), clamped to the
// 16-bit range.
int Q78(double db);
// R128_TRACK_GAIN and, with an album, R128_ALBUM_GAIN: decimal Q7.8 integers of the gain to
// −23 LUFS, that is the ReplayGain figure less 5 dB. RFC 7845 makes them relative to the
// output gain in the Opus header, which our Opus encoder leaves at 0, so they are the plain
// gains of the measured samples. Opus has no peak field.
std::vector<TagField> OpusR128Fields(const ReplayGain& gain);

// Normalisation targets are −N LUFS for N in 5 … 31.
inline constexpr double kNormaliseTargetMinLufs = -31.0;
inline constexpr double kNormaliseTargetMaxLufs = -5.0;
inline constexpr double kNormaliseTargetDefaultLufs = -18.0;
// The true peak after the gain stays at or below this.
inline constexpr double kNormalisePeakCeilingDbtp = -1.0;

// The gain in dB that brings `measured` to `targetLufs` (clamped to −31 … −5), lowered so
// that its true peak plus the gain stays at or below −1 dBTP. In album mode `measured` is the
// album's result, so every track gets the same gain and the tracks keep their relative
// levels. 0 (leave the samples alone) when the measurement is not valid.
double NormalisationGainDb(const LoudnessResult& measured,
                           double targetLufs = kNormaliseTargetDefaultLufs);

// 10^(dB/20).
double DbToFactor(double db);

// Multiply planar blocks by `factor` in place, rounding to the nearest sample value and
// saturating at full scale (the normalisation gain never gets there, but a block fed with a
// different gain must not wrap). `right` is processed only with two channels.
void ApplyGain16(std::int16_t* left, std::int16_t* right, int count, int channels, double factor);
// Samples in the low `width` bits (clamped to 8 … 32), saturated to that width.
void ApplyGain32(std::int32_t* left, std::int32_t* right, int count, int channels, int width,
                 double factor);
// Saturated to ±1.0.
void ApplyGainFloat(float* left, float* right, int count, int channels, double factor);

}  // namespace wavorax
