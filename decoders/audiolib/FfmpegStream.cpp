// Decode-only streams on FFmpeg: libavformat demuxes, libavcodec decodes, and the PCM
// converter brings every frame to the output width and the first frame's rate and channels.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/ByteOrder.h"
#include "base/ByteSource.h"
#include "decoders/PcmConverter.h"
#include "decoders/audiolib/AudioLib.h"
#include "decoders/audiolib/TagText.h"

namespace wavorax::audiolib {
namespace {

constexpr int kIoBufferSize = 64 * 1024;
// Bytes of a WAV file's PCM payload that are examined for another codec inside it.
constexpr std::int64_t kPcmPayloadProbeBytes = 4096;
// A decoder that keeps failing without ever producing a frame is given up on after this many
// errors in a row, so that a hostile stream cannot keep the pipeline busy forever.
constexpr int kMaxErrorsInRow = 10000;

struct AvioDeleter {
  void operator()(AVIOContext* io) const {
    if (!io) return;
    av_freep(&io->buffer);
    avio_context_free(&io);
  }
};
struct FormatDeleter {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};

bool IsTrackerDemuxer(const AVInputFormat* format) {
  // FFmpeg reads tracker modules itself through these wrappers. Music must be rendered at the
  // caller's rate with ramping, which only the music path does, so the stream path refuses it.
  return format && (std::strcmp(format->name, "libopenmpt") == 0 ||
                    std::strcmp(format->name, "libmodplug") == 0);
}

// Whether FFmpeg must read into the file to learn what the list shows. Most headers tell the
// codec, rate, channels and exact length of every stream; reading on would open each decoder
// a second time (for Vorbis, with its tables) only to learn the sample format, which the
// first decoded frame tells anyway. Streams of unknown length (MP3 without a Xing header,
// ADTS AAC) and files with other kinds of streams are read as FFmpeg does by default.
bool NeedsStreamInfo(const AVFormatContext* format) {
  if (format->nb_streams == 0) return true;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVStream* st = format->streams[i];
    const AVCodecParameters* p = st->codecpar;
    if (p->codec_type != AVMEDIA_TYPE_AUDIO || p->codec_id == AV_CODEC_ID_NONE ||
        p->sample_rate <= 0 || p->ch_layout.nb_channels <= 0 || st->duration == AV_NOPTS_VALUE ||
        st->duration <= 0)
      return true;
  }
  return false;
}

bool IsUnsigned8(int format) { return format == AV_SAMPLE_FMT_U8 || format == AV_SAMPLE_FMT_U8P; }

bool IsFloat(int format) {
  const auto f = av_get_packed_sample_fmt(static_cast<AVSampleFormat>(format));
  return f == AV_SAMPLE_FMT_FLT || f == AV_SAMPLE_FMT_DBL;
}

// Sample formats that hold more than 16 bits.
bool IsWide(int format) {
  const auto f = av_get_packed_sample_fmt(static_cast<AVSampleFormat>(format));
  return f == AV_SAMPLE_FMT_S32 || f == AV_SAMPLE_FMT_S64 || IsFloat(format);
}

// The stream reads only the bytes it was given: playlists and references to other files
// (HLS, concat, MOV data references ...) are not followed.
int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
  return AVERROR(EPERM);
}

// A reading position of its own in the source's bytes, one per demuxer.
struct IoCursor {
  ByteSource* source = nullptr;
  std::uint64_t position = 0;
};

int ReadPacket(void* opaque, std::uint8_t* buffer, int size) {
  auto* cursor = static_cast<IoCursor*>(opaque);
  if (size <= 0) return 0;
  const std::size_t n =
      cursor->source->ReadAt(cursor->position, buffer, static_cast<std::size_t>(size));
  if (n == 0) return cursor->source->Failed() ? AVERROR(EIO) : AVERROR_EOF;
  cursor->position += n;
  return static_cast<int>(n);
}

std::int64_t Seek(void* opaque, std::int64_t offset, int whence) {
  auto* cursor = static_cast<IoCursor*>(opaque);
  const auto size = static_cast<std::int64_t>(cursor->source->Size());
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) return size;
  std::int64_t base = 0;
  if (whence == SEEK_CUR)
    base = static_cast<std::int64_t>(cursor->position);
  else if (whence == SEEK_END)
    base = size;
  else if (whence != SEEK_SET)
    return AVERROR(EINVAL);
  if ((offset > 0 && base > INT64_MAX - offset)) return AVERROR(EINVAL);
  const std::int64_t target = base + offset;
  if (target < 0) return AVERROR(EINVAL);
  cursor->position = static_cast<std::uint64_t>(target);
  return target;
}

std::unique_ptr<AVIOContext, AvioDeleter> NewIo(IoCursor& cursor) {
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
  if (!buffer) return nullptr;
  std::unique_ptr<AVIOContext, AvioDeleter> io(
      avio_alloc_context(buffer, kIoBufferSize, 0, &cursor, &ReadPacket, nullptr, &Seek));
  if (!io) av_free(buffer);
  return io;
}

// A demuxer of `input` reading through `io`; null when the header cannot be read.
std::unique_ptr<AVFormatContext, FormatDeleter> OpenDemuxer(AVIOContext* io,
                                                            const AVInputFormat* input,
                                                            const char* url,
                                                            std::int64_t probeSize) {
  AVFormatContext* raw = avformat_alloc_context();
  if (!raw) return nullptr;
  raw->pb = io;
  raw->flags |= AVFMT_FLAG_CUSTOM_IO;
  raw->io_open = &RefuseNestedOpen;
  if (probeSize > 0) raw->probesize = probeSize;
  // avformat_open_input frees the context itself when it fails.
  if (avformat_open_input(&raw, url, input, nullptr) < 0) return nullptr;
  return std::unique_ptr<AVFormatContext, FormatDeleter>(raw);
}

// Beyond a year of audio a figure is a corrupt header, not a duration.
bool IsPlausibleLength(double seconds) { return seconds > 0 && seconds < 365.0 * 24 * 3600; }

class FfmpegStream final : public Channel {
 public:
  explicit FfmpegStream(bool wide = false) : Channel(false), wide_(wide) {}

  bool Open(std::unique_ptr<ByteSource> source);

  std::uint64_t GetFilePosition(FilePosition which) const override {
    if (which == FilePosition::kFileSize) return source_->Size();
    return audioStart_ >= 0 ? static_cast<std::uint64_t>(audioStart_) : kNoPosition;
  }
  std::uint32_t GetData(void* buffer, std::uint32_t bytes) override;
  const std::uint8_t* GetTags(TagKind kind, std::size_t* size) override;
  std::string ReadTagText(const std::string& format) override;

 private:
  bool DecodeMore();
  std::uint64_t Musepack8Frames();
  std::uint64_t ShortenFrames();
  double SecondsFromPackets(const AVInputFormat* input);
  bool Append(const AVFrame* frame);
  void DropTakenPending();
  void LoadId3v1();
  void LoadId3v2();
  TagFields FfmpegMetadata() const;

  // Declared in the order they are needed, so that they are destroyed in reverse: the demuxer
  // before the I/O context it reads through, and both before the bytes.
  std::unique_ptr<ByteSource> source_;
  IoCursor cursor_;
  std::unique_ptr<AVIOContext, AvioDeleter> io_;
  std::unique_ptr<AVFormatContext, FormatDeleter> format_;
  std::unique_ptr<AVCodecContext, CodecDeleter> codec_;
  PcmConverter converter_;
  std::unique_ptr<AVPacket, PacketDeleter> packet_;
  std::unique_ptr<AVFrame, FrameDeleter> frame_;

  int streamIndex_ = -1;
  bool wide_;  // samples wider than 16 bits are handed out as 32-bit integers
  AVSampleFormat outputFormat_ = AV_SAMPLE_FMT_S16;
  int bytesPerFrame_ = 0;
  std::int64_t audioStart_ = -1;
  bool draining_ = false;
  bool ended_ = false;

  std::vector<std::uint8_t> pending_;  // converted output not yet handed out
  std::size_t pendingOffset_ = 0;

  bool id3v1Loaded_ = false, id3v2Loaded_ = false;
  std::vector<std::uint8_t> id3v1_, id3v2_;
};

bool FfmpegStream::Open(std::unique_ptr<ByteSource> source) {
  if (!source) return false;
  source_ = std::move(source);
  cursor_.source = source_.get();
  io_ = NewIo(cursor_);
  if (!io_) return false;

  // The path helps FFmpeg's probe with formats whose content alone is ambiguous.
  const char* url = source_->Path().c_str();
  const AVInputFormat* input = nullptr;
  if (av_probe_input_buffer2(io_.get(), &input, url, nullptr, 0, 0) < 0 || !input) return false;
  if (IsTrackerDemuxer(input)) return false;

  // The WAV demuxer has FFmpeg test 16-bit PCM payloads for other codecs (DTS or MP3 carried
  // in a WAV file) by running every format probe over growing buffers of up to 32 packets,
  // which made opening a short WAV file ten times slower than decoding it. One packet is
  // enough to recognise such a payload, and no other parameter of a PCM stream comes from
  // reading it.
  const bool wav = std::strcmp(input->name, "wav") == 0;
  format_ = OpenDemuxer(io_.get(), input, url, wav ? kPcmPayloadProbeBytes : 0);
  if (!format_) return false;

  // Failing to learn every parameter is not fatal: the first decoded frame settles them.
  if (NeedsStreamInfo(format_.get())) avformat_find_stream_info(format_.get(), nullptr);

  const AVCodec* decoder = nullptr;
  streamIndex_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
  if (streamIndex_ < 0 || !decoder) return false;
  for (unsigned i = 0; i < format_->nb_streams; ++i)
    if (static_cast<int>(i) != streamIndex_) format_->streams[i]->discard = AVDISCARD_ALL;
  AVStream* stream = format_->streams[streamIndex_];

  codec_.reset(avcodec_alloc_context3(decoder));
  if (!codec_) return false;
  if (avcodec_parameters_to_context(codec_.get(), stream->codecpar) < 0) return false;
  codec_->pkt_timebase = stream->time_base;
  codec_->thread_count = 1;
  if (avcodec_open2(codec_.get(), decoder, nullptr) < 0) return false;

  packet_.reset(av_packet_alloc());
  frame_.reset(av_frame_alloc());
  if (!packet_ || !frame_) return false;

  // Decode up to the first frame: it tells the real rate, channels and sample format, and a
  // file that yields no audio at all is not opened.
  if (!DecodeMore() || pending_.empty()) return false;

  // Length from the container's duration (the same estimate ffprobe shows), else from the
  // stream itself; 0 when neither tells it.
  double seconds = 0;
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0 && stream->time_base.den > 0)
    seconds = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
  else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
    seconds = static_cast<double>(format_->duration) / AV_TIME_BASE;
  std::uint64_t frames = 0;
  if (codec_->codec_id == AV_CODEC_ID_MUSEPACK8) {
    // FFmpeg counts Musepack SV8 durations in whole packets (up to 1.7 s each); the stream
    // header has the exact sample count.
    frames = Musepack8Frames();
  } else if (!IsPlausibleLength(seconds)) {
    // A header without a length (a stream written where the encoder could not go back to
    // fill it in: a pipe, a live recording). Shorten files keep the WAV header of their
    // source; other streams time their packets, which are read to the end without being
    // decoded.
    if (codec_->codec_id == AV_CODEC_ID_SHORTEN)
      frames = ShortenFrames();
    else
      seconds = SecondsFromPackets(input);
  }
  if (!IsPlausibleLength(static_cast<double>(frames) / info_.frequency))
    frames = IsPlausibleLength(seconds)
                 ? static_cast<std::uint64_t>(seconds * info_.frequency + 0.5)
                 : 0;
  length_ = frames * static_cast<std::uint64_t>(bytesPerFrame_);
  return true;
}

void FfmpegStream::DropTakenPending() {
  if (pendingOffset_ == pending_.size()) {
    pending_.clear();
    pendingOffset_ = 0;
  }
}

bool FfmpegStream::Append(const AVFrame* frame) {
  const int channels = frame->ch_layout.nb_channels;
  if (frame->sample_rate <= 0 || channels <= 0 || channels > 64) return false;
  if (info_.channels == 0) {
    // First frame: fix the output format for the rest of the stream. Where the source
    // changes its rate or channel count later (two files joined end to end), the later part
    // is converted to these: the caller set up its writer from the first frame.
    info_.frequency = frame->sample_rate;
    info_.channels = channels;
    info_.sourceWide = IsWide(frame->format);
    if (IsUnsigned8(frame->format)) {
      outputFormat_ = AV_SAMPLE_FMT_U8;
      info_.flags = kSample8Bits;
      info_.bits = 8;
    } else if (wide_ && IsWide(frame->format)) {
      // The decoder's own width where it states one (24 for 24-bit FLAC, whose samples come
      // shifted to the top of 32 bits), else all 32.
      outputFormat_ = AV_SAMPLE_FMT_S32;
      info_.flags = kSample32Bits;
      const int raw = codec_->bits_per_raw_sample;
      info_.bits = raw > 16 && raw < 32 && !IsFloat(frame->format) ? raw : 32;
    }
    converter_.SetOutput(outputFormat_, frame->sample_rate, channels);
    bytesPerFrame_ = converter_.BytesPerFrame();
  }
  DropTakenPending();
  return converter_.Append(frame->extended_data, frame->format, frame->sample_rate, channels,
                           frame->nb_samples, pending_);
}

// Decodes until at least one frame has been added to pending_; false at the end of the stream.
bool FfmpegStream::DecodeMore() {
  int errorsInRow = 0;
  while (!ended_) {
    const int received = avcodec_receive_frame(codec_.get(), frame_.get());
    if (received == 0) {
      errorsInRow = 0;
      const bool ok = Append(frame_.get());
      const bool gotSamples = frame_->nb_samples > 0;
      av_frame_unref(frame_.get());
      if (!ok) {
        // The rest of the stream cannot be delivered: a failure, not an end.
        failed_ = info_.channels != 0;
        ended_ = true;
        return false;
      }
      if (gotSamples && pendingOffset_ < pending_.size()) return true;
      continue;
    }
    if (received == AVERROR_EOF) break;
    if (received != AVERROR(EAGAIN)) {
      // A damaged packet: skip it, as players do, unless nothing but damage follows.
      if (++errorsInRow > kMaxErrorsInRow) break;
      continue;
    }
    if (draining_) break;  // EAGAIN after the flush packet: nothing more will come
    const int read = av_read_frame(format_.get(), packet_.get());
    if (read < 0) {
      draining_ = true;
      avcodec_send_packet(codec_.get(), nullptr);
      continue;
    }
    if (packet_->stream_index == streamIndex_) {
      if (audioStart_ < 0 && packet_->pos >= 0) audioStart_ = packet_->pos;
      if (avcodec_send_packet(codec_.get(), packet_.get()) < 0 && ++errorsInRow > kMaxErrorsInRow) {
        av_packet_unref(packet_.get());
        break;
      }
    }
    av_packet_unref(packet_.get());
  }
  ended_ = true;
  // The demuxer stops at a read error as at the end; the source knows which it was.
  if (source_->Failed()) failed_ = true;
  // The tail that a resampling converter still holds.
  const std::size_t before = pending_.size() - pendingOffset_;
  DropTakenPending();
  if (!converter_.Flush(pending_)) failed_ = true;
  return pending_.size() - pendingOffset_ > before;
}

std::uint32_t FfmpegStream::GetData(void* buffer, std::uint32_t bytes) {
  const std::uint32_t wanted = bytes - bytes % static_cast<std::uint32_t>(bytesPerFrame_);
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::uint32_t done = 0;
  while (done < wanted) {
    if (pendingOffset_ == pending_.size() && !DecodeMore()) break;
    const std::size_t n = std::min<std::size_t>(wanted - done, pending_.size() - pendingOffset_);
    std::memcpy(out + done, pending_.data() + pendingOffset_, n);
    pendingOffset_ += n;
    done += static_cast<std::uint32_t>(n);
  }
  if (done == 0 && wanted > 0) return kDataEnd;
  position_ += done;
  return done;
}

std::uint64_t FfmpegStream::Musepack8Frames() {
  // "MPCK", then packets of a two-letter key and a size (varint, counting key and size
  // bytes). The stream header "SH" holds a CRC, the version, the sample count and the count
  // of leading silent samples, the last two as varints.
  std::uint8_t buffer[4096];
  const std::size_t got = source_->ReadAt(0, buffer, sizeof buffer);
  if (got < 4 || std::memcmp(buffer, "MPCK", 4) != 0) return 0;
  auto varint = [&](std::size_t& at, std::uint64_t& value) {
    value = 0;
    for (int i = 0; i < 9 && at < got; ++i) {
      const std::uint8_t b = buffer[at++];
      value = (value << 7) | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;
  };
  std::size_t at = 4;
  while (at + 2 < got) {
    const std::size_t packet = at;
    const bool isHeader = buffer[at] == 'S' && buffer[at + 1] == 'H';
    at += 2;
    std::uint64_t size = 0;
    if (!varint(at, size) || size < at - packet) return 0;
    if (isHeader) {
      at += 5;  // CRC and version
      std::uint64_t samples = 0, silence = 0;
      if (!varint(at, samples) || !varint(at, silence) || silence > samples) return 0;
      return samples - silence;
    }
    if (size > got - packet) return 0;
    at = packet + static_cast<std::size_t>(size);
  }
  return 0;
}

// The play time of the stream from the timestamps of its packets, read to the end without
// decoding by a demuxer of its own (the stream's own has read on past its first packets);
// 0 when the packets carry no timestamps.
double FfmpegStream::SecondsFromPackets(const AVInputFormat* input) {
  IoCursor cursor{source_.get(), 0};
  const auto io = NewIo(cursor);
  if (!io) return 0;
  const auto demuxer = OpenDemuxer(io.get(), input, source_->Path().c_str(), 0);
  const std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
  if (!demuxer || !packet) return 0;
  for (unsigned i = 0; i < demuxer->nb_streams; ++i)
    if (static_cast<int>(i) != streamIndex_) demuxer->streams[i]->discard = AVDISCARD_ALL;
  // From the first packet's start to the last one's end. A packet without a duration is
  // taken to last as long as the one before it.
  std::int64_t first = INT64_MAX, end = INT64_MIN, last = AV_NOPTS_VALUE, duration = 0;
  while (av_read_frame(demuxer.get(), packet.get()) >= 0) {
    const std::int64_t at = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    if (packet->stream_index == streamIndex_ && at != AV_NOPTS_VALUE) {
      if (packet->duration > 0)
        duration = packet->duration;
      else if (last != AV_NOPTS_VALUE && at > last && at - last < INT64_MAX / 2)
        duration = at - last;
      first = std::min(first, at);
      if (at < INT64_MAX - duration) end = std::max(end, at + duration);
      last = at;
    }
    av_packet_unref(packet.get());
  }
  // The same stream as the one decoded, or nothing: streams that a demuxer only finds in the
  // packets could be numbered otherwise.
  if (end <= first || static_cast<unsigned>(streamIndex_) >= demuxer->nb_streams) return 0;
  const AVStream* stream = demuxer->streams[streamIndex_];
  if (stream->codecpar->codec_id != codec_->codec_id || stream->time_base.den <= 0) return 0;
  return static_cast<double>(end - first) * av_q2d(stream->time_base);
}

// The sample frames of a Shorten stream, or 0 when its header does not tell them.
std::uint64_t FfmpegStream::ShortenFrames() {
  // One bit stream, most significant bit first: "ajkg", the version, then the header values
  // and the first command, a verbatim copy of the source's WAV header whose data chunk size
  // gives the length.
  std::uint8_t buffer[4096];
  const std::size_t got = source_->ReadAt(0, buffer, sizeof buffer);
  std::size_t bit = 0;
  auto bits = [&](int n, std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < n; ++i, ++bit) {
      if (bit / 8 >= got) return false;
      value = (value << 1) | ((buffer[bit / 8] >> (7 - bit % 8)) & 1u);
    }
    return true;
  };
  // A Rice code: as many zeros as the high part, a one, then the `k` low bits.
  auto rice = [&](int k, std::uint32_t& value) {
    std::uint32_t high = 0, one = 0;
    while (bits(1, one) && !one)
      if (++high > 32) return false;
    std::uint32_t low = 0;
    if (!one || !bits(k, low) || (high > 0 && (k >= 32 || high > (0xFFFFFFFFu >> k)))) return false;
    value = high > 0 ? (high << k) | low : low;
    return true;
  };
  // Header values: a Rice code of their width, then the value with that width.
  auto value = [&](std::uint32_t& out) {
    std::uint32_t width = 0;
    return rice(2, width) && width <= 32 && rice(static_cast<int>(width), out);
  };
  std::uint32_t magic = 0, version = 0, type = 0, channels = 0, blockSize = 0, lpc = 0, mean = 0,
                skip = 0, command = 0, size = 0;
  if (!bits(32, magic) || magic != 0x616A6B67 || !bits(8, version) || version < 1 || version > 3 ||
      !value(type) || !value(channels) || !value(blockSize) || !value(lpc) || !value(mean) ||
      !value(skip) || skip > got)
    return 0;
  bit += 8 * std::size_t{skip};
  constexpr std::uint32_t kVerbatim = 9;
  if (!rice(2, command) || command != kVerbatim || !rice(5, size) || size < 44 || size > 1024)
    return 0;
  std::vector<std::uint8_t> wav(size);
  for (std::uint8_t& b : wav) {
    std::uint32_t byte = 0;
    if (!rice(8, byte) || byte > 255) return 0;
    b = static_cast<std::uint8_t>(byte);
  }
  if (std::memcmp(wav.data(), "RIFF", 4) != 0 || std::memcmp(wav.data() + 8, "WAVE", 4) != 0)
    return 0;
  unsigned blockAlign = 0;
  for (std::size_t at = 12; at + 8 <= wav.size();) {
    const std::uint32_t length = Le32(wav.data() + at + 4);
    if (std::memcmp(wav.data() + at, "fmt ", 4) == 0 && at + 8 + 16 <= wav.size())
      blockAlign = Le16(wav.data() + at + 8 + 12);
    if (std::memcmp(wav.data() + at, "data", 4) == 0) return blockAlign ? length / blockAlign : 0;
    at += 8 + std::size_t{length} + (length & 1);
  }
  return 0;
}

void FfmpegStream::LoadId3v1() {
  id3v1Loaded_ = true;
  if (source_->Size() < 128) return;
  std::vector<std::uint8_t> block(128);
  if (source_->ReadAt(source_->Size() - 128, block.data(), 128) != 128) return;
  if (std::memcmp(block.data(), "TAG", 3) != 0) return;
  id3v1_ = std::move(block);
}

void FfmpegStream::LoadId3v2() {
  id3v2Loaded_ = true;
  std::uint8_t header[10];
  if (source_->ReadAt(0, header, 10) != 10) return;
  if (std::memcmp(header, "ID3", 3) != 0 || header[3] == 0xFF || header[4] == 0xFF) return;
  std::uint32_t body = 0;
  for (int i = 6; i < 10; ++i) {
    if (header[i] & 0x80) return;  // not a synchsafe size: not a tag
    body = (body << 7) | header[i];
  }
  const bool footer = (header[3] >= 4) && (header[5] & 0x10);
  const std::uint64_t total = 10ull + body + (footer ? 10 : 0);
  // A tag cut short by the end of the file is not handed out: whoever copies it trusts the
  // size in its header.
  if (total > source_->Size()) return;
  std::vector<std::uint8_t> block(static_cast<std::size_t>(total));
  if (source_->ReadAt(0, block.data(), block.size()) != block.size()) return;
  id3v2_ = std::move(block);
}

const std::uint8_t* FfmpegStream::GetTags(TagKind kind, std::size_t* size) {
  std::vector<std::uint8_t>* block = nullptr;
  if (kind == TagKind::kId3v1) {
    if (!id3v1Loaded_) LoadId3v1();
    block = &id3v1_;
  } else {
    if (!id3v2Loaded_) LoadId3v2();
    block = &id3v2_;
  }
  if (size) *size = block->size();
  return block->empty() ? nullptr : block->data();
}

TagFields FfmpegStream::FfmpegMetadata() const {
  TagFields fields;
  const AVDictionary* dicts[2] = {format_->metadata, format_->streams[streamIndex_]->metadata};
  auto find = [&](std::initializer_list<const char*> keys) {
    for (const AVDictionary* dict : dicts)
      for (const char* key : keys)
        if (const AVDictionaryEntry* e = av_dict_get(dict, key, nullptr, 0); e && e->value[0])
          return ToValidUtf8(e->value);
    return std::string();
  };
  fields.title = find({"title"});
  fields.artist = find({"artist", "author"});
  fields.album = find({"album"});
  fields.genre = find({"genre"});
  fields.year = find({"date", "year"});
  fields.comment = find({"comment", "description"});
  fields.track = find({"track"});
  return fields;
}

std::string FfmpegStream::ReadTagText(const std::string& format) {
  // TagLib knows each tag format's own fields best; FFmpeg's reading fills what TagLib has no
  // field for (an ID3 TXXX comment, ASF's WM/Year) and covers formats TagLib does not read.
  TagFields fields;
  ReadTagLibFields(*source_, fields);
  const TagFields more = FfmpegMetadata();
  auto fill = [](std::string& field, const std::string& other) {
    if (field.empty()) field = other;
  };
  fill(fields.title, more.title);
  fill(fields.artist, more.artist);
  fill(fields.album, more.album);
  fill(fields.genre, more.genre);
  fill(fields.year, more.year);
  fill(fields.comment, more.comment);
  fill(fields.track, more.track);
  return FormatTagText(format, fields);
}

}  // namespace

std::unique_ptr<Channel> StreamCreateFile(const std::string& path, bool wide) {
  auto stream = std::make_unique<FfmpegStream>(wide);
  if (!stream->Open(ByteSource::OpenFile(path))) return nullptr;
  return stream;
}

std::unique_ptr<Channel> StreamCreateMemory(const std::uint8_t* data, std::size_t size) {
  auto stream = std::make_unique<FfmpegStream>();
  if (!stream->Open(ByteSource::FromMemory(data, size))) return nullptr;
  return stream;
}

}  // namespace wavorax::audiolib
