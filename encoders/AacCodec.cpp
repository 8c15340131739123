#include "encoders/AacCodec.h"

#include "encoders/FfmpegHandles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

#include <array>
#include <cmath>
#include <cstring>
#include <deque>

namespace wavorax {

namespace {

constexpr unsigned int kFrameLength = 1024;  // samples per channel in one AAC frame
constexpr unsigned int kAdtsHeaderSize = 7;
// The bit-rate ceiling AAC sets: 6144 bits per channel and frame.
constexpr unsigned int kMaxRawFrameBytesPerChannel = 6144 / 8;
// The largest packet the codec may return: in quality mode it does not hold frames to the
// ceiling above, and reserves this much per channel.
constexpr unsigned int kMaxPacketBytesPerChannel = 8192;
// The ADTS frame length field has 13 bits.
constexpr unsigned int kMaxAdtsFrameBytes = (1u << 13) - 1;

constexpr std::array<unsigned long, 13> kSampleRates = {
    96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};

int SampleRateIndex(unsigned long rate) {
  for (std::size_t i = 0; i < kSampleRates.size(); ++i)
    if (kSampleRates[i] == rate) return static_cast<int>(i);
  return -1;
}

}  // namespace

struct FaacEncoder {
  unsigned long sampleRate = 0;
  unsigned int channels = 0;
  faacEncConfiguration config;
  // The record as it was when the codec was set up; frames are framed from this copy, so
  // later edits of `config` cannot desynchronise headers and payload.
  faacEncConfiguration applied;
  std::unique_ptr<AVCodecContext, CodecContextFree> codec;
  std::unique_ptr<AVFrame, FrameFree> frame;
  std::unique_ptr<AVPacket, PacketFree> packet;
  std::deque<std::vector<std::uint8_t>> ready;  // finished frames not yet handed out
  std::int64_t nextPts = 0;
  bool begun = false;       // input has reached the codec; the setup is final
  bool inputEnded = false;  // the codec has been told that the input is over
};

void FaacEncoderCloser::operator()(FaacEncoder* encoder) const { delete encoder; }

FaacEncoderPtr faacEncOpen(unsigned long sampleRate, unsigned int numChannels,
                           unsigned long* inputSamples, unsigned long* maxOutputBytes) {
  if (sampleRate == 0 || numChannels < 1 || numChannels > 2) return nullptr;
  FaacEncoderPtr encoder(new FaacEncoder);
  encoder->sampleRate = sampleRate;
  encoder->channels = numChannels;
  encoder->frame.reset(av_frame_alloc());
  encoder->packet.reset(av_packet_alloc());
  if (!encoder->frame || !encoder->packet) return nullptr;
  if (inputSamples) *inputSamples = kFrameLength * numChannels;
  if (maxOutputBytes) *maxOutputBytes = kMaxPacketBytesPerChannel * numChannels + kAdtsHeaderSize;
  return encoder;
}

faacEncConfigurationPtr faacEncGetCurrentConfiguration(faacEncHandle encoder) {
  return encoder ? &encoder->config : nullptr;
}

int faacEncSetConfiguration(faacEncHandle encoder, faacEncConfigurationPtr config) {
  if (!encoder || !config || encoder->begun) return 0;
  faacEncConfiguration c = *config;
  if (c.version != FAAC_CFG_VERSION) return 0;
  if (c.mpegVersion != MPEG2 && c.mpegVersion != MPEG4) return 0;
  if (c.aacObjectType != LOW && c.aacObjectType != MAIN && c.aacObjectType != LTP) return 0;
  // Long-term prediction exists only in MPEG-4.
  if (c.aacObjectType == LTP && c.mpegVersion == MPEG2) return 0;
  if (c.outputFormat > 1) return 0;
  if (c.inputFormat != FAAC_INPUT_16BIT && c.inputFormat != FAAC_INPUT_32BIT &&
      c.inputFormat != FAAC_INPUT_FLOAT)
    return 0;
  if (SampleRateIndex(encoder->sampleRate) < 0) return 0;
  const unsigned long maxBitRate = AacMaxBitRatePerChannel(encoder->sampleRate);
  if (c.bitRate != 0 && (c.bitRate < kAacMinBitRatePerChannel || c.bitRate > maxBitRate)) return 0;
  if (c.quantqual < 10) c.quantqual = 10;
  if (c.quantqual > 500) c.quantqual = 500;
  if (c.bandWidth > encoder->sampleRate / 2)
    c.bandWidth = static_cast<unsigned int>(encoder->sampleRate / 2);

  const AVCodec* aac = avcodec_find_encoder_by_name("aac");
  if (!aac) return 0;
  std::unique_ptr<AVCodecContext, CodecContextFree> ctx(avcodec_alloc_context3(aac));
  if (!ctx) return 0;
  // Writers never show messages; the caller decides what the user sees. The codec's notes
  // ("Qavg", bit-rate clamping) are pushed below the default log level for this context
  // alone, leaving the process-wide level to the front end.
  ctx->log_level_offset = AV_LOG_VERBOSE - AV_LOG_ERROR;
  ctx->sample_rate = static_cast<int>(encoder->sampleRate);
  ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
  ctx->time_base = AVRational{1, ctx->sample_rate};
  av_channel_layout_default(&ctx->ch_layout, static_cast<int>(encoder->channels));
  if (c.bitRate != 0) {
    ctx->bit_rate = static_cast<std::int64_t>(c.bitRate) * encoder->channels;
  } else {
    ctx->flags |= AV_CODEC_FLAG_QSCALE;
    ctx->global_quality = static_cast<int>(std::lround(static_cast<double>(c.quantqual) * 1.18));
  }
  ctx->cutoff = static_cast<int>(c.bandWidth);
  switch (c.aacObjectType) {
    case MAIN:
      ctx->profile = FF_PROFILE_AAC_MAIN;
      break;
    case LTP:
      ctx->profile = FF_PROFILE_AAC_LTP;
      ctx->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
      break;
    default:
      ctx->profile = c.mpegVersion == MPEG2 ? FF_PROFILE_MPEG2_AAC_LOW : FF_PROFILE_AAC_LOW;
      break;
  }

  Dictionary options;
  av_dict_set_int(&options.d, "aac_tns", c.useTns ? 1 : 0, 0);
  // -1 lets the encoder decide mid/side per band; 1 would force it everywhere.
  av_dict_set_int(&options.d, "aac_ms", c.allowMidside ? -1 : 0, 0);
  // Perceptual noise substitution is an MPEG-4 tool; an MPEG-2 stream must not use it.
  if (c.mpegVersion == MPEG2) av_dict_set_int(&options.d, "aac_pns", 0, 0);
  // shortctl asks for long blocks only or short blocks only. This encoder decides its window
  // sequence itself and offers no control over it, so the field is kept in the record but
  // changes nothing in the stream.
  if (avcodec_open2(ctx.get(), aac, &options.d) < 0) return 0;

  encoder->codec = std::move(ctx);
  encoder->applied = c;
  encoder->config = c;  // FAAC writes its corrections back into the encoder's own record
  if (config != &encoder->config) *config = c;
  return 1;
}

namespace {

bool EnsureConfigured(faacEncHandle encoder) {
  return encoder->codec || faacEncSetConfiguration(encoder, &encoder->config);
}

bool FillFrame(FaacEncoder& e, const void* input, unsigned int frames) {
  AVFrame* f = e.frame.get();
  if (!f->data[0]) {
    f->format = AV_SAMPLE_FMT_FLTP;
    f->sample_rate = static_cast<int>(e.sampleRate);
    f->nb_samples = static_cast<int>(kFrameLength);
    if (av_channel_layout_copy(&f->ch_layout, &e.codec->ch_layout) < 0) return false;
    if (av_frame_get_buffer(f, 0) < 0) return false;
  }
  f->nb_samples = static_cast<int>(kFrameLength);
  if (av_frame_make_writable(f) < 0) return false;
  f->nb_samples = static_cast<int>(frames);
  const unsigned int ch = e.channels;
  auto* planes = reinterpret_cast<float**>(f->extended_data);
  switch (e.applied.inputFormat) {
    case FAAC_INPUT_16BIT: {
      const auto* in = static_cast<const std::int16_t*>(input);
      for (unsigned int i = 0; i < frames; ++i)
        for (unsigned int c = 0; c < ch; ++c) planes[c][i] = in[i * ch + c] * (1.0f / 32768.0f);
      break;
    }
    case FAAC_INPUT_32BIT: {
      const auto* in = static_cast<const std::int32_t*>(input);
      for (unsigned int i = 0; i < frames; ++i)
        for (unsigned int c = 0; c < ch; ++c)
          planes[c][i] = static_cast<float>(in[i * ch + c]) * (1.0f / 8388608.0f);
      break;
    }
    default: {
      const auto* in = static_cast<const float*>(input);
      for (unsigned int i = 0; i < frames; ++i)
        for (unsigned int c = 0; c < ch; ++c) planes[c][i] = in[i * ch + c] * (1.0f / 32768.0f);
      break;
    }
  }
  f->pts = e.nextPts;
  e.nextPts += frames;
  return true;
}

void PutAdtsHeader(const FaacEncoder& e, unsigned int frameBytes, std::uint8_t* h) {
  const unsigned int profile = e.applied.aacObjectType - 1;
  const auto rateIndex = static_cast<unsigned int>(SampleRateIndex(e.sampleRate));
  const unsigned int id = e.applied.mpegVersion == MPEG2 ? 1 : 0;
  const unsigned int ch = e.channels;
  h[0] = 0xFF;
  h[1] = static_cast<std::uint8_t>(0xF0 | (id << 3) | 0x01);  // layer 0, no CRC
  h[2] = static_cast<std::uint8_t>((profile << 6) | (rateIndex << 2) | (ch >> 2));
  h[3] = static_cast<std::uint8_t>(((ch & 3) << 6) | (frameBytes >> 11));
  h[4] = static_cast<std::uint8_t>((frameBytes >> 3) & 0xFF);
  h[5] = static_cast<std::uint8_t>(((frameBytes & 7) << 5) | 0x1F);  // buffer fullness 0x7FF
  h[6] = 0xFC;                                                       // one raw data block
}

}  // namespace

int faacEncEncode(faacEncHandle encoder, const void* inputBuffer, unsigned int samplesInput,
                  unsigned char* outputBuffer, unsigned int bufferSize) {
  if (!encoder || !outputBuffer || !EnsureConfigured(encoder)) return -1;
  FaacEncoder& e = *encoder;
  if (samplesInput > kFrameLength * e.channels || samplesInput % e.channels != 0) return -1;
  if (samplesInput > 0) {
    // The codec takes a short frame only as the stream's last.
    if (e.inputEnded || !inputBuffer) return -1;
    const unsigned int frames = samplesInput / e.channels;
    if (!FillFrame(e, inputBuffer, frames)) return -1;
    if (avcodec_send_frame(e.codec.get(), e.frame.get()) < 0) return -1;
    e.begun = true;
  }
  // End of input: a call without samples, or a short frame, which can only be the last.
  // The codec is told at once, so that every delayed frame is ready for the calls that
  // follow; a writer that stops at the first 0 then loses nothing.
  if (!e.inputEnded && samplesInput < kFrameLength * e.channels) {
    if (avcodec_send_frame(e.codec.get(), nullptr) < 0) return -1;
    e.begun = true;
    e.inputEnded = true;
  }
  for (;;) {
    const int rc = avcodec_receive_packet(e.codec.get(), e.packet.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) break;
    if (rc < 0) return -1;
    e.ready.emplace_back(e.packet->data, e.packet->data + e.packet->size);
    av_packet_unref(e.packet.get());
  }
  if (e.ready.empty()) return 0;

  const std::vector<std::uint8_t>& raw = e.ready.front();
  const unsigned int header = e.applied.outputFormat == 1 ? kAdtsHeaderSize : 0;
  const auto total = static_cast<unsigned int>(raw.size()) + header;
  if (total > bufferSize || (header && total > kMaxAdtsFrameBytes)) return -1;
  if (header) PutAdtsHeader(e, total, outputBuffer);
  std::memcpy(outputBuffer + header, raw.data(), raw.size());
  e.ready.pop_front();
  return static_cast<int>(total);
}

int faacEncGetDecoderSpecificInfo(faacEncHandle encoder, std::vector<std::uint8_t>* info) {
  if (!encoder || !info || !EnsureConfigured(encoder)) return -1;
  const AVCodecContext* c = encoder->codec.get();
  if (!c->extradata || c->extradata_size <= 0) return -1;
  info->assign(c->extradata, c->extradata + c->extradata_size);
  return 0;
}

int faacEncClose(FaacEncoderPtr& encoder) {
  encoder.reset();
  return 0;
}

unsigned long NearestAacSampleRate(unsigned long rate) {
  unsigned long best = kSampleRates.front();
  for (unsigned long r : kSampleRates) {  // highest first, so a tie keeps the higher
    const unsigned long d = r > rate ? r - rate : rate - r;
    const unsigned long bestDistance = best > rate ? best - rate : rate - best;
    if (d < bestDistance) best = r;
  }
  return best;
}

unsigned long AacMaxBitRatePerChannel(unsigned long sampleRate) {
  return kMaxRawFrameBytesPerChannel * 8 * sampleRate / kFrameLength;
}

FaacEncoderPtr OpenWriterEncoder(int sampleRate, int channels, unsigned int outputFormat,
                                 faacEncConfigurationPtr* config, unsigned long* inputSamples,
                                 unsigned long* maxOutputBytes) {
  FaacEncoderPtr encoder =
      faacEncOpen(static_cast<unsigned long>(sampleRate), static_cast<unsigned int>(channels),
                  inputSamples, maxOutputBytes);
  if (!encoder) return nullptr;
  faacEncConfigurationPtr c = faacEncGetCurrentConfiguration(encoder.get());
  if (!c) return nullptr;
  c->aacObjectType = LOW;
  c->mpegVersion = MPEG4;
  c->useTns = 0;
  c->allowMidside = 1;
  c->bandWidth = 0;
  c->outputFormat = outputFormat;
  c->inputFormat = FAAC_INPUT_16BIT;
  *config = c;
  return encoder;
}

}  // namespace wavorax
