#include "decoders/audiolib/AudioLib.h"

#include <malloc.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

namespace wavorax::audiolib {
namespace {

// Blocks up to this size come from the heap rather than from their own mapping.
constexpr int kHeapBlockLimit = 4 * 1024 * 1024;
// Free memory at the top of the heap that is kept rather than returned to the system.
constexpr int kHeapKeepLimit = 32 * 1024 * 1024;

}  // namespace

double Channel::BytesToSeconds(std::uint64_t bytes) const {
  const int bytesPerSample = (info_.flags & kSample8Bits) ? 1 : 2;
  const double perSecond = static_cast<double>(info_.frequency) * info_.channels * bytesPerSample;
  return perSecond > 0 ? static_cast<double>(bytes) / perSecond : 0.0;
}

bool CheckLibraryVersions(std::string* problem) {
  struct Library {
    const char* name;
    unsigned runtime;
    unsigned built;
  };
  const Library libraries[] = {
      {"libavformat", avformat_version() >> 16, LIBAVFORMAT_VERSION_MAJOR},
      {"libavcodec", avcodec_version() >> 16, LIBAVCODEC_VERSION_MAJOR},
      {"libavutil", avutil_version() >> 16, LIBAVUTIL_VERSION_MAJOR},
      {"libswresample", swresample_version() >> 16, LIBSWRESAMPLE_VERSION_MAJOR},
  };
  for (const Library& lib : libraries) {
    if (lib.runtime != lib.built) {
      if (problem)
        *problem = std::string(lib.name) + " has major version " + std::to_string(lib.runtime) +
                   ", but Wavorax was built for version " + std::to_string(lib.built) + ".";
      return false;
    }
  }
  return true;
}

void ConfigureLibraries() {
  av_log_set_level(AV_LOG_ERROR);
  av_max_alloc(kMaxLibraryAllocation);
  // Opening a stream makes the codec libraries allocate and zero blocks of a few hundred
  // kilobytes, and closing it frees them. Above the C library's default threshold each such
  // block is mapped and unmapped anew, and its pages fault in again for every file: a third
  // of the time of adding many short files. Kept in the heap, the pages stay mapped and are
  // reused by the next file.
  mallopt(M_MMAP_THRESHOLD, kHeapBlockLimit);
  mallopt(M_TRIM_THRESHOLD, kHeapKeepLimit);
}

}  // namespace wavorax::audiolib
