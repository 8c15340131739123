#include "decoders/cd/CdDisc.h"

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>
#include <cdio/mmc_util.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "base/CdTrackPath.h"
#include "base/Paths.h"

namespace wavorax {
namespace {

constexpr long kRawSectorBytes = 2352;
constexpr std::uint32_t kDriveReadTimeoutMs = 4000;

// libcdio reports problems of images and drives on stderr; the caller sees a failed open
// or a failed read instead, so its messages are dropped.
void QuietLog(cdio_log_level_t, const char*) {}

// libcdio's image parsers keep state in globals, so images are opened one at a time.
std::mutex& OpenMutex() {
  static std::mutex m;
  return m;
}

// Only regular files are read as images: a FIFO named like one would block the reader.
bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ReadSmallFile(const std::string& path, std::string& text, std::size_t limit) {
  std::uint64_t size = 0;
  if (!IsRegularFile(path) || !QueryFileSize(path, size) || size > limit) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), {});
  return true;
}

std::string FolderOf(const std::string& path) {
  const std::string name = FileNameOf(path);
  const std::string folder = NormalisedAbsolute(path.substr(0, path.size() - name.size()));
  return folder.empty() || folder.back() != '/' ? folder + "/" : folder;
}

std::string Msf(long sectors) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld", sectors / (75 * 60), sectors / 75 % 60,
                sectors % 75);
  return buf;
}

// A file name inside TOC text: a quote or a backslash would end or escape it there, and
// "//" would start a comment.
bool SafeInToc(const std::string& name) {
  return name.find_first_of("\"\\\n\r") == std::string::npos &&
         name.find("//") == std::string::npos;
}

// A user's TOC names its files relative to itself, while libcdio looks them up relative to
// the working folder: relative names are made absolute.
std::string AbsoluteTocFileNames(const std::string& toc, const std::string& folder) {
  std::string out;
  std::size_t i = 0;
  while (i < toc.size()) {
    const std::size_t quote = toc.find('"', i);
    if (quote == std::string::npos) break;
    // The word in front of the quote decides whether the string names a file.
    std::size_t e = quote;
    while (e > i && (toc[e - 1] == ' ' || toc[e - 1] == '\t')) --e;
    std::size_t b = e;
    while (b > 0 && std::isalpha(static_cast<unsigned char>(toc[b - 1]))) --b;
    const std::string word = toc.substr(b, e - b);
    std::size_t close = quote + 1;
    while (close < toc.size() && toc[close] != '"') close += toc[close] == '\\' ? 2 : 1;
    if (close > toc.size()) close = toc.size();
    out.append(toc, i, quote + 1 - i);
    const bool names = word == "FILE" || word == "AUDIOFILE" || word == "DATAFILE";
    if (names && quote + 1 < toc.size() && toc[quote + 1] != '/') out += folder;
    if (close >= toc.size()) {
      out.append(toc, quote + 1, std::string::npos);
      return out;
    }
    out.append(toc, quote + 1, close + 1 - (quote + 1));
    i = close + 1;
  }
  if (i < toc.size()) out.append(toc, i, std::string::npos);
  return out;
}

// Writes the TOC text to a private temporary file, opens it and removes the file again:
// libcdio has read everything it needs by then.
CdIo_t* OpenTocText(const std::string& toc) {
  std::error_code ec;
  std::string pattern = (std::filesystem::temp_directory_path(ec) / "wavorax-XXXXXX.toc").string();
  if (ec) pattern = "/tmp/wavorax-XXXXXX.toc";
  const int fd = ::mkstemps(pattern.data(), 4);
  if (fd < 0) return nullptr;
  bool written = true;
  for (std::size_t done = 0; done < toc.size();) {
    const ssize_t n = ::write(fd, toc.data() + done, toc.size() - done);
    if (n <= 0) {
      written = false;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  CdIo_t* cdio = written ? cdio_open_cdrdao(pattern.c_str()) : nullptr;
  ::unlink(pattern.c_str());
  return cdio;
}

}  // namespace

std::string CueToToc(const CueSheet& sheet, const std::string& folder, std::vector<int>& tracks) {
  tracks.clear();
  std::vector<std::string> paths;
  std::vector<long> sectors;
  for (const CueFile& f : sheet.files) {
    std::string path =
        NormalisedAbsolute(!f.name.empty() && f.name[0] == '/' ? f.name : folder + f.name);
    std::uint64_t size = 0;
    const bool regular = IsRegularFile(path);
    if (!regular || !QueryFileSize(path, size)) size = 0;
    paths.push_back(regular ? std::move(path) : std::string());
    sectors.push_back(static_cast<long>(size / kRawSectorBytes));
  }
  std::string toc = "CD_DA\n";
  for (std::size_t i = 0; i < sheet.tracks.size(); ++i) {
    const CueTrack& t = sheet.tracks[i];
    if (!t.audio) continue;
    const CueFile& file = sheet.files[static_cast<std::size_t>(t.file)];
    const std::string& path = paths[static_cast<std::size_t>(t.file)];
    // Raw little-endian CD audio only; every other track in the same file must have raw
    // sectors too, or the byte offsets of the audio would differ from their times.
    if (file.type != "BINARY" || path.empty() || !SafeInToc(path)) return {};
    for (const CueTrack& other : sheet.tracks)
      if (other.file == t.file && !other.audio && other.mode != "MODE1/2352" &&
          other.mode != "MODE2/2352")
        return {};
    // A track runs to the start of the next one in its file (the pregap of a following audio
    // track is heard at the end of this one), or to the last whole sector of the file.
    long end = sectors[static_cast<std::size_t>(t.file)];
    if (i + 1 < sheet.tracks.size() && sheet.tracks[i + 1].file == t.file) {
      const CueTrack& next = sheet.tracks[i + 1];
      end = next.audio || next.index0 < 0 ? next.index1 : next.index0;
    }
    if (t.index1 >= end || end > sectors[static_cast<std::size_t>(t.file)]) return {};
    toc += "TRACK AUDIO\nFILE \"" + path + "\" " + Msf(t.index1) + " " + Msf(end - t.index1) + "\n";
    tracks.push_back(t.number);
  }
  if (tracks.empty()) return {};
  return toc;
}

CdDisc::~CdDisc() {
  if (cdio_) cdio_destroy(cdio_);
}

std::unique_ptr<CdDisc> CdDisc::Open(const std::string& container) {
  static std::once_flag setup;
  std::call_once(setup, [] {
    cdio_log_set_handler(QuietLog);
    // A drive stuck on a damaged sector answers a read command only after libcdio's default
    // of three minutes; a few seconds bound the wait, and paranoia's retries go on from there.
    mmc_read_timeout_ms = kDriveReadTimeoutMs;
  });

  std::unique_ptr<CdDisc> disc(new CdDisc());
  const std::string ext = ExtensionOf(container);
  std::vector<int> cueNumbers;
  std::string toc;
  if (EqualsNoCase(ext, ".cue")) {
    std::string text;
    if (!ReadSmallFile(container, text, kMaxCueSheetBytes) || !ParseCueSheet(text, disc->cue_))
      return nullptr;
    toc = CueToToc(disc->cue_, FolderOf(container), cueNumbers);
    if (toc.empty()) return nullptr;
    disc->fromCue_ = true;
  } else if (EqualsNoCase(ext, ".toc")) {
    std::string text;
    if (!ReadSmallFile(container, text, kMaxCueSheetBytes)) return nullptr;
    toc = AbsoluteTocFileNames(text, FolderOf(container));
  }
  {
    std::lock_guard<std::mutex> lock(OpenMutex());
    if (!toc.empty())
      disc->cdio_ = OpenTocText(toc);
    else if (EqualsNoCase(ext, ".nrg"))
      disc->cdio_ = IsRegularFile(container) ? cdio_open_nrg(container.c_str()) : nullptr;
    else if (IsBlockDevice(container))
      disc->cdio_ = cdio_open(container.c_str(), DRIVER_DEVICE);
  }
  if (!disc->cdio_) return nullptr;
  if (disc->fromCue_) disc->audio_ = cueNumbers;
  if (!disc->Describe()) return nullptr;
  return disc;
}

bool CdDisc::Describe() {
  const track_t first = cdio_get_first_track_num(cdio_);
  const track_t count = cdio_get_num_tracks(cdio_);
  if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) return false;
  const lsn_t leadout = cdio_get_disc_last_lsn(cdio_);
  std::vector<int> numbers;
  for (int i = first; i < first + count; ++i) {
    if (cdio_get_track_format(cdio_, static_cast<track_t>(i)) != TRACK_FORMAT_AUDIO) continue;
    const lsn_t start = cdio_get_track_lsn(cdio_, static_cast<track_t>(i));
    lsn_t last = cdio_get_track_last_lsn(cdio_, static_cast<track_t>(i));
    // The next track's start and the lead-out bound a track whatever its own length says.
    if (i + 1 < first + count) {
      const lsn_t next = cdio_get_track_lsn(cdio_, static_cast<track_t>(i + 1));
      if (next != CDIO_INVALID_LSN && next - 1 < last) last = next - 1;
    }
    if (leadout != CDIO_INVALID_LSN && leadout - 1 < last) last = leadout - 1;
    if (start == CDIO_INVALID_LSN || last == CDIO_INVALID_LSN || start < 0 || last < start)
      return false;
    numbers.push_back(i);
    cdioTrack_.push_back(i);
    first_.push_back(start);
    last_.push_back(last);
  }
  if (cdioTrack_.empty()) return false;
  // A cue sheet keeps its own track numbers; libcdio numbered only its audio tracks.
  if (fromCue_) {
    if (audio_.size() != cdioTrack_.size()) return false;
  } else {
    audio_ = numbers;
  }
  return true;
}

bool CdDisc::TrackSectors(int track, long& first, long& last) const {
  for (std::size_t i = 0; i < audio_.size(); ++i) {
    if (audio_[i] != track) continue;
    first = first_[i];
    last = last_[i];
    return true;
  }
  return false;
}

bool CdDisc::TrackTags(int track, CdTrackTags& tags) const {
  if (fromCue_) {
    for (const CueTrack& t : cue_.tracks) {
      if (t.number != track) continue;
      tags.title = t.title;
      tags.performer = t.performer.empty() ? cue_.performer : t.performer;
      tags.album = cue_.title;
      tags.genre = cue_.genre;
      tags.year = cue_.date;
      break;
    }
  } else {
    cdtext_t* text = cdio_get_cdtext(cdio_);
    if (!text) return false;
    auto get = [&](cdtext_field_t field, int n) {
      const char* s = cdtext_get_const(text, field, static_cast<track_t>(n));
      return s ? std::string(s) : std::string();
    };
    tags.title = get(CDTEXT_FIELD_TITLE, track);
    tags.performer = get(CDTEXT_FIELD_PERFORMER, track);
    if (tags.performer.empty()) tags.performer = get(CDTEXT_FIELD_PERFORMER, 0);
    tags.album = get(CDTEXT_FIELD_TITLE, 0);
    tags.genre = get(CDTEXT_FIELD_GENRE, 0);
  }
  return !tags.title.empty() || !tags.performer.empty() || !tags.album.empty();
}

std::vector<std::string> ExpandCdTracks(const std::string& container) {
  std::vector<std::string> paths;
  const std::unique_ptr<CdDisc> disc = CdDisc::Open(container);
  if (!disc) return paths;
  for (int track : disc->AudioTracks()) paths.push_back(CdTrackPath(container, track));
  return paths;
}

std::vector<std::string> AudioCdDrives() {
  std::vector<std::string> drives;
  char** devices = nullptr;
  {
    std::lock_guard<std::mutex> lock(OpenMutex());
    devices = cdio_get_devices(DRIVER_DEVICE);
  }
  for (char** d = devices; d && *d; ++d)
    if (!ExpandCdTracks(*d).empty()) drives.emplace_back(*d);
  if (devices) cdio_free_device_list(devices);
  return drives;
}

}  // namespace wavorax
