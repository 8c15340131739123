#include "encoders/Mp4Encoder.h"

#include <cinttypes>
#include <cstdio>

#include "base/Cp1252.h"
#include "base/Utf8.h"

namespace wavorax {

std::string GaplessInfo(std::uint32_t priming, std::uint64_t frames, std::uint32_t frameLength,
                        std::uint64_t length) {
  const std::uint64_t stored = frames * frameLength;
  const std::uint64_t used = std::uint64_t{priming} + length;
  const std::uint64_t padding = stored > used ? stored - used : 0;
  char text[160];
  std::snprintf(text, sizeof text, " 00000000 %08" PRIX32 " %08" PRIX32 " %016" PRIX64, priming,
                static_cast<std::uint32_t>(padding), length);
  std::string info(text);
  for (int i = 0; i < 8; ++i) info += " 00000000";
  return info;
}

CMp4Encoder::~CMp4Encoder() { Close(); }

bool CMp4Encoder::Open(const std::string& path, int sampleRate, int channels, int bitsPerSample) {
  Close();
  if (sampleRate <= 0 || channels <= 0) return false;
  sampleRate_ = sampleRate;
  channels_ = channels;
  bitsPerSample_ = bitsPerSample;
  // The encoder first: a rate or channel count it cannot take leaves no empty file behind.
  // Raw frames: the container does the framing.
  encoder_ = OpenWriterEncoder(sampleRate, channels, 0, &config_, &inputSamples_, &maxOutputBytes_);
  if (!encoder_) return false;
  clock_ = Mp4SampleClock(static_cast<std::uint32_t>(inputSamples_ / channels));
  container_ = MP4Create(path);
  return container_ != nullptr;
}

faacEncConfigurationPtr CMp4Encoder::GetConfiguration() { return config_; }

bool CMp4Encoder::Start() {
  if (!encoder_ || !config_ || !container_ || started_) return false;
  config_->inputFormat = FAAC_INPUT_16BIT;
  // An MP4 track holds raw frames; ADTS headers inside its samples would be garbage to a
  // player. The MP4 target has no MPEG version option either.
  config_->outputFormat = 0;
  config_->mpegVersion = MPEG4;
  if (!faacEncSetConfiguration(encoder_.get(), config_)) return false;
  MP4FileHandle file = container_.get();
  if (!MP4SetTimeScale(file, kMovieTimeScale)) return false;
  track_ = MP4AddAudioTrack(file, static_cast<std::uint32_t>(sampleRate_), MP4_INVALID_DURATION,
                            MP4_MPEG4_AUDIO_TYPE);
  if (track_ == MP4_INVALID_TRACK_ID) return false;
  if (!MP4SetAudioProfileLevel(file, kAudioProfileLevel)) return false;
  std::vector<std::uint8_t> info;
  if (faacEncGetDecoderSpecificInfo(encoder_.get(), &info) != 0) return false;
  if (!MP4SetTrackESConfiguration(file, track_, info.data(),
                                  static_cast<std::uint32_t>(info.size())))
    return false;
  input_.Reset(channels_, inputSamples_);
  output_.assign(maxOutputBytes_, 0);
  started_ = true;
  return true;
}

bool CMp4Encoder::SetMetadata(std::string_view title, std::string_view artist,
                              std::string_view album, std::string_view genre, std::string_view year,
                              std::string_view comment, int track) {
  return container_ &&
         MP4SetMetadataTexts(container_.get(), title, artist, album, genre, year, comment, track);
}

bool CMp4Encoder::SetSourceSeconds(std::uint64_t seconds) {
  return container_ && MP4SetCompactIndex(container_.get(), seconds > kMp4CompactIndexSeconds);
}

bool CMp4Encoder::SetCoverArt(std::span<const std::uint8_t> picture) {
  return container_ && MP4SetMetadataCoverArt(container_.get(), picture);
}

bool CMp4Encoder::EncodeBuffered(int& produced) {
  clock_.Feed(input_.fill() / static_cast<std::size_t>(channels_));
  produced = faacEncEncode(encoder_.get(), input_.data(), static_cast<unsigned int>(input_.fill()),
                           output_.data(), static_cast<unsigned int>(output_.size()));
  input_.Clear();
  if (produced < 0) return false;
  if (produced == 0) return true;
  const Mp4SampleClock::Sample s = clock_.Next();
  // A frame wholly past the end of the fed samples has nothing to present, and a sample
  // without duration would share its decode time with the one before it: it is dropped.
  if (s.duration == 0) return true;
  if (!MP4WriteSample(container_.get(), track_, output_.data(),
                      static_cast<std::uint32_t>(produced), s.duration, s.renderingOffset, true))
    return false;
  ++framesWritten_;
  return true;
}

template <typename Sample, typename Widen>
bool CMp4Encoder::Feed(const Sample* left, const Sample* right, int count, Widen widen) {
  if (!started_) return false;
  return input_.Feed(left, right, count, widen, [this] {
    int produced;
    return EncodeBuffered(produced);
  });
}

bool CMp4Encoder::Write16(const std::int16_t* left, const std::int16_t* right, int count) {
  return Feed(left, right, count, KeepPcm16);
}

bool CMp4Encoder::Write8(const std::uint8_t* left, const std::uint8_t* right, int count) {
  return Feed(left, right, count, WidenPcm8);
}

bool CMp4Encoder::Close() {
  if (!container_ && !encoder_) return true;
  bool ok = true;
  if (started_ && encoder_ && container_) {
    int produced = 0;
    ok = EncodeBuffered(produced);
    while (ok && produced > 0) ok = EncodeBuffered(produced);
    if (ok)
      ok = MP4SetMetadataFreeForm(
          container_.get(), "iTunSMPB",
          GaplessInfo(clock_.frameLength(), framesWritten_, clock_.frameLength(), clock_.fed()));
  } else {
    ok = false;  // never started: there is no track to make a file of
  }
  if (container_) ok = MP4Close(container_) && ok;
  faacEncClose(encoder_);
  config_ = nullptr;
  track_ = MP4_INVALID_TRACK_ID;
  input_.Release();
  output_.clear();
  output_.shrink_to_fit();
  framesWritten_ = 0;
  sampleRate_ = channels_ = bitsPerSample_ = 0;
  inputSamples_ = maxOutputBytes_ = 0;
  started_ = false;
  return ok;
}

}  // namespace wavorax
