#include "encoders/Mp4CompactWriter.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <deque>
#include <limits>

namespace wavorax {

namespace {

constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();

void Tag(AVIOContext* io, const char* fourcc) {
  avio_write(io, reinterpret_cast<const unsigned char*>(fourcc), 4);
}

// Descriptor lengths in the four-byte form, as the muxer writes them.
void Descriptor(AVIOContext* io, int tag, std::uint32_t size) {
  avio_w8(io, tag);
  for (int i = 3; i > 0; --i) avio_w8(io, static_cast<int>((size >> (7 * i)) | 0x80));
  avio_w8(io, static_cast<int>(size & 0x7F));
}

// Creation and modification time (zero: outputs do not depend on the clock), then the time
// scale and the duration, in 32 or 64 bits as the version says.
void Times(AVIOContext* io, int version, std::uint32_t timeScale, std::uint64_t duration,
           bool scaleFirst = true, std::uint32_t trackId = 0) {
  if (version == 1) {
    avio_wb64(io, 0);
    avio_wb64(io, 0);
  } else {
    avio_wb32(io, 0);
    avio_wb32(io, 0);
  }
  if (scaleFirst) {
    avio_wb32(io, timeScale);
  } else {
    avio_wb32(io, trackId);
    avio_wb32(io, 0);
  }
  if (version == 1)
    avio_wb64(io, duration);
  else
    avio_wb32(io, static_cast<std::uint32_t>(duration));
}

void Matrix(AVIOContext* io) {
  const std::uint32_t m[9] = {0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000};
  for (std::uint32_t v : m) avio_wb32(io, v);
}

}  // namespace

void Mp4SampleTable::Add(std::uint32_t size, std::uint32_t duration) {
  if (wide_.empty() && size > 0xFFFF)
    wide_.assign(narrow_.begin(), narrow_.end()), std::deque<std::uint16_t>().swap(narrow_);
  if (wide_.empty())
    narrow_.push_back(static_cast<std::uint16_t>(size));
  else
    wide_.push_back(size);
  if (!runs_.empty() && runs_.back().second == duration && runs_.back().first < kMax32)
    ++runs_.back().first;
  else
    runs_.emplace_back(1, duration);
  ++count_;
  bytes_ += size;
  duration_ += duration;
  largest_ = std::max(largest_, size);
}

std::uint64_t Mp4SampleTable::peakBytesPerSecond(std::uint32_t timeScale) const {
  // A window of one second slid over the samples, sample by sample.
  std::uint64_t peak = 0, inWindow = 0, windowTicks = 0, first = 0, i = 0;
  std::deque<std::uint32_t> durations;
  for (const auto& [n, d] : runs_) {
    for (std::uint32_t k = 0; k < n; ++k, ++i) {
      durations.push_back(d);
      inWindow += size(i);
      windowTicks += d;
      while (windowTicks > timeScale && first < i) {
        inWindow -= size(first++);
        windowTicks -= durations.front();
        durations.pop_front();
      }
      peak = std::max(peak, inWindow);
    }
  }
  return peak;
}

void Mp4CompactWriter::Open(const char* type) {
  open_.push_back(avio_tell(io_));
  avio_wb32(io_, 0);
  Tag(io_, type);
}

void Mp4CompactWriter::OpenFull(const char* type, int version, std::uint32_t flags) {
  Open(type);
  avio_wb32(io_, static_cast<std::uint32_t>(version) << 24 | flags);
}

void Mp4CompactWriter::Close() {
  const std::int64_t start = open_.back();
  open_.pop_back();
  const std::int64_t end = avio_tell(io_);
  avio_seek(io_, start, SEEK_SET);
  avio_wb32(io_, static_cast<std::uint32_t>(end - start));
  avio_seek(io_, end, SEEK_SET);
}

bool Mp4CompactWriter::Begin() {
  Open("ftyp");
  Tag(io_, "isom");
  avio_wb32(io_, 0x200);
  Tag(io_, "isom");
  Tag(io_, "iso2");
  Tag(io_, "mp41");
  Close();
  freeAt_ = avio_tell(io_);
  avio_wb32(io_, 8);
  Tag(io_, "free");
  avio_wb32(io_, 0);
  Tag(io_, "mdat");
  dataAt_ = avio_tell(io_);
  return !io_->error;
}

bool Mp4CompactWriter::WriteSample(const std::uint8_t* bytes, std::uint32_t size,
                                   std::uint32_t duration) {
  avio_write(io_, bytes, static_cast<int>(size));
  if (io_->error) return false;
  table_.Add(size, duration);
  return true;
}

bool Mp4CompactWriter::Finish(const Mp4CompactTrack& track, std::uint32_t movieTimeScale,
                              int audioProfile, const Mp4CompactItems& items) {
  if (table_.count() == 0 || track.timeScale == 0 || movieTimeScale == 0) return false;
  const std::int64_t end = avio_tell(io_);
  const std::uint64_t mdat = table_.bytes() + 8;
  if (static_cast<std::uint64_t>(dataAt_) + table_.bytes() <= wideFrom_) {
    avio_seek(io_, dataAt_ - 8, SEEK_SET);
    avio_wb32(io_, static_cast<std::uint32_t>(mdat));
  } else {
    // The free atom and the mdat header become one 16-byte header with a 64-bit size.
    avio_seek(io_, freeAt_, SEEK_SET);
    avio_wb32(io_, 1);
    Tag(io_, "mdat");
    avio_wb64(io_, mdat + 8);
  }
  avio_seek(io_, end, SEEK_SET);
  WriteMovie(track, movieTimeScale, audioProfile, items);
  return !io_->error;
}

void Mp4CompactWriter::WriteMovie(const Mp4CompactTrack& track, std::uint32_t movieTimeScale,
                                  int audioProfile, const Mp4CompactItems& items) {
  const std::uint64_t media = table_.duration();
  const std::uint64_t shown = media > track.priming ? media - track.priming : 0;
  const auto movieTicks = [&](std::uint64_t ticks) {
    return static_cast<std::uint64_t>(av_rescale_rnd(static_cast<std::int64_t>(ticks),
                                                     movieTimeScale, track.timeScale, AV_ROUND_UP));
  };
  const std::uint64_t presentation = movieTicks(shown);
  const int movieVersion = presentation > kMax32 ? 1 : 0;
  const int mediaVersion = media > kMax32 ? 1 : 0;

  Open("moov");
  OpenFull("mvhd", movieVersion, 0);
  Times(io_, movieVersion, movieTimeScale, presentation);
  avio_wb32(io_, 0x00010000);  // rate 1.0
  avio_wb16(io_, 0x0100);      // volume 1.0
  avio_wb16(io_, 0);
  avio_wb64(io_, 0);
  Matrix(io_);
  for (int i = 0; i < 6; ++i) avio_wb32(io_, 0);
  avio_wb32(io_, 2);  // next track id
  Close();

  if (audioProfile >= 0) {
    OpenFull("iods", 0, 0);
    Descriptor(io_, 0x10, 7);
    avio_wb16(io_, 0x004F);
    avio_w8(io_, 0xFF);  // object descriptor profile
    avio_w8(io_, 0xFF);  // scene
    avio_w8(io_, audioProfile);
    avio_w8(io_, 0xFF);  // visual
    avio_w8(io_, 0xFF);  // graphics
    Close();
  }

  Open("trak");
  OpenFull("tkhd", movieVersion, 3);  // enabled, in the movie
  Times(io_, movieVersion, 0, presentation, false, 1);
  avio_wb64(io_, 0);
  avio_wb16(io_, 0);  // layer
  avio_wb16(io_, 1);  // alternate group
  avio_wb16(io_, 0x0100);
  avio_wb16(io_, 0);
  Matrix(io_);
  avio_wb32(io_, 0);
  avio_wb32(io_, 0);
  Close();

  // The presentation starts after the encoder's priming.
  Open("edts");
  const int editVersion = presentation > kMax32 || track.priming > 0x7FFFFFFF ? 1 : 0;
  OpenFull("elst", editVersion, 0);
  avio_wb32(io_, 1);
  if (editVersion == 1) {
    avio_wb64(io_, presentation);
    avio_wb64(io_, track.priming);
  } else {
    avio_wb32(io_, static_cast<std::uint32_t>(presentation));
    avio_wb32(io_, static_cast<std::uint32_t>(track.priming));
  }
  avio_wb32(io_, 0x00010000);
  Close();
  Close();

  Open("mdia");
  OpenFull("mdhd", mediaVersion, 0);
  Times(io_, mediaVersion, track.timeScale, media);
  avio_wb16(io_, 0x55C4);  // "und"
  avio_wb16(io_, 0);
  Close();
  OpenFull("hdlr", 0, 0);
  avio_wb32(io_, 0);
  Tag(io_, "soun");
  for (int i = 0; i < 3; ++i) avio_wb32(io_, 0);
  avio_write(io_, reinterpret_cast<const unsigned char*>("SoundHandler"), 13);
  Close();
  Open("minf");
  OpenFull("smhd", 0, 0);
  avio_wb32(io_, 0);
  Close();
  Open("dinf");
  OpenFull("dref", 0, 0);
  avio_wb32(io_, 1);
  OpenFull("url ", 0, 1);  // the media is in this file
  Close();
  Close();
  Close();
  Open("stbl");
  WriteSampleDescription(track);
  WriteTables(!track.alac);
  Close();
  Close();  // minf
  Close();  // mdia
  Close();  // trak

  WriteItems(items);
  Close();  // moov
}

void Mp4CompactWriter::WriteSampleDescription(const Mp4CompactTrack& track) {
  OpenFull("stsd", 0, 0);
  avio_wb32(io_, 1);
  Open(track.alac ? "alac" : "mp4a");
  avio_wb32(io_, 0);
  avio_wb16(io_, 0);
  avio_wb16(io_, 1);  // data reference
  avio_wb64(io_, 0);
  avio_wb16(io_, static_cast<unsigned>(track.channels));
  avio_wb16(io_, static_cast<unsigned>(track.sampleSize));
  avio_wb32(io_, 0);
  avio_wb32(io_, track.timeScale < 0x10000 ? track.timeScale << 16 : 0);
  const std::uint32_t seconds =
      static_cast<std::uint32_t>(std::max<std::uint64_t>(1, table_.duration() / track.timeScale));
  const std::uint64_t avgBits = table_.bytes() * 8 / seconds;
  const std::uint64_t maxBits = std::max(avgBits, table_.peakBytesPerSecond(track.timeScale) * 8);
  const auto bits32 = [](std::uint64_t v) {
    return static_cast<std::uint32_t>(std::min(v, kMax32));
  };
  if (track.alac) {
    avio_write(io_, track.config.data(), static_cast<int>(track.config.size()));
  } else {
    const auto asc = static_cast<std::uint32_t>(track.config.size());
    OpenFull("esds", 0, 0);
    const std::uint32_t decoderConfig = 13 + 5 + asc;
    Descriptor(io_, 0x03, 3 + 5 + decoderConfig + 5 + 1);
    avio_wb16(io_, 1);  // ES id: the track's
    avio_w8(io_, 0);
    Descriptor(io_, 0x04, decoderConfig);
    avio_w8(io_, track.objectType);
    avio_w8(io_, 0x15);  // audio stream
    avio_wb24(io_, table_.largest());
    avio_wb32(io_, bits32(maxBits));
    avio_wb32(io_, bits32(avgBits));
    Descriptor(io_, 0x05, asc);
    avio_write(io_, track.config.data(), static_cast<int>(asc));
    Descriptor(io_, 0x06, 1);
    avio_w8(io_, 0x02);
    Close();
  }
  Open("btrt");
  avio_wb32(io_, table_.largest());
  avio_wb32(io_, bits32(maxBits));
  avio_wb32(io_, bits32(avgBits));
  Close();
  Close();
  Close();
}

void Mp4CompactWriter::WriteTables(bool aac) {
  const std::uint64_t count = table_.count();
  OpenFull("stts", 0, 0);
  avio_wb32(io_, static_cast<std::uint32_t>(table_.runs().size()));
  for (const auto& [n, d] : table_.runs()) {
    avio_wb32(io_, n);
    avio_wb32(io_, d);
  }
  Close();

  constexpr std::uint32_t per = Mp4SampleTable::kSamplesPerChunk;
  const std::uint64_t chunks = table_.chunks();
  const auto rest = static_cast<std::uint32_t>(count - (chunks - 1) * per);
  OpenFull("stsc", 0, 0);
  avio_wb32(io_, rest == per || chunks == 1 ? 1 : 2);
  avio_wb32(io_, 1);
  avio_wb32(io_, chunks == 1 ? rest : per);
  avio_wb32(io_, 1);
  if (rest != per && chunks > 1) {
    avio_wb32(io_, static_cast<std::uint32_t>(chunks));
    avio_wb32(io_, rest);
    avio_wb32(io_, 1);
  }
  Close();

  OpenFull("stsz", 0, 0);
  avio_wb32(io_, 0);  // sizes follow one by one
  avio_wb32(io_, static_cast<std::uint32_t>(count));
  for (std::uint64_t i = 0; i < count; ++i) avio_wb32(io_, table_.size(i));
  Close();

  // Offsets of 64 bits once the media reaches past 4 GiB.
  const bool wide = static_cast<std::uint64_t>(dataAt_) + table_.bytes() > wideFrom_;
  OpenFull(wide ? "co64" : "stco", 0, 0);
  avio_wb32(io_, static_cast<std::uint32_t>(chunks));
  std::uint64_t offset = static_cast<std::uint64_t>(dataAt_);
  for (std::uint64_t i = 0; i < count; ++i) {
    if (i % per == 0) {
      if (wide)
        avio_wb64(io_, offset);
      else
        avio_wb32(io_, static_cast<std::uint32_t>(offset));
    }
    offset += table_.size(i);
  }
  Close();

  if (aac) {
    // Every AAC frame needs the one before it to decode fully (a roll distance of -1).
    OpenFull("sgpd", 1, 0);
    Tag(io_, "roll");
    avio_wb32(io_, 2);
    avio_wb32(io_, 1);
    avio_wb16(io_, 0xFFFF);
    Close();
    OpenFull("sbgp", 0, 0);
    Tag(io_, "roll");
    avio_wb32(io_, 1);
    avio_wb32(io_, static_cast<std::uint32_t>(count));
    avio_wb32(io_, 1);
    Close();
  }
}

void Mp4CompactWriter::WriteItems(const Mp4CompactItems& items) {
  Open("udta");
  OpenFull("meta", 0, 0);
  OpenFull("hdlr", 0, 0);
  avio_wb32(io_, 0);
  Tag(io_, "mdir");
  Tag(io_, "appl");
  avio_wb32(io_, 0);
  avio_wb32(io_, 0);
  avio_w8(io_, 0);
  Close();
  Open("ilst");
  const auto data = [&](std::uint32_t type, const void* bytes, std::size_t size) {
    OpenFull("data", 0, type);
    avio_wb32(io_, 0);  // locale
    avio_write(io_, static_cast<const unsigned char*>(bytes), static_cast<int>(size));
    Close();
  };
  for (const auto& [code, text] : items.texts) {
    Open(code.c_str());
    data(1, text.data(), text.size());
    Close();
  }
  if (items.track > 0) {
    const unsigned char trkn[8] = {0,
                                   0,
                                   static_cast<unsigned char>(items.track >> 8),
                                   static_cast<unsigned char>(items.track),
                                   static_cast<unsigned char>(items.totalTracks >> 8),
                                   static_cast<unsigned char>(items.totalTracks),
                                   0,
                                   0};
    Open("trkn");
    data(0, trkn, sizeof trkn);
    Close();
  }
  if (!items.cover.empty()) {
    Open("covr");
    data(items.coverType, items.cover.data(), items.cover.size());
    Close();
  }
  for (const auto& [name, value] : items.freeForm) {
    Open("----");
    OpenFull("mean", 0, 0);
    avio_write(io_, reinterpret_cast<const unsigned char*>("com.apple.iTunes"), 16);
    Close();
    OpenFull("name", 0, 0);
    avio_write(io_, reinterpret_cast<const unsigned char*>(name.data()),
               static_cast<int>(name.size()));
    Close();
    data(1, value.data(), value.size());
    Close();
  }
  Close();  // ilst
  Close();  // meta
  Close();  // udta
}

}  // namespace wavorax
