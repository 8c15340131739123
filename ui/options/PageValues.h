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

struct Mp3PageValues {
  bool automatic = true;
  int bitRate = 128;
  int sampleRate = 44100;
  int channelIndex = 0;
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

// The explicit parameters survive a period of automatic choice: with the automatic choice
// on, only the automatic flag is stored.
void WriteBackMp3(ConversionSettings& s, const Mp3PageValues& page);
void WriteBackWav(ConversionSettings& s, const WavPageValues& page);
void WriteBackAac(ConversionSettings& s, const AacPageValues& page);
void WriteBackM4a(ConversionSettings& s, const AacPageValues& page);

// The page values that show the record (the reverse of the write-back).
Mp3PageValues Mp3PageFrom(const ConversionSettings& s);
WavPageValues WavPageFrom(const ConversionSettings& s);
AacPageValues AacPageFrom(const ConversionSettings& s);
AacPageValues M4aPageFrom(const ConversionSettings& s);

}  // namespace wavorax
