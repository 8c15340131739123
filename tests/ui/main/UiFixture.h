// What the window tests share: an isolated settings store for the test process,
// tone files, and a main window driven through its real widgets.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/SettingsStore.h"
#include "tests/support/TestSupport.h"
#include "tests/uisupport/RecordingMessenger.h"
#include "ui/main/MainDlg.h"

namespace wavorax::ui::test {

// Points the settings store and the home folder of this test process at a
// folder of its own, before anything reads them.
inline const QString& IsolatedHome() {
  static QTemporaryDir home;
  static const bool set = [] {
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("HOME", home.path().toLocal8Bit());
    return true;
  }();
  (void)set;
  static const QString path = home.path();
  return path;
}

inline QString StoreFile() {
  return IsolatedHome() + QStringLiteral("/config/Quelbrook/Wavorax.conf");
}

// Runs the event loop until `done` holds or the time is up.
inline bool WaitFor(const std::function<bool()>& done, int milliseconds = 20000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

class MainWindowFixture : public testing::Test {
 protected:
  void SetUp() override {
    IsolatedHome();
    // A test may leave a folder where the store belongs (an unwritable store).
    if (QFileInfo(StoreFile()).isDir()) QDir(StoreFile()).removeRecursively();
    QSettings("Quelbrook", "Wavorax").clear();
    QSettings("Quelbrook", "Wavorax").sync();
  }
  void TearDown() override {
    window.reset();
    store.reset();
    QCoreApplication::processEvents();
  }

  // A new store and window, as a fresh start of the program would make them.
  CMainDlg& Start(const QString& helpIndex = {}) {
    window.reset();
    store = std::make_unique<CSettingsStore>();
    window = std::make_unique<CMainDlg>(*store, helpIndex);
    window->move(0, 0);
    window->show();
    QCoreApplication::processEvents();
    return *window;
  }

  // A mono tone of `seconds` as a 16-bit WAV file in the media folder.
  std::string Tone(const std::string& name, int seconds = 1) {
    const std::string path = media / name;
    wavorax::test::WriteWav16(path, wavorax::test::Sine(440.0, 22050, 22050 * seconds), 1, 22050);
    return path;
  }

  void Add(const std::vector<std::string>& paths) { window->AddCollected(paths, nullptr); }

  void Select(const std::vector<int>& rows) {
    auto* selection = window->listView()->selectionModel();
    selection->clearSelection();
    for (int row : rows)
      selection->select(window->listView()->model()->index(row, 0),
                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }

  std::string Status(int row) { return window->sourceList().Text(row, kColStatus); }

  // Outputs go to a folder of their own and nothing is revealed; files convert one at a time
  // unless the test then asks for more.
  void ConvertInto(const std::string& folder) {
    window->settings().ConvertJobs = 1;
    window->settings().DestOutputFolderOpt = kFolderCustom;
    window->settings().DestSpecifiedFolder = folder + "/";
    window->settings().BrowseOutputFolder = 0;
  }

  wavorax::test::TempDir media;
  std::unique_ptr<CSettingsStore> store;
  std::unique_ptr<CMainDlg> window;
};

}  // namespace wavorax::ui::test
