// Helpers shared by the writer tests: planar test signals, and a scoped file-size limit.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "base/ByteOrder.h"
#include "tests/support/TestSupport.h"

namespace wavorax::test {

// Two different tones, so that swapped or mixed channels show.
struct PlanarSignal {
  std::vector<std::int16_t> left, right;
  int rate = 44100;

  static PlanarSignal Make(int rate, std::size_t frames, double amplitude = 0.5) {
    PlanarSignal s;
    s.rate = rate;
    s.left = Sine(440.0, rate, frames, amplitude);
    s.right = Sine(1000.0, rate, frames, amplitude * 0.8);
    return s;
  }
  // Rising tones on the left, falling on the right: nothing repeats, so the delay between
  // input and decoded output has one clear answer.
  static PlanarSignal Sweep(int rate, std::size_t frames, double amplitude = 0.5) {
    PlanarSignal s;
    s.rate = rate;
    s.left.resize(frames);
    s.right.resize(frames);
    const double seconds = double(frames) / rate;
    const double top = std::min(4000.0, rate * 0.2);
    double phaseL = 0, phaseR = 0;
    for (std::size_t i = 0; i < frames; ++i) {
      const double t = double(i) / rate / seconds;
      phaseL += 2 * M_PI * (200.0 + (top - 200.0) * t) / rate;
      phaseR += 2 * M_PI * (top - (top - 300.0) * t) / rate;
      s.left[i] = static_cast<std::int16_t>(std::lround(amplitude * 32767 * std::sin(phaseL)));
      s.right[i] =
          static_cast<std::int16_t>(std::lround(amplitude * 0.8 * 32767 * std::sin(phaseR)));
    }
    return s;
  }
  std::vector<std::int16_t> Interleaved(int channels) const {
    if (channels == 1) return left;
    std::vector<std::int16_t> out;
    out.reserve(left.size() * 2);
    for (std::size_t i = 0; i < left.size(); ++i) {
      out.push_back(left[i]);
      out.push_back(right[i]);
    }
    return out;
  }
};

// Feeds a whole planar signal to a writer in decoder-sized blocks.
template <typename Fn>
bool FeedBlocks(const PlanarSignal& s, int channels, Fn&& write, int block = 1152) {
  for (std::size_t i = 0; i < s.left.size(); i += static_cast<std::size_t>(block)) {
    const int n = static_cast<int>(std::min<std::size_t>(block, s.left.size() - i));
    if (!write(s.left.data() + i, channels == 2 ? s.right.data() + i : nullptr, n)) return false;
  }
  return true;
}

// Limits the size of files this process may write, with SIGXFSZ ignored so that an
// oversized write fails with EFBIG instead of killing the test. Restored on destruction.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim = old_;
    lim.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &lim);
  }
  ~ScopedFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = SIG_DFL;
};

// A container tag as ffprobe reports it (format level), or "".
inline std::string FormatTag(const std::string& path, const std::string& tag) {
  auto r = Run("ffprobe -v error -show_entries format_tags=" + tag +
               " -of default=noprint_wrappers=1:nokey=1 " + ShellQuote(path));
  std::string s = r.output;
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return r.exitCode == 0 ? s : std::string();
}

inline std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return wavorax::Le32(b.data() + at);
}
inline std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return wavorax::Le16(b.data() + at);
}

// Finds where `needle` starts in a decoded signal, searching the first `window` positions.
inline std::size_t BestAlignment(const std::vector<std::int16_t>& decoded,
                                 const std::vector<std::int16_t>& reference, std::size_t window,
                                 std::size_t span) {
  std::size_t best = 0;
  double bestScore = -1e300;
  for (std::size_t lag = 0; lag <= window && lag + span <= decoded.size(); ++lag) {
    double score = 0;
    for (std::size_t i = 0; i < span && i < reference.size(); ++i)
      score += double(decoded[lag + i]) * reference[i];
    if (score > bestScore) bestScore = score, best = lag;
  }
  return best;
}

}  // namespace wavorax::test
