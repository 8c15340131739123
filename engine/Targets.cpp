#include "engine/Targets.h"

namespace wavorax {

namespace {

// The MP3 stream carries no gapless information, so its decoder also delivers the encoder's
// 576 samples of delay, and the encoder pads the end by at least 576 samples.
constexpr LengthAllowance kMp3Allowance{576 + 576, 1152};
constexpr LengthAllowance kWavAllowance{0, 0};
// A raw ADTS stream cannot say that its first frame is encoder priming.
constexpr LengthAllowance kAacAllowance{1024, 1024};
// The edit list takes the priming away; the last frame's padding may stay.
constexpr LengthAllowance kMp4Allowance{0, 1024};
// The lossless containers record the exact length.
constexpr LengthAllowance kExactAllowance{0, 0};
// Ogg Opus ends on a granule position that gives the exact length at 48 kHz, and the decoder
// honours it and the pre-skip.
constexpr LengthAllowance kOpusAllowance{0, 0};
// Ogg Vorbis's last granule gives the exact length too, but the verifying decoder trims
// neither the start nor the end by it: its count may differ by up to half a long block.
constexpr LengthAllowance kVorbisAllowance{0, 1024};

}  // namespace

const TargetTable& Targets() {
  static const TargetTable table = {
      {kTargetMp3, " to MP3", "mp3", ".mp3", "MP3", ConvertToMp3, MusicRenderRateForMp3,
       kMp3Allowance},
      {kTargetWav, " to WAV", "wav", ".wav", "WAV", ConvertToWav, MusicRenderRateForWav,
       kWavAllowance},
      {kTargetAac, " to AAC", "aac", ".aac", "AAC", ConvertToAac, MusicRenderRateForWav,
       kAacAllowance},
      {kTargetMp4, " to MP4", "mp4", ".mp4", "MP4", ConvertToMp4, MusicRenderRateForWav,
       kMp4Allowance},
      {kTargetM4a, " to M4A", "m4a", ".m4a", "M4A", ConvertToMp4, MusicRenderRateForWav,
       kMp4Allowance},
      {kTargetM4b, " to M4B", "m4b", ".m4b", "M4B", ConvertToMp4, MusicRenderRateForWav,
       kMp4Allowance},
      {kTargetFlac, " to FLAC", "flac", ".flac", "FLAC", ConvertToFlac, MusicRenderRateForLossless,
       kExactAllowance},
      {kTargetAlac, " to ALAC", "alac", ".m4a", "ALAC", ConvertToAlac, MusicRenderRateForLossless,
       kExactAllowance},
      {kTargetOpus, " to Opus", "opus", ".opus", "Opus", ConvertToOpus, MusicRenderRateForOpus,
       kOpusAllowance},
      {kTargetOgg, " to OGG", "ogg", ".ogg", "OGG", ConvertToOgg, MusicRenderRateForLossless,
       kVorbisAllowance},
  };
  return table;
}

const TargetInfo* FindTarget(const TargetTable& table, int code) {
  for (const TargetInfo& t : table)
    if (t.code == code) return &t;
  return nullptr;
}

const TargetInfo* FindTargetByCliName(const TargetTable& table, const std::string& name) {
  for (const TargetInfo& t : table)
    if (name == t.cliName) return &t;
  return nullptr;
}

std::string ExtensionOfTarget(int targetFormat) {
  const TargetInfo* t = FindTarget(Targets(), targetFormat);
  return t ? t->extension : "";
}

std::string OverallText(const TargetTable& table, int targetFormat, int number, int count) {
  const TargetInfo* t = FindTarget(table, targetFormat);
  return "Converting " + std::to_string(number) + " of " + std::to_string(count) + " file(s) to " +
         (t ? t->progressName : "MP3") + "...";
}

std::string FileText(const std::string& name, int percent) {
  return "Converting " + name + "..." + std::to_string(percent) + "%";
}

}  // namespace wavorax
