// The audio-library layer: every source format that the program has no decoder of its own for
// is opened here, either as a decode-only stream (FFmpeg) or as tracker music rendered at a
// chosen rate (libopenmpt). A Channel hands out interleaved PCM in bytes, reports lengths and
// positions in bytes of that PCM, and gives access to the source's raw ID3 blocks and to its
// tags as formatted text (TagLib, with FFmpeg's metadata as a second source).
//
// Channels keep no shared state: each one owns its file, demuxer, decoder and converter, so
// different threads may decode different files at the same time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace wavorax::audiolib {

// "Unavailable" answer of GetFilePosition: all bits set.
inline constexpr std::uint64_t kNoPosition = ~std::uint64_t{0};
// GetData's answer at the end of the stream or on an error.
inline constexpr std::uint32_t kDataEnd = 0xFFFFFFFFu;
// ChannelInfo::flags bit: samples are unsigned 8-bit (otherwise signed 16-bit native-endian).
inline constexpr unsigned kSample8Bits = 1;
// ChannelInfo::flags bit: samples are signed 32-bit native-endian, full scale (a channel
// opened for wide samples whose source is wider than 16 bits).
inline constexpr unsigned kSample32Bits = 2;
// Render rate used for tracker music when the caller passes 0.
inline constexpr int kDefaultMusicRate = 44100;
// Render rates that tracker music accepts.
inline constexpr int kMinMusicRate = 8000;
inline constexpr int kMaxMusicRate = 192000;

struct ChannelInfo {
  int frequency = 0;   // samples per second of the decoded output
  int channels = 0;    // interleaved channels of the decoded output
  unsigned flags = 0;  // kSample8Bits or kSample32Bits
  int bits = 16;       // the source's width: 8, 16, or with kSample32Bits 24 or 32
  // The source decodes to more than 16 bits (24- or 32-bit PCM, floating point), whatever
  // the output: a stream opened for 16 bits says whether opening it wide would give more.
  bool sourceWide = false;
};

enum class FilePosition {
  kAudioStart,  // byte offset of the first audio packet in the file
  kFileSize,    // size of the file in bytes
};

enum class TagKind {
  kId3v1,  // the 128-byte block at the end of the file
  kId3v2,  // the whole tag at the start of the file, header (and footer) included
};

// One open stream or piece of music. Destroying it frees every resource it holds.
class Channel {
 public:
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;
  virtual ~Channel() = default;

  bool IsMusic() const { return isMusic_; }
  ChannelInfo GetInfo() const { return info_; }
  // Decoded length in bytes of interleaved output (all channels); 0 when unknown.
  std::uint64_t GetLength() const { return length_; }
  // Bytes handed out by GetData so far.
  std::uint64_t GetPosition() const { return position_; }
  // Play time of `bytes` of decoded output.
  double BytesToSeconds(std::uint64_t bytes) const;

  // Whether decoding stopped because the rest of the stream could not be delivered (a part
  // whose format cannot be converted to the stream's first rate and channels), so that the
  // caller can fail instead of keeping a truncated output.
  bool HasFailed() const { return failed_; }

  // kNoPosition when the answer is not available (tracker music has no file positions).
  virtual std::uint64_t GetFilePosition(FilePosition which) const = 0;

  // Writes up to `bytes` bytes of interleaved PCM, always whole sample frames, and returns
  // how many it wrote. Returns kDataEnd once nothing is left (or nothing could be decoded).
  // After kDataEnd, HasFailed tells a stream that broke off from one that ended.
  virtual std::uint32_t GetData(void* buffer, std::uint32_t bytes) = 0;

  // A raw ID3 block read from the file, or null. The block stays valid as long as the channel;
  // `size` receives its byte count (0 when null). Only streams have ID3 blocks.
  virtual const std::uint8_t* GetTags(TagKind kind, std::size_t* size) = 0;

  // The source's tags put into `format`: %TITL, %ARTI, %ALBM, %GNRE, %YEAR, %CMNT and %TRCK
  // are replaced by the tag values (empty when absent), everything else is copied. UTF-8.
  // Empty when the source has no tags at all, whatever the format.
  virtual std::string ReadTagText(const std::string& format) = 0;

 protected:
  explicit Channel(bool isMusic) : isMusic_(isMusic) {}

  bool isMusic_;
  ChannelInfo info_;
  std::uint64_t length_ = 0;
  std::uint64_t position_ = 0;
  bool failed_ = false;
};

// Opens a file as a decode-only stream. Null when the file cannot be read, holds no decodable
// audio, or is tracker music (which must come through MusicLoad so that it gets its render rate).
// With `wide`, a source wider than 16 bits hands out its own samples (kSample32Bits).
std::unique_ptr<Channel> StreamCreateFile(const std::string& path, bool wide = false);
// The same on bytes in memory (copied; the caller's buffer may go away).
std::unique_ptr<Channel> StreamCreateMemory(const std::uint8_t* data, std::size_t size);

// Loads tracker music (MOD, XM, S3M, IT, MTM, UMX, MO3 ...) rendered as signed 16-bit stereo at
// `renderRate` (0 = kDefaultMusicRate), with volume ramping, once through without repeats.
// Null when the data is not music or the rate is outside kMinMusicRate..kMaxMusicRate.
std::unique_ptr<Channel> MusicLoad(const std::string& path, int renderRate);
std::unique_ptr<Channel> MusicLoadMemory(const std::uint8_t* data, std::size_t size,
                                         int renderRate);

// Start-up check: the FFmpeg libraries found at run time must have the major versions the
// program was built against (their interfaces differ between majors). When they do not,
// `problem` (if given) receives a sentence naming the library and both versions.
bool CheckLibraryVersions(std::string* problem = nullptr);

// Largest single allocation FFmpeg may make once ConfigureLibraries has run.
inline constexpr std::size_t kMaxLibraryAllocation = 256u * 1024 * 1024;

// Start-up settings of the FFmpeg libraries. They hold for the whole process, so they are made
// once, before any decoding starts (calling again changes nothing):
// - only errors are logged, not the warnings that damaged files cause by the dozen;
// - no single allocation may exceed kMaxLibraryAllocation. Some demuxers size a buffer from a
//   length field before they know how much data follows (a RIFF INFO entry in a 100-byte WAV
//   file can ask for 2 GB, zeroed); with the cap such a file fails instead of taking the
//   memory of every decoding job at once;
// - the C library keeps blocks of up to a few megabytes in its heap, so that the codecs'
//   per-file buffers are not mapped and faulted in anew for every file opened.
void ConfigureLibraries();

}  // namespace wavorax::audiolib
