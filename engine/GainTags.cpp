#include "engine/GainTags.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <taglib/flacfile.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "engine/OutputFiles.h"
#include "engine/loudness/Id3v2Gain.h"
#include "settings/TargetCodes.h"

namespace wavorax {

namespace {

TagLib::String Utf8(const std::string& s) { return TagLib::String(s, TagLib::String::UTF8); }

bool TagXiph(TagLib::Ogg::XiphComment* comment, const std::vector<TagField>& fields) {
  if (!comment) return false;
  for (const TagField& f : fields) comment->addField(Utf8(f.name), Utf8(f.value), true);
  return true;
}

// Vorbis-comment targets: the fields replace any of the same name.
template <typename File>
bool SaveXiph(File& file, const std::vector<TagField>& fields) {
  return file.isValid() && TagXiph(file.tag(), fields) && file.save();
}

bool TagMp4(const std::string& path, const ReplayGain& gain) {
  TagLib::MP4::File file(path.c_str(), false);
  if (!file.isValid() || !file.tag()) return false;
  for (const TagField& f : ReplayGainFields(gain)) {
    // iTunes-style free-form items are named in lower case by the programs that read them.
    std::string name = f.name;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    file.tag()->setItem(Utf8(Mp4FreeformKey(name)),
                        TagLib::MP4::Item(TagLib::StringList(Utf8(f.value))));
  }
  return file.save();
}

bool ReadAll(int fd, std::vector<std::uint8_t>& out) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  out.resize(std::size_t(st.st_size));
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::pread(fd, out.data() + done, out.size() - done, off_t(done));
    if (n <= 0) return false;
    done += std::size_t(n);
  }
  return true;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n <= 0) return false;
    data += n;
    size -= std::size_t(n);
  }
  return true;
}

// Length of the ID3v2 tag at the start of an MP3 (header, frames, padding and footer), 0
// for none.
std::size_t Id3v2Length(const std::vector<std::uint8_t>& file) {
  if (file.size() < 10 || file[0] != 'I' || file[1] != 'D' || file[2] != '3') return 0;
  std::size_t size = 0;
  for (int i = 6; i < 10; ++i) {
    if (file[i] & 0x80) return 0;
    size = (size << 7) | file[i];
  }
  size += 10;
  if (file[5] & 0x10) size += 10;  // footer
  return std::min(size, file.size());
}

// The MP3's leading tag is edited and the audio after it copied whole into a new file,
// which takes the old one's place.
bool TagMp3(const std::string& path, const ReplayGain& gain) {
  std::vector<std::uint8_t> file;
  {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool read = ReadAll(fd, file);
    ::close(fd);
    if (!read) return false;
  }
  const std::size_t tagLength = Id3v2Length(file);
  const Id3v2GainEdit edit =
      SetReplayGainInId3v2(std::span<const std::uint8_t>(file.data(), tagLength), gain);
  if (!edit.edited) return false;
  const std::string temporary = CreateTemporaryBeside(path);
  if (temporary.empty()) return false;
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  bool ok = fd >= 0 && WriteAll(fd, edit.block.data(), edit.block.size()) &&
            WriteAll(fd, file.data() + tagLength, file.size() - tagLength);
  struct stat st {};
  if (ok && ::stat(path.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
  if (fd >= 0) ok = (::fsync(fd) == 0 || errno == EINVAL) && ::close(fd) == 0 && ok;
  ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) std::remove(temporary.c_str());
  return ok;
}

}  // namespace

bool TakesGainTags(int targetCode) {
  switch (targetCode) {
    case kTargetMp3:
    case kTargetFlac:
    case kTargetOgg:
    case kTargetOpus:
    case kTargetM4a:
    case kTargetMp4:
    case kTargetM4b:
    case kTargetAlac:
      return true;
    default:
      return false;
  }
}

bool WriteGainTags(const std::string& path, int targetCode, const ReplayGain& gain) {
  switch (targetCode) {
    case kTargetMp3:
      return TagMp3(path, gain);
    case kTargetFlac: {
      TagLib::FLAC::File file(path.c_str(), false);
      return file.isValid() && TagXiph(file.xiphComment(true), ReplayGainFields(gain)) &&
             file.save();
    }
    case kTargetOgg: {
      TagLib::Ogg::Vorbis::File file(path.c_str(), false);
      return SaveXiph(file, ReplayGainFields(gain));
    }
    case kTargetOpus: {
      TagLib::Ogg::Opus::File file(path.c_str(), false);
      return SaveXiph(file, OpusR128Fields(gain));
    }
    case kTargetM4a:
    case kTargetMp4:
    case kTargetM4b:
    case kTargetAlac:
      return TagMp4(path, gain);
    default:
      return true;
  }
}

bool WriteGainTagsReplacing(const std::string& path, int targetCode, const ReplayGain& gain) {
  if (!TakesGainTags(targetCode)) return true;
  const std::string copy = CreateTemporaryBeside(path);
  if (copy.empty()) return false;
  bool ok = false;
  {
    const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(copy.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    std::vector<std::uint8_t> bytes;
    struct stat st {};
    ok = in >= 0 && out >= 0 && ReadAll(in, bytes) && WriteAll(out, bytes.data(), bytes.size()) &&
         ::fstat(in, &st) == 0 && ::fchmod(out, st.st_mode & 07777) == 0;
    if (in >= 0) ::close(in);
    if (out >= 0) ok = ::close(out) == 0 && ok;
  }
  ok = ok && WriteGainTags(copy, targetCode, gain);
  if (ok) {
    // The tagged copy reaches the disk before it takes the output's name.
    const int fd = ::open(copy.c_str(), O_RDONLY | O_CLOEXEC);
    ok = fd >= 0 && (::fsync(fd) == 0 || errno == EINVAL);
    if (fd >= 0) ::close(fd);
  }
  ok = ok && std::rename(copy.c_str(), path.c_str()) == 0;
  if (!ok) std::remove(copy.c_str());
  return ok;
}

}  // namespace wavorax
