#include "encoders/flac/FlacEncoder.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "encoders/vorbiscomment/VorbisComment.h"

namespace wavorax {

namespace {

// Metadata blocks carry a 24-bit length.
constexpr std::size_t kMaxBlockBytes = (1u << 24) - 1;

void PutBe(std::uint8_t* p, std::uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i, v >>= 8) p[i] = static_cast<std::uint8_t>(v);
}

bool InRange(const std::int32_t* s, int count, std::int32_t lo, std::int32_t hi) {
  std::int32_t min = 0, max = 0;
  for (int i = 0; i < count; ++i) {
    min = std::min(min, s[i]);
    max = std::max(max, s[i]);
  }
  return min >= lo && max <= hi;
}

}  // namespace

struct FlacCallbacks {
  static FLAC__StreamEncoderWriteStatus Write(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                              size_t bytes, uint32_t samples, uint32_t,
                                              void* data) {
    return static_cast<CFlacEncoder*>(data)->Output(buffer, bytes, samples)
               ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
               : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
  }
  static FLAC__StreamEncoderSeekStatus Seek(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                            void* data) {
    // Writes go to explicit offsets, so a seek only moves the next one.
    static_cast<CFlacEncoder*>(data)->pos_ = offset;
    return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
  }
  static FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                            void* data) {
    *offset = static_cast<CFlacEncoder*>(data)->pos_;
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
  }
};

void CFlacEncoder::EncoderDeleter::operator()(FLAC__StreamEncoder* e) const {
  FLAC__stream_encoder_delete(e);
}

void CFlacEncoder::MetadataDeleter::operator()(FLAC__StreamMetadata* m) const {
  FLAC__metadata_object_delete(m);
}

CFlacEncoder::~CFlacEncoder() { Close(); }

bool CFlacEncoder::Open(const std::string& path, int sampleRate, int channels, int bitsPerSample,
                        int compressionLevel) {
  Close();
  if (sampleRate < 1 || sampleRate > static_cast<int>(FLAC__MAX_SAMPLE_RATE)) return false;
  if (channels < 1 || channels > 2 || (bitsPerSample != 16 && bitsPerSample != 24)) return false;
  if (compressionLevel < 0 || compressionLevel > 8) return false;
  if (!file_.Create(path)) return false;
  sampleRate_ = sampleRate;
  channels_ = channels;
  bits_ = bitsPerSample;
  level_ = compressionLevel;
  return true;
}

bool CFlacEncoder::SetTags(const AudioTags& tags) {
  if (!file_.IsOpen() || started_) return false;
  std::size_t comments = 4 + 64 + 4;  // vendor length, libFLAC's vendor text, count
  for (const std::string& e : VorbisCommentEntries(tags, false)) comments += 4 + e.size();
  const std::size_t picture = tags.frontCover.empty() ? 0 : FlacPictureBlock(tags).size();
  if (comments > kMaxBlockBytes || picture > kMaxBlockBytes) return false;
  tags_ = tags;
  return true;
}

bool CFlacEncoder::Output(const unsigned char* buffer, std::size_t bytes, std::uint32_t samples) {
  if (samples > 0) {
    // One call per frame, whole: the frame's offset and first sample make a seek point when
    // a target falls inside it.
    const std::uint64_t first = framesSamples_;
    if (nextSeekSample_ < first + samples) {
      seekPoints_.push_back({first, pos_ - audioStart_, samples});
      const std::uint64_t spacing = std::uint64_t{kSeekPointSpacingSeconds} * sampleRate_;
      while (nextSeekSample_ < first + samples) nextSeekSample_ += spacing;
    }
    framesSamples_ += samples;
  }
  if (!file_.WriteAt(pos_, buffer, bytes)) {
    failed_ = true;
    return false;
  }
  pos_ += bytes;
  return true;
}

bool CFlacEncoder::Begin() {
  using Metadata = std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter>;
  metadata_.clear();
  encoder_.reset(FLAC__stream_encoder_new());
  FLAC__StreamEncoder* e = encoder_.get();
  if (!e) return false;
  bool ok = FLAC__stream_encoder_set_channels(e, static_cast<uint32_t>(channels_)) &&
            FLAC__stream_encoder_set_bits_per_sample(e, static_cast<uint32_t>(bits_)) &&
            FLAC__stream_encoder_set_sample_rate(e, static_cast<uint32_t>(sampleRate_)) &&
            FLAC__stream_encoder_set_compression_level(e, static_cast<uint32_t>(level_));
  if (!ok) return false;

  Metadata comment(FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT));
  Metadata picture;
  Metadata padding(FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING));
  if (!comment || !padding) return false;
  for (const std::string& text : VorbisCommentEntries(tags_, false)) {
    FLAC__StreamMetadata_VorbisComment_Entry entry;
    entry.length = static_cast<FLAC__uint32>(text.size());
    entry.entry = reinterpret_cast<FLAC__byte*>(const_cast<char*>(text.data()));
    if (!FLAC__metadata_object_vorbiscomment_append_comment(comment.get(), entry, true))
      return false;
  }
  if (!tags_.frontCover.empty()) {
    PictureInfo info = DescribePicture(tags_.frontCover);
    picture.reset(FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE));
    if (!picture) return false;
    FLAC__StreamMetadata_Picture& p = picture->data.picture;
    p.type = FLAC__STREAM_METADATA_PICTURE_TYPE_FRONT_COVER;
    p.width = info.width;
    p.height = info.height;
    p.depth = info.depth;
    p.colors = info.colors;
    std::string description;
    if (!FLAC__metadata_object_picture_set_mime_type(picture.get(), info.mimeType.data(), true) ||
        !FLAC__metadata_object_picture_set_description(
            picture.get(), reinterpret_cast<FLAC__byte*>(description.data()), true) ||
        !FLAC__metadata_object_picture_set_data(picture.get(), tags_.frontCover.data(),
                                                static_cast<FLAC__uint32>(tags_.frontCover.size()),
                                                true))
      return false;
  }
  padding->length = kReservedBytes;
  // libFLAC keeps only pointers to the blocks, which must live until finish.
  metadata_.push_back(std::move(comment));
  if (picture) metadata_.push_back(std::move(picture));
  metadata_.push_back(std::move(padding));
  std::array<FLAC__StreamMetadata*, 3> blocks{};
  for (std::size_t i = 0; i < metadata_.size(); ++i) blocks[i] = metadata_[i].get();
  if (!FLAC__stream_encoder_set_metadata(e, blocks.data(), static_cast<uint32_t>(metadata_.size())))
    return false;
  pos_ = 0;
  const FLAC__StreamEncoderInitStatus status = FLAC__stream_encoder_init_stream(
      e, FlacCallbacks::Write, FlacCallbacks::Seek, FlacCallbacks::Tell, nullptr, this);
  if (status != FLAC__STREAM_ENCODER_INIT_STATUS_OK || failed_) return false;
  audioStart_ = pos_;
  started_ = true;
  return true;
}

bool CFlacEncoder::Write(const std::int32_t* left, const std::int32_t* right, int count) {
  if (!file_.IsOpen() || count < 0 || failed_) return false;
  if (count == 0) return true;
  if (!left || (channels_ == 2 && !right)) return false;
  const std::int32_t hi = (std::int32_t{1} << (bits_ - 1)) - 1, lo = -hi - 1;
  if (!InRange(left, count, lo, hi) || (channels_ == 2 && !InRange(right, count, lo, hi)))
    return false;
  // A failed setup or encode is not retried: the file is lost either way.
  if (!started_ && !Begin()) return failed_ = true, false;
  const FLAC__int32* planes[2] = {left, right};
  if (!FLAC__stream_encoder_process(encoder_.get(), planes, static_cast<uint32_t>(count)))
    return failed_ = true, false;
  samples_ += static_cast<std::uint64_t>(count);
  return !failed_;
}

bool CFlacEncoder::WriteSeekTable() {
  std::vector<SeekPoint> points = seekPoints_;
  if (points.size() > kMaxSeekPoints) {
    // A longer stream keeps every k-th point, spaced evenly, so that the table fits.
    const std::size_t k = (points.size() + kMaxSeekPoints - 1) / kMaxSeekPoints;
    std::vector<SeekPoint> kept;
    for (std::size_t i = 0; i < points.size(); i += k) kept.push_back(points[i]);
    points.swap(kept);
  }
  const std::uint32_t tableBytes = static_cast<std::uint32_t>(points.size() * 18);
  std::vector<std::uint8_t> out(4 + tableBytes + 4);
  out[0] = FLAC__METADATA_TYPE_SEEKTABLE;
  PutBe(&out[1], tableBytes, 3);
  for (std::size_t i = 0; i < points.size(); ++i) {
    std::uint8_t* p = &out[4 + 18 * i];
    PutBe(p, points[i].sample, 8);
    PutBe(p + 8, points[i].offset, 8);
    PutBe(p + 16, points[i].frameSamples, 2);
  }
  // The padding stays the last block; its body was written as zeros.
  std::uint8_t* pad = &out[4 + tableBytes];
  pad[0] = 0x80 | FLAC__METADATA_TYPE_PADDING;
  PutBe(pad + 1, kReservedBytes - tableBytes - 4, 3);
  return file_.WriteAt(audioStart_ - kReservedBytes - 4, out.data(), out.size());
}

bool CFlacEncoder::Close() {
  if (!file_.IsOpen()) return true;
  bool ok = !failed_;
  if (ok && !started_) ok = Begin();  // an empty stream is still a complete file
  if (encoder_ && started_) {
    // finish encodes the last block and rewrites STREAMINFO; it reports a failed write too.
    ok = FLAC__stream_encoder_finish(encoder_.get()) && ok;
    ok = ok && !failed_ && WriteSeekTable();
  }
  ok = file_.Close() && ok;
  encoder_.reset();
  metadata_.clear();
  tags_ = AudioTags{};
  started_ = failed_ = false;
  pos_ = audioStart_ = framesSamples_ = nextSeekSample_ = samples_ = 0;
  seekPoints_.clear();
  sampleRate_ = channels_ = bits_ = level_ = 0;
  return ok;
}

}  // namespace wavorax
