// Tracker music on libopenmpt: the whole module is loaded into memory and rendered as signed
// 16-bit stereo at the caller's rate.

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/ByteSource.h"
#include "decoders/Decoder.h"
#include "decoders/audiolib/AudioLib.h"
#include "decoders/audiolib/TagText.h"

namespace wavorax::audiolib {
namespace {

static_assert(kMinMusicRate == kMinMusicSampleRate && kMaxMusicRate == kMaxMusicSampleRate,
              "the engine picks render rates from the decoder interface's range");

// Modules are small; anything bigger than this is not one, and is not read into memory.
constexpr std::uint64_t kMaxModuleBytes = 256ull * 1024 * 1024;
constexpr int kBytesPerFrame = 4;  // 16-bit stereo

struct ModuleDeleter {
  void operator()(openmpt_module* m) const { openmpt_module_destroy(m); }
};
struct OpenmptStringDeleter {
  void operator()(const char* s) const { openmpt_free_string(s); }
};

class TrackerMusic final : public Channel {
 public:
  TrackerMusic() : Channel(true) {}

  bool Load(std::unique_ptr<ByteSource> source, int renderRate);

  std::uint64_t GetFilePosition(FilePosition) const override { return kNoPosition; }
  std::uint32_t GetData(void* buffer, std::uint32_t bytes) override;
  const std::uint8_t* GetTags(TagKind, std::size_t* size) override {
    if (size) *size = 0;
    return nullptr;
  }
  std::string ReadTagText(const std::string& format) override;

 private:
  std::string Metadata(const char* key) const;

  std::unique_ptr<openmpt_module, ModuleDeleter> module_;
  std::uint64_t frameLimit_ = 0;
  std::uint64_t framesRendered_ = 0;
  bool ended_ = false;
};

bool TrackerMusic::Load(std::unique_ptr<ByteSource> source, int renderRate) {
  if (!source) return false;
  if (renderRate == 0) renderRate = kDefaultMusicRate;
  if (renderRate < kMinMusicRate || renderRate > kMaxMusicRate) return false;
  // The music path is also the last try for every file the stream path refused, so the
  // library first looks at the header: a large file that is plainly no module is not read.
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(
      std::min<std::uint64_t>(source->Size(), openmpt_probe_file_header_get_recommended_size())));
  bytes.resize(source->ReadAt(0, bytes.data(), bytes.size()));
  if (bytes.empty()) return false;
  if (openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, bytes.data(), bytes.size(),
                                source->Size(), &openmpt_log_func_silent, nullptr,
                                &openmpt_error_func_ignore, nullptr, nullptr,
                                nullptr) == OPENMPT_PROBE_FILE_HEADER_RESULT_FAILURE)
    return false;
  if (!ReadAll(*source, bytes, kMaxModuleBytes) || bytes.empty()) return false;

  int error = 0;
  module_.reset(openmpt_module_create_from_memory2(
      bytes.data(), bytes.size(), &openmpt_log_func_silent, nullptr, &openmpt_error_func_ignore,
      nullptr, &error, nullptr, nullptr));
  if (!module_) return false;
  // Short fades where a note starts or stops, instead of clicks (the library's own strength).
  openmpt_module_set_render_param(module_.get(), OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, -1);
  openmpt_module_set_repeat_count(module_.get(), 0);
  // No dither: the library seeds its dither noise differently each time, and a converter
  // should give the same output for the same input.
  openmpt_module_ctl_set_integer(module_.get(), "dither", 0);

  info_.frequency = renderRate;
  info_.channels = 2;
  // The library scans the song once at load, which gives the exact length.
  const double seconds = openmpt_module_get_duration_seconds(module_.get());
  if (std::isfinite(seconds) && seconds > 0 && seconds < 365.0 * 24 * 3600) {
    const auto frames = static_cast<std::uint64_t>(std::llround(seconds * renderRate));
    length_ = frames * kBytesPerFrame;
    // Rendering stops at the scanned length, so that the data and the reported length agree
    // (the library would add a short tail), and whatever the song does it cannot run on.
    frameLimit_ = frames;
  } else {
    frameLimit_ = static_cast<std::uint64_t>(renderRate);  // no length: at most a second
  }
  return true;
}

std::uint32_t TrackerMusic::GetData(void* buffer, std::uint32_t bytes) {
  auto* out = static_cast<std::int16_t*>(buffer);
  std::uint32_t frames = bytes / kBytesPerFrame;
  std::uint32_t done = 0;
  while (!ended_ && done < frames) {
    const std::uint64_t left = frameLimit_ - framesRendered_;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(frames - done, left));
    if (want == 0) {
      ended_ = true;
      break;
    }
    const std::size_t got = openmpt_module_read_interleaved_stereo(module_.get(), info_.frequency,
                                                                   want, out + 2 * done);
    if (got == 0) {
      ended_ = true;
      break;
    }
    done += static_cast<std::uint32_t>(got);
    framesRendered_ += got;
  }
  if (done == 0 && frames > 0) return kDataEnd;
  position_ += static_cast<std::uint64_t>(done) * kBytesPerFrame;
  return done * kBytesPerFrame;
}

std::string TrackerMusic::Metadata(const char* key) const {
  std::unique_ptr<const char, OpenmptStringDeleter> value(
      openmpt_module_get_metadata(module_.get(), key));
  return value ? ToValidUtf8(value.get()) : std::string();
}

std::string TrackerMusic::ReadTagText(const std::string& format) {
  TagFields fields;
  fields.title = Metadata("title");
  fields.artist = Metadata("artist");
  fields.year = Metadata("date");
  // The song message, not the sample names that the library offers in its place.
  fields.comment = Metadata("message_raw");
  return FormatTagText(format, fields);
}

}  // namespace

std::unique_ptr<Channel> MusicLoad(const std::string& path, int renderRate) {
  auto music = std::make_unique<TrackerMusic>();
  if (!music->Load(ByteSource::OpenFile(path), renderRate)) return nullptr;
  return music;
}

std::unique_ptr<Channel> MusicLoadMemory(const std::uint8_t* data, std::size_t size,
                                         int renderRate) {
  auto music = std::make_unique<TrackerMusic>();
  if (!music->Load(ByteSource::FromMemory(data, size), renderRate)) return nullptr;
  return music;
}

}  // namespace wavorax::audiolib
