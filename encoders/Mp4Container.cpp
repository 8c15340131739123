#include "encoders/Mp4Container.h"

#include "base/Utf8.h"
#include "encoders/FfmpegHandles.h"
#include "encoders/Mp4CompactWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/mathematics.h>
}

#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4item.h>
#include <taglib/mp4tag.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace wavorax {

namespace {

constexpr std::array<int, 13> kAscSampleRates = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                                 22050, 16000, 12000, 11025, 8000,  7350};

// Reads the object type, sample rate and channel configuration at the start of an
// AudioSpecificConfig.
class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::uint32_t size) : data_(data), size_(size) {}
  bool Read(int bits, std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < bits; ++i) {
      if (pos_ >= std::uint64_t{size_} * 8) return false;
      const int bit = (data_[pos_ / 8] >> (7 - pos_ % 8)) & 1;
      value = (value << 1) | static_cast<std::uint32_t>(bit);
      ++pos_;
    }
    return true;
  }

 private:
  const std::uint8_t* data_;
  std::uint32_t size_;
  std::uint64_t pos_ = 0;
};

bool ParseAudioSpecificConfig(const std::uint8_t* config, std::uint32_t size, int& sampleRate,
                              int& channels) {
  BitReader r(config, size);
  std::uint32_t objectType, rateIndex, channelConfig;
  if (!r.Read(5, objectType)) return false;
  if (objectType == 31) {
    std::uint32_t ext;
    if (!r.Read(6, ext)) return false;
  }
  if (!r.Read(4, rateIndex)) return false;
  if (rateIndex == 15) {
    std::uint32_t rate;
    if (!r.Read(24, rate)) return false;
    sampleRate = static_cast<int>(rate);
  } else if (rateIndex < kAscSampleRates.size()) {
    sampleRate = kAscSampleRates[rateIndex];
  } else {
    return false;
  }
  if (!r.Read(4, channelConfig)) return false;
  // Configurations 1 to 6 are 1 to 6 channels; 7 is eight. 0 would need a program config
  // element, which our encoder never writes.
  if (channelConfig == 0 || channelConfig > 7) return false;
  channels = channelConfig == 7 ? 8 : static_cast<int>(channelConfig);
  return sampleRate > 0;
}

}  // namespace

struct Mp4Track {
  AVStream* stream = nullptr;
  std::uint32_t timeScale = 0;
  bool configured = false;
  bool anySample = false;
  std::uint64_t nextDts = 0;  // in the track's time scale
  std::uint64_t priming = 0;  // the first sample's rendering offset
};

struct Mp4File {
  AVFormatContext* format = nullptr;  // owns its streams, metadata and I/O context
  std::vector<Mp4Track> tracks;
  std::unique_ptr<AVPacket, PacketFree> packet;
  std::uint32_t movieTimeScale = 0;
  int audioProfile = -1;
  bool headerWritten = false;
  // Set for long sources: the samples go through the compact writer, not the muxer.
  bool compact = false;
  std::unique_ptr<Mp4CompactWriter> compactWriter;
  // Items the muxer cannot write, added after it closed the file.
  std::string path;
  std::vector<std::uint8_t> cover;
  TagLib::MP4::CoverArt::Format coverFormat = TagLib::MP4::CoverArt::Unknown;
  std::map<std::string, std::string> freeForm;

  ~Mp4File() {
    if (format) {
      avio_closep(&format->pb);
      avformat_free_context(format);
    }
  }
};

void Mp4FileCloser::operator()(Mp4File* file) const { delete file; }

Mp4FilePtr MP4Create(const std::string& path) {
  Mp4FilePtr file(new Mp4File);
  if (avformat_alloc_output_context2(&file->format, nullptr, "mp4", nullptr) < 0 || !file->format)
    return nullptr;
  // Unless told to be bit-exact, the muxer names itself in an item of its own ("©too
  // Lavf..."); a file's items are those that the tag choice sets and nothing else.
  file->format->flags |= AVFMT_FLAG_BITEXACT;
  file->path = path;
  file->packet.reset(av_packet_alloc());
  if (!file->packet) return nullptr;
  // "file:" keeps a name such as "a:b.m4a" from being read as a protocol address.
  if (avio_open(&file->format->pb, ("file:" + path).c_str(), AVIO_FLAG_WRITE) < 0) return nullptr;
  return file;
}

bool MP4SetTimeScale(MP4FileHandle file, std::uint32_t timeScale) {
  if (!file || file->headerWritten || timeScale == 0 || timeScale > 0x7FFFFFFF) return false;
  file->movieTimeScale = timeScale;
  return true;
}

MP4TrackId MP4AddAudioTrack(MP4FileHandle file, std::uint32_t timeScale, MP4Duration sampleDuration,
                            std::uint8_t audioType) {
  if (!file || file->headerWritten || timeScale == 0 || timeScale > 0x7FFFFFFF)
    return MP4_INVALID_TRACK_ID;
  // Fixed-duration samples are not offered: every AAC writer gives each sample its own.
  if (sampleDuration != MP4_INVALID_DURATION) return MP4_INVALID_TRACK_ID;
  if (audioType != MP4_MPEG4_AUDIO_TYPE && audioType != MP4_MPEG2_AAC_MAIN_AUDIO_TYPE &&
      audioType != MP4_MPEG2_AAC_LC_AUDIO_TYPE && audioType != MP4_MPEG2_AAC_SSR_AUDIO_TYPE)
    return MP4_INVALID_TRACK_ID;
  AVStream* st = avformat_new_stream(file->format, nullptr);
  if (!st) return MP4_INVALID_TRACK_ID;
  st->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
  st->codecpar->codec_id = AV_CODEC_ID_AAC;
  st->codecpar->frame_size = 1024;
  st->time_base = AVRational{1, static_cast<int>(timeScale)};
  Mp4Track track;
  track.stream = st;
  track.timeScale = timeScale;
  file->tracks.push_back(track);
  return static_cast<MP4TrackId>(file->tracks.size());
}

MP4TrackId MP4AddALACAudioTrack(MP4FileHandle file, const std::uint8_t* config,
                                std::uint32_t size) {
  constexpr std::uint32_t kConfigSize = 24;
  if (!file || file->headerWritten || !config || size != kConfigSize) return MP4_INVALID_TRACK_ID;
  const auto be32 = [config](int at) {
    return std::uint32_t{config[at]} << 24 | std::uint32_t{config[at + 1]} << 16 |
           std::uint32_t{config[at + 2]} << 8 | config[at + 3];
  };
  const std::uint32_t frameLength = be32(0);
  const int bitDepth = config[5];
  const int channels = config[9];
  const std::uint32_t rate = be32(20);
  if (frameLength == 0 || frameLength > 0x7FFFFFFF || rate == 0 || rate > 0x7FFFFFFF ||
      channels < 1 || channels > 8 ||
      (bitDepth != 16 && bitDepth != 20 && bitDepth != 24 && bitDepth != 32))
    return MP4_INVALID_TRACK_ID;
  AVStream* st = avformat_new_stream(file->format, nullptr);
  if (!st) return MP4_INVALID_TRACK_ID;
  AVCodecParameters* par = st->codecpar;
  // The muxer copies the extradata into the sample description as the whole 'alac' atom.
  constexpr int kAtomSize = 12 + kConfigSize;
  par->extradata = static_cast<std::uint8_t*>(av_mallocz(kAtomSize + AV_INPUT_BUFFER_PADDING_SIZE));
  if (!par->extradata) return MP4_INVALID_TRACK_ID;
  par->extradata_size = kAtomSize;
  const std::uint8_t header[12] = {0, 0, 0, kAtomSize, 'a', 'l', 'a', 'c', 0, 0, 0, 0};
  std::memcpy(par->extradata, header, sizeof header);
  std::memcpy(par->extradata + sizeof header, config, kConfigSize);
  par->codec_type = AVMEDIA_TYPE_AUDIO;
  par->codec_id = AV_CODEC_ID_ALAC;
  par->sample_rate = static_cast<int>(rate);
  par->bits_per_raw_sample = bitDepth;
  par->bits_per_coded_sample = bitDepth;
  par->frame_size = static_cast<int>(frameLength);
  av_channel_layout_uninit(&par->ch_layout);
  av_channel_layout_default(&par->ch_layout, channels);
  st->time_base = AVRational{1, static_cast<int>(rate)};
  Mp4Track track;
  track.stream = st;
  track.timeScale = rate;
  track.configured = true;
  file->tracks.push_back(track);
  return static_cast<MP4TrackId>(file->tracks.size());
}

bool MP4SetCompactIndex(MP4FileHandle file, bool compact) {
  if (!file || file->headerWritten) return false;
  file->compact = compact;
  return true;
}

bool MP4SetAudioProfileLevel(MP4FileHandle file, std::uint8_t value) {
  if (!file || file->headerWritten) return false;
  file->audioProfile = value;
  return true;
}

namespace {

Mp4Track* FindTrack(MP4FileHandle file, MP4TrackId id) {
  if (!file || id == MP4_INVALID_TRACK_ID || id > file->tracks.size()) return nullptr;
  return &file->tracks[id - 1];
}

}  // namespace

bool MP4SetTrackESConfiguration(MP4FileHandle file, MP4TrackId id, const std::uint8_t* config,
                                std::uint32_t size) {
  Mp4Track* track = FindTrack(file, id);
  if (!track || file->headerWritten || !config || size == 0) return false;
  if (track->stream->codecpar->codec_id != AV_CODEC_ID_AAC) return false;
  int rate = 0, channels = 0;
  if (!ParseAudioSpecificConfig(config, size, rate, channels)) return false;
  AVCodecParameters* par = track->stream->codecpar;
  av_freep(&par->extradata);
  par->extradata_size = 0;
  par->extradata = static_cast<std::uint8_t*>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
  if (!par->extradata) return false;
  std::memcpy(par->extradata, config, size);
  par->extradata_size = static_cast<int>(size);
  par->sample_rate = rate;
  av_channel_layout_uninit(&par->ch_layout);
  av_channel_layout_default(&par->ch_layout, channels);
  track->configured = true;
  return true;
}

namespace {

bool SetMetadata(MP4FileHandle file, const char* key, std::string_view value) {
  if (!file) return false;
  const std::string text(value);
  return av_dict_set(&file->format->metadata, key, text.c_str(), 0) >= 0;
}

bool WriteHeader(Mp4File& file) {
  if (file.tracks.empty()) return false;
  for (const Mp4Track& t : file.tracks)
    if (!t.configured) return false;
  if (file.compact) {
    // One audio track is all that the writers make, and all that the compact index holds.
    if (file.tracks.size() != 1) return false;
    file.compactWriter = std::make_unique<Mp4CompactWriter>(file.format->pb);
    file.headerWritten = true;
    return file.compactWriter->Begin();
  }
  Dictionary options;
  if (file.movieTimeScale) av_dict_set_int(&options.d, "movie_timescale", file.movieTimeScale, 0);
  if (file.audioProfile >= 0) {
    av_dict_set_int(&options.d, "skip_iods", 0, 0);
    av_dict_set_int(&options.d, "iods_audio_profile", file.audioProfile, 0);
  }
  if (avformat_write_header(file.format, &options.d) < 0) return false;
  file.headerWritten = true;
  return !file.format->pb->error;
}

}  // namespace

bool MP4SetMetadataName(MP4FileHandle file, std::string_view value) {
  return SetMetadata(file, "title", value);
}
bool MP4SetMetadataArtist(MP4FileHandle file, std::string_view value) {
  return SetMetadata(file, "artist", value);
}
bool MP4SetMetadataAlbum(MP4FileHandle file, std::string_view value) {
  return SetMetadata(file, "album", value);
}
bool MP4SetMetadataYear(MP4FileHandle file, std::string_view value) {
  return SetMetadata(file, "date", value);
}
bool MP4SetMetadataGenre(MP4FileHandle file, std::string_view value) {
  return SetMetadata(file, "genre", value);
}
bool MP4SetMetadataComment(MP4FileHandle file, std::string_view value) {
  return SetMetadata(file, "comment", value);
}

bool MP4SetMetadataTrack(MP4FileHandle file, std::uint16_t track, std::uint16_t totalTracks) {
  if (!file) return false;
  if (track == 0) return av_dict_set(&file->format->metadata, "track", nullptr, 0) >= 0;
  const std::string text = std::to_string(track) + "/" + std::to_string(totalTracks);
  return SetMetadata(file, "track", text);
}

bool MP4SetMetadataCoverArt(MP4FileHandle file, const std::uint8_t* bytes, std::uint32_t size) {
  if (!file || !bytes || size == 0) return false;
  // The item's data type tells players how to read the picture, so it follows the bytes'
  // signature rather than anything a source's tag declared.
  TagLib::MP4::CoverArt::Format format = TagLib::MP4::CoverArt::Unknown;
  static constexpr std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
    format = TagLib::MP4::CoverArt::JPEG;
  else if (size >= 8 && std::memcmp(bytes, kPng, 8) == 0)
    format = TagLib::MP4::CoverArt::PNG;
  else
    return false;
  file->cover.assign(bytes, bytes + size);
  file->coverFormat = format;
  return true;
}

bool MP4SetMetadataFreeForm(MP4FileHandle file, std::string_view name, std::string_view value) {
  if (!file || name.empty()) return false;
  file->freeForm[std::string(name)] = std::string(value);
  return true;
}

bool MP4WriteSample(MP4FileHandle file, MP4TrackId id, const std::uint8_t* bytes,
                    std::uint32_t numBytes, MP4Duration duration, MP4Duration renderingOffset,
                    bool isSyncSample) {
  Mp4Track* track = FindTrack(file, id);
  if (!track || !bytes || numBytes == 0 || numBytes > 0x7FFFFFFF) return false;
  if (duration == 0 || duration > 0x7FFFFFFF) return false;
  if (track->anySample ? renderingOffset != 0 : renderingOffset > 0x7FFFFFFF) return false;
  if (!file->headerWritten && !WriteHeader(*file)) return false;
  if (!track->anySample) track->priming = renderingOffset;
  if (file->compactWriter) {
    if (!file->compactWriter->WriteSample(bytes, numBytes, static_cast<std::uint32_t>(duration)))
      return false;
    track->nextDts += duration;
    track->anySample = true;
    return true;
  }

  // Decode times run from minus the priming, so the muxer writes an edit list that starts
  // the presentation at the first real sample.
  const AVRational from{1, static_cast<int>(track->timeScale)};
  const AVRational to = track->stream->time_base;
  const auto start =
      static_cast<std::int64_t>(track->nextDts) - static_cast<std::int64_t>(track->priming);
  const auto end = start + static_cast<std::int64_t>(duration);
  const std::int64_t ts = av_rescale_q(start, from, to);

  AVPacket* pkt = file->packet.get();
  av_packet_unref(pkt);
  // The muxer writes the bytes out before av_write_frame returns, so the caller's buffer
  // can be lent to it.
  pkt->data = const_cast<std::uint8_t*>(bytes);
  pkt->size = static_cast<int>(numBytes);
  pkt->stream_index = track->stream->index;
  pkt->pts = pkt->dts = ts;
  pkt->duration = av_rescale_q(end, from, to) - ts;
  pkt->flags = isSyncSample ? AV_PKT_FLAG_KEY : 0;
  const int rc = av_write_frame(file->format, pkt);
  pkt->data = nullptr;
  pkt->size = 0;
  if (rc < 0 || file->format->pb->error) return false;
  track->nextDts += duration;
  track->anySample = true;
  return true;
}

namespace {

// Adds the cover and the free-form items to the closed file's ilst. The muxer put the index
// after the media, so the items grow only the index and no chunk offset changes.
bool AddLateItems(const Mp4File& file) {
  if (file.cover.empty() && file.freeForm.empty()) return true;
  TagLib::MP4::File mp4(file.path.c_str(), false);
  if (!mp4.isValid() || !mp4.tag()) return false;
  TagLib::MP4::Tag* tag = mp4.tag();
  if (!file.cover.empty()) {
    const TagLib::ByteVector data(reinterpret_cast<const char*>(file.cover.data()),
                                  static_cast<unsigned int>(file.cover.size()));
    TagLib::MP4::CoverArtList covers;
    covers.append(TagLib::MP4::CoverArt(file.coverFormat, data));
    tag->setItem("covr", TagLib::MP4::Item(covers));
  }
  for (const auto& [name, value] : file.freeForm)
    tag->setItem(
        "----:com.apple.iTunes:" + TagLib::String(name, TagLib::String::UTF8),
        TagLib::MP4::Item(TagLib::StringList(TagLib::String(value, TagLib::String::UTF8))));
  if (!mp4.save()) return false;
  // TagLib does not report every failed write (a full disk half-way through the index), so
  // the file is read again: a cut index leaves atoms longer than the file, which makes it
  // invalid, and each item must have arrived whole.
  TagLib::MP4::File check(file.path.c_str(), false);
  if (!check.isValid() || !check.tag()) return false;
  const TagLib::MP4::ItemMap items = check.tag()->itemMap();
  if (!file.cover.empty()) {
    const auto it = items.find("covr");
    if (it == items.end()) return false;
    const TagLib::MP4::CoverArtList covers = it->second.toCoverArtList();
    if (covers.size() != 1 || covers.front().data().size() != file.cover.size()) return false;
  }
  for (const auto& [name, value] : file.freeForm) {
    const auto it =
        items.find("----:com.apple.iTunes:" + TagLib::String(name, TagLib::String::UTF8));
    if (it == items.end() || it->second.toStringList().toString().to8Bit(true) != value)
      return false;
  }
  return true;
}

// The index and every item, the muxer's and the late ones, through the compact writer.
bool FinishCompact(const Mp4File& file) {
  const Mp4Track& t = file.tracks.front();
  if (!t.anySample) return false;
  const AVCodecParameters* par = t.stream->codecpar;
  Mp4CompactTrack track;
  track.alac = par->codec_id == AV_CODEC_ID_ALAC;
  track.timeScale = t.timeScale;
  track.channels = par->ch_layout.nb_channels;
  track.sampleSize = track.alac ? par->bits_per_coded_sample : 16;
  track.config.assign(par->extradata, par->extradata + par->extradata_size);
  track.priming = t.priming;
  Mp4CompactItems items;
  static constexpr std::pair<const char*, const char*> kTexts[] = {{"title", "\xA9nam"},
                                                                   {"artist",
                                                                    "\xA9"
                                                                    "ART"},
                                                                   {"album",
                                                                    "\xA9"
                                                                    "alb"},
                                                                   {"date",
                                                                    "\xA9"
                                                                    "day"},
                                                                   {"genre", "\xA9gen"},
                                                                   {"comment",
                                                                    "\xA9"
                                                                    "cmt"}};
  for (const auto& [key, code] : kTexts)
    if (const AVDictionaryEntry* e = av_dict_get(file.format->metadata, key, nullptr, 0))
      items.texts.emplace_back(code, e->value);
  if (const AVDictionaryEntry* e = av_dict_get(file.format->metadata, "track", nullptr, 0)) {
    unsigned number = 0, total = 0;
    if (std::sscanf(e->value, "%u/%u", &number, &total) >= 1) {
      items.track = static_cast<std::uint16_t>(number);
      items.totalTracks = static_cast<std::uint16_t>(total);
    }
  }
  items.cover = file.cover;
  items.coverType = file.coverFormat == TagLib::MP4::CoverArt::PNG ? 14 : 13;
  items.freeForm = file.freeForm;
  return file.compactWriter->Finish(track, file.movieTimeScale ? file.movieTimeScale : 1000,
                                    file.audioProfile, items);
}

}  // namespace

bool MP4Close(Mp4FilePtr& file) {
  if (!file) return false;
  bool ok = file->headerWritten || WriteHeader(*file);
  if (ok && file->compactWriter) {
    ok = FinishCompact(*file);
    avio_flush(file->format->pb);
    ok = ok && !file->format->pb->error;
    ok = avio_closep(&file->format->pb) >= 0 && ok;
    file.reset();
    return ok;
  }
  if (ok) ok = av_write_trailer(file->format) >= 0;
  // avio_close drops the error of its final flush, so the flush is made and checked first.
  avio_flush(file->format->pb);
  ok = ok && !file->format->pb->error;
  ok = avio_closep(&file->format->pb) >= 0 && ok;
  if (ok) ok = AddLateItems(*file);
  file.reset();
  return ok;
}

bool MP4SetMetadataTexts(MP4FileHandle file, std::string_view title, std::string_view artist,
                         std::string_view album, std::string_view genre, std::string_view year,
                         std::string_view comment, int track) {
  bool ok = true;
  auto put = [&](bool (*setter)(MP4FileHandle, std::string_view), std::string_view text) {
    // Text that is not UTF-8 cannot be stored as such; it is left out like any text that
    // cannot be converted, and the other items are still written.
    if (!text.empty() && IsValidUtf8(text)) ok = setter(file, text) && ok;
  };
  put(MP4SetMetadataName, title);
  put(MP4SetMetadataArtist, artist);
  put(MP4SetMetadataAlbum, album);
  if (track > 0 && track <= 0xFFFF)
    ok = MP4SetMetadataTrack(file, static_cast<std::uint16_t>(track), 0) && ok;
  put(MP4SetMetadataYear, year);
  put(MP4SetMetadataGenre, genre);
  put(MP4SetMetadataComment, comment);
  return ok;
}

bool MP4SetMetadataCoverArt(MP4FileHandle file, std::span<const std::uint8_t> picture) {
  if (picture.size() > 0xFFFFFFFFu) return false;
  return MP4SetMetadataCoverArt(file, picture.data(), static_cast<std::uint32_t>(picture.size()));
}

}  // namespace wavorax
