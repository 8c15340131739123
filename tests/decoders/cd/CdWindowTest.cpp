// The window and CD audio: Add Audio CD where no drive holds an audio disc, as on the machines that
// run the tests, and Cancel while the drive is stuck on a sector.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "app/SettingsStore.h"
#include "base/CdTrackPath.h"
#include "decoders/cd/CdDecoder.h"
#include "decoders/cd/CdDisc.h"
#include "tests/decoders/cd/CdImages.h"
#include "tests/ui/main/UiFixture.h"
#include "tests/uisupport/RecordingMessenger.h"
#include "ui/main/MainDlg.h"
#include "ui/main/ProgressDlg.h"

namespace wavorax::ui {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

TEST(CdWindow, AddAudioCdWithoutAnAudioDiscSaysSo) {
  if (!AudioCdDrives().empty()) GTEST_SKIP() << "a drive holds an audio CD";
  QTemporaryDir home;
  qputenv("HOME", home.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
  CSettingsStore store(home.filePath(QStringLiteral("Wavorax.conf")).toStdString());
  CMainDlg window(store, {});
  const QList<QAction*> entries = window.contextMenu()->actions();
  const auto folder =
      std::find(entries.begin(), entries.end(), window.action(CMainDlg::kAddFolder));
  ASSERT_NE(folder, entries.end());
  ASSERT_NE(folder + 1, entries.end());
  EXPECT_EQ((*(folder + 1))->text(), QStringLiteral("Add Audio &CD"));

  Recorder().messages.clear();
  window.Dispatch(CMainDlg::kAddAudioCd);
  ASSERT_EQ(Recorder().messages.size(), 1u);
  EXPECT_EQ(Recorder().messages[0].icon, MessageIcon::Information);
  EXPECT_EQ(Recorder().messages[0].text, QStringLiteral("There is no audio CD in any drive."));
  EXPECT_EQ(window.sourceList().RowCount(), 0);
}

// A drive that spends up to a minute on a sector, as one retrying a scratch can, with the files
// converted one at a time (on the window's own thread) or two at a time.
class SlowDrive : public test::MainWindowFixture, public testing::WithParamInterface<int> {
 protected:
  void TearDown() override {
    SetCdReadHookForTesting(nullptr);
    MainWindowFixture::TearDown();
  }
};

TEST_P(SlowDrive, WindowStaysAliveAndCancelStopsWithinASecond) {
  Start();
  const wavorax::test::CdImage image = wavorax::test::MakeCdImage(media.path());
  // Shared with the hook, which a reading thread may still be leaving after the test.
  struct Drive {
    std::atomic<int> reads{0};
    std::atomic<bool> stuck{false}, released{false};
  };
  auto drive = std::make_shared<Drive>();
  SetCdReadHookForTesting([drive](long, const std::atomic<bool>& abandoned) {
    if (++drive->reads < 3) return;
    drive->stuck = true;
    const auto end = Clock::now() + std::chrono::seconds(60);
    while (!abandoned && Clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    drive->released = true;
  });
  Add({CdTrackPath(image.cue, 1), CdTrackPath(image.cue, 2)});
  ConvertInto(media / "out");
  window->settings().ConvertJobs = GetParam();
  window->formatCombo()->setCurrentIndex(window->formatCombo()->findData(kTargetWav));

  int ticksWhileStuck = 0;
  Clock::time_point pressed;
  QTimer watcher;
  watcher.setInterval(5);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* progress = window->activeProgress();
    if (!progress || !drive->stuck) return;
    if (++ticksWhileStuck < 20) return;
    watcher.stop();
    pressed = Clock::now();
    QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
  });
  watcher.start();
  window->ConvertAll();
  const auto stopped = Clock::now();
  ASSERT_TRUE(drive->stuck);
  EXPECT_GE(ticksWhileStuck, 20);
  EXPECT_LT(stopped - pressed, std::chrono::seconds(1));
  EXPECT_EQ(Status(0), "Cancelled");
  EXPECT_TRUE(!fs::exists(media / "out") || fs::is_empty(media / "out"));
  // The read left behind in the drive is let go of at once, not after its minute.
  EXPECT_TRUE(test::WaitFor([&] { return drive->released.load(); }, 2000));
  EXPECT_TRUE(window->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Jobs, SlowDrive, testing::Values(1, 2));

}  // namespace
}  // namespace wavorax::ui
