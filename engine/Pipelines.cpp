#include "engine/Pipelines.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/Paths.h"
#include "base/Utf8.h"
#include "decoders/SourceType.h"
#include "decoders/audiolib/CoverArt.h"
#include "encoders/AacCodec.h"
#include "encoders/AacEncoder.h"
#include "encoders/Id3v1.h"
#include "encoders/Mp3Encoder.h"
#include "encoders/Mp4Encoder.h"
#include "encoders/WavWriter.h"
#include "engine/Amplify.h"
#include "engine/LoudnessTap.h"
#include "engine/PipelineSupport.h"
#include "engine/Resampler.h"
#include "engine/Targets.h"
#include "settings/TagRecord.h"

namespace wavorax {

// Tracker music renders at the target rate where the music library can; a rate outside its
// range (the 6000 Hz of the WAV page) renders at the nearest one, and the pipeline's
// resampler takes it to the target like any other source of a different rate.
static int RenderableMusicRate(int rate) {
  return std::clamp(rate, kMinMusicSampleRate, kMaxMusicSampleRate);
}

int MusicRenderRateForWav(const ConversionSettings& s) {
  if (s.AutoDestWAVEncodingParam) return 44100;
  return RenderableMusicRate(s.WAVSampleRate > 0 ? s.WAVSampleRate : 44100);
}

int MusicRenderRateForMp3(const ConversionSettings& s) {
  if (s.AutoDestMP3EncodingParam) return 44100;
  return RenderableMusicRate(s.MP3SampleRate >= 1 ? s.MP3SampleRate : 44100);
}

int SnapMp3BitRate(int kbps, int outputSampleRate) {
  static const int kRates[] = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                               96, 112, 128, 144, 160, 192, 224, 256, 320};
  int rate;
  if (kbps < 8) {
    rate = 8;
  } else if (kbps >= 320) {
    rate = 320;
  } else {
    const int* upper = std::upper_bound(std::begin(kRates), std::end(kRates), kbps);
    const int above = *upper, below = *(upper - 1);
    rate = (above - kbps) < (kbps - below) ? above : below;
  }
  if (outputSampleRate <= 12000)
    rate = std::min(rate, 64);
  else if (outputSampleRate <= 24000)
    rate = std::min(rate, 160);
  else
    rate = std::max(rate, 32);
  return rate;
}

// ---------------------------------------------------------------------------------------
// WAV

int ConvertToWav(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                 const std::string& outputPath, IConvertProgress& progress) {
  const ConversionSettings& s = ctx.settings;
  if (WantsWideWav(s)) return ConvertToWideWav(ctx, sourceType, sourcePath, outputPath, progress);
  auto decoder = OpenSource(ctx, sourceType, sourcePath, MusicRenderRateForWav(s));
  if (!decoder) return 0;

  const int srcRate = decoder->GetSampleRate();
  const int srcChannels = decoder->GetOutputChannels();
  const int srcBits = decoder->GetBitsPerSample();
  int rate = srcRate, channels = srcChannels, bits = srcBits;
  bool convert = false, choose = false;
  if (!s.AutoDestWAVEncodingParam) {
    rate = s.WAVSampleRate > 0 ? s.WAVSampleRate : srcRate;
    channels = s.WAVChannelNum > 0 ? s.WAVChannelNum : srcChannels;
    bits = s.WAVBitsPerSample > 0 ? s.WAVBitsPerSample : srcBits;
    convert = rate != srcRate || bits != srcBits || srcChannels < channels ||
              (srcChannels > channels && s.MonoType == 0);
    choose = srcChannels > channels && s.MonoType > 0;
  }
  // The writer produces 8- or 16-bit PCM in one or two channels only.
  if ((bits != 8 && bits != 16) || (channels != 1 && channels != 2) || rate <= 0 || rate > 768000)
    return 0;

  CWavWriter writer;
  if (!writer.Open(outputPath, channels == 2, bits, rate)) {
    DeleteUnlessSame(outputPath, sourcePath);
    return 0;
  }
  const float factor = AmplificationFactor(s.AmplifyWav, s.AmplifyWavCoeff);

  InputBlock in(BytesOf(srcBits), srcChannels);
  // With a channel choice the chosen channel is the only one.
  void* chosen = choose ? (s.MonoType == 2 ? in.R() : in.L()) : nullptr;

  CResampler resampler;
  std::vector<std::uint8_t> convLeft, convRight;
  if (convert) {
    const std::size_t samples = ConvertedSamples(rate, srcRate);
    convLeft.resize(samples * BytesOf(bits));
    if (channels == 2) convRight.resize(samples * BytesOf(bits));
    resampler.outChannels = channels;
    resampler.outSampleRate = rate;
    resampler.outBitsPerSample = bits;
    resampler.inChannels = choose ? 1 : srcChannels;
    resampler.inSampleRate = srcRate;
    resampler.inBitsPerSample = srcBits;
    resampler.Init();
  }
  CLoudnessTap* tap = ctx.loudness;
  if (tap) tap->Open(rate, channels);

  // Amplifies and writes n samples per channel of the output's format.
  const auto emit = [&](void* left, void* right, int n) {
    if (factor != 0.0f) {
      if (bits == 16)
        AmplifyPcm16(static_cast<std::int16_t*>(left), static_cast<std::int16_t*>(right), n,
                     channels, factor);
      else
        AmplifyPcm8(static_cast<std::uint8_t*>(left), static_cast<std::uint8_t*>(right), n,
                    channels, factor);
    }
    if (tap) {
      if (bits == 16)
        tap->Process16(static_cast<std::int16_t*>(left), static_cast<std::int16_t*>(right), n);
      else
        tap->Process8(static_cast<std::uint8_t*>(left), static_cast<std::uint8_t*>(right), n);
    }
    return bits == 16 ? writer.Write16(static_cast<const std::int16_t*>(left),
                                       static_cast<const std::int16_t*>(right), n)
                      : writer.Write8(static_cast<const std::uint8_t*>(left),
                                      static_cast<const std::uint8_t*>(right), n);
  };
  void* convRightData = convRight.empty() ? nullptr : convRight.data();
  FileProgress fileProgress(progress, FileNameOf(sourcePath), decoder->GetLength());
  bool ended = PumpBlocks(*decoder, sourceType, in, fileProgress, [&](int n) {
    void* left = choose ? chosen : in.L();
    void* right = choose ? nullptr : in.R();
    if (convert) {
      resampler.Process(left, right, n, convLeft.data(), convRightData, &n);
      left = convLeft.data();
      right = convRightData;
    }
    return emit(left, right, n);
  });
  // The resampler's filter holds the last samples back until it hears that the stream ended.
  if (ended && convert) {
    int n = 0;
    resampler.Flush(convLeft.data(), convRightData,
                    static_cast<int>(convLeft.size() / std::size_t(BytesOf(bits))), &n);
    if (n > 0) ended = emit(convLeft.data(), convRightData, n);
  }
  if (ended) fileProgress.Finish();

  decoder->Close();
  decoder.reset();
  // An output past 4 GiB cannot hold its sizes: Close fails it rather than wrap the header.
  const bool closed = writer.Close();
  return Outcome(ended, closed, outputPath, sourcePath);
}

// ---------------------------------------------------------------------------------------
// MP3

int ConvertToMp3(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                 const std::string& outputPath, IConvertProgress& progress) {
  const ConversionSettings& s = ctx.settings;
  const std::string name = FileNameOf(sourcePath);
  auto decoder = OpenSource(ctx, sourceType, sourcePath, MusicRenderRateForMp3(s));
  if (!decoder) return 0;

  CMp3Encoder encoder;
  if (!encoder.Open(outputPath)) {
    encoder.Close();
    DeleteUnlessSame(outputPath, sourcePath);
    return 0;
  }

  // Tags: the source's own ID3 blocks for MPEG sources, an ID3v1 block made from the
  // source's text tags for others, or the user's tag.
  if (s.MP3ID3TagType == kTagTransfer) {
    if (sourceType == kSourceMpeg && HasId3Blocks(*decoder)) {
      if (const std::uint8_t* v1 = decoder->GetId3v1Tag()) encoder.SetId3v1Tag(v1);
      std::uint32_t size = 0;
      if (const std::uint8_t* v2 = decoder->GetId3v2Tag(&size); v2 && size)
        encoder.SetId3v2Tag(v2, size);
    } else {
      std::string title, artist, album, year, genre, comment, track;
      if (decoder->ReadTags(title, artist, album, year, genre, comment, track)) {
        const int trackNumber = TrackNumberOf(track);
        const Id3v1Block block = BuildId3v1(title, artist, album, year, comment,
                                            GenreIndexOrNone(genre), trackNumber > 0, trackNumber);
        encoder.SetId3v1Tag(block.data());
      }
    }
  } else if (s.MP3ID3TagType == kTagAddUser) {
    const TagRecord& tag = s.MP3ID3Tag;
    const std::string title = tag.useFileNameAsTitle ? TitleFromFileName(sourcePath) : tag.title;
    const int trackNumber = UserTrackNumber(tag, ctx.batchSequenceNumber);
    const Id3v1Block block = BuildId3v1(title, tag.artist, tag.album, tag.year, tag.comment,
                                        tag.genre & 0xFF, trackNumber > 0, trackNumber);
    encoder.SetId3v1Tag(block.data());
  }

  const int srcRate = decoder->GetSampleRate();
  const int srcChannels = decoder->GetOutputChannels();
  const int srcBits = decoder->GetBitsPerSample();
  encoder.SetInputSampleRate(srcRate);

  int channels = srcChannels;
  bool choose = false;
  bool encoderMixes = false;  // LAME itself mixes two channels into one
  if (s.AutoDestMP3EncodingParam) {
    encoder.SetChannels(channels);
    if (srcRate < 11025) {
      encoder.SetOutputSampleRate(11025);
      encoder.SetBitRate(24 * channels);
    }
  } else {
    int mode = s.MP3ChannelMode;
    if (mode == 4) {
      if (sourceType == kSourceMpeg)
        mode = decoder->GetChannelMode();
      else
        mode = srcChannels == 2 ? 1 : 3;
    }
    if (srcChannels == 2 && mode == 3 && s.MonoType != 0) {
      choose = true;
      channels = 1;
    }
    encoder.SetChannels(channels);
    encoder.SetMode(mode);
    encoderMixes = channels == 2 && mode == 3;
    const int rate = s.MP3SampleRate != 0 ? s.MP3SampleRate : srcRate;
    encoder.SetOutputSampleRate(rate);
    int bitRate = s.MP3BitRate;
    if (bitRate == 0) {
      if (sourceType == kSourceMpeg || sourceType == kSourceOgg)
        bitRate = decoder->GetBitrate();
      else if (srcRate == 8000)
        bitRate = 16 * channels;
    }
    if (bitRate > 0) encoder.SetBitRate(SnapMp3BitRate(bitRate, rate));
    // Variable and average bit rates; a stored value outside its range leaves the constant
    // bit rate above.
    if (s.MP3EncodingMode == 1)
      encoder.SetVbrQuality(s.MP3VBRQuality);
    else if (s.MP3EncodingMode == 2)
      encoder.SetAbrBitRate(s.MP3ABRBitRate);
  }

  if (!encoder.Start()) {
    encoder.Close();
    decoder->Close();
    DeleteUnlessSame(outputPath, sourcePath);
    return 0;
  }

  InputBlock in(BytesOf(srcBits), srcChannels);
  const float factor = AmplificationFactor(s.AmplifyMp3, s.AmplifyMp3Coeff);
  // An 8-bit source is widened before amplification, so amplification clips at 16 bits.
  CResampler widen;
  std::vector<std::int16_t> wideLeft, wideRight;
  if (srcBits == 8) {
    wideLeft.resize(kDecodeBlock);
    if (channels == 2) wideRight.resize(kDecodeBlock);
    widen.inSampleRate = widen.outSampleRate = srcRate;
    widen.inChannels = widen.outChannels = channels;
    widen.inBitsPerSample = 8;
    widen.outBitsPerSample = 16;
    widen.Init();
  }

  CLoudnessTap* tap = ctx.loudness;
  if (tap) tap->Open(srcRate, channels, encoderMixes ? 1 : channels);

  FileProgress fileProgress(progress, name, decoder->GetLength());
  const bool ended = PumpBlocks(*decoder, sourceType, in, fileProgress, [&](int n) {
    void* left = choose ? (s.MonoType == 2 ? in.R() : in.L()) : in.L();
    void* right = choose ? nullptr : in.R();
    if (srcBits == 8) {
      widen.Process(left, right, n, wideLeft.data(), wideRight.empty() ? nullptr : wideRight.data(),
                    &n);
      left = wideLeft.data();
      right = wideRight.empty() ? nullptr : wideRight.data();
    }
    auto* l16 = static_cast<std::int16_t*>(left);
    auto* r16 = static_cast<std::int16_t*>(right);
    if (factor != 0.0f) AmplifyPcm16(l16, r16, n, channels, factor);
    if (tap) tap->Process16(l16, r16, n);
    return encoder.Encode(l16, r16, n);
  });
  if (ended) fileProgress.Finish();

  const bool closed = encoder.Close();
  decoder->Close();
  decoder.reset();
  return Outcome(ended, closed, outputPath, sourcePath);
}

// ---------------------------------------------------------------------------------------
// AAC and the MP4 family: the encoder takes the source's own rate, channels and width.

namespace {

struct AacOptions {
  int automatic, vbr, quality, abrKbps, tns, midSide, blockType;
  int mpegVersion;  // -1: not set (the MP4 family has no MPEG version option)
};

void ApplyAacOptions(faacEncConfiguration* cfg, const AacOptions& o, int channels, int sampleRate) {
  if (!cfg || o.automatic) return;
  if (o.vbr) {
    if (o.quality >= 10 && o.quality <= 500) cfg->quantqual = static_cast<unsigned long>(o.quality);
  } else {
    // The encoder's bit rate is per channel. A low rate cannot carry a high bit rate (8000 Hz
    // mono holds 48 kbit/s at most), and the encoder takes no less than 8 kbit/s a channel, so
    // the choice is held between the two rather than failing the file. 0 stays 0.
    const unsigned long perChannel = static_cast<unsigned long>(std::max(o.abrKbps, 0)) * 1000UL /
                                     static_cast<unsigned long>(std::max(channels, 1));
    cfg->bitRate = std::min(
        perChannel, AacMaxBitRatePerChannel(static_cast<unsigned long>(std::max(sampleRate, 0))));
    if (perChannel != 0) cfg->bitRate = std::max(cfg->bitRate, kAacMinBitRatePerChannel);
  }
  if (o.mpegVersion >= 0) cfg->mpegVersion = static_cast<unsigned int>(o.mpegVersion);
  cfg->useTns = o.tns ? 1 : 0;
  cfg->allowMidside = o.midSide ? 1 : 0;
  // Handed on as the user chose it; the encoder picks its window shapes itself.
  cfg->shortctl = o.blockType;
}

// Feeds the whole source to an AAC-family encoder (CAacEncoder or CMp4Encoder), which
// is already started. True when the source ended and every block was taken.
template <typename Encoder>
bool FeedAacFamily(CDecoder& decoder, int sourceType, Encoder& encoder, float factor,
                   int encoderRate, const std::string& name, IConvertProgress& progress,
                   CLoudnessTap* tap) {
  const int channels = decoder.GetOutputChannels();
  const int bits = decoder.GetBitsPerSample();
  const int sourceRate = decoder.GetSampleRate();
  InputBlock in(BytesOf(bits), channels);
  // A rate the encoder does not take (192 kHz, DSD, 41 kHz, 11 kHz speech) is brought to the
  // nearest one it does, in the source's own width and channels.
  const bool resample = encoderRate != sourceRate;
  CResampler resampler;
  std::vector<std::uint8_t> convLeft, convRight;
  if (resample) {
    const std::size_t samples = ConvertedSamples(encoderRate, sourceRate);
    convLeft.resize(samples * BytesOf(bits));
    if (channels == 2) convRight.resize(samples * BytesOf(bits));
    resampler.inChannels = resampler.outChannels = channels;
    resampler.inBitsPerSample = resampler.outBitsPerSample = bits;
    resampler.inSampleRate = sourceRate;
    resampler.outSampleRate = encoderRate;
    resampler.Init();
  }
  void* convRightData = convRight.empty() ? nullptr : convRight.data();
  if (tap) tap->Open(encoderRate, channels);
  const auto emit = [&](void* left, void* right, int n) {
    if (bits == 16) {
      auto* l = static_cast<std::int16_t*>(left);
      auto* r = static_cast<std::int16_t*>(right);
      if (factor != 0.0f) AmplifyPcm16(l, r, n, channels, factor);
      if (tap) tap->Process16(l, r, n);
      return encoder.Write16(l, r, n);
    }
    auto* l = static_cast<std::uint8_t*>(left);
    auto* r = static_cast<std::uint8_t*>(right);
    if (factor != 0.0f) AmplifyPcm8(l, r, n, channels, factor);
    if (tap) tap->Process8(l, r, n);
    return encoder.Write8(l, r, n);
  };
  FileProgress fileProgress(progress, name, decoder.GetLength());
  bool ended = PumpBlocks(decoder, sourceType, in, fileProgress, [&](int n) {
    if (!resample) return emit(in.L(), in.R(), n);
    resampler.Process(in.L(), in.R(), n, convLeft.data(), convRightData, &n);
    return emit(convLeft.data(), convRightData, n);
  });
  if (ended && resample) {
    int n = 0;
    resampler.Flush(convLeft.data(), convRightData,
                    static_cast<int>(convLeft.size() / std::size_t(BytesOf(bits))), &n);
    if (n > 0) ended = emit(convLeft.data(), convRightData, n);
  }
  if (ended) fileProgress.Finish();
  return ended;
}

// The AAC and MP4 pipelines: open, configure, start, tag, feed, close. `tag` runs after Start
// and before the first block; false from it fails the file.
template <typename Encoder, typename Tagging>
int ConvertAacFamily(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                     const std::string& outputPath, IConvertProgress& progress,
                     const AacOptions& options, float factor, Tagging tag) {
  auto decoder = OpenSource(ctx, sourceType, sourcePath, MusicRenderRateForWav(ctx.settings));
  if (!decoder) return 0;
  Encoder encoder;
  const int rate =
      static_cast<int>(NearestAacSampleRate(static_cast<unsigned long>(decoder->GetSampleRate())));
  if (!encoder.Open(outputPath, rate, decoder->GetOutputChannels(), decoder->GetBitsPerSample())) {
    encoder.Close();
    DeleteUnlessSame(outputPath, sourcePath);
    return 0;
  }
  ApplyAacOptions(encoder.GetConfiguration(), options, decoder->GetOutputChannels(), rate);
  bool ok = encoder.Start() && tag(encoder, *decoder);
  if (ok)
    ok = FeedAacFamily(*decoder, sourceType, encoder, factor, rate, FileNameOf(sourcePath),
                       progress, ctx.loudness);
  decoder->Close();
  decoder.reset();
  const bool closed = encoder.Close();
  return Outcome(ok, closed, outputPath, sourcePath);
}

}  // namespace

int ConvertToAac(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                 const std::string& outputPath, IConvertProgress& progress) {
  const ConversionSettings& s = ctx.settings;
  // Raw AAC streams carry no tags.
  return ConvertAacFamily<CAacEncoder>(
      ctx, sourceType, sourcePath, outputPath, progress,
      {s.AutoDestAACEncodingParam, s.AACVBR, s.AACVBRQuality, s.AACABRBitRate, s.AACEnableTNS,
       s.AACEnableMidside, s.AACBlockType, s.AACMpegVersion},
      AmplificationFactor(s.AmplifyAAC, s.AmplifyAACCoef),
      [](CAacEncoder&, CDecoder&) { return true; });
}

int ConvertToMp4(const PipelineContext& ctx, int sourceType, const std::string& sourcePath,
                 const std::string& outputPath, IConvertProgress& progress) {
  const ConversionSettings& s = ctx.settings;
  auto tag = [&](CMp4Encoder& encoder, CDecoder& decoder) {
    return encoder.SetSourceSeconds(
               static_cast<std::uint64_t>(std::max(0, decoder.GetDuration()))) &&
           TagMp4Family(ctx, sourcePath, encoder, decoder);
  };
  return ConvertAacFamily<CMp4Encoder>(
      ctx, sourceType, sourcePath, outputPath, progress,
      {s.AutoDestM4AEncodingParam, s.M4AVBR, s.M4AVBRQuality, s.M4AABRBitRate, s.M4AEnableTNS,
       s.M4AEnableMidside, s.M4ABlockType, -1},
      AmplificationFactor(s.AmplifyM4A, s.AmplifyM4ACoef), tag);
}

}  // namespace wavorax
