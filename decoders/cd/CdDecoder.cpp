#include "decoders/cd/CdDecoder.h"

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "base/CdTrackPath.h"
#include "decoders/cd/CdDisc.h"

namespace wavorax {

namespace {

// Sectors read ahead of the consumer: a second of audio, so that the drive keeps streaming while
// the encoder works.
constexpr int kReadAhead = 75;
constexpr int kSectorSamples = kCdFramesPerSector * 2;
// How often a waiting Read asks whether to go on waiting.
constexpr auto kWaitSlice = std::chrono::milliseconds(50);

std::mutex hookMutex;
CdReadHook readHook;

}  // namespace

// The paranoia reader of one open track and the sectors it has read ahead. It is shared by the
// decoder and the reading thread, so that a decoder may close while a read is still in the drive:
// the thread then finishes that read, sees that it is abandoned and frees everything on its way
// out.
struct CCdDecoder::Reader {
  std::unique_ptr<CdDisc> disc;
  cdrom_drive_t* drive = nullptr;
  cdrom_paranoia_t* paranoia = nullptr;
  // libcdio's own read, which InterruptibleRead stands in front of.
  long (*driveRead)(cdrom_drive_t*, void*, lsn_t, long) = nullptr;
  long next = 0, end = 0;  // the sectors still to read, [next, end)

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::int16_t> ring = std::vector<std::int16_t>(kReadAhead * kSectorSamples);
  // The oldest sector read ahead, and how many there are.
  int head = 0, count = 0;
  bool failed = false;  // paranoia gave up on the disc
  std::atomic<bool> abandoned{false};

  ~Reader() {
    if (paranoia) cdio_paranoia_free(paranoia);
    if (drive) cdio_cddap_close_no_free_cdio(drive);
    disc.reset();  // last: the drive object reads through its handle
  }

  void Run();
};

namespace {

thread_local CCdDecoder::Reader* threadReader = nullptr;

// Stands in the drive object for libcdio's read of audio sectors. Once the decoder has let go,
// every further read fails at once, so that paranoia's retries end without the drive.
long InterruptibleRead(cdrom_drive_t* drive, void* buffer, lsn_t begin, long sectors) {
  CCdDecoder::Reader* r = threadReader;
  if (!r || r->abandoned) return -1;
  CdReadHook hook;
  {
    std::lock_guard lock(hookMutex);
    hook = readHook;
  }
  if (hook) hook(begin, r->abandoned);
  if (r->abandoned) return -1;
  return r->driveRead(drive, buffer, begin, sectors);
}

}  // namespace

void CCdDecoder::Reader::Run() {
  threadReader = this;
  std::unique_lock lock(mutex);
  for (;;) {
    changed.wait(lock, [&] { return abandoned || count < kReadAhead; });
    if (abandoned || next >= end) break;
    lock.unlock();
    const std::int16_t* data = paranoia_read_limited(paranoia, nullptr, kCdReadRetries);
    lock.lock();
    if (abandoned) break;
    if (!data) {
      failed = true;
      changed.notify_all();
      break;
    }
    std::memcpy(&ring[static_cast<std::size_t>((head + count) % kReadAhead) * kSectorSamples], data,
                kSectorSamples * sizeof(std::int16_t));
    ++count;
    ++next;
    changed.notify_all();
  }
  threadReader = nullptr;
}

void SetCdReadHookForTesting(CdReadHook hook) {
  std::lock_guard lock(hookMutex);
  readHook = std::move(hook);
}

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

void CCdDecoder::Abandon() {
  if (!reader_) return;
  {
    std::lock_guard lock(reader_->mutex);
    reader_->abandoned = true;
  }
  reader_->changed.notify_all();
  reader_.reset();
}

void CCdDecoder::Close() {
  Abandon();
  reading_ = false;
  track_ = 0;
  hasTags_ = false;
  tags_ = {};
  sectorCount_ = sectorsTaken_ = 0;
  sectorFrames_ = sectorUsed_ = 0;
  ResetStreamInfo();
}

int CCdDecoder::Open(const std::string& path, int /*musicSampleRate*/) {
  Close();
  CdTrackRef ref;
  if (!ParseCdTrackPath(path, ref)) return 0;
  auto reader = std::make_shared<Reader>();
  reader->disc = CdDisc::Open(ref.container);
  long first = 0, last = 0;
  if (!reader->disc || !reader->disc->TrackSectors(ref.track, first, last)) return 0;

  char* messages = nullptr;
  reader->drive =
      cdio_cddap_identify_cdio(reader->disc->handle(), CDDA_MESSAGE_FORGETIT, &messages);
  if (messages) cdio_cddap_free_messages(messages);
  if (!reader->drive) return 0;
  cdio_cddap_verbose_set(reader->drive, CDDA_MESSAGE_FORGETIT, CDDA_MESSAGE_FORGETIT);
  if (cdio_cddap_open(reader->drive) != 0) return 0;
  reader->driveRead = reader->drive->read_audio;
  if (!reader->driveRead) return 0;
  reader->drive->read_audio = InterruptibleRead;
  reader->paranoia = cdio_paranoia_init(reader->drive);
  if (!reader->paranoia) return 0;
  // Full checking, but a sector that stays unreadable after the retries is skipped rather than
  // retried for ever.
  paranoia_modeset(reader->paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
  if (paranoia_seek(reader->paranoia, first, SEEK_SET) < 0) return 0;
  reader->next = first;
  reader->end = last + 1;
  hasTags_ = reader->disc->TrackTags(ref.track, tags_);

  reader_ = std::move(reader);
  track_ = ref.track;
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
  if (sectorUsed_ == sectorFrames_) {
    if (sectorsTaken_ >= sectorCount_) return 0;
    Reader& ahead = *reader_;
    if (!reading_) {
      std::thread([keep = reader_] { keep->Run(); }).detach();
      reading_ = true;
    }
    std::unique_lock lock(ahead.mutex);
    while (ahead.count == 0) {
      if (ahead.failed) return kReadFailed;
      if (!keepWaiting_) {
        ahead.changed.wait(lock);
        continue;
      }
      if (ahead.changed.wait_for(lock, kWaitSlice) == std::cv_status::no_timeout) continue;
      // Asked without the lock, since the answer may run the caller's window for a moment.
      lock.unlock();
      const bool goOn = keepWaiting_();
      lock.lock();
      if (!goOn) return kReadFailed;
    }
    std::memcpy(sector_, &ahead.ring[static_cast<std::size_t>(ahead.head) * kSectorSamples],
                sizeof sector_);
    ahead.head = (ahead.head + 1) % kReadAhead;
    --ahead.count;
    lock.unlock();
    ahead.changed.notify_all();
    ++sectorsTaken_;
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
  if (!reader_ || !hasTags_) return 0;
  const CdTrackTags& tags = tags_;
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
