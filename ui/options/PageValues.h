// What the encoder pages show, as plain values, and how those values are written back into the
// settings record; kept apart from the widgets so that the mapping is tested on its own.
#pragma once

#include "settings/ConversionSettings.h"

namespace wavorax {

// The MP3 page lists joint stereo, stereo, mono, same as source.
int Mp3ChannelModeFromPageIndex(int index);
int Mp3PageIndexFromChannelMode(int mode);
// The WAV page lists stereo, mono, same as source.
int WavChannelsFromPageIndex(int index);
int WavPageIndexFromChannels(int channels);

// The MP3 rate control: constant bit rate (bitRate), variable (vbrQuality, V0 to V9) or
// average (abrBitRate).
enum : int { kMp3Cbr = 0, kMp3Vbr = 1, kMp3Abr = 2 };

struct Mp3PageValues {
  bool automatic = true;
  int bitRate = 128;
  int sampleRate = 44100;
  int channelIndex = 0;
  int encodingMode = kMp3Cbr;
  int vbrQuality = 2;
  int abrBitRate = 160;
};
struct WavPageValues {
  bool automatic = true;
  int sampleRate = 44100;
  int channelIndex = 0;
  int bitsPerSample = 16;
};
// AAC and the MP4 family share the page shape; the MP4 family has no MPEG version.
struct AacPageValues {
  bool automatic = true;
  int rateControlIndex = 1;  // 0 average bit rate, 1 variable bit rate
  int vbrQuality = 100;
  int abrBitRate = 128;
  int mpegVersionIndex = 0;  // 0 MPEG-4, 1 MPEG-2 (AAC page only)
  bool tns = false;
  bool midSide = true;
  int blockType = 0;
};

// The page "FLAC / ALAC". A width of 0 keeps the source's (16 or 24 bits).
struct LosslessPageValues {
  int flacCompression = 5;  // 0 fastest to 8 smallest
  int flacBitsPerSample = 0;
  int alacBitsPerSample = 0;
};
// The page "Opus / Vorbis".
enum : int { kVorbisByQuality = 0, kVorbisByBitRate = 1 };
struct OggPageValues {
  int opusBitRate = 128;  // kbit/s of the whole stream
  bool opusVbr = true;
  int opusSignal = 0;  // 0 music, 1 speech
  int vorbisMode = kVorbisByQuality;
  int vorbisQuality = 5;
  int vorbisBitRate = 160;
};

// The ranges the pages accept. The Opus bit rate is the stream's: 6 to 256 kbit/s a channel,
// so its upper end is that of a stereo stream.
constexpr int kMp3VbrQualityBest = 0, kMp3VbrQualitySmallest = 9;
constexpr int kFlacCompressionFastest = 0, kFlacCompressionSmallest = 8;
constexpr int kOpusMinBitRate = 6, kOpusMaxBitRatePerChannel = 256;
constexpr int kOpusMaxBitRate = 2 * kOpusMaxBitRatePerChannel;
constexpr int kVorbisMinQuality = -1, kVorbisMaxQuality = 10;
// The settings store keeps an average Vorbis bit rate from 32 kbit/s up; a lower one would be
// stored and then read back as the default.
constexpr int kVorbisMinBitRate = 32, kVorbisMaxBitRate = 500;

// The explicit parameters survive a period of automatic choice: with the automatic choice
// on, only the automatic flag is stored.
void WriteBackMp3(ConversionSettings& s, const Mp3PageValues& page);
void WriteBackWav(ConversionSettings& s, const WavPageValues& page);
void WriteBackAac(ConversionSettings& s, const AacPageValues& page);
void WriteBackM4a(ConversionSettings& s, const AacPageValues& page);
void WriteBackLossless(ConversionSettings& s, const LosslessPageValues& page);
void WriteBackOgg(ConversionSettings& s, const OggPageValues& page);

// The page values that show the record (the reverse of the write-back). A value of the later
// targets' options that its page does not offer shows as the field's default.
Mp3PageValues Mp3PageFrom(const ConversionSettings& s);
WavPageValues WavPageFrom(const ConversionSettings& s);
AacPageValues AacPageFrom(const ConversionSettings& s);
AacPageValues M4aPageFrom(const ConversionSettings& s);
LosslessPageValues LosslessPageFrom(const ConversionSettings& s);
OggPageValues OggPageFrom(const ConversionSettings& s);

}  // namespace wavorax
