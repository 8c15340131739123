// The time a batch has left, from the audio it has converted and the audio still to come.
// Several files may convert at once, so progress is reported per running file; the rate
// of the whole batch (audio seconds per second) is smoothed so that the estimate does not
// jump when a short file ends or a slow one starts.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

namespace wavorax::library {

class TimeLeft {
 public:
  // Seconds on a steady clock; tests hand in a clock of their own.
  using Clock = std::function<double()>;
  static double SteadySeconds();

  // `totalAudioSeconds`: the length of every file of the batch together. The batch starts
  // now.
  explicit TimeLeft(double totalAudioSeconds, Clock clock = &SteadySeconds);

  // A running file (any key the caller likes: row number, job) has `doneSeconds` of its
  // audio converted.
  void Progress(int file, double doneSeconds);
  // The file ended. `lengthSeconds` counts as done when it converted; a file that failed or
  // was skipped part-way passes what it did, and the rest of its length leaves the total.
  void Finish(int file, double doneSeconds, double lengthSeconds);
  // Audio that will not be converted after all (files found up to date, or cancelled).
  void Drop(double audioSeconds);

  // Seconds left, or nothing during the first five seconds or while no audio has been done.
  std::optional<double> SecondsLeft();
  // Text of SecondsLeft() for a progress window or a terminal line, "" when there is none.
  std::string Text() { return TextOf(SecondsLeft()); }

  static std::string TextOf(std::optional<double> seconds);

 private:
  // Folds the progress since the last sample into the smoothed rate.
  void Sample(double now);
  double Done() const;

  Clock clock_;
  double total_;
  double start_;
  double finished_ = 0;  // audio of ended files
  std::unordered_map<int, double> running_;
  std::optional<double> rate_;  // smoothed audio seconds per second
  double lastTime_ = 0, lastDone_ = 0;
};

}  // namespace wavorax::library
