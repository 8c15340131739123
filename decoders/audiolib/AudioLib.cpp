#include "decoders/audiolib/AudioLib.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

namespace wavorax::audiolib {

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
}

}  // namespace wavorax::audiolib
