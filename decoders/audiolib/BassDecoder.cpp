#include "decoders/audiolib/BassDecoder.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "base/Paths.h"
#include "decoders/SourceType.h"

namespace wavorax {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Whether the path's last four characters are `suffix`, without regard to case.
bool EndsWith4(const std::string& path, const char* suffix) {
  return path.size() >= 4 && EqualsNoCase(path.substr(path.size() - 4), suffix);
}

// Doubles from damaged headers can be anything; converting an out-of-range double to int is
// undefined, so every such figure is clamped first.
int ClampToInt(double value) {
  if (!(value > 0)) return 0;
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(value);
}

}  // namespace

CBassDecoder::CBassDecoder() { ResetStreamInfo(); }

CBassDecoder::~CBassDecoder() { Close(); }

void CBassDecoder::Close() {
  handle.reset();  // frees the stream or the music, whichever it is
  interleaveBuffer = {};
  interleaveBytes = 0;
  id3v1Copy = {};
  id3v2Copy = {};
  id3v2Size = 0;
  channelMode = 4;
  nominalBitrate = 0;
  isMusic = false;
  isMpegFile = false;
  isMp4File = false;
  path.clear();
}

int CBassDecoder::Open(const std::string& filePath, int musicSampleRate) {
  Close();
  ResetStreamInfo();

  handle = audiolib::StreamCreateFile(filePath);
  if (!handle) {
    handle = audiolib::MusicLoad(filePath, musicSampleRate);
    if (!handle) return 0;
    isMusic = true;
  }

  length = handle->GetLength();
  if (length != 0) durationSeconds = ClampToInt(handle->BytesToSeconds(length));

  const audiolib::ChannelInfo info = handle->GetInfo();
  sampleRate = info.frequency;
  channels = info.channels;
  outputChannels = info.channels < 2 ? 1 : 2;
  bitsPerSample = (info.flags & audiolib::kSample8Bits) ? 8 : 16;
  bytesPerSample = bitsPerSample / 8;

  path = filePath;
  // Every MPEG audio source (".mp3", ".mp2", ".mp1"), as the source type table names them, is
  // treated alike: its channel mode shows in the list, and its ID3 blocks are copied into MP3
  // outputs as they stand.
  if (SourceTypeOf(filePath) == kSourceMpeg) {
    isMpegFile = true;
    ParseFirstFrameHeader();
  } else if (EndsWith4(filePath, ".mp4") || EndsWith4(filePath, ".m4v") ||
             EndsWith4(filePath, ".m4a") || EndsWith4(filePath, ".m4b")) {
    isMp4File = true;
  }

  // The whole file, tags included, over the play time; the PCM rate when either is unknown.
  const double seconds = handle->BytesToSeconds(length);
  const std::uint64_t fileSize = handle->GetFilePosition(audiolib::FilePosition::kFileSize);
  if (seconds > 0 && fileSize != audiolib::kNoPosition) {
    bitrateKbps = ClampToInt(static_cast<double>(fileSize) / (seconds * 125) + 0.5);
  } else {
    bitrateKbps =
        static_cast<int>(static_cast<unsigned>(bitsPerSample) * static_cast<unsigned>(sampleRate) *
                         static_cast<unsigned>(channels) / 1000u);
  }

  interleaveBytes = static_cast<std::uint32_t>(bytesPerSample * outputChannels * kDecodeBlock);
  interleaveBuffer.assign(interleaveBytes, 0);
  return 1;
}

void CBassDecoder::ParseFirstFrameHeader() {
  const std::uint64_t start = handle->GetFilePosition(audiolib::FilePosition::kAudioStart);
  if (start == audiolib::kNoPosition) return;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file || fseeko(file.get(), static_cast<off_t>(start), SEEK_SET) != 0) return;
  std::uint8_t header[4];
  if (std::fread(header, 1, 4, file.get()) != 4) return;
  int rate = 0, mode = 4;
  if (!ParseMpegFrameHeader(header, rate, mode)) return;
  nominalBitrate = rate;
  channelMode = mode;
}

bool CBassDecoder::EnableWideSamples() {
  if (!handle || isMusic || handle->GetPosition() != 0 || !handle->GetInfo().sourceWide)
    return false;
  // The stream was opened for 16-bit samples; it is opened again for its own, and stays as
  // it was when that gives none wider.
  std::unique_ptr<audiolib::Channel> wide = audiolib::StreamCreateFile(path, true);
  if (!wide || !(wide->GetInfo().flags & audiolib::kSample32Bits)) return false;
  const audiolib::ChannelInfo info = wide->GetInfo();
  if (info.frequency != sampleRate || info.channels != channels) return false;
  handle = std::move(wide);
  length = handle->GetLength();
  bitsPerSample = info.bits;
  bytesPerSample = 4;
  interleaveBytes = static_cast<std::uint32_t>(bytesPerSample * outputChannels * kDecodeBlock);
  interleaveBuffer.assign(interleaveBytes, 0);
  return true;
}

int CBassDecoder::Read(void* left, void* right) {
  if (!handle || interleaveBytes == 0) return 0;
  if (bytesPerSample == 4) {
    const std::uint32_t n = handle->GetData(interleaveBuffer.data(), interleaveBytes);
    if (n == audiolib::kDataEnd) return handle->HasFailed() ? kReadFailed : 0;
    // Full-scale 32-bit samples, brought down to the source's width (exactly: the bits
    // below it are zero).
    const int shift = 32 - bitsPerSample;
    const auto step = static_cast<std::uint32_t>(channels);
    const auto* in = reinterpret_cast<const std::int32_t*>(interleaveBuffer.data());
    auto* l = static_cast<std::int32_t*>(left);
    auto* r = static_cast<std::int32_t*>(right);
    const std::uint32_t frames = (n / 4) / step;
    for (std::uint32_t i = 0; i < frames; ++i, in += step) {
      l[i] = in[0] >> shift;
      if (channels >= 2) r[i] = in[1] >> shift;
    }
    return static_cast<int>(frames);
  }
  void* destination = channels < 2 ? left : interleaveBuffer.data();
  const std::uint32_t n = handle->GetData(destination, interleaveBytes);
  if (n == audiolib::kDataEnd) return handle->HasFailed() ? kReadFailed : 0;
  if (channels < 2) return static_cast<int>(n / static_cast<std::uint32_t>(bytesPerSample));

  // Split the interleaved frames: the first two channels go to left and right, the rest are
  // dropped. The request is two channels' worth of a block, so wider streams return fewer
  // frames per call (384 for 16-bit 5.1).
  const auto step = static_cast<std::uint32_t>(channels);
  if (bitsPerSample == 16) {
    const auto* in = reinterpret_cast<const std::int16_t*>(interleaveBuffer.data());
    auto* l = static_cast<std::int16_t*>(left);
    auto* r = static_cast<std::int16_t*>(right);
    const std::uint32_t frames = (n / 2) / step;
    for (std::uint32_t i = 0; i < frames; ++i, in += step) {
      l[i] = in[0];
      r[i] = in[1];
    }
    return static_cast<int>(frames);
  }
  const std::uint8_t* in = interleaveBuffer.data();
  auto* l = static_cast<std::uint8_t*>(left);
  auto* r = static_cast<std::uint8_t*>(right);
  const std::uint32_t frames = n / step;
  for (std::uint32_t i = 0; i < frames; ++i, in += step) {
    l[i] = in[0];
    r[i] = in[1];
  }
  return static_cast<int>(frames);
}

std::uint64_t CBassDecoder::GetPosition() { return handle ? handle->GetPosition() : 0; }

const std::uint8_t* CBassDecoder::GetId3v1Tag() {
  if (isMpegFile && id3v1Copy.empty() && handle) {
    std::size_t available = 0;
    const std::uint8_t* tag = handle->GetTags(audiolib::TagKind::kId3v1, &available);
    if (tag && available >= 128) id3v1Copy.assign(tag, tag + 128);
  }
  return id3v1Copy.empty() ? nullptr : id3v1Copy.data();
}

const std::uint8_t* CBassDecoder::GetId3v2Tag(std::uint32_t* size) {
  if (isMpegFile && id3v2Copy.empty() && handle) {
    std::size_t available = 0;
    const std::uint8_t* tag = handle->GetTags(audiolib::TagKind::kId3v2, &available);
    if (tag && available >= 10) {
      std::uint64_t total = 10;
      total += (std::uint32_t{tag[6] & 0x7Fu} << 21) | (std::uint32_t{tag[7] & 0x7Fu} << 14) |
               (std::uint32_t{tag[8] & 0x7Fu} << 7) | std::uint32_t{tag[9] & 0x7Fu};
      // An ID3v2.4 footer belongs to the tag: a copy without it would announce a footer that
      // is not there.
      if (tag[3] >= 4 && (tag[5] & 0x10)) total += 10;
      if (total <= available) {
        id3v2Copy.assign(tag, tag + total);
        id3v2Size = static_cast<std::uint32_t>(total);
      }
    }
  }
  if (size) *size = id3v2Size;
  return id3v2Copy.empty() ? nullptr : id3v2Copy.data();
}

}  // namespace wavorax
