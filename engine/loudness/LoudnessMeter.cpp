#include "engine/loudness/LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace wavorax {

namespace {

// The true peak is CTruePeak's: libebur128's own would triple the cost of the meter.
constexpr int kMode = EBUR128_MODE_I | EBUR128_MODE_LRA;

double PeakDb(double peak) { return peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL; }

// Interleaves (and converts) planar blocks into `buffer` in pieces and hands each piece to
// `add`; the buffer is sized once, on first use.
template <typename In, typename Out, typename Convert, typename AddFn>
void Feed(std::vector<Out>& buffer, int channels, const In* left, const In* right, int count,
          Convert convert, AddFn add) {
  if (buffer.empty()) buffer.resize(std::size_t(CLoudnessMeter::kChunkFrames) * 2);
  Out* out = buffer.data();
  for (int done = 0; done < count;) {
    const int n = std::min(count - done, CLoudnessMeter::kChunkFrames);
    const In* l = left + done;
    if (channels == 2) {
      const In* r = right + done;
      for (int i = 0; i < n; ++i) {
        out[2 * i] = convert(l[i]);
        out[2 * i + 1] = convert(r[i]);
      }
    } else {
      for (int i = 0; i < n; ++i) out[i] = convert(l[i]);
    }
    add(out, static_cast<std::size_t>(n));
    done += n;
  }
}

}  // namespace

struct CLoudnessMeter::State {
  explicit State(ebur128_state* s) : st(s) {}
  ~State() { ebur128_destroy(&st); }
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  ebur128_state* st;
};

CLoudnessMeter::CLoudnessMeter(int sampleRate, int channels)
    : truePeak_(sampleRate, channels), sampleRate_(sampleRate), channels_(channels) {
  if ((channels != 1 && channels != 2) || sampleRate <= 0) return;
  if (ebur128_state* st = ebur128_init(static_cast<unsigned>(channels),
                                       static_cast<unsigned long>(sampleRate), kMode))
    state_ = std::make_unique<State>(st);
}

CLoudnessMeter::~CLoudnessMeter() = default;
CLoudnessMeter::CLoudnessMeter(CLoudnessMeter&&) noexcept = default;
CLoudnessMeter& CLoudnessMeter::operator=(CLoudnessMeter&&) noexcept = default;

void CLoudnessMeter::Add16(const std::int16_t* left, const std::int16_t* right, int count) {
  if (!state_ || !left || count <= 0 || (channels_ == 2 && !right)) return;
  frames_ += static_cast<std::uint64_t>(count);
  truePeak_.Add16(0, left, count);
  if (channels_ == 2) truePeak_.Add16(1, right, count);
  if (channels_ == 1) {
    ebur128_add_frames_short(state_->st, left, static_cast<std::size_t>(count));
    return;
  }
  Feed(
      interleave16_, channels_, left, right, count, [](std::int16_t v) { return v; },
      [this](const std::int16_t* p, std::size_t n) { ebur128_add_frames_short(state_->st, p, n); });
}

void CLoudnessMeter::Add32(const std::int32_t* left, const std::int32_t* right, int count,
                           int width) {
  if (!state_ || !left || count <= 0 || (channels_ == 2 && !right)) return;
  frames_ += static_cast<std::uint64_t>(count);
  width = std::clamp(width, 8, 32);
  // libebur128 reads int samples as fractions of 2^31, so narrower samples are moved up to
  // the top bits. The clamp keeps a stray value from wrapping into the sign bit.
  const std::int32_t hi = static_cast<std::int32_t>((std::uint32_t{1} << (width - 1)) - 1);
  const std::int32_t lo = -hi - 1;
  const int shift = 32 - width;
  truePeak_.Add32(0, left, count, width);
  if (channels_ == 2) truePeak_.Add32(1, right, count, width);
  if (channels_ == 1 && shift == 0) {
    ebur128_add_frames_int(state_->st, left, static_cast<std::size_t>(count));
    return;
  }
  Feed(
      interleave32_, channels_, left, right, count,
      [hi, lo, shift](std::int32_t v) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(std::clamp(v, lo, hi))
                                         << shift);
      },
      [this](const std::int32_t* p, std::size_t n) { ebur128_add_frames_int(state_->st, p, n); });
}

void CLoudnessMeter::AddFloat(const float* left, const float* right, int count) {
  if (!state_ || !left || count <= 0 || (channels_ == 2 && !right)) return;
  frames_ += static_cast<std::uint64_t>(count);
  truePeak_.AddFloat(0, left, count);
  if (channels_ == 2) truePeak_.AddFloat(1, right, count);
  if (channels_ == 1) {
    ebur128_add_frames_float(state_->st, left, static_cast<std::size_t>(count));
    return;
  }
  Feed(
      interleaveFloat_, channels_, left, right, count, [](float v) { return v; },
      [this](const float* p, std::size_t n) { ebur128_add_frames_float(state_->st, p, n); });
}

LoudnessResult CLoudnessMeter::Result() const {
  LoudnessResult r;
  if (!state_) return r;
  ebur128_state* st = state_->st;
  double lufs = -HUGE_VAL, lra = 0.0;
  ebur128_loudness_global(st, &lufs);
  if (ebur128_loudness_range(st, &lra) != EBUR128_SUCCESS || !std::isfinite(lra)) lra = 0.0;
  r.truePeak = truePeak_.Peak();
  r.truePeakDbtp = PeakDb(r.truePeak);
  r.integratedLufs = lufs;
  r.loudnessRangeLu = lra;
  // libebur128 gives −∞ until a whole 400 ms block has passed the gates; the frame count
  // says the same for a block of loud samples cut short.
  r.valid = std::isfinite(lufs) && frames_ * 10 >= static_cast<std::uint64_t>(sampleRate_) * 4;
  return r;
}

CAlbumLoudness::CAlbumLoudness(std::size_t trackCount) : tracks_(trackCount) {}

bool CAlbumLoudness::Add(std::size_t place, CLoudnessMeter meter) {
  std::lock_guard lock(mutex_);
  if (place >= tracks_.size() || tracks_[place]) return false;
  // The interleave buffers are of no use any more; only libebur128's blocks are kept.
  meter.interleave16_ = {};
  meter.interleave32_ = {};
  meter.interleaveFloat_ = {};
  tracks_[place] = std::make_unique<CLoudnessMeter>(std::move(meter));
  return true;
}

bool CAlbumLoudness::Complete() const {
  std::lock_guard lock(mutex_);
  return std::all_of(tracks_.begin(), tracks_.end(), [](const auto& t) { return t != nullptr; });
}

LoudnessResult CAlbumLoudness::Result() const {
  std::lock_guard lock(mutex_);
  std::vector<ebur128_state*> states;
  LoudnessResult r;
  r.truePeak = 0.0;
  for (const auto& t : tracks_) {
    if (!t || !t->state_) continue;
    states.push_back(t->state_->st);
    r.truePeak = std::max(r.truePeak, t->truePeak_.Peak());
  }
  r.truePeakDbtp = PeakDb(r.truePeak);
  if (states.empty()) return r;
  double lufs = -HUGE_VAL, lra = 0.0;
  ebur128_loudness_global_multiple(states.data(), states.size(), &lufs);
  if (ebur128_loudness_range_multiple(states.data(), states.size(), &lra) != EBUR128_SUCCESS ||
      !std::isfinite(lra))
    lra = 0.0;
  r.integratedLufs = lufs;
  r.loudnessRangeLu = lra;
  r.valid = std::isfinite(lufs);
  return r;
}

namespace {

std::string Trimmed(const std::string& s) {
  const auto space = [](unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  std::size_t b = 0, e = s.size();
  while (b < e && space(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && space(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

}  // namespace

AlbumGroups GroupAlbums(const std::vector<AlbumKey>& rows) {
  AlbumGroups groups;
  groups.albumOfRow.assign(rows.size(), -1);
  std::map<std::pair<std::string, std::string>, int> seen;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::string album = Trimmed(rows[i].album);
    if (album.empty()) continue;
    const auto [it, fresh] = seen.try_emplace({std::move(album), rows[i].folder},
                                              static_cast<int>(groups.rowsOfAlbum.size()));
    if (fresh) groups.rowsOfAlbum.emplace_back();
    groups.albumOfRow[i] = it->second;
    groups.rowsOfAlbum[static_cast<std::size_t>(it->second)].push_back(i);
  }
  return groups;
}

}  // namespace wavorax
