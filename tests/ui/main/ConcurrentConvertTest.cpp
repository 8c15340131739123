// Converting several files at once from the window, with the real pipelines. The program runs
// with QT_FATAL_WARNINGS set, so a widget touched from a worker thread aborts it.
#include <stdlib.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "base/Paths.h"
#include "tests/ui/main/UiFixture.h"

namespace wavorax::ui::test {
namespace {

namespace fs = std::filesystem;

// Qt warns when it has no runtime folder, which would abort this program; one of its own is made
// before the application starts.
const bool kRuntimeFolder = [] {
  static char folder[] = "/tmp/wavorax-runtime-XXXXXX";
  if (!std::getenv("XDG_RUNTIME_DIR") && ::mkdtemp(folder)) {
    ::setenv("XDG_RUNTIME_DIR", folder, 1);
    std::atexit([] { ::rmdir(folder); });
  }
  return true;
}();

struct RunResult {
  std::vector<std::string> statuses;
  std::vector<std::vector<std::uint8_t>> outputs;  // in the order of the statuses
  int jobLines = 0;
};

class ConcurrentConvert : public MainWindowFixture, public testing::WithParamInterface<int> {
 protected:
  RunResult Convert(int jobs, const std::string& folder) {
    ConvertInto(folder);
    fs::create_directories(folder);
    // Refused before it starts: its status comes from the policy, not a pipeline.
    wavorax::test::WriteFileBytes(folder + "/skip.mp3", {1, 2, 3});
    wavorax::test::WriteFileBytes(folder + "/skip.wav", {1, 2, 3});
    auto& s = window->settings();
    s.ConvertJobs = jobs;
    s.TargetExistsOpt = kExistsSkip;
    // The track number is the file's place in the batch, so any mix-up shows in the bytes.
    s.MP3ID3TagType = kTagAddUser;
    s.MP3ID3Tag.trackMode = 1;
    s.MP3ID3Tag.title = "tone";
    window->formatCombo()->setCurrentIndex(window->formatCombo()->findData(GetParam()));
    RunResult result;
    const auto opened = QObject::connect(
        window.get(), &CMainDlg::progressOpened, window.get(), [&](CProgressBase* p) {
          if (auto* c = qobject_cast<CConvertProgressDlg*>(p))
            result.jobLines = static_cast<int>(c->jobLines().size());
        });
    window->ConvertAll();
    QObject::disconnect(opened);
    for (int row = 0; row < window->sourceList().RowCount(); ++row) {
      result.statuses.push_back(Status(row));
      const std::string out = folder + "/" + Status(row);
      result.outputs.push_back(fs::is_regular_file(out) ? wavorax::test::ReadFileBytes(out)
                                                        : std::vector<std::uint8_t>{});
    }
    return result;
  }
};

TEST_P(ConcurrentConvert, TwoAtOnceGivesTheStatusesAndBytesOfOneAtATime) {
  Start();
  fs::create_directories(media / "a");
  fs::create_directories(media / "b");
  // Two sources of one name in one output folder: the second waits for the first's output and
  // is then skipped, as it is one at a time.
  Add({Tone("a/same.wav", 2), Tone("b/same.wav", 1), Tone("skip.wav"), Tone("c.wav", 3),
       Tone("d.wav", 1)});
  const RunResult one = Convert(1, media / "one");
  const RunResult two = Convert(2, media / "two");
  EXPECT_EQ(one.jobLines, 0);
  EXPECT_EQ(two.jobLines, 2);
  EXPECT_EQ(one.statuses[1], "Target exists and skipped");
  EXPECT_EQ(one.statuses[2], "Target exists and skipped");
  EXPECT_EQ(two.statuses, one.statuses);
  ASSERT_EQ(two.outputs.size(), one.outputs.size());
  int written = 0;
  for (size_t i = 0; i < one.outputs.size(); ++i) {
    written += !one.outputs[i].empty();
    EXPECT_TRUE(two.outputs[i] == one.outputs[i]) << two.statuses[i];
  }
  EXPECT_EQ(written, 3);
  EXPECT_TRUE(window->isEnabled());
  EXPECT_FALSE(window->activeProgress());
  EXPECT_TRUE(Recorder().messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Window, ConcurrentConvert, testing::Values(kTargetMp3, kTargetWav),
                         [](const auto& info) { return info.param == kTargetMp3 ? "Mp3" : "Wav"; });

TEST_F(MainWindowFixture, CancelStopsBothRunningFilesAndRemovesTheirOutputs) {
  Start();
  Add({Tone("long1.wav", 240), Tone("long2.wav", 240), Tone("after.wav")});
  ConvertInto(media / "out");
  window->settings().ConvertJobs = 2;
  window->formatCombo()->setCurrentIndex(window->formatCombo()->findData(kTargetMp3));
  bool bothRunning = false;
  QTimer watcher;
  watcher.setInterval(5);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* progress = qobject_cast<CConvertProgressDlg*>(window->activeProgress());
    if (!progress || progress->jobLines().size() != 2) return;
    for (const auto& [label, bar] : progress->jobLines())
      if (bar->value() < 1) return;
    // Both outputs exist, partly written under their temporary names, when Cancel is pressed.
    int partial = 0;
    for (const auto& e : fs::directory_iterator(media / "out"))
      partial += IsTemporaryOutputName(e.path().filename());
    bothRunning = partial == 2 && !fs::exists(media / "out/long1.mp3") &&
                  !fs::exists(media / "out/long2.mp3");
    watcher.stop();
    QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
  });
  watcher.start();
  window->ConvertAll();
  EXPECT_TRUE(bothRunning);
  EXPECT_EQ(Status(0), "Cancelled");
  EXPECT_EQ(Status(1), "Cancelled");
  EXPECT_EQ(Status(2), "");
  EXPECT_TRUE(fs::is_empty(media / "out"));
  EXPECT_TRUE(window->isEnabled());
  EXPECT_FALSE(window->activeProgress());
}

}  // namespace
}  // namespace wavorax::ui::test
