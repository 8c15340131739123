// The window's Add Audio CD where no drive holds an audio disc, as on the machines that run
// the tests: the entry follows Add Folder and says so instead of adding anything.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTemporaryDir>
#include <algorithm>

#include "app/SettingsStore.h"
#include "decoders/cd/CdDisc.h"
#include "tests/uisupport/RecordingMessenger.h"
#include "ui/main/MainDlg.h"

namespace wavorax::ui {
namespace {

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

}  // namespace
}  // namespace wavorax::ui
