#include "decoders/own/AuDecoder.h"

#include <algorithm>
#include <climits>

#include "base/ByteOrder.h"
#include "decoders/own/G711.h"
#include "decoders/own/PcmConvert.h"

namespace wavorax {
namespace {

constexpr std::uint32_t kMagicBigEndian = 0x2E736E64;     // ".snd"
constexpr std::uint32_t kMagicBigEndianOld = 0x2E736400;  // ".sd\0"
constexpr std::uint32_t kMagicLittleEndian = 0x646E732E;  // "dns."
constexpr std::uint32_t kMagicLittleEndianOld = 0x0064732E;
constexpr std::uint32_t kUnknownSize = 0xFFFFFFFF;
constexpr int kHeaderSize = 24;
// The largest single read: two channels of 64-bit floats.
constexpr std::size_t kReadBufferSize = 2 * kDecodeBlock * 8;

enum Encoding : std::uint32_t {
  kMuLaw = 1,
  kLinear8 = 2,
  kLinear16 = 3,
  kLinear24 = 4,
  kLinear32 = 5,
  kFloat = 6,
  kDouble = 7,
  kG721 = 23,
  kG723_24 = 25,
  kG723_40 = 26,
  kALaw = 27,
};

}  // namespace

CAuDecoder::CAuDecoder() : readBuffer(kReadBufferSize) {}

CAuDecoder::~CAuDecoder() { CAuDecoder::Close(); }

void CAuDecoder::Close() {
  file.reset();
  bigEndian = false;
  encoding = 0;
  codeBits = 0;
  dataStart = 0;
  adpcmDecode = nullptr;
  adpcmState.Reset();
  bitBuffer = 0;
  bitCount = 0;
  ResetStreamInfo();
}

int CAuDecoder::Open(const std::string& path, int /*musicSampleRate*/) {
  Close();
  std::unique_ptr<ByteSource> source = ByteSource::OpenFile(path);
  if (!source) return 0;
  return OpenSource(std::move(source));
}

int CAuDecoder::OpenSource(std::unique_ptr<ByteSource> source) {
  Close();
  if (!source) return 0;
  std::uint8_t header[kHeaderSize];
  if (!source->ReadExact(header, kHeaderSize)) return 0;
  const std::uint32_t magic = Be32(header);
  if (magic == kMagicBigEndian || magic == kMagicBigEndianOld) {
    bigEndian = true;
  } else if (magic == kMagicLittleEndian || magic == kMagicLittleEndianOld) {
    bigEndian = false;
  } else {
    return 0;
  }
  auto field = [&](int index) {
    return bigEndian ? Be32(header + 4 * index) : Le32(header + 4 * index);
  };
  const std::uint32_t dataOffset = field(1);
  const std::uint32_t dataSize = field(2);
  encoding = field(3);
  const std::uint32_t rate = field(4);
  const std::uint32_t channelCount = field(5);

  if (dataOffset < kHeaderSize) return 0;
  switch (encoding) {
    case kMuLaw:
    case kALaw:
    case kLinear8:
      codeBits = 8;
      break;
    case kLinear16:
      codeBits = 16;
      break;
    case kLinear24:
      codeBits = 24;
      break;
    case kLinear32:
    case kFloat:
      codeBits = 32;
      break;
    case kDouble:
      codeBits = 64;
      break;
    case kG721:
      codeBits = 4;
      adpcmDecode = G721Decode;
      break;
    case kG723_24:
      codeBits = 3;
      adpcmDecode = G723_24Decode;
      break;
    case kG723_40:
      codeBits = 5;
      adpcmDecode = G723_40Decode;
      break;
    default:
      return 0;
  }
  adpcmState.Reset();
  bitBuffer = 0;
  bitCount = 0;
  // A rate of 0 has no duration and no playback speed.
  if (rate == 0 || rate > INT_MAX) return 0;
  if (channelCount != 1 && channelCount != 2) return 0;
  // Annotation between the header and the audio is skipped; an offset beyond the end
  // leaves no audio to read.
  if (dataOffset > source->Size() || !source->Seek(dataOffset)) return 0;

  file = std::move(source);
  bitsPerSample = 16;
  bytesPerSample = 2;
  sampleRate = static_cast<int>(rate);
  channels = outputChannels = static_cast<int>(channelCount);
  dataStart = file->Tell();
  position = 0;
  length = dataSize != kUnknownSize ? dataSize : file->Size() - dataOffset;
  const std::uint64_t frames =
      length * 8 / (static_cast<std::uint64_t>(codeBits) * static_cast<std::uint64_t>(channels));
  durationSeconds = static_cast<int>(std::min<std::uint64_t>(frames / rate, INT_MAX));
  if (durationSeconds != 0) {
    bitrateKbps = static_cast<int>(length / (static_cast<std::uint64_t>(durationSeconds) * 125));
  } else {
    bitrateKbps = static_cast<int>(std::min<std::uint64_t>(
        static_cast<std::uint64_t>(codeBits) * rate * static_cast<std::uint64_t>(channels) / 1000,
        INT_MAX));
  }
  return 1;
}

std::size_t CAuDecoder::ReadRaw(std::size_t request) {
  if (position >= length) return 0;
  if (request > length - position) request = static_cast<std::size_t>(length - position);
  position += request;
  return file->Read(readBuffer.data(), request);
}

int CAuDecoder::Read(void* left, void* right) {
  const int n = ReadBlock(left, right);
  // A read error or a file cut short ends the data early: that is a failure, not the end.
  return n <= 0 && file && file->Failed() ? kReadFailed : n;
}

int CAuDecoder::ReadBlock(void* left, void* right) {
  if (!file || !left) return 0;
  if (channels == 2 && !right) return 0;
  auto* out0 = static_cast<std::int16_t*>(left);
  auto* out1 = static_cast<std::int16_t*>(right);
  const std::size_t request =
      static_cast<std::size_t>(channels) * kDecodeBlock * static_cast<std::size_t>(codeBits) / 8;
  const std::size_t got = ReadRaw(request);
  const std::uint8_t* raw = readBuffer.data();

  if (adpcmDecode) {
    const int frames = static_cast<int>(got * 8 / static_cast<std::size_t>(channels * codeBits));
    std::size_t next = 0;
    const std::uint32_t mask = (1u << codeBits) - 1;
    for (int i = 0; i < frames; ++i) {
      for (int c = 0; c < channels; ++c) {
        // Codes are packed least significant bit first.
        if (bitCount < codeBits) {
          if (next >= got) return i;
          bitBuffer |= std::uint32_t(raw[next++]) << bitCount;
          bitCount += 8;
        }
        const int code = static_cast<int>(bitBuffer & mask);
        bitBuffer >>= codeBits;
        bitCount -= codeBits;
        (c == 0 ? out0 : out1)[i] = adpcmDecode(code, adpcmState);
      }
    }
    return frames;
  }

  const int width = codeBits / 8;
  const int frames = static_cast<int>(got / static_cast<std::size_t>(channels * width));
  const std::size_t stride = static_cast<std::size_t>(channels * width);
  for (int c = 0; c < channels; ++c) {
    std::int16_t* out = c == 0 ? out0 : out1;
    const std::uint8_t* p = raw + static_cast<std::size_t>(c * width);
    switch (encoding) {
      case kMuLaw:
        for (int i = 0; i < frames; ++i, p += stride) out[i] = MuLawExpand(*p);
        break;
      case kALaw:
        for (int i = 0; i < frames; ++i, p += stride) out[i] = ALawExpand(*p);
        break;
      case kLinear8:
        for (int i = 0; i < frames; ++i, p += stride)
          out[i] = static_cast<std::int16_t>(static_cast<std::int8_t>(*p) * 256);
        break;
      case kLinear16:
        for (int i = 0; i < frames; ++i, p += stride)
          out[i] = bigEndian ? pcm::S16Be(p) : pcm::S16Le(p);
        break;
      case kLinear24:
        for (int i = 0; i < frames; ++i, p += stride)
          out[i] = bigEndian ? pcm::S24Be(p) : pcm::S24Le(p);
        break;
      case kLinear32:
        for (int i = 0; i < frames; ++i, p += stride)
          out[i] = pcm::Top16(bigEndian ? pcm::S32Be(p) : pcm::S32Le(p));
        break;
      case kFloat:
        for (int i = 0; i < frames; ++i, p += stride)
          out[i] = pcm::FromDouble(bigEndian ? pcm::F32Be(p) : pcm::F32Le(p));
        break;
      case kDouble:
        for (int i = 0; i < frames; ++i, p += stride)
          out[i] = pcm::FromDouble(bigEndian ? pcm::F64Be(p) : pcm::F64Le(p));
        break;
      default:
        return 0;
    }
  }
  return frames;
}

}  // namespace wavorax
