// The main of every window test: a QApplication on the offscreen platform (CI has no display),
// the recording messenger in place, and a safety net that closes any modal box that still
// appears, so that a fault shows as a failed test instead of a hung one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "tests/uisupport/RecordingMessenger.h"

namespace {

class ClearRecorder : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override { wavorax::ui::Recorder().messages.clear(); }
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_QPA_PLATFORMTHEME", "");
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  wavorax::ui::SetMessenger(&wavorax::ui::Recorder());
  testing::UnitTest::GetInstance()->listeners().Append(new ClearRecorder);

  // A modal window that is still the same one on the next tick (5 to 10 s later) was left
  // open by a fault: fail the test and close it.
  QTimer closer;
  QWidget* seen = nullptr;
  QObject::connect(&closer, &QTimer::timeout, [&seen] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal == seen) {
      ADD_FAILURE() << "a modal window was left open: " << modal->metaObject()->className();
      modal->close();
      modal = nullptr;
    }
    seen = modal;
  });
  closer.start(5000);
  return RUN_ALL_TESTS();
}
