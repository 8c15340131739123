#include "decoders/own/Mp3Decoder.h"

#include <lame/lame.h>

#include "decoders/MpegHeader.h"
#include "decoders/audiolib/SourceTags.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <mutex>

namespace wavorax {
namespace {

constexpr std::size_t kReadChunk = 1024;   // compressed bytes fed per decoder call in Read
constexpr std::size_t kSearchChunk = 100;  // bytes fed while the first header is parsed
// The search may restart after a frame without a bit rate; real files need one or two
// restarts, so this only stops crafted input from making the open crawl along forever.
constexpr int kMaxSearchRestarts = 64;
// The decoder gives a frame's samples once the frame's bytes are in, and it is fed a chunk at
// a time, so the frame after the last one that gave samples starts no further back than a
// chunk and a frame (1728 bytes at most) before the reading position.
constexpr std::uint64_t kPartSearchBack = 4096;
constexpr std::size_t kPartSearchBlock = 4096;
// Frames in a row, each where the one before ends, that mark the start of another part.
constexpr int kPartChainFrames = 3;

// Each decoder has its own hip state, but LAME 3.100's hip_decode1_headersB decodes every
// frame through one static scratch buffer, and hip_decode_init sets up shared tables. So
// decoders on different threads take turns inside the library; a frame is short work.
std::mutex& HipMutex() {
  static std::mutex mutex;
  return mutex;
}

// Decoders never talk to the user: the library's diagnostics go nowhere.
void Quiet(const char* /*format*/, va_list /*args*/) {}

// Frame sync on four header bytes, rejecting the reserved version, layer, bit-rate,
// sample-rate and emphasis values so that random bytes rarely pass.
bool IsFrameSync(const std::uint8_t* b) {
  return b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && (b[1] & 0x18) != 0x08 && (b[1] & 0x06) != 0 &&
         (b[2] & 0xF0) != 0xF0 && (b[2] & 0x0C) != 0x0C && (b[3] & 0x03) != 2;
}

// A layer I or II frame without a bit rate. The hip decoder reads such a frame as one of
// negative length and plays whatever its buffer held before as the frame's audio: loud noise.
// (It measures free-format layer III frames itself and decodes them right.)
bool IsFreeFormatLayer12(const std::uint8_t* b) {
  return (b[2] >> 4) == 0 && ((b[1] >> 1) & 3) >= 2;
}

// What a hip decoder keeps to within one stream: MPEG version, layer, sample-rate index, and
// mono or not; and whether the frames of layer I or II are free-format, which the decoder is
// handed differently. A frame that differs in any of these belongs to another part.
int FormatKey(const std::uint8_t* b) {
  return ((b[1] & 0x1E) << 8) | (b[2] & 0x0C) | (IsFreeFormatLayer12(b) ? 2 : 0) |
         ((b[3] >> 6) == 3 ? 1 : 0);
}

// A frame's length in bytes from its header, or 0 for free format (no bit rate given).
int FrameLength(const std::uint8_t* b) {
  static constexpr int kRates[3] = {44100, 48000, 32000};
  int kbps = 0, mode = 0;
  if (!ParseMpegFrameHeader(b, kbps, mode) || ((b[2] >> 2) & 3) == 3) return 0;
  const int version = (b[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  const int layer = 4 - ((b[1] >> 1) & 3);
  const int padding = (b[2] >> 1) & 1;
  const int rate = kRates[(b[2] >> 2) & 3] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
  const int bits = kbps * 1000;
  if (layer == 1) return (12 * bits / rate + padding) * 4;
  if (layer == 3 && version != 3) return 72 * bits / rate + padding;
  return 144 * bits / rate + padding;
}

// The header `b` with another bit-rate index, and its frame length without the padding slot.
int LengthWithIndex(const std::uint8_t* b, int index) {
  const std::uint8_t h[4] = {b[0], b[1], static_cast<std::uint8_t>((index << 4) | (b[2] & 0x0D)),
                             b[3]};
  return FrameLength(h);
}

// Bytes of the padding slot: a 4-byte word in layer I, one byte in layers II and III.
int SlotBytes(const std::uint8_t* b) { return ((b[1] >> 1) & 3) == 3 ? 4 : 1; }
int PaddingBytes(const std::uint8_t* b) { return ((b[2] >> 1) & 1) * SlotBytes(b); }

// The bit-allocation table (ISO 11172-3 B.2a to d) that an MPEG-1 layer II frame of this bit
// rate uses; it depends on the bit rate per channel and the sample rate. The decoder picks it
// from the bit-rate index, the encoder from the rate it encodes at.
int Layer2Table(int kbps, const std::uint8_t* b) {
  static constexpr int kRates[3] = {44100, 48000, 32000};
  const int hz = kRates[(b[2] >> 2) & 3];
  const int perChannel = kbps / ((b[3] >> 6) == 3 ? 1 : 2);
  if ((hz == 48000 && perChannel >= 56) || (perChannel >= 56 && perChannel <= 80)) return 0;
  if (hz != 48000 && perChannel >= 96) return 1;
  if (hz != 32000 && perChannel <= 48) return 2;
  return 3;
}

// The standard bit-rate index that a free-format layer I or II frame of `lengthNoPadding`
// bytes (header `b`) can be handed to the decoder under, or 0 when none fits: a frame of that
// index must be at least as long, so that the frame fits with zero bytes after it (read as
// ancillary data), and an MPEG-1 layer II frame must keep its bit-allocation table.
int StandardIndexFor(const std::uint8_t* b, int lengthNoPadding) {
  for (int index = 1; index < 15; ++index)
    if (LengthWithIndex(b, index) == lengthNoPadding) return index;  // a standard rate
  const bool mpeg1Layer2 = ((b[1] >> 3) & 3) == 3 && ((b[1] >> 1) & 3) == 2;
  int wanted = -1;
  if (mpeg1Layer2) {
    static constexpr int kRates[3] = {44100, 48000, 32000};
    const auto bits = std::int64_t{lengthNoPadding} * 8 * kRates[(b[2] >> 2) & 3] / 1152;
    wanted = Layer2Table(static_cast<int>((bits + 999) / 1000), b);
  }
  for (int index = 1; index < 15; ++index) {
    if (LengthWithIndex(b, index) < lengthNoPadding) continue;
    if (mpeg1Layer2) {
      int kbps = 0, mode = 0;
      std::uint8_t h[4] = {b[0], b[1], static_cast<std::uint8_t>((index << 4) | (b[2] & 0x0F)),
                           b[3]};
      if (!ParseMpegFrameHeader(h, kbps, mode) || Layer2Table(kbps, b) != wanted) continue;
    }
    return index;
  }
  return 0;
}

// The bit rate of free-format layer I or II frames of `lengthNoPadding` bytes, in kbit/s.
int FreeFormatKbps(const std::uint8_t* b, int lengthNoPadding) {
  static constexpr int kRates[3] = {44100, 48000, 32000};
  const int version = (b[1] >> 3) & 3;
  const int hz = kRates[(b[2] >> 2) & 3] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
  const int samples = ((b[1] >> 1) & 3) == 3 ? 384 : 1152;
  return static_cast<int>((std::int64_t{lengthNoPadding} * 8 * hz + samples * 500) /
                          (std::int64_t{samples} * 1000));
}

}  // namespace

void CMp3Decoder::HipDeleter::operator()(hip_global_struct* h) const {
  std::lock_guard<std::mutex> lock(HipMutex());
  hip_decode_exit(h);
}

CMp3Decoder::CMp3Decoder()
    : input(kReadChunk), scratchLeft(kDecodeBlock), scratchRight(kDecodeBlock) {}

CMp3Decoder::~CMp3Decoder() { CMp3Decoder::Close(); }

void CMp3Decoder::Close() {
  ownedFile.reset();
  file = nullptr;
  borrowedFile = false;
  hip.reset();
  header = Header{};
  channelMode = 4;
  nominalBitrate = 0;
  id3v2Block.clear();
  id3v1Block.clear();
  partKey = -1;
  freeLayer12 = {};
  partStart = lastOutputAt = scannedTo = 0;
  laterPart = partsEnded = false;
  converted.clear();
  convertedOffset = 0;
  ResetStreamInfo();
}

int CMp3Decoder::Open(const std::string& path, int /*musicSampleRate*/) {
  Close();
  std::unique_ptr<ByteSource> source = ByteSource::OpenFile(path);
  if (!source) return 0;
  return OpenSource(std::move(source));
}

int CMp3Decoder::OpenSource(std::unique_ptr<ByteSource> source) {
  Close();
  if (!source) return 0;
  ownedFile = std::move(source);
  file = ownedFile.get();
  return Start();
}

int CMp3Decoder::OpenOnFile(ByteSource* source, const std::string& /*path*/) {
  Close();
  if (!source) return 0;
  file = source;
  borrowedFile = true;
  return Start();
}

bool CMp3Decoder::NewHip() {
  hip.reset();  // its deleter takes the lock itself
  {
    std::lock_guard<std::mutex> lock(HipMutex());
    hip.reset(hip_decode_init());
  }
  if (!hip) return false;
  hip_set_errorf(hip.get(), Quiet);
  hip_set_debugf(hip.get(), Quiet);
  hip_set_msgf(hip.get(), Quiet);
  return true;
}

int CMp3Decoder::Start() {
  if (!NewHip() || !SearchHeader()) {
    Close();
    return 0;
  }
  return 1;
}

int CMp3Decoder::DecodeFrame(const std::uint8_t* data, std::size_t size, std::int16_t* left,
                             std::int16_t* right, bool withDelay) {
  mp3data_struct info{};
  int result;
  std::lock_guard<std::mutex> lock(HipMutex());
  if (withDelay) {
    int delay = 0, padding = 0;
    result = hip_decode1_headersB(hip.get(), const_cast<unsigned char*>(data), size, left, right,
                                  &info, &delay, &padding);
  } else {
    result =
        hip_decode1_headers(hip.get(), const_cast<unsigned char*>(data), size, left, right, &info);
  }
  header.headerParsed = info.header_parsed;
  if (info.header_parsed) {
    header.stereo = info.stereo;
    header.samplerate = info.samplerate;
    header.bitrate = info.bitrate;
    header.mode = info.mode;
    header.modeExt = info.mode_ext;
    header.framesize = info.framesize;
    header.nsamp = info.nsamp;
    header.totalframes = info.totalframes;
    header.framenum = info.framenum;
  }
  return result;
}

int CMp3Decoder::SearchHeader() {
  const std::uint64_t start = file->Tell();
  std::uint8_t window[8];
  bool mayRewind = true;
  bool skippedFreeFormat = false;
  for (int attempt = 0; attempt <= kMaxSearchRestarts; ++attempt) {
    if (!file->ReadExact(window, 4)) return 0;
    if (std::memcmp(window, "ID3", 3) == 0) {
      std::uint8_t rest[6];
      if (!file->ReadExact(rest, 6)) return 0;
      const std::uint32_t size = (std::uint32_t(rest[2] & 0x7F) << 21) |
                                 (std::uint32_t(rest[3] & 0x7F) << 14) |
                                 (std::uint32_t(rest[4] & 0x7F) << 7) | (rest[5] & 0x7F);
      // An ID3v2.4 tag may end in a 10-byte footer that its size does not count. It belongs
      // to the block: a copy without it would announce a footer that is not there.
      const std::uint32_t footer = (window[3] >= 4 && (rest[1] & 0x10)) ? 10 : 0;
      // Never allocate more than the source can deliver.
      if (std::uint64_t{size} + footer > file->Size() - file->Tell()) return 0;
      if (id3v2Block.empty()) {
        id3v2Block.resize(std::size_t{10} + size + footer);
        std::memcpy(id3v2Block.data(), window, 4);
        std::memcpy(id3v2Block.data() + 4, rest, 6);
        if (!file->ReadExact(id3v2Block.data() + 10, size + footer)) return 0;
      } else if (!file->Skip(static_cast<std::int64_t>(size) + footer)) {
        return 0;
      }
      if (!file->ReadExact(window, 4)) return 0;
      // A tag followed by anything but a frame (a wrong tag size, padding the tag does not
      // count) sends the search back to the start; the tag is kept all the same. Only once,
      // so that a second tag further on cannot send the search round in circles.
      if (!IsFrameSync(window) && mayRewind) {
        mayRewind = false;
        if (!file->Seek(start) || !file->ReadExact(window, 4)) return 0;
      }
    }
    if (std::memcmp(window, "AiD\1", 4) == 0) {
      std::uint8_t lengthBytes[2];
      if (!file->ReadExact(lengthBytes, 2)) return 0;
      const int albumIdLength = lengthBytes[0] + 256 * lengthBytes[1];
      // The stated length covers the 6 bytes already read.
      if (albumIdLength < 6 || !file->Skip(albumIdLength - 6)) return 0;
      if (!file->ReadExact(window, 4)) return 0;
    }
    if (!file->ReadExact(window + 4, 4)) return 0;
    while (!IsFrameSync(window)) {
      std::memmove(window, window + 1, 7);
      if (!file->ReadExact(window + 7, 1)) return 0;
    }
    const bool freeFormat = (window[2] >> 4) == 0;
    partKey = FormatKey(window);
    partStart = file->Tell() - 8;

    if (IsFreeFormatLayer12(window)) {
      // The frames are measured by the distance from one header to the next, and handed to
      // the decoder one at a time under a standard header. Where that cannot be done, the
      // header was a stray sync pattern, or the stream cannot be decoded: either way the
      // search goes on after it, so that nothing is opened to play noise.
      freeLayer12.lengthNoPadding = MeasureFreeFormat(partStart, window);
      freeLayer12.index = freeLayer12.lengthNoPadding > 0
                              ? StandardIndexFor(window, freeLayer12.lengthNoPadding)
                              : 0;
      std::size_t n = 0;
      if (freeLayer12.index == 0 || !file->Seek(partStart) || (n = NextFreeFrame()) == 0) {
        freeLayer12 = {};
        mayRewind = false;
        skippedFreeFormat = true;
        if (!file->Seek(partStart + 1)) return 0;
        continue;
      }
      if (DecodeFrame(input.data(), n, scratchLeft.data(), scratchRight.data(), true) == -1 ||
          !header.headerParsed)
        return 0;
      header.bitrate = FreeFormatKbps(window, freeLayer12.lengthNoPadding);
    } else {
      // Past frames that could not be measured, the search is inside their data, where sync
      // patterns abound: only frames that follow each other are taken.
      if (skippedFreeFormat && !StartsPart(partStart, partKey)) {
        if (!file->Seek(partStart + 1)) return 0;
        continue;
      }
      if (DecodeFrame(window, 8, scratchLeft.data(), scratchRight.data(), true) == -1) return 0;
      while (!header.headerParsed) {
        std::uint8_t chunk[kSearchChunk];
        if (!file->ReadExact(chunk, kSearchChunk)) return 0;
        if (DecodeFrame(chunk, kSearchChunk, scratchLeft.data(), scratchRight.data(), true) == -1)
          return 0;
      }
    }
    if (header.bitrate == 0 && !freeFormat) {
      mayRewind = false;
      continue;
    }
    if (header.samplerate <= 0 || header.stereo < 1 || header.stereo > 2) return 0;

    length = file->Size();
    position = file->Tell();
    if (header.nsamp > 0) {
      durationSeconds =
          static_cast<int>(header.nsamp / static_cast<unsigned long>(header.samplerate));
    } else if (header.bitrate > 0) {
      durationSeconds =
          static_cast<int>(length * 8 / (static_cast<std::uint64_t>(header.bitrate) * 1000));
    } else {
      durationSeconds = 0;
    }
    sampleRate = header.samplerate;
    channels = outputChannels = header.stereo;
    bitsPerSample = 16;
    bytesPerSample = 2;
    bitrateKbps = nominalBitrate = header.bitrate;
    channelMode = (header.mode >= 0 && header.mode <= 2) ? header.mode : 3;
    lastOutputAt = file->Tell();
    return 1;
  }
  return 0;
}

// One frame's samples from the current part: feeds the decoder a chunk at a time until it
// gives a frame. 0 when the part ends, at the end of the file or where another part begins
// that needs a decoder of its own (the reading position then stands at that part's first
// frame, with that decoder).
int CMp3Decoder::DecodeNext(std::int16_t* left, std::int16_t* right) {
  std::size_t n = 0;
  for (;;) {
    const int result = DecodeFrame(input.data(), n, left, right, false);
    if (result != 0) {
      if (result > 0) lastOutputAt = file->Tell();
      return result;
    }
    // Nothing decodable in what was fed: either a frame is not complete yet, or the decoder
    // skips frames of a format other than its own, which begin another part.
    std::int64_t part = n > 0 ? FindOtherFormat(file->Tell()) : -1;
    if (part < 0) n = ReadOn(part);
    if (part < 0 && n == 0) {
      const int last = DecodeFrame(input.data(), 0, left, right, false);
      if (last > 0) return last;
      // Free-format frames that stop before the end of the file: damage, after which they go
      // on further along, or another part.
      const std::int64_t resume = freeLayer12.index ? FindFreeFrame(file->Tell() + 1) : -1;
      part = FindOtherFormat(resume >= 0 ? static_cast<std::uint64_t>(resume) : file->Size());
      if (part < 0 && resume >= 0) {
        if (!file->Seek(static_cast<std::uint64_t>(resume))) return kReadFailed;
        continue;
      }
      if (part < 0) {
        partsEnded = true;
        return last;
      }
    }
    if (part >= 0) {
      const int started = StartPart(static_cast<std::uint64_t>(part));
      if (started <= 0) return started;
      n = 0;
      continue;
    }
    position = std::max(position, file->Tell());
  }
}

// The next bytes for the decoder, in `input`: a whole free-format frame, or a chunk of the
// file. The decoder would take free-format layer I or II frames of its own rate and channels
// for frames of its own and play noise for them, so a chunk stops where they begin; they
// start a part, whose offset `part` receives once they are next in line.
std::size_t CMp3Decoder::ReadOn(std::int64_t& part) {
  if (freeLayer12.index) return NextFreeFrame();
  const std::size_t n = file->Read(input.data(), kReadChunk);
  const std::int64_t freeAt = FindFreeFormatIn(n);
  if (freeAt < 0) return n;
  const auto before =
      static_cast<std::size_t>(static_cast<std::uint64_t>(freeAt) - (file->Tell() - n));
  if (!file->Seek(static_cast<std::uint64_t>(freeAt))) return 0;
  if (before == 0) part = freeAt;
  return before;
}

// The first frame before `upTo`, from about where the current part last gave samples, that
// starts a run of frames in another format; -1 when there is none.
std::int64_t CMp3Decoder::FindOtherFormat(std::uint64_t upTo) {
  std::uint64_t from = lastOutputAt > kPartSearchBack ? lastOutputAt - kPartSearchBack : 0;
  from = std::max({from, partStart, scannedTo});
  upTo = std::min(upTo, file->Size());
  std::uint8_t block[kPartSearchBlock];
  while (from < upTo) {
    const std::size_t got = file->ReadAt(from, block, sizeof block);
    if (got < 4) break;
    const auto last = static_cast<std::size_t>(std::min<std::uint64_t>(got - 4, upTo - 1 - from));
    for (std::size_t i = 0; i <= last; ++i) {
      const std::uint8_t* b = block + i;
      if (IsFrameSync(b) && FormatKey(b) != partKey && StartsPart(from + i, FormatKey(b)))
        return static_cast<std::int64_t>(from + i);
    }
    from += last + 1;
  }
  // Each place is looked at once: what follows it in the file does not change.
  scannedTo = std::max(scannedTo, from);
  return -1;
}

// Whether frames of one format follow each other from `at`: a few in a row, or fewer that
// reach the end of the file or its ID3v1 tag. A stray sync pattern inside audio data
// rarely has a second frame header where its length says. Free-format frames are taken to
// be `freeLengthNoPadding` bytes long, plus their padding.
bool CMp3Decoder::StartsPart(std::uint64_t at, int key, int freeLengthNoPadding) {
  const std::uint64_t size = file->Size();
  for (int frames = 0; frames < kPartChainFrames; ++frames) {
    std::uint8_t h[4];
    const std::size_t got = file->ReadAt(at, h, sizeof h);
    if (frames > 0 &&
        (at == size || (at + 128 == size && got >= 3 && std::memcmp(h, "TAG", 3) == 0)))
      return true;
    if (got < 4 || !IsFrameSync(h) || FormatKey(h) != key) return false;
    const int frameLength =
        freeLengthNoPadding > 0 ? freeLengthNoPadding + PaddingBytes(h) : FrameLength(h);
    if (frameLength <= 0) return false;
    at += static_cast<std::uint64_t>(frameLength);
  }
  return true;
}

// The length without padding of the free-format layer I or II frame at `at` (header `h`):
// the distance to the next header of that format, where a few frames follow each other at
// that distance. A second header is always wanted, as sync patterns abound in audio data.
// 0 when none is found within the longest frame that a standard bit rate gives, which is as
// far as the frames can be handed to the decoder.
int CMp3Decoder::MeasureFreeFormat(std::uint64_t at, const std::uint8_t* h) {
  const int key = FormatKey(h);
  const int padding = PaddingBytes(h);
  const auto longest = static_cast<std::size_t>(LengthWithIndex(h, 14) + padding);
  std::vector<std::uint8_t> block(longest + 4);
  const std::size_t got = file->ReadAt(at, block.data(), block.size());
  for (std::size_t distance = 8; distance + 4 <= got && distance <= longest; ++distance) {
    if (!IsFrameSync(&block[distance]) || FormatKey(&block[distance]) != key) continue;
    const int length = static_cast<int>(distance) - padding;
    if (StartsPart(at, key, length)) return length;
  }
  return 0;
}

// The free-format frame at the reading position in `input`, under the standard header and
// filled with zero bytes to that header's length; its size, or 0 when no frame of the current
// part begins there or the file ends inside it.
std::size_t CMp3Decoder::NextFreeFrame() {
  std::uint8_t h[4];
  if (file->ReadAt(file->Tell(), h, sizeof h) != sizeof h || !IsFrameSync(h) ||
      FormatKey(h) != partKey)
    return 0;
  const auto length = static_cast<std::size_t>(freeLayer12.lengthNoPadding + PaddingBytes(h));
  const auto handed =
      static_cast<std::size_t>(LengthWithIndex(h, freeLayer12.index) + PaddingBytes(h));
  if (input.size() < handed) input.resize(handed);
  if (!file->ReadExact(input.data(), length)) return 0;
  input[2] = static_cast<std::uint8_t>((freeLayer12.index << 4) | (h[2] & 0x0F));
  std::fill(input.begin() + static_cast<std::ptrdiff_t>(length),
            input.begin() + static_cast<std::ptrdiff_t>(handed), std::uint8_t{0});
  return handed;
}

// The first free-format layer I or II frame that starts a run of them within the `n` bytes
// just read into `input` (its header may reach past them), as a file offset; -1 when none.
std::int64_t CMp3Decoder::FindFreeFormatIn(std::size_t n) {
  const std::uint64_t start = file->Tell() - n;
  for (std::size_t i = 0; i < n; ++i) {
    const void* sync = std::memchr(input.data() + i, 0xFF, n - i);
    if (!sync) break;
    i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(sync) - input.data());
    std::uint8_t tail[4];
    const std::uint8_t* h = input.data() + i;
    if (i + 4 > n) {
      if (file->ReadAt(start + i, tail, sizeof tail) != sizeof tail) break;
      h = tail;
    }
    if (IsFrameSync(h) && IsFreeFormatLayer12(h) && MeasureFreeFormat(start + i, h) > 0)
      return static_cast<std::int64_t>(start + i);
  }
  return -1;
}

// Where free-format frames of the current part follow each other again from `from` on, or -1.
std::int64_t CMp3Decoder::FindFreeFrame(std::uint64_t from) {
  std::uint8_t block[kPartSearchBlock];
  for (;;) {
    const std::size_t got = file->ReadAt(from, block, sizeof block);
    if (got < 4) return -1;
    for (std::size_t i = 0; i + 4 <= got; ++i)
      if (IsFrameSync(block + i) && FormatKey(block + i) == partKey &&
          StartsPart(from + i, partKey, freeLayer12.lengthNoPadding))
        return static_cast<std::int64_t>(from + i);
    from += got - 3;
  }
}

// Goes on with the part that begins at `at`. Its frames get a decoder of its own, whose
// samples go through the converter from then on (answer 0), unless they differ from the
// current part's only in being free-format or not: once handed on under a standard header,
// such frames are the same format to the decoder, which then goes on with them (answer 1).
// kReadFailed when the part cannot be decoded.
int CMp3Decoder::StartPart(std::uint64_t at) {
  std::uint8_t h[4];
  if (file->ReadAt(at, h, sizeof h) != sizeof h || !file->Seek(at)) return kReadFailed;
  FreeFrames frames;
  if (IsFreeFormatLayer12(h)) {
    frames.lengthNoPadding = MeasureFreeFormat(at, h);
    frames.index = frames.lengthNoPadding > 0 ? StandardIndexFor(h, frames.lengthNoPadding) : 0;
    if (frames.index == 0) return kReadFailed;
  }
  const int key = FormatKey(h);
  const bool sameDecoder = (key ^ partKey) == 2;
  if (!sameDecoder) {
    if (!NewHip()) return kReadFailed;
    if (!laterPart) converter.SetOutput(AV_SAMPLE_FMT_S16, sampleRate, outputChannels);
    laterPart = true;
  }
  partKey = key;
  freeLayer12 = frames;
  partStart = lastOutputAt = scannedTo = at;
  return sameDecoder ? 1 : 0;
}

// Hands out up to one block of the converted samples.
int CMp3Decoder::ReadConverted(std::int16_t* left, std::int16_t* right) {
  const auto frameBytes = static_cast<std::size_t>(converter.BytesPerFrame());
  const std::size_t frames =
      std::min<std::size_t>(kDecodeBlock, (converted.size() - convertedOffset) / frameBytes);
  const std::uint8_t* from = converted.data() + convertedOffset;
  for (std::size_t i = 0; i < frames; ++i) {
    std::int16_t s[2];
    std::memcpy(s, from + i * frameBytes, frameBytes);
    left[i] = s[0];
    if (outputChannels == 2) right[i] = s[1];
  }
  convertedOffset += frames * frameBytes;
  if (convertedOffset == converted.size()) {
    converted.clear();
    convertedOffset = 0;
  }
  return static_cast<int>(frames);
}

int CMp3Decoder::Read(void* left, void* right) {
  const int n = ReadBlock(left, right);
  // A read error or a file cut short ends the data early: that is a failure, not the end.
  return n <= 0 && file && file->Failed() ? kReadFailed : n;
}

int CMp3Decoder::ReadBlock(void* left, void* right) {
  if (!file || !hip) return 0;
  auto* outLeft = static_cast<std::int16_t*>(left);
  // The decoder writes a right channel whenever a frame has one, even if the stream began
  // in mono, so it always gets a buffer.
  auto* outRight =
      (outputChannels == 2 && right) ? static_cast<std::int16_t*>(right) : scratchRight.data();
  if (!laterPart) {
    const int result = DecodeNext(outLeft, outRight);
    // A mono frame inside a stereo stream: give both sides the same signal.
    if (result > 0 && outputChannels == 2 && header.stereo == 1)
      std::copy_n(outLeft, std::min(result, kDecodeBlock), outRight);
    if (!laterPart || result == kReadFailed) return result;
  }
  for (;;) {
    if (converted.size() - convertedOffset >= static_cast<std::size_t>(converter.BytesPerFrame()))
      return ReadConverted(outLeft, outRight);
    if (partsEnded) return 0;
    const int result = DecodeNext(scratchLeft.data(), scratchRight.data());
    // A later part that the decoder refuses cannot be delivered: a failure, not an end.
    if (result < 0) return kReadFailed;
    if (result > 0) {
      const std::uint8_t* planes[2] = {reinterpret_cast<const std::uint8_t*>(scratchLeft.data()),
                                       reinterpret_cast<const std::uint8_t*>(scratchRight.data())};
      if (!converter.Append(planes, AV_SAMPLE_FMT_S16P, header.samplerate, header.stereo,
                            std::min(result, kDecodeBlock), converted))
        return kReadFailed;
    } else if (partsEnded && !converter.Flush(converted)) {
      return kReadFailed;
    }
  }
}

const std::uint8_t* CMp3Decoder::GetId3v1Tag() {
  if (!id3v1Block.empty()) return id3v1Block.data();
  if (!file) return nullptr;
  const std::uint64_t here = file->Tell();
  if (file->Size() < 128 || !file->Seek(file->Size() - 128)) return nullptr;
  std::uint8_t block[128];
  if (file->ReadExact(block, 3) && std::memcmp(block, "TAG", 3) == 0 &&
      file->ReadExact(block + 3, 125))
    id3v1Block.assign(block, block + 128);
  file->Seek(here);
  return id3v1Block.empty() ? nullptr : id3v1Block.data();
}

int CMp3Decoder::ReadTags(std::string& title, std::string& artist, std::string& album,
                          std::string& year, std::string& genre, std::string& comment,
                          std::string& track) {
  if (!file || borrowedFile) return 0;
  return ReadTagLayerTags(*file, audiolib::TagContainer::kMpeg, title, artist, album, year, genre,
                          comment, track);
}

const std::uint8_t* CMp3Decoder::GetId3v2Tag(std::uint32_t* size) {
  if (size) *size = static_cast<std::uint32_t>(id3v2Block.size());
  return id3v2Block.empty() ? nullptr : id3v2Block.data();
}

}  // namespace wavorax
