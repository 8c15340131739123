// The time a batch has left, on a clock the test moves: two jobs at once over files of known
// lengths, and the texts.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/library/TimeLeft.h"

namespace wavorax::library {
namespace {

TEST(TimeLeftBatch, FollowsTwoJobsWithoutJumping) {
  // Each job converts 4 s of audio per second; the files are taken in order by whichever
  // job is free.
  const std::vector<double> lengths = {120, 60, 300, 30, 90, 200, 45, 155};
  double total = 0;
  for (double l : lengths) total += l;
  double now = 100;
  TimeLeft left(total, [&] { return now; });
  struct Job {
    int file = -1;
    double done = 0;
  } jobs[2];
  std::size_t next = 0;
  double audioLeft = total;
  std::optional<double> previous;
  for (int tick = 0; audioLeft > 0; ++tick) {
    for (int j = 0; j < 2; ++j) {
      Job& job = jobs[j];
      if (job.file < 0 && next < lengths.size()) job = {static_cast<int>(next++), 0};
      if (job.file < 0) continue;
      const double step = std::min(2.0, lengths[job.file] - job.done);  // 0.5 s at 4x
      job.done += step;
      audioLeft -= step;
      if (job.done >= lengths[job.file]) {
        left.Finish(job.file, job.done, lengths[job.file]);
        job.file = -1;
      } else {
        left.Progress(job.file, job.done);
      }
    }
    now += 0.5;
    const std::optional<double> estimate = left.SecondsLeft();
    if (now - 100 < 5) {
      EXPECT_FALSE(estimate) << now;
      continue;
    }
    ASSERT_TRUE(estimate) << now;
    // While both jobs run, the batch does 8 s of audio per second.
    if (next < lengths.size()) {
      EXPECT_NEAR(*estimate, audioLeft / 8, 0.1 * audioLeft / 8 + 1) << now;
      if (previous) {
        EXPECT_LT(std::abs(*estimate - *previous), 2) << now;
      }
    }
    previous = estimate;
  }
  EXPECT_EQ(left.Text(), "A few seconds left");
}

struct TextCase {
  std::optional<double> seconds;
  const char* text;
};

class TimeLeftText : public ::testing::TestWithParam<TextCase> {};

TEST_P(TimeLeftText, IsShortAndRounded) {
  EXPECT_EQ(TimeLeft::TextOf(GetParam().seconds), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TimeLeftText,
    ::testing::Values(TextCase{std::nullopt, ""}, TextCase{3, "A few seconds left"},
                      TextCase{42, "About 40 seconds left"}, TextCase{70, "About 1 minute left"},
                      TextCase{185, "About 3 minutes left"}, TextCase{3580, "About 1 hour left"},
                      TextCase{4800, "About 1 hour 20 minutes left"},
                      TextCase{7300, "About 2 hours left"}));

}  // namespace
}  // namespace wavorax::library
