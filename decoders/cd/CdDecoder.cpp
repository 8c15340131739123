#include "decoders/cd/CdDecoder.h"

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <cstring>

#include "decoders/cd/CdDisc.h"
#include "decoders/cd/CdTrackPath.h"

namespace wavorax {

// The paranoia reader of one open track: the drive object on libcdio's handle (the handle
// stays with CdDisc) and the paranoia state on top of it.
struct CCdDecoder::Reader {
  cdrom_drive_t* drive = nullptr;
  cdrom_paranoia_t* paranoia = nullptr;
  ~Reader() {
    if (paranoia) cdio_paranoia_free(paranoia);
    if (drive) cdio_cddap_close_no_free_cdio(drive);
  }
};

namespace {

bool IsUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t extra = c < 0x80             ? 0
                              : (c & 0xE0) == 0xC0 ? 1
                              : (c & 0xF0) == 0xE0 ? 2
                              : (c & 0xF8) == 0xF0 ? 3
                                                   : 4;
    if (extra == 4 || i + extra >= s.size() + (extra == 0 ? 1 : 0)) return false;
    for (std::size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

// Text as UTF-8: cue sheets are often written in Latin-1, which is then taken byte by byte.
std::string AsUtf8(const std::string& s) {
  if (IsUtf8(s)) return s;
  std::string out;
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

CCdDecoder::CCdDecoder() = default;

CCdDecoder::~CCdDecoder() { CCdDecoder::Close(); }

void CCdDecoder::Close() {
  reader_.reset();  // before the disc, whose handle the reader uses
  disc_.reset();
  track_ = 0;
  firstSector_ = sectorCount_ = nextSector_ = 0;
  sectorFrames_ = sectorUsed_ = 0;
  ResetStreamInfo();
}

int CCdDecoder::Open(const std::string& path, int /*musicSampleRate*/) {
  Close();
  CdTrackRef ref;
  if (!ParseCdTrackPath(path, ref)) return 0;
  std::unique_ptr<CdDisc> disc = CdDisc::Open(ref.container);
  long first = 0, last = 0;
  if (!disc || !disc->TrackSectors(ref.track, first, last)) return 0;

  auto reader = std::make_unique<Reader>();
  char* messages = nullptr;
  reader->drive = cdio_cddap_identify_cdio(disc->handle(), CDDA_MESSAGE_FORGETIT, &messages);
  if (messages) cdio_cddap_free_messages(messages);
  if (!reader->drive) return 0;
  cdio_cddap_verbose_set(reader->drive, CDDA_MESSAGE_FORGETIT, CDDA_MESSAGE_FORGETIT);
  if (cdio_cddap_open(reader->drive) != 0) return 0;
  reader->paranoia = cdio_paranoia_init(reader->drive);
  if (!reader->paranoia) return 0;
  // Full checking, but a sector that stays unreadable after the retries is skipped rather
  // than retried for ever.
  paranoia_modeset(reader->paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
  if (paranoia_seek(reader->paranoia, first, SEEK_SET) < 0) return 0;

  disc_ = std::move(disc);
  reader_ = std::move(reader);
  track_ = ref.track;
  firstSector_ = first;
  nextSector_ = first;
  sectorCount_ = last - first + 1;

  sampleRate = 44100;
  channels = 2;
  outputChannels = 2;
  bitsPerSample = 16;
  bytesPerSample = 2;
  bitrateKbps = 1411;
  length = static_cast<std::uint64_t>(sectorCount_) * kCdSectorBytes;
  position = 0;
  durationSeconds = static_cast<int>(sectorCount_ / 75);
  return 1;
}

int CCdDecoder::Read(void* left, void* right) {
  if (!reader_) return 0;
  // One sector at most per call: a caller that polls for Cancel between blocks then waits
  // for no more than one sector's retries.
  if (sectorUsed_ == sectorFrames_) {
    if (nextSector_ >= firstSector_ + sectorCount_) return 0;
    const std::int16_t* data = paranoia_read_limited(reader_->paranoia, nullptr, kCdReadRetries);
    if (!data) return -1;
    std::memcpy(sector_, data, sizeof sector_);
    ++nextSector_;
    sectorFrames_ = kCdFramesPerSector;
    sectorUsed_ = 0;
  }
  auto* l = static_cast<std::int16_t*>(left);
  auto* r = static_cast<std::int16_t*>(right);
  const int n = std::min(kDecodeBlock, sectorFrames_ - sectorUsed_);
  for (int i = 0; i < n; ++i) {
    l[i] = sector_[2 * (sectorUsed_ + i)];
    if (r) r[i] = sector_[2 * (sectorUsed_ + i) + 1];
  }
  sectorUsed_ += n;
  position += static_cast<std::uint64_t>(n) * 4;
  return n;
}

int CCdDecoder::ReadTags(std::string& title, std::string& artist, std::string& album,
                         std::string& year, std::string& genre, std::string& /*comment*/,
                         std::string& track) {
  CdTrackTags tags;
  if (!disc_ || !disc_->TrackTags(track_, tags)) return 0;
  auto set = [](std::string& field, const std::string& value) {
    if (!value.empty()) field = AsUtf8(value);
  };
  set(title, tags.title);
  set(artist, tags.performer);
  set(album, tags.album);
  set(year, tags.year);
  set(genre, tags.genre);
  track = std::to_string(track_);
  return 1;
}

}  // namespace wavorax
