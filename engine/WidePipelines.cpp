// The pipelines of the targets that take samples wider than 16 bits: FLAC, ALAC, Ogg Opus,
// Ogg Vorbis, and WAV at 24 bits or 32-bit float. Every sample travels as a signed 32-bit
// integer at the source's own width, so a 24-bit source reaches a 24-bit FLAC bit for bit.
#include <FLAC/format.h>
#include <unistd.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/Paths.h"
#include "base/Utf8.h"
#include "decoders/audiolib/CoverArt.h"
#include "decoders/audiolib/TagFields.h"
#include "encoders/WavWriter.h"
#include "encoders/alac/AlacEncoder.h"
#include "encoders/flac/FlacEncoder.h"
#include "encoders/opus/OpusEncoder.h"
#include "encoders/vorbis/VorbisEncoder.h"
#include "encoders/vorbiscomment/AudioTags.h"
#include "engine/Amplify.h"
#include "engine/LoudnessTap.h"
#include "engine/PipelineSupport.h"
#include "engine/Pipelines.h"

namespace wavorax {

namespace {

// The decoder's block in 32-bit integers at the source's width: 8-bit samples are unsigned
// around 128, 16-bit ones signed, and wide ones already 32-bit.
void ToWide(const void* in, int bits, int n, std::int32_t* out) {
  if (bits == 8) {
    const auto* p = static_cast<const std::uint8_t*>(in);
    for (int i = 0; i < n; ++i) out[i] = static_cast<std::int32_t>(p[i]) - 128;
  } else if (bits == 16) {
    const auto* p = static_cast<const std::int16_t*>(in);
    for (int i = 0; i < n; ++i) out[i] = p[i];
  } else {
    std::memcpy(out, in, std::size_t(n) * sizeof(std::int32_t));
  }
}

std::int32_t Clip(std::int64_t v, int bits) {
  const std::int64_t top = (std::int64_t{1} << (bits - 1)) - 1;
  return static_cast<std::int32_t>(std::clamp(v, -top - 1, top));
}

// Brings samples from one width to another: widening is exact (the new low bits are zero);
// narrowing adds triangular dither of one step of the new width before rounding, so that
// the quantisation error is noise rather than distortion that follows the music. The noise
// comes from a generator seeded the same for every file, so a conversion is repeatable.
class WidthChanger {
 public:
  WidthChanger(int from, int to) : from_(from), to_(to) {}

  void Apply(std::int32_t* samples, int n) {
    if (from_ == to_) return;
    if (to_ > from_) {
      const int shift = to_ - from_;
      for (int i = 0; i < n; ++i)
        samples[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(samples[i]) << shift);
      return;
    }
    const int shift = from_ - to_;
    const std::int64_t step = std::int64_t{1} << shift;
    for (int i = 0; i < n; ++i) {
      // Two uniform values in 0 .. step-1: their difference is triangular in -(step-1) .. step-1.
      const std::int64_t noise = static_cast<std::int64_t>(Next() & std::uint64_t(step - 1)) -
                                 static_cast<std::int64_t>(Next() & std::uint64_t(step - 1));
      const std::int64_t v = std::int64_t{samples[i]} + noise + step / 2;
      samples[i] = Clip(v >> shift, to_);
    }
  }

 private:
  std::uint64_t Next() {
    // xorshift64*: fast, and plenty for dither.
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return (state_ * 0x2545F4914F6CDD1DULL) >> 16;
  }

  int from_, to_;
  std::uint64_t state_ = 0x9E3779B97F4A7C15ULL;
};

// A rate converter for 32-bit planar samples, for sources faster than a target takes.
// The result is held to the samples' width, as a filter may overshoot a full-scale sample.
class WideResampler {
 public:
  ~WideResampler() { swr_free(&swr_); }

  bool Init(int inRate, int outRate, int channels, int bits) {
    channels_ = channels;
    bits_ = bits;
    AVChannelLayout layout;
    av_channel_layout_default(&layout, channels);
    const int r = swr_alloc_set_opts2(&swr_, &layout, AV_SAMPLE_FMT_S32P, outRate, &layout,
                                      AV_SAMPLE_FMT_S32P, inRate, 0, nullptr);
    av_channel_layout_uninit(&layout);
    if (r < 0 || !swr_) return false;
    return swr_init(swr_) >= 0;
  }

  // Converts n samples per channel (null input: what the filter still holds) into `left`
  // and `right`; false on a converter error.
  bool Convert(const std::int32_t* inLeft, const std::int32_t* inRight, int n,
               std::vector<std::int32_t>& left, std::vector<std::int32_t>& right, int& produced) {
    const int capacity = swr_get_out_samples(swr_, n);
    if (capacity < 0) return false;
    left.resize(std::size_t(capacity) + 1);
    right.resize(channels_ == 2 ? left.size() : 0);
    std::uint8_t* out[2] = {reinterpret_cast<std::uint8_t*>(left.data()),
                            reinterpret_cast<std::uint8_t*>(right.data())};
    const std::uint8_t* in[2] = {reinterpret_cast<const std::uint8_t*>(inLeft),
                                 reinterpret_cast<const std::uint8_t*>(inRight)};
    produced = swr_convert(swr_, out, capacity + 1, inLeft ? in : nullptr, inLeft ? n : 0);
    if (produced < 0) return false;
    if (bits_ < 32) {
      for (int i = 0; i < produced; ++i) {
        left[i] = Clip(left[i], bits_);
        if (channels_ == 2) right[i] = Clip(right[i], bits_);
      }
    }
    return true;
  }

 private:
  SwrContext* swr_ = nullptr;
  int channels_ = 1, bits_ = 32;
};

// How one target takes its samples.
struct WidePlan {
  bool wide;  // ask the decoder for the source's own width
  // The output's rate for a source of `sourceRate`.
  std::function<int(int sourceRate)> outputRate;
  // The output's width for a source of `sourceBits`.
  std::function<int(int sourceBits)> outputBits;
  int channels = 0;     // 1 or 2; 0 keeps the source's
  int monoType = 0;     // two channels into one: 0 mixed, 1 the left, 2 the right
  float factor = 0.0f;  // amplification, 0 for none
};

// Two channels into one, or one into two, in place in `left` (and `right`).
void MapChannels(std::int32_t* left, std::int32_t* right, int n, int from, int to, int monoType) {
  if (from == 2 && to == 1) {
    if (monoType == 2) {
      std::memcpy(left, right, std::size_t(n) * sizeof(std::int32_t));
    } else if (monoType == 0) {
      for (int i = 0; i < n; ++i)
        left[i] = static_cast<std::int32_t>((std::int64_t{left[i]} + right[i]) / 2);
    }
  } else if (from == 1 && to == 2) {
    std::memcpy(right, left, std::size_t(n) * sizeof(std::int32_t));
  }
}

// Amplifies samples of `bits` width, truncated toward zero and held symmetric to the width,
// as the 16-bit path does.
void AmplifyWide(std::int32_t* samples, int n, int bits, float factor) {
  const double top = double((std::int64_t{1} << (bits - 1)) - 1);
  for (int i = 0; i < n; ++i)
    samples[i] = static_cast<std::int32_t>(std::clamp(double(samples[i]) * factor, -top, top));
}

// The block loop of the wide targets: decode, widen, map the channels, amplify, resample,
// change the width, and hand the samples to `write(left, right, n)`. `open(rate, channels,
// bits)` creates the writer once the output's format is known, and `tag` runs after it.
// Returns 1 on success; on failure or Cancel the output is removed, never the source.
template <typename Open, typename Tag, typename Write, typename Close>
int ConvertWide(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                const std::string& outputPath, IConvertProgress& progress, int renderRate,
                const WidePlan& plan, Open open, Tag tag, Write write, Close close) {
  auto decoder = OpenSource(ctx, sourceType, sourcePath, renderRate);
  if (!decoder) return 0;
  if (plan.wide) decoder->EnableWideSamples();
  const int srcRate = decoder->GetSampleRate();
  const int srcChannels = decoder->GetOutputChannels();
  const int srcBits = decoder->GetBitsPerSample();
  const int rate = plan.outputRate(srcRate);
  const int channels = plan.channels > 0 ? plan.channels : srcChannels;
  const int bits = plan.outputBits(srcBits);

  WideResampler resampler;
  const bool resample = rate != srcRate;
  bool ok = rate > 0 && (!resample || resampler.Init(srcRate, rate, channels, srcBits)) &&
            open(rate, channels, bits);
  if (!ok) {
    decoder->Close();
    close();
    DeleteUnlessSame(outputPath, sourcePath);
    return 0;
  }
  ok = tag(*decoder);
  CLoudnessTap* tap = ctx.loudness;
  if (tap) tap->Open(rate, channels);

  InputBlock in(BytesOf(srcBits), srcChannels);
  std::vector<std::int32_t> wideLeft(kDecodeBlock);
  std::vector<std::int32_t> wideRight(srcChannels == 2 || channels == 2 ? kDecodeBlock : 0);
  std::vector<std::int32_t> rateLeft, rateRight;
  WidthChanger widthLeft(srcBits, bits), widthRight(srcBits, bits);
  // Samples at the source width, resampled or not, brought to the output width and written.
  const auto emit = [&](std::int32_t* left, std::int32_t* right, int n) {
    if (tap) tap->Gain32(left, right, n, srcBits);
    widthLeft.Apply(left, n);
    if (right) widthRight.Apply(right, n);
    if (tap) tap->Measure32(left, right, n, bits);
    return write(left, right, n);
  };
  const auto resampled = [&](const std::int32_t* left, const std::int32_t* right, int n) {
    int produced = 0;
    if (!resampler.Convert(left, right, n, rateLeft, rateRight, produced)) return false;
    return produced == 0 ||
           emit(rateLeft.data(), rateRight.empty() ? nullptr : rateRight.data(), produced);
  };
  FileProgress fileProgress(progress, FileNameOf(sourcePath), decoder->GetLength());
  bool ended = ok && PumpBlocks(*decoder, sourceType, in, fileProgress, [&](int n) {
                 std::int32_t* left = wideLeft.data();
                 ToWide(in.L(), srcBits, n, left);
                 if (srcChannels == 2) ToWide(in.R(), srcBits, n, wideRight.data());
                 MapChannels(left, wideRight.data(), n, srcChannels, channels, plan.monoType);
                 std::int32_t* right = channels == 2 ? wideRight.data() : nullptr;
                 if (plan.factor != 0.0f) {
                   AmplifyWide(left, n, srcBits, plan.factor);
                   if (right) AmplifyWide(right, n, srcBits, plan.factor);
                 }
                 return resample ? resampled(left, right, n) : emit(left, right, n);
               });
  if (ended && resample) ended = resampled(nullptr, nullptr, 0);
  if (ended) fileProgress.Finish();
  decoder->Close();
  decoder.reset();
  const bool closed = close();
  return Outcome(ended, closed, outputPath, sourcePath);
}

// The source's rate, or `fallback` for one faster than `maxRate`.
std::function<int(int)> RateUpTo(int maxRate, int fallback) {
  return [=](int rate) { return rate > maxRate ? fallback : rate; };
}

// 16 bits, or 24 for a source wider than 16 bits when the page says "as the source": the
// widths both lossless formats hold.
int LosslessBits(int choice, int sourceBits) { return choice == 16 || sourceBits <= 16 ? 16 : 24; }

// Splits "3/12" into its number and total, for the formats that store them apart.
void AddNumberAndTotal(AudioTags& tags, const char* numberName, const char* totalName,
                       const std::string& text, bool haveTotal) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) {
    tags.Add(numberName, text);
    return;
  }
  tags.Add(numberName, text.substr(0, slash));
  if (!haveTotal) tags.Add(totalName, text.substr(slash + 1));
}

// The Vorbis comments of a file: every field the tag layer reads from the source when tags
// are transferred (each value its own field, full dates kept, "3/12" split into number and
// total) and its front cover, or the user's tag.
AudioTags VorbisCommentsFor(const PipelineContext& ctx, const std::string& sourcePath,
                            CDecoder& decoder) {
  const ConversionSettings& s = ctx.settings;
  AudioTags tags;
  if (s.VorbisCommentTagType == kTagAddUser) {
    const TagRecord& user = s.VorbisCommentTag;
    tags.Add("TITLE", user.useFileNameAsTitle ? TitleFromFileName(sourcePath) : user.title);
    tags.Add("ARTIST", user.artist);
    tags.Add("ALBUM", user.album);
    tags.Add("DATE", user.year);
    tags.Add("GENRE", GenreName(user.genre));
    tags.Add("COMMENT", user.comment);
    if (const int track = UserTrackNumber(user, ctx.batchSequenceNumber); track > 0)
      tags.Add("TRACKNUMBER", std::to_string(track));
    return tags;
  }
  if (s.VorbisCommentTagType != kTagTransfer) return tags;
  const audiolib::TagMap map = audiolib::ReadTagMap(sourcePath);
  if (!map.empty()) {
    const bool trackTotal = map.count("TRACKTOTAL") || map.count("TOTALTRACKS");
    const bool discTotal = map.count("DISCTOTAL") || map.count("TOTALDISCS");
    for (const auto& [name, values] : map) {
      for (const std::string& value : values) {
        if (name == "TRACKNUMBER")
          AddNumberAndTotal(tags, "TRACKNUMBER", "TRACKTOTAL", value, trackTotal);
        else if (name == "DISCNUMBER")
          AddNumberAndTotal(tags, "DISCNUMBER", "DISCTOTAL", value, discTotal);
        else
          tags.Add(name, value);
      }
    }
  } else {
    // Formats the tag layer does not read (tracker music, some raw streams) still give
    // their decoder's texts.
    std::string title, artist, album, year, genre, comment, track;
    if (decoder.ReadTags(title, artist, album, year, genre, comment, track)) {
      tags.Add("TITLE", title);
      tags.Add("ARTIST", artist);
      tags.Add("ALBUM", album);
      tags.Add("DATE", year);
      tags.Add("GENRE", genre);
      tags.Add("COMMENT", comment);
      AddNumberAndTotal(tags, "TRACKNUMBER", "TRACKTOTAL", track, false);
    }
  }
  // A cover that is too large or of another type is left out; it never fails the file.
  tags.SetFrontCover(ReadFrontCover(sourcePath));
  return tags;
}

constexpr int kCdRate = 44100;

}  // namespace

int MusicRenderRateForLossless(const ConversionSettings&) { return kCdRate; }
int MusicRenderRateForOpus(const ConversionSettings&) { return 48000; }

int ConvertToFlac(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                  const std::string& outputPath, IConvertProgress& progress) {
  const ConversionSettings& s = ctx.settings;
  CFlacEncoder encoder;
  const WidePlan plan{true, RateUpTo(static_cast<int>(FLAC__MAX_SAMPLE_RATE), 384000),
                      [&](int bits) { return LosslessBits(s.FLACBitsPerSample, bits); }};
  return ConvertWide(
      ctx, sourceType, sourcePath, outputPath, progress, kCdRate, plan,
      [&](int rate, int channels, int bits) {
        return encoder.Open(outputPath, rate, channels, bits, s.FLACCompression);
      },
      [&](CDecoder& d) { return encoder.SetTags(VorbisCommentsFor(ctx, sourcePath, d)); },
      [&](const std::int32_t* l, const std::int32_t* r, int n) { return encoder.Write(l, r, n); },
      [&] { return encoder.Close(); });
}

int ConvertToAlac(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                  const std::string& outputPath, IConvertProgress& progress) {
  const ConversionSettings& s = ctx.settings;
  CAlacEncoder encoder;
  const WidePlan plan{true, RateUpTo(CAlacEncoder::kMaxRate, CAlacEncoder::kMaxRate),
                      [&](int bits) { return LosslessBits(s.ALACBitsPerSample, bits); }};
  return ConvertWide(
      ctx, sourceType, sourcePath, outputPath, progress, kCdRate, plan,
      [&](int rate, int channels, int bits) {
        return encoder.Open(outputPath, rate, channels, bits);
      },
      [&](CDecoder& d) {
        return encoder.SetSourceSeconds(static_cast<std::uint64_t>(std::max(0, d.GetDuration()))) &&
               TagMp4Family(ctx, sourcePath, encoder, d);
      },
      [&](const std::int32_t* l, const std::int32_t* r, int n) { return encoder.Write(l, r, n); },
      [&] { return encoder.Close(); });
}

int ConvertToOpus(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                  const std::string& outputPath, IConvertProgress& progress) {
  const ConversionSettings& s = ctx.settings;
  COpusEncoder encoder;
  // Opus codes at 48 kHz whatever it is given; a source above what its resampler takes goes
  // straight there.
  const WidePlan plan{true, RateUpTo(COpusEncoder::kMaxRate, 48000), [](int bits) { return bits; }};
  return ConvertWide(
      ctx, sourceType, sourcePath, outputPath, progress, 48000, plan,
      [&](int rate, int channels, int bits) {
        OpusOptions options;
        // The page's rate is the stream's; mono takes at most half of stereo's top.
        options.bitRateKbps = std::clamp(s.OpusBitRate, COpusEncoder::kMinKbpsPerChannel * channels,
                                         COpusEncoder::kMaxKbpsPerChannel * channels);
        options.vbr = s.OpusVBR != 0;
        options.signal =
            s.OpusSignal == 1 ? OpusOptions::Signal::Speech : OpusOptions::Signal::Music;
        return encoder.Open(outputPath, rate, channels, bits, options);
      },
      [&](CDecoder& d) { return encoder.SetTags(VorbisCommentsFor(ctx, sourcePath, d)); },
      [&](const std::int32_t* l, const std::int32_t* r, int n) { return encoder.Write(l, r, n); },
      [&] { return encoder.Close(); });
}

int ConvertToOgg(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                 const std::string& outputPath, IConvertProgress& progress) {
  const ConversionSettings& s = ctx.settings;
  CVorbisEncoder encoder;
  const WidePlan plan{true, RateUpTo(CVorbisEncoder::kMaxRate, CVorbisEncoder::kMaxRate),
                      [](int bits) { return bits; }};
  return ConvertWide(
      ctx, sourceType, sourcePath, outputPath, progress, kCdRate, plan,
      [&](int rate, int channels, int bits) {
        VorbisOptions options;
        if (s.VorbisMode == 1)
          options.averageKbps = s.VorbisBitRate;
        else
          options.quality = s.VorbisQuality;
        return encoder.Open(outputPath, rate, channels, bits, options);
      },
      [&](CDecoder& d) { return encoder.SetTags(VorbisCommentsFor(ctx, sourcePath, d)); },
      [&](const std::int32_t* l, const std::int32_t* r, int n) { return encoder.Write(l, r, n); },
      [&] { return encoder.Close(); });
}

bool WantsWideWav(const ConversionSettings& s) {
  return !s.AutoDestWAVEncodingParam && (s.WAVBitsPerSample == 24 || s.WAVBitsPerSample == 32);
}

int ConvertToWideWav(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                     const std::string& outputPath, IConvertProgress& progress) {
  const ConversionSettings& s = ctx.settings;
  CWavWriter writer;
  WidePlan plan{true, [&](int rate) { return s.WAVSampleRate > 0 ? s.WAVSampleRate : rate; },
                [&](int) { return s.WAVBitsPerSample; }};
  plan.channels = s.WAVChannelNum;
  plan.monoType = s.MonoType;
  plan.factor = AmplificationFactor(s.AmplifyWav, s.AmplifyWavCoeff);
  return ConvertWide(
      ctx, sourceType, sourcePath, outputPath, progress, MusicRenderRateForWav(s), plan,
      [&](int rate, int channels, int bits) {
        return rate <= 768000 && writer.Open(outputPath, channels == 2, bits, rate);
      },
      [](CDecoder&) { return true; },
      [&](const std::int32_t* l, const std::int32_t* r, int n) {
        return writer.WriteWide(l, r, n);
      },
      [&] { return writer.Close(); });
}

}  // namespace wavorax
