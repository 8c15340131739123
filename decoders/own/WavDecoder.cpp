#include "decoders/own/WavDecoder.h"

#include <gsm.h>

#include <algorithm>
#include <cstring>

#include "base/ByteOrder.h"
#include "decoders/audiolib/SourceTags.h"
#include "decoders/own/Adpcm.h"
#include "decoders/own/G711.h"
#include "decoders/own/Mp3Decoder.h"
#include "decoders/own/PcmConvert.h"

namespace wavorax {
namespace {

enum FormatTag : int {
  kTagPcm = 1,
  kTagMsAdpcm = 2,
  kTagFloat = 3,
  kTagALaw = 6,
  kTagMuLaw = 7,
  kTagImaAdpcm = 0x11,
  kTagGsm610 = 49,
  kTagMpeg = 80,
  kTagMpegLayer3 = 85,
  kTagExtensible = 0xFFFE,
};

constexpr int kMaxChannels = 8;
constexpr int kGsmBlockBytes = 65;
constexpr int kGsmBlockSamples = 320;

bool IsAsciiLetter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

void CWavDecoder::GsmDeleter::operator()(gsm_state* handle) const { gsm_destroy(handle); }

CWavDecoder::CWavDecoder() = default;

CWavDecoder::~CWavDecoder() { CWavDecoder::Close(); }

void CWavDecoder::Close() {
  // The inner MPEG decoder borrows the file, so it goes first.
  innerMp3.reset();
  file.reset();
  msAdpcm.reset();
  imaAdpcm.reset();
  gsm.reset();
  rawBuffer.clear();
  rawBuffer.shrink_to_fit();
  blockBuffer.clear();
  blockBuffer.shrink_to_fit();
  formatTag = sourceBits = blockAlign = samplesPerBlock = 0;
  alaw = false;
  readRoutine = Reader::None;
  rawBlockBytes = blockSamples = blockCursor = blockFill = 0;
  ResetStreamInfo();
}

int CWavDecoder::Open(const std::string& path, int /*musicSampleRate*/) {
  Close();
  std::unique_ptr<ByteSource> source = ByteSource::OpenFile(path);
  if (!source) return 0;
  return OpenSource(std::move(source));
}

int CWavDecoder::OpenSource(std::unique_ptr<ByteSource> source) {
  Close();
  if (!source) return 0;
  file = std::move(source);
  if (!ParseHeader()) {
    Close();
    return 0;
  }
  bytesPerSample = bitsPerSample / 8;
  if (!SetUpReader()) {
    Close();
    return 0;
  }
  return 1;
}

bool CWavDecoder::SkipToLetter() {
  // Pad bytes after odd-sized chunks, and chunk sizes that are a little off, leave the next
  // chunk id a few bytes away: every chunk id begins with a letter.
  std::uint8_t c;
  do {
    if (!file->ReadExact(&c, 1)) return false;
  } while (!IsAsciiLetter(c));
  return file->Skip(-1);
}

int CWavDecoder::ParseFormat(std::uint32_t chunkSize) {
  // A later fmt chunk replaces an earlier one completely: nothing of the old format's
  // set-up may survive into the new one.
  msAdpcm.reset();
  imaAdpcm.reset();
  innerMp3.reset();
  samplesPerBlock = 0;
  bitsPerSample = 0;
  alaw = false;
  std::uint8_t basic[16];
  if (chunkSize < 16 || !file->ReadExact(basic, 16)) return 0;
  formatTag = Le16(basic);
  channels = Le16(basic + 2);
  sampleRate = static_cast<int>(std::min<std::uint32_t>(Le32(basic + 4), 0x7FFFFFFF));
  blockAlign = Le16(basic + 12);
  sourceBits = Le16(basic + 14);
  outputChannels = std::min(channels, 2);
  // Nothing can be decoded, nor a duration computed, without these.
  if (channels == 0 || sampleRate == 0) return 0;
  std::uint64_t consumed = 16;

  switch (formatTag) {
    case kTagExtensible: {
      // The sub-format's first two bytes are the format tag it stands for. Float data
      // read as integers would be loud noise, so float goes to the float reader; every
      // other sub-format is read as integer PCM.
      std::uint8_t extension[24];
      if (chunkSize >= 40) {
        if (!file->ReadExact(extension, 24)) return 0;
        consumed += 24;
        if (Le16(extension) >= 22 && Le16(extension + 8) == kTagFloat) {
          formatTag = kTagFloat;
          if (channels > kMaxChannels) return 0;
          bitsPerSample = 16;
          break;
        }
      }
      formatTag = kTagPcm;
      [[fallthrough]];
    }
    case kTagPcm:
      if (sourceBits == 8) {
        bitsPerSample = 8;
      } else if (sourceBits == 16 || sourceBits == 24 || sourceBits == 32) {
        bitsPerSample = 16;
      } else {
        return 0;
      }
      if (channels > kMaxChannels) return 0;
      break;
    case kTagMsAdpcm: {
      std::uint8_t extra[6];
      if (!file->ReadExact(extra, 6)) return 0;
      consumed += 6;
      if (Le16(extra) < 4) return 0;
      samplesPerBlock = Le16(extra + 2);
      const int count = Le16(extra + 4);
      if (count == 0) return 0;
      std::vector<std::uint8_t> table(static_cast<std::size_t>(count) * 4);
      if (!file->ReadExact(table.data(), table.size())) return 0;
      consumed += table.size();
      std::vector<std::int16_t> pairs(static_cast<std::size_t>(count) * 2);
      for (std::size_t i = 0; i < pairs.size(); ++i)
        pairs[i] = static_cast<std::int16_t>(Le16(&table[2 * i]));
      msAdpcm =
          CMsAdpcmBlockDecoder::Create({channels, blockAlign, samplesPerBlock}, std::move(pairs));
      if (!msAdpcm) return 0;
      bitsPerSample = 16;
      break;
    }
    case kTagFloat:
      if (channels > kMaxChannels) return 0;
      bitsPerSample = 16;
      break;
    case kTagALaw:
    case kTagMuLaw:
      // More than two channels are read like PCM: the first two are kept.
      if (channels > kMaxChannels) return 0;
      alaw = formatTag == kTagALaw;
      bitsPerSample = 16;
      break;
    case kTagImaAdpcm: {
      std::uint8_t extra[4];
      if (!file->ReadExact(extra, 4)) return 0;
      consumed += 4;
      if (Le16(extra) < 2) return 0;
      samplesPerBlock = Le16(extra + 2);
      imaAdpcm = CImaAdpcmBlockDecoder::Create({channels, blockAlign, samplesPerBlock});
      if (!imaAdpcm) return 0;
      bitsPerSample = 16;
      break;
    }
    case kTagGsm610: {
      // GSM 06.10 in WAV is always mono: two frames of 160 samples in 65 bytes.
      if (blockAlign != kGsmBlockBytes || chunkSize < 20 || channels != 1) return 0;
      std::uint8_t extra[4];
      if (!file->ReadExact(extra, 4)) return 0;
      consumed += 4;
      samplesPerBlock = Le16(extra + 2);
      if (Le16(extra) < 2 || samplesPerBlock != kGsmBlockSamples) return 0;
      bitsPerSample = 16;
      break;
    }
    case kTagMpeg:
    case kTagMpegLayer3:
      innerMp3 = std::make_unique<CMp3Decoder>();
      break;
    default:
      return 0;
  }
  if (chunkSize > consumed && !file->Skip(static_cast<std::int64_t>(chunkSize - consumed)))
    return 0;
  return 1;
}

int CWavDecoder::ParseHeader() {
  std::uint8_t riff[12];
  if (!file->Seek(0) || !file->ReadExact(riff, 12)) return 0;
  if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) return 0;
  bool haveFormat = false;
  for (;;) {
    std::uint8_t chunk[8];
    if (!file->ReadExact(chunk, 8)) return 0;
    const std::uint32_t size = Le32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (!ParseFormat(size)) return 0;
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      // Audio before its format cannot be interpreted.
      if (!haveFormat) return 0;
      const std::uint64_t here = file->Tell();
      // A stream recorder that never came back to fill in the size leaves 0.
      length = size != 0 ? size : file->Size() - here;
      position = 0;
      std::uint64_t totalSamples = 0;
      if (formatTag == kTagMsAdpcm || formatTag == kTagImaAdpcm) {
        totalSamples = length * static_cast<std::uint64_t>(samplesPerBlock) /
                       static_cast<std::uint64_t>(blockAlign);
      } else if (formatTag == kTagGsm610) {
        totalSamples = length * kGsmBlockSamples / kGsmBlockBytes;
      } else if (formatTag == kTagMpeg || formatTag == kTagMpegLayer3) {
        if (!innerMp3->OpenOnFile(file.get(), std::string())) return 0;
        durationSeconds = innerMp3->GetDuration();
        bitsPerSample = innerMp3->GetBitsPerSample();
        channels = innerMp3->GetChannels();
        outputChannels = innerMp3->GetOutputChannels();
        sampleRate = innerMp3->GetSampleRate();
      } else if (sourceBits != 0) {
        totalSamples = (length * 8 / static_cast<std::uint64_t>(sourceBits)) /
                       static_cast<std::uint64_t>(channels);
      }
      if (!innerMp3)
        durationSeconds = static_cast<int>(std::min<std::uint64_t>(
            totalSamples / static_cast<std::uint64_t>(sampleRate), 0x7FFFFFFF));
      if (durationSeconds != 0) {
        bitrateKbps = static_cast<int>(std::min<std::uint64_t>(
            length / (static_cast<std::uint64_t>(durationSeconds) * 125), 0x7FFFFFFF));
      } else {
        bitrateKbps = static_cast<int>(std::min<std::int64_t>(
            static_cast<std::int64_t>(sourceBits) * channels * sampleRate / 1000, 0x7FFFFFFF));
      }
      return 1;
    } else if (!file->Skip(size)) {
      return 0;
    }
    if (!SkipToLetter()) return 0;
  }
}

int CWavDecoder::SetUpReader() {
  constexpr int kBlock = kDecodeBlock;
  switch (formatTag) {
    case kTagPcm:
      rawBlockBytes = (sourceBits / 8) * channels * kBlock;
      readRoutine = sourceBits == 8    ? Reader::Pcm8
                    : sourceBits == 16 ? Reader::Pcm16
                    : sourceBits == 24 ? Reader::Pcm24
                                       : Reader::Pcm32;
      break;
    case kTagFloat:
      if (sourceBits == 32) {
        readRoutine = Reader::Float32;
      } else if (sourceBits == 64) {
        readRoutine = Reader::Float64;
      } else {
        return 0;
      }
      rawBlockBytes = (sourceBits / 8) * channels * kBlock;
      break;
    case kTagALaw:
    case kTagMuLaw:
      rawBlockBytes = channels * kBlock;
      readRoutine = Reader::G711;
      break;
    case kTagMsAdpcm:
    case kTagImaAdpcm:
      rawBlockBytes = blockAlign;
      blockSamples = samplesPerBlock * outputChannels;
      readRoutine = Reader::Block;
      break;
    case kTagGsm610: {
      gsm.reset(gsm_create());
      if (!gsm) return 0;
      int wav49 = 1;
      gsm_option(gsm.get(), GSM_OPT_WAV49, &wav49);
      rawBlockBytes = kGsmBlockBytes;
      blockSamples = kGsmBlockSamples;
      readRoutine = Reader::Block;
      break;
    }
    case kTagMpeg:
    case kTagMpegLayer3:
      readRoutine = Reader::Mpeg;
      return 1;
    default:
      return 0;
  }
  rawBuffer.resize(static_cast<std::size_t>(rawBlockBytes));
  if (readRoutine == Reader::Block) blockBuffer.resize(static_cast<std::size_t>(blockSamples));
  return 1;
}

std::size_t CWavDecoder::ReadRaw(std::size_t request) {
  if (position >= length) return 0;
  if (request > length - position) request = static_cast<std::size_t>(length - position);
  position += request;
  return file->Read(rawBuffer.data(), request);
}

int CWavDecoder::ReadTags(std::string& title, std::string& artist, std::string& album,
                          std::string& year, std::string& genre, std::string& comment,
                          std::string& track) {
  if (!file) return 0;
  return ReadTagLayerTags(*file, audiolib::TagContainer::kRiffWave, title, artist, album, year,
                          genre, comment, track);
}

int CWavDecoder::Read(void* left, void* right) {
  const int n = ReadBlock(left, right);
  // A read error or a file cut short ends the data early: that is a failure, not the end.
  return n <= 0 && file && file->Failed() ? kReadFailed : n;
}

int CWavDecoder::ReadBlock(void* left, void* right) {
  if (!file || !left) return 0;
  if (outputChannels == 2 && !right) return 0;
  switch (readRoutine) {
    case Reader::None:
      return 0;
    case Reader::Mpeg: {
      const int result = innerMp3->Read(left, right);
      position = innerMp3->GetPosition();
      return result;
    }
    case Reader::Block:
      return ReadBlocks(static_cast<std::int16_t*>(left), static_cast<std::int16_t*>(right));
    default:
      return ReadDirect(left, right);
  }
}

bool CWavDecoder::EnableWideSamples() {
  const bool wider = readRoutine == Reader::Pcm24 || readRoutine == Reader::Pcm32 ||
                     readRoutine == Reader::Float32 || readRoutine == Reader::Float64;
  if (!wider) return false;
  wide_ = true;
  bitsPerSample = readRoutine == Reader::Pcm24 ? 24 : 32;
  bytesPerSample = 4;
  return true;
}

namespace {

std::int32_t S24Full(const std::uint8_t* p) {
  return static_cast<std::int32_t>((std::uint32_t(p[0]) << 8) | (std::uint32_t(p[1]) << 16) |
                                   (std::uint32_t(p[2]) << 24)) >>
         8;
}

// Full scale of a float sample onto 32 bits, clipped beyond it; NaN becomes silence.
std::int32_t FloatFull(double x) {
  if (!(x == x)) return 0;
  if (x >= 1.0) return 2147483647;
  if (x <= -1.0) return -2147483647 - 1;
  return static_cast<std::int32_t>(x * 2147483648.0);
}

}  // namespace

int CWavDecoder::ReadDirect(void* left, void* right) {
  const std::size_t got = ReadRaw(static_cast<std::size_t>(rawBlockBytes));
  if (got == 0) return 0;
  const std::uint8_t* raw = rawBuffer.data();
  const int n = channels;
  const bool stereo = outputChannels == 2;

  if (readRoutine == Reader::Pcm8) {
    auto* l = static_cast<std::uint8_t*>(left);
    auto* r = static_cast<std::uint8_t*>(right);
    const int frames = static_cast<int>(got / static_cast<std::size_t>(n));
    for (int i = 0; i < frames; ++i) {
      l[i] = raw[i * n];
      if (stereo) r[i] = raw[i * n + 1];
    }
    return frames;
  }

  int width = 1;
  switch (readRoutine) {
    case Reader::Pcm16:
      width = 2;
      break;
    case Reader::Pcm24:
      width = 3;
      break;
    case Reader::Pcm32:
    case Reader::Float32:
      width = 4;
      break;
    case Reader::Float64:
      width = 8;
      break;
    default:
      width = 1;
      break;  // G.711
  }
  // Only whole frames are converted: a sample cut short by the end of the file is dropped.
  const int frames = static_cast<int>(got / (static_cast<std::size_t>(width) * n));
  const std::size_t stride = static_cast<std::size_t>(width) * n;
  if (wide_) {
    for (int c = 0; c < outputChannels; ++c) {
      std::int32_t* out = static_cast<std::int32_t*>(c == 0 ? left : right);
      const std::uint8_t* p = raw + static_cast<std::size_t>(c) * width;
      for (int i = 0; i < frames; ++i, p += stride) {
        switch (readRoutine) {
          case Reader::Pcm24:
            out[i] = S24Full(p);
            break;
          case Reader::Pcm32:
            out[i] = pcm::S32Le(p);
            break;
          case Reader::Float32:
            out[i] = FloatFull(pcm::F32Le(p));
            break;
          default:
            out[i] = FloatFull(pcm::F64Le(p));
            break;
        }
      }
    }
    return frames;
  }
  auto* l = static_cast<std::int16_t*>(left);
  auto* r = static_cast<std::int16_t*>(right);
  const std::int16_t* g711 = alaw ? kALawToLinear.data() : kMuLawToLinear.data();
  for (int c = 0; c < outputChannels; ++c) {
    std::int16_t* out = c == 0 ? l : r;
    const std::uint8_t* p = raw + static_cast<std::size_t>(c) * width;
    switch (readRoutine) {
      case Reader::Pcm16:
        for (int i = 0; i < frames; ++i, p += stride) out[i] = pcm::S16Le(p);
        break;
      case Reader::Pcm24:
        for (int i = 0; i < frames; ++i, p += stride) out[i] = pcm::S24Le(p);
        break;
      case Reader::Pcm32:
        for (int i = 0; i < frames; ++i, p += stride) out[i] = pcm::Top16(pcm::S32Le(p));
        break;
      case Reader::Float32:
        for (int i = 0; i < frames; ++i, p += stride) out[i] = pcm::FromDouble(pcm::F32Le(p));
        break;
      case Reader::Float64:
        for (int i = 0; i < frames; ++i, p += stride) out[i] = pcm::FromDouble(pcm::F64Le(p));
        break;
      default:
        for (int i = 0; i < frames; ++i, p += stride) out[i] = g711[*p];
        break;
    }
  }
  return frames;
}

bool CWavDecoder::EndStream() {
  position = length;
  blockCursor = blockFill = 0;
  return false;
}

bool CWavDecoder::DecodeNextBlock() {
  const std::size_t want = static_cast<std::size_t>(rawBlockBytes);
  // A trailing partial block is dropped.
  if (ReadRaw(want) < want) return EndStream();
  int decoded = 0;
  if (formatTag == kTagMsAdpcm) {
    decoded = msAdpcm->DecodeBlock(rawBuffer.data(), blockBuffer.data());
  } else if (formatTag == kTagImaAdpcm) {
    decoded = imaAdpcm->DecodeBlock(rawBuffer.data(), blockBuffer.data());
  } else {
    // WAV49 packs two frames into 65 bytes: 33 then 32; libgsm alternates the sizes.
    if (gsm_decode(gsm.get(), rawBuffer.data(), blockBuffer.data()) < 0 ||
        gsm_decode(gsm.get(), rawBuffer.data() + 33, blockBuffer.data() + 160) < 0)
      return EndStream();
    decoded = kGsmBlockSamples;
  }
  // A damaged block (an ADPCM predictor outside the table) ends the stream: what
  // follows it cannot be trusted either.
  if (decoded <= 0) return EndStream();
  blockCursor = 0;
  blockFill = decoded;
  return true;
}

int CWavDecoder::CopyPending(std::int16_t* left, std::int16_t* right, int written) {
  if (outputChannels == 2) {
    while (written < kDecodeBlock && blockCursor + 1 < blockFill) {
      left[written] = blockBuffer[static_cast<std::size_t>(blockCursor)];
      right[written] = blockBuffer[static_cast<std::size_t>(blockCursor) + 1];
      blockCursor += 2;
      ++written;
    }
  } else {
    while (written < kDecodeBlock && blockCursor < blockFill) {
      left[written++] = blockBuffer[static_cast<std::size_t>(blockCursor++)];
    }
  }
  return written;
}

int CWavDecoder::ReadBlocks(std::int16_t* left, std::int16_t* right) {
  int written = CopyPending(left, right, 0);
  while (written < kDecodeBlock) {
    if (!DecodeNextBlock()) break;
    written = CopyPending(left, right, written);
  }
  return written;
}

}  // namespace wavorax
