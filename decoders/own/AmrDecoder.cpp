#include "decoders/own/AmrDecoder.h"

#include <opencore-amrnb/interf_dec.h>

#include <algorithm>
#include <cstring>

namespace wavorax {
namespace {

constexpr char kMagic[] = "#!AMR\n";
constexpr int kMagicSize = 6;
constexpr int kFrameSamples = 160;

// Payload bytes after the header byte, by frame type: the eight speech modes from
// 4.75 to 12.2 kbit/s, comfort noise, then types without payload (15 = no data).
constexpr int kPayloadSize[16] = {12, 13, 15, 17, 19, 20, 26, 31, 5, 0, 0, 0, 0, 0, 0, 0};

}  // namespace

void CAmrDecoder::StateDeleter::operator()(void* state) const { Decoder_Interface_exit(state); }

CAmrDecoder::CAmrDecoder() = default;

CAmrDecoder::~CAmrDecoder() { CAmrDecoder::Close(); }

void CAmrDecoder::Close() {
  speechState.reset();
  file.reset();
  carryCount = 0;
  ResetStreamInfo();
}

int CAmrDecoder::Open(const std::string& path, int /*musicSampleRate*/) {
  Close();
  std::unique_ptr<ByteSource> source = ByteSource::OpenFile(path);
  if (!source) return 0;
  return OpenSource(std::move(source));
}

int CAmrDecoder::OpenSource(std::unique_ptr<ByteSource> source) {
  Close();
  if (!source) return 0;
  char magic[kMagicSize];
  if (!source->ReadExact(magic, kMagicSize) || std::memcmp(magic, kMagic, kMagicSize) != 0)
    return 0;
  speechState.reset(Decoder_Interface_init());
  if (!speechState) return 0;
  file = std::move(source);
  length = file->Size();
  position = file->Tell();
  sampleRate = 8000;
  channels = outputChannels = 1;
  bitsPerSample = 16;
  bytesPerSample = 2;
  // A storage-format file states neither duration nor bit rate.
  durationSeconds = 0;
  bitrateKbps = 0;
  return 1;
}

int CAmrDecoder::DecodeFrame() {
  if (!file->ReadExact(frame, 1)) return 0;
  position += 1;
  const int payload = kPayloadSize[(frame[0] >> 3) & 0x0F];
  // The speech decoder unpacks the storage format itself, runs the homing tests and
  // conceals no-data frames with the previous mode.
  std::memset(frame + 1, 0, sizeof(frame) - 1);
  if (payload > 0) {
    // A frame cut short by the end of the file ends the stream.
    if (!file->ReadExact(frame + 1, static_cast<std::size_t>(payload))) return 0;
    position += static_cast<std::uint64_t>(payload);
  }
  Decoder_Interface_Decode(speechState.get(), frame, synth, 0);
  return kFrameSamples;
}

int CAmrDecoder::Read(void* left, void* right) {
  const int n = ReadBlock(left, right);
  // A read error or a file cut short ends the data early: that is a failure, not the end.
  return n <= 0 && file && file->Failed() ? kReadFailed : n;
}

int CAmrDecoder::ReadBlock(void* left, void* /*right*/) {
  if (!file || !speechState || !left) return 0;
  auto* out = static_cast<std::int16_t*>(left);
  int written = carryCount;
  std::copy_n(carry, carryCount, out);
  carryCount = 0;
  while (written < kDecodeBlock) {
    if (DecodeFrame() < 1) break;
    const int take = std::min(kFrameSamples, kDecodeBlock - written);
    std::copy_n(synth, take, out + written);
    written += take;
    if (take < kFrameSamples) {
      carryCount = kFrameSamples - take;
      std::copy_n(synth + take, carryCount, carry);
    }
  }
  return written;
}

}  // namespace wavorax
