#include "engine/library/TimeLeft.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace wavorax::library {
namespace {

// The estimate waits this long: the first seconds of a batch (opening, the encoders'
// start-up, a disc spinning up) say little about its pace.
constexpr double kQuietSeconds = 5;
// The rate is sampled at most this often, and each sample weighs as much as its length in a
// moving average that forgets with this time constant: long enough that a short file's end
// does not jolt the estimate, short enough that a slower part of the batch shows within a
// minute.
constexpr double kSampleSeconds = 1;
constexpr double kForgetSeconds = 20;

}  // namespace

double TimeLeft::SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

TimeLeft::TimeLeft(double totalAudioSeconds, Clock clock)
    : clock_(std::move(clock)), total_(std::max(0.0, totalAudioSeconds)), start_(clock_()) {
  lastTime_ = start_;
}

double TimeLeft::Done() const {
  double done = finished_;
  for (const auto& [file, seconds] : running_) done += seconds;
  return done;
}

void TimeLeft::Progress(int file, double doneSeconds) {
  running_[file] = std::max(0.0, doneSeconds);
  Sample(clock_());
}

void TimeLeft::Finish(int file, double doneSeconds, double lengthSeconds) {
  running_.erase(file);
  doneSeconds = std::max(0.0, doneSeconds);
  finished_ += doneSeconds;
  if (lengthSeconds > doneSeconds) Drop(lengthSeconds - doneSeconds);
  Sample(clock_());
}

void TimeLeft::Drop(double audioSeconds) { total_ = std::max(0.0, total_ - audioSeconds); }

void TimeLeft::Sample(double now) {
  const double elapsed = now - start_;
  if (elapsed < kQuietSeconds || now - lastTime_ < kSampleSeconds) return;
  const double done = Done();
  if (!rate_) {
    // The first rate is the batch's average so far; later samples move it.
    if (done > 0) rate_ = done / elapsed;
  } else {
    const double interval = now - lastTime_;
    const double recent = std::max(0.0, done - lastDone_) / interval;
    const double weight = 1 - std::exp(-interval / kForgetSeconds);
    rate_ = *rate_ + weight * (recent - *rate_);
  }
  lastTime_ = now;
  lastDone_ = done;
}

std::optional<double> TimeLeft::SecondsLeft() {
  Sample(clock_());
  if (!rate_ || *rate_ <= 0) return std::nullopt;
  return std::max(0.0, total_ - Done()) / *rate_;
}

std::string TimeLeft::TextOf(std::optional<double> seconds) {
  if (!seconds) return {};
  const double s = *seconds;
  if (s < 10) return "A few seconds left";
  if (s < 55)
    return "About " + std::to_string(static_cast<int>(std::lround(s / 5) * 5)) + " seconds left";
  const long minutes = std::max(1L, std::lround(s / 60));
  if (minutes == 1) return "About 1 minute left";
  if (minutes < 60) return "About " + std::to_string(minutes) + " minutes left";
  // Past an hour the minutes only matter in fives.
  const long rounded = std::lround(s / 300) * 5;
  const long hours = rounded / 60, rest = rounded % 60;
  std::string text = "About " + std::to_string(hours) + (hours == 1 ? " hour" : " hours");
  if (rest) text += " " + std::to_string(rest) + " minutes";
  return text + " left";
}

}  // namespace wavorax::library
