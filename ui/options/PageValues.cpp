#include "ui/options/PageValues.h"

#include <algorithm>

namespace wavorax {

namespace {

// The defaults of a fresh record, which a value outside its page's range gives way to.
const ConversionSettings& Defaults() {
  static const ConversionSettings defaults;
  return defaults;
}

int Within(int value, int low, int high, int fallback) {
  return value >= low && value <= high ? value : fallback;
}

// A width of 0 ("same as the source") or 16.
int LosslessWidth(int value, int fallback) { return value == 0 || value == 16 ? value : fallback; }

}  // namespace

int Mp3ChannelModeFromPageIndex(int index) {
  static const int kModes[] = {1, 0, 3, 4};
  return index >= 0 && index < 4 ? kModes[index] : 4;
}

int Mp3PageIndexFromChannelMode(int mode) {
  switch (mode) {
    case 0:
      return 1;
    case 1:
      return 0;
    case 3:
      return 2;
    default:
      return 3;
  }
}

int WavChannelsFromPageIndex(int index) {
  static const int kChannels[] = {2, 1, 0};
  return index >= 0 && index < 3 ? kChannels[index] : 0;
}

int WavPageIndexFromChannels(int channels) {
  switch (channels) {
    case 1:
      return 1;
    case 2:
      return 0;
    default:
      return 2;
  }
}

void WriteBackMp3(ConversionSettings& s, const Mp3PageValues& page) {
  if (page.automatic) {
    s.AutoDestMP3EncodingParam = 1;
    return;
  }
  s.AutoDestMP3EncodingParam = 0;
  s.MP3BitRate = page.bitRate;
  s.MP3SampleRate = page.sampleRate;
  s.MP3ChannelMode = Mp3ChannelModeFromPageIndex(page.channelIndex);
  s.MP3EncodingMode = page.encodingMode;
  s.MP3VBRQuality = page.vbrQuality;
  s.MP3ABRBitRate = page.abrBitRate;
}

void WriteBackWav(ConversionSettings& s, const WavPageValues& page) {
  if (page.automatic) {
    s.AutoDestWAVEncodingParam = 1;
    return;
  }
  s.AutoDestWAVEncodingParam = 0;
  s.WAVSampleRate = page.sampleRate;
  s.WAVChannelNum = WavChannelsFromPageIndex(page.channelIndex);
  s.WAVBitsPerSample = page.bitsPerSample;
}

void WriteBackAac(ConversionSettings& s, const AacPageValues& page) {
  s.AutoDestAACEncodingParam = page.automatic ? 1 : 0;
  if (page.automatic) return;
  s.AACVBR = page.rateControlIndex == 1 ? 1 : 0;
  s.AACVBRQuality = page.vbrQuality;
  s.AACABRBitRate = page.abrBitRate;
  s.AACMpegVersion = page.mpegVersionIndex == 1 ? 1 : 0;
  s.AACEnableTNS = page.tns ? 1 : 0;
  s.AACEnableMidside = page.midSide ? 1 : 0;
  s.AACBlockType = page.blockType;
}

void WriteBackM4a(ConversionSettings& s, const AacPageValues& page) {
  s.AutoDestM4AEncodingParam = page.automatic ? 1 : 0;
  if (page.automatic) return;
  s.M4AVBR = page.rateControlIndex == 1 ? 1 : 0;
  s.M4AVBRQuality = page.vbrQuality;
  s.M4AABRBitRate = page.abrBitRate;
  s.M4AEnableTNS = page.tns ? 1 : 0;
  s.M4AEnableMidside = page.midSide ? 1 : 0;
  s.M4ABlockType = page.blockType;
}

void WriteBackLossless(ConversionSettings& s, const LosslessPageValues& page) {
  s.FLACCompression = page.flacCompression;
  s.FLACBitsPerSample = page.flacBitsPerSample;
  s.ALACBitsPerSample = page.alacBitsPerSample;
}

void WriteBackOgg(ConversionSettings& s, const OggPageValues& page) {
  s.OpusBitRate = page.opusBitRate;
  s.OpusVBR = page.opusVbr ? 1 : 0;
  s.OpusSignal = page.opusSignal;
  s.VorbisMode = page.vorbisMode;
  // Only the value of the chosen way is taken; the other keeps what it held.
  if (page.vorbisMode == kVorbisByBitRate) {
    s.VorbisBitRate = page.vorbisBitRate;
  } else {
    s.VorbisQuality = page.vorbisQuality;
  }
}

Mp3PageValues Mp3PageFrom(const ConversionSettings& s) {
  const ConversionSettings& d = Defaults();
  return {s.AutoDestMP3EncodingParam != 0,
          s.MP3BitRate,
          s.MP3SampleRate,
          Mp3PageIndexFromChannelMode(s.MP3ChannelMode),
          Within(s.MP3EncodingMode, kMp3Cbr, kMp3Abr, d.MP3EncodingMode),
          Within(s.MP3VBRQuality, kMp3VbrQualityBest, kMp3VbrQualitySmallest, d.MP3VBRQuality),
          s.MP3ABRBitRate};
}

WavPageValues WavPageFrom(const ConversionSettings& s) {
  return {s.AutoDestWAVEncodingParam != 0, s.WAVSampleRate,
          WavPageIndexFromChannels(s.WAVChannelNum), s.WAVBitsPerSample};
}

AacPageValues AacPageFrom(const ConversionSettings& s) {
  return {s.AutoDestAACEncodingParam != 0,
          s.AACVBR ? 1 : 0,
          s.AACVBRQuality,
          s.AACABRBitRate,
          s.AACMpegVersion == 1 ? 1 : 0,
          s.AACEnableTNS != 0,
          s.AACEnableMidside != 0,
          s.AACBlockType};
}

AacPageValues M4aPageFrom(const ConversionSettings& s) {
  return {s.AutoDestM4AEncodingParam != 0,
          s.M4AVBR ? 1 : 0,
          s.M4AVBRQuality,
          s.M4AABRBitRate,
          0,
          s.M4AEnableTNS != 0,
          s.M4AEnableMidside != 0,
          s.M4ABlockType};
}

LosslessPageValues LosslessPageFrom(const ConversionSettings& s) {
  const ConversionSettings& d = Defaults();
  return {Within(s.FLACCompression, kFlacCompressionFastest, kFlacCompressionSmallest,
                 d.FLACCompression),
          LosslessWidth(s.FLACBitsPerSample, d.FLACBitsPerSample),
          LosslessWidth(s.ALACBitsPerSample, d.ALACBitsPerSample)};
}

OggPageValues OggPageFrom(const ConversionSettings& s) {
  const ConversionSettings& d = Defaults();
  return {Within(s.OpusBitRate, kOpusMinBitRate, kOpusMaxBitRate, d.OpusBitRate),
          s.OpusVBR != 0,
          Within(s.OpusSignal, 0, 1, d.OpusSignal),
          Within(s.VorbisMode, kVorbisByQuality, kVorbisByBitRate, d.VorbisMode),
          Within(s.VorbisQuality, kVorbisMinQuality, kVorbisMaxQuality, d.VorbisQuality),
          Within(s.VorbisBitRate, kVorbisMinBitRate, kVorbisMaxBitRate, d.VorbisBitRate)};
}

}  // namespace wavorax
