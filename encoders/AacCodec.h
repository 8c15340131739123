// The AAC encoder layer. Its calls keep the shape of the FAAC library (open with the input
// block size and the largest frame, a configuration record with FAAC's field names and
// constants, set configuration, encode, decoder-specific info, close), so that the writers
// drive it exactly as they would drive FAAC. Underneath is libavcodec's native AAC encoder.
//
// How the record's fields reach that encoder:
//   mpegVersion    MPEG-4 or MPEG-2: the ID bit of the ADTS headers; MPEG-2 also leaves out
//                  the MPEG-4-only tools (perceptual noise substitution).
//   aacObjectType  LOW, MAIN or LTP: the encoder profile. SSR is refused.
//   allowMidside   on: mid/side stereo decided per band; off: never.
//   useTns         temporal noise shaping on or off.
//   bitRate        bits per second per channel: average-bit-rate mode at bitRate x channels.
//                  0 selects quality mode.
//   quantqual      quality mode (bitRate 0): the encoder's quantiser lambda is
//                  quantqual x 1.18, so 100 is about the encoder's own default.
//   bandWidth      the lowpass cutoff in Hz; 0 lets the encoder choose.
//   outputFormat   0 raw frames, 1 each frame behind a 7-byte ADTS header.
//   inputFormat    how faacEncEncode reads its input buffer.
//   shortctl       kept, but without effect: see faacEncSetConfiguration.
//   useLfe         without effect: one or two channels never include an LFE channel.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace wavorax {

inline constexpr int FAAC_CFG_VERSION = 104;

// MPEG version
inline constexpr unsigned int MPEG2 = 1;
inline constexpr unsigned int MPEG4 = 0;

// AAC object types
inline constexpr unsigned int MAIN = 1;
inline constexpr unsigned int LOW = 2;
inline constexpr unsigned int SSR = 3;
inline constexpr unsigned int LTP = 4;

// Input formats
inline constexpr unsigned int FAAC_INPUT_NULL = 0;
inline constexpr unsigned int FAAC_INPUT_16BIT = 1;  // native-endian int16_t samples
inline constexpr unsigned int FAAC_INPUT_24BIT = 2;  // refused, as FAAC never implemented it
inline constexpr unsigned int FAAC_INPUT_32BIT = 3;  // 24-bit samples in native int32_t
inline constexpr unsigned int FAAC_INPUT_FLOAT = 4;  // float in the 16-bit range

// Block type enforcing
inline constexpr int SHORTCTL_NORMAL = 0;
inline constexpr int SHORTCTL_NOSHORT = 1;
inline constexpr int SHORTCTL_NOLONG = 2;

struct faacEncConfiguration {
  int version = FAAC_CFG_VERSION;
  const char* name = "libavcodec aac";
  const char* copyright = "";
  unsigned int mpegVersion = MPEG4;
  unsigned int aacObjectType = LOW;
  unsigned int allowMidside = 1;
  unsigned int useLfe = 0;
  unsigned int useTns = 0;
  unsigned long bitRate = 0;  // per channel; 0 = quality mode
  unsigned int bandWidth = 0;
  unsigned long quantqual = 100;
  unsigned int outputFormat = 1;  // 0 raw, 1 ADTS
  unsigned int inputFormat = FAAC_INPUT_32BIT;
  int shortctl = SHORTCTL_NORMAL;
};
using faacEncConfigurationPtr = faacEncConfiguration*;

struct FaacEncoder;  // the encoder behind a handle
using faacEncHandle = FaacEncoder*;

// Owns an encoder; destroying it performs faacEncClose.
struct FaacEncoderCloser {
  void operator()(FaacEncoder* encoder) const;
};
using FaacEncoderPtr = std::unique_ptr<FaacEncoder, FaacEncoderCloser>;

// Creates an encoder for one or two channels at `sampleRate`. `inputSamples` receives the
// samples of all channels that make one frame (1024 per channel), `maxOutputBytes` the size
// of the largest frame faacEncEncode can return, ADTS header included (more than FAAC's
// 768 bytes per channel: in quality mode this encoder may exceed AAC's bit-rate ceiling). Null for
// a channel count other than 1 or 2 or a rate that is not positive; a rate AAC has no table for is
// refused by faacEncSetConfiguration.
FaacEncoderPtr faacEncOpen(unsigned long sampleRate, unsigned int numChannels,
                           unsigned long* inputSamples, unsigned long* maxOutputBytes);

// The encoder's own record, which the caller edits and hands back to faacEncSetConfiguration.
faacEncConfigurationPtr faacEncGetCurrentConfiguration(faacEncHandle encoder);

// Checks the record and sets the encoder up from it: 1 on success, 0 when the record is
// refused (wrong version, unsupported object type, MPEG version, output or input format,
// bit rate outside 8000 ... 6144 x rate / 1024 per channel, a sample rate AAC cannot code),
// or when encoding has already begun. quantqual is held to 10 ... 500 and bandWidth to half
// the sample rate, as FAAC holds them.
int faacEncSetConfiguration(faacEncHandle encoder, faacEncConfigurationPtr config);

// Encodes one frame of `samplesInput` interleaved samples (all channels counted; at most
// inputSamples, fewer only for the last frame of the stream) and returns the byte count of
// one finished frame placed in `outputBuffer`, 0 when none is ready (the encoder looks one
// frame ahead), or -1 on an error. Once the input has ended, calls with 0 samples hand out
// the delayed frames one by one until 0 says that everything is out.
int faacEncEncode(faacEncHandle encoder, const void* inputBuffer, unsigned int samplesInput,
                  unsigned char* outputBuffer, unsigned int bufferSize);

// The AudioSpecificConfig that an MP4 track carries for this stream. 0 on success, -1 when
// the encoder cannot be set up from its current record.
int faacEncGetDecoderSpecificInfo(faacEncHandle encoder, std::vector<std::uint8_t>* info);

// Releases an encoder and takes it from its owner.
int faacEncClose(FaacEncoderPtr& encoder);

// The highest bit rate per channel that faacEncSetConfiguration takes at `sampleRate`:
// AAC's ceiling of 6144 bits per channel and frame of 1024 samples.
unsigned long AacMaxBitRatePerChannel(unsigned long sampleRate);

// The sample rate the encoder takes that lies nearest to `rate` (a tie goes to the higher):
// the rate itself when the encoder takes it.
unsigned long NearestAacSampleRate(unsigned long rate);
// The lowest bit rate per channel that faacEncSetConfiguration takes, at any rate.
inline constexpr unsigned long kAacMinBitRatePerChannel = 8000;

// Opens an encoder with the configuration our two writers start from: low complexity,
// MPEG-4, no TNS, mid/side allowed, the encoder's own bandwidth, 16-bit input, and the given
// output format (1 ADTS, 0 raw frames for a container). Null when the encoder cannot take
// the rate or channel count.
FaacEncoderPtr OpenWriterEncoder(int sampleRate, int channels, unsigned int outputFormat,
                                 faacEncConfigurationPtr* config, unsigned long* inputSamples,
                                 unsigned long* maxOutputBytes);

}  // namespace wavorax
