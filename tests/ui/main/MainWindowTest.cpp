// The main window through its real widgets: menus and keys, the format
// drop-down across restarts, start-up and help, adding by drops, and converting
// with the real pipelines.
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <filesystem>
#include <set>

#include "controls/SkinButton.h"
#include "tests/ui/main/UiFixture.h"
#include "ui/main/Application.h"
#include "ui/main/SourceTableModel.h"

namespace wavorax::ui::test {
namespace {

namespace fs = std::filesystem;
using Cmd = CMainDlg::Command;

// The context menu as the user sees it when it opens: the enabled commands.
std::set<int> EnabledInContextMenu(CMainDlg& window, QPoint* shownAt = nullptr) {
  std::set<int> enabled;
  QObject::connect(
      &window, &CMainDlg::menuAboutToShow, &window,
      [&](QMenu* menu) {
        QTimer::singleShot(0, menu, [&, menu] {
          for (QAction* action : menu->actions())
            if (!action->isSeparator() && action->isEnabled())
              enabled.insert(action->data().toInt());
          if (shownAt) *shownAt = menu->pos();
          menu->close();
        });
      },
      Qt::SingleShotConnection);
  window.ShowContextMenu(window.listView()->mapToGlobal(QPoint(20, 20)));
  return enabled;
}

void Drop(CMainDlg& window, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  if (!enter.isAccepted()) return;
  QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
  QCoreApplication::processEvents();
  WaitFor([&] { return !window.busy(); });
}

QList<QUrl> Urls(const std::vector<std::string>& paths) {
  QList<QUrl> urls;
  for (const auto& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
  return urls;
}

// ---- enabling ----

struct EnablingCase {
  const char* name;
  int rows;                // tones added
  bool convertFirstFails;  // convert all, with the second source gone (its row
                           // fails)
  std::vector<int> selected;
  std::set<int> enabled;  // of the entries whose enabling depends on the list
};

class MenuEnabling : public MainWindowFixture, public testing::WithParamInterface<EnablingCase> {};

TEST_P(MenuEnabling, FollowsRowsSelectionAndOutputs) {
  const EnablingCase& c = GetParam();
  Start();
  std::vector<std::string> paths;
  for (int i = 0; i < c.rows; ++i) paths.push_back(Tone("tone" + std::to_string(i) + ".wav"));
  Add(paths);
  ASSERT_EQ(window->sourceList().RowCount(), c.rows);
  if (c.convertFirstFails) {
    ConvertInto(media / "out");
    window->formatCombo()->setCurrentIndex(window->formatCombo()->findData(kTargetWav));
    fs::remove(paths[1]);  // vanishes between adding and converting
    window->ConvertAll();
    EXPECT_EQ(Status(0), "tone0.wav");
    EXPECT_EQ(Status(1), "Conversion Failure");
    EXPECT_TRUE(window->sourceList().Entry(1).outputPath.empty());
  }
  Select(c.selected);
  const std::set<int> dependent = {
      Cmd::kRemoveAll,  Cmd::kConvertAll,   Cmd::kRemove,          Cmd::kConvertSelected,
      Cmd::kPlaySource, Cmd::kBrowseSource, Cmd::kPlayDestination, Cmd::kBrowseDestination};
  std::set<int> shown;
  for (int command : EnabledInContextMenu(*window))
    if (dependent.count(command)) shown.insert(command);
  EXPECT_EQ(shown, c.enabled);
  const std::set<int> always = {Cmd::kAddFiles, Cmd::kAddFolder};
  for (int command : always) EXPECT_TRUE(window->IsCommandEnabled(command));
  EXPECT_TRUE(Recorder().messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Window, MenuEnabling,
    testing::Values(EnablingCase{"EmptyList", 0, false, {}, {}},
                    EnablingCase{
                        "TwoRowsBothSelected",
                        2,
                        false,
                        {0, 1},
                        {Cmd::kRemoveAll, Cmd::kConvertAll, Cmd::kRemove, Cmd::kConvertSelected}},
                    EnablingCase{"ConvertedRowSelected",
                                 2,
                                 true,
                                 {0},
                                 {Cmd::kRemoveAll, Cmd::kConvertAll, Cmd::kRemove,
                                  Cmd::kConvertSelected, Cmd::kPlaySource, Cmd::kBrowseSource,
                                  Cmd::kPlayDestination, Cmd::kBrowseDestination}},
                    EnablingCase{"FailedRowSelected",
                                 2,
                                 true,
                                 {1},
                                 {Cmd::kRemoveAll, Cmd::kConvertAll, Cmd::kRemove,
                                  Cmd::kConvertSelected, Cmd::kPlaySource, Cmd::kBrowseSource}}),
    [](const testing::TestParamInfo<EnablingCase>& info) { return std::string(info.param.name); });

TEST_F(MainWindowFixture, ContextMenuKeyOpensMenuAtListCentre) {
  Start();
  QPoint shownAt;
  QObject::connect(window.get(), &CMainDlg::menuAboutToShow, window.get(), [&](QMenu* menu) {
    QTimer::singleShot(0, menu, [&, menu] {
      shownAt = menu->pos();
      menu->close();
    });
  });
  QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(0, 0),
                          window->listView()->mapToGlobal(QPoint(0, 0)));
  QApplication::sendEvent(window->listView(), &event);
  EXPECT_EQ(shownAt, window->listView()->mapToGlobal(window->listView()->rect().center()));
}

// ---- keys ----

struct KeyCase {
  const char* name;
  int key;
  std::vector<int> selected;
  int rowsAfter;
};

class Keys : public MainWindowFixture, public testing::WithParamInterface<KeyCase> {};

TEST_P(Keys, ActOnlyWhereEnabled) {
  const KeyCase& c = GetParam();
  Start();
  Add({Tone("a.wav"), Tone("b.wav"), Tone("c.wav")});
  Select(c.selected);
  QApplication::setActiveWindow(window.get());
  window->listView()->setFocus();
  // Through the window system, as a real key press arrives, so that shortcuts
  // see it.
  QTest::keyClick(window->windowHandle(), static_cast<Qt::Key>(c.key));
  QCoreApplication::processEvents();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->sourceList().RowCount(), c.rowsAfter);
  EXPECT_TRUE(Recorder().messages.empty()) << "a key brought up a message";
}

INSTANTIATE_TEST_SUITE_P(Window, Keys,
                         testing::Values(KeyCase{"DeleteWithSelection", Qt::Key_Delete, {0, 2}, 1},
                                         KeyCase{"DeleteWithoutSelection", Qt::Key_Delete, {}, 3},
                                         KeyCase{"Enter", Qt::Key_Return, {1}, 3},
                                         KeyCase{"Escape", Qt::Key_Escape, {1}, 3}),
                         [](const testing::TestParamInfo<KeyCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(MainWindowFixture, FormatChoiceSurvivesRestart) {
  Start();
  QComboBox* combo = window->formatCombo();
  // The six first targets keep their places; the newer ones follow.
  QStringList texts;
  for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
  ASSERT_EQ(texts, QStringList({" to MP3", " to WAV", " to AAC", " to MP4", " to M4A", " to M4B",
                                " to FLAC", " to ALAC", " to Opus", " to OGG"}));
  combo->setCurrentIndex(combo->findText(" to AAC"));
  window->close();
  Start();
  EXPECT_EQ(window->formatCombo()->currentText(), " to AAC");
  EXPECT_EQ(window->settings().OutputFormat, kTargetAac);
}

TEST_F(MainWindowFixture, HeaderClickSortsRowsAndSelectionFollows) {
  Start();
  Add({Tone("long.wav", 3), Tone("short.wav", 1), Tone("mid.wav", 2)});
  Select({0});
  QHeaderView* header = window->listView()->header();
  const QPoint length(header->sectionViewportPosition(kColLength) + 5, header->height() / 2);
  auto order = [&] {
    std::vector<std::string> names;
    for (int r = 0; r < window->listView()->model()->rowCount(); ++r)
      names.push_back(
          window->listView()->model()->index(r, kColFile).data().toString().toStdString());
    return names;
  };
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, length);
  EXPECT_EQ(order(), (std::vector<std::string>{"short.wav", "mid.wav", "long.wav"}));
  EXPECT_EQ(window->SelectedRows(), std::vector<int>{2});
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, length);
  EXPECT_EQ(order(), (std::vector<std::string>{"long.wav", "mid.wav", "short.wav"}));
  EXPECT_EQ(window->SelectedRows(), std::vector<int>{0});
  EXPECT_EQ(window->sourceList().Entry(0).path, media / "long.wav");
}

// ---- the dialogs of Add Files and Add Folder ----

// Runs `act` on the file dialog that the next command opens, once it shows.
void OnNextFileDialog(const std::function<void(QFileDialog&)>& act) {
  auto* poll = new QTimer;
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, [poll, act] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    act(*dialog);
  });
  poll->start();
}

// Chooses `names` in `folder` as a user would: waits until the dialog's folder model lists
// every one of them, then types them into the file-name field and accepts. What the dialog
// returns depends on both the list's selection and the field, which its model fills in
// from another thread and which focus decides whether selectFile may write, so the dialog
// is only accepted once the listing is complete.
void ChooseInDialog(QFileDialog& dialog, const std::string& folder, const QStringList& names) {
  const QString dir = QString::fromStdString(folder);
  dialog.setDirectory(dir);
  auto* model = dialog.findChild<QFileSystemModel*>();
  auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_TRUE(model && field);
  ASSERT_TRUE(WaitFor([&] {
    for (const QString& name : names)
      if (!model->index(dir + QLatin1Char('/') + name).isValid()) return false;
    return true;
  })) << "the dialog never listed the folder";
  QStringList quoted;
  for (const QString& name : names) quoted << QLatin1Char('"') + name + QLatin1Char('"');
  field->setText(names.size() == 1 ? names.front() : quoted.join(QLatin1Char(' ')));
  static_cast<QDialog&>(dialog).accept();
}

TEST_F(MainWindowFixture, CtrlOAddsChosenFilesWhateverTheirExtension) {
  Start();
  window->settings().BatchAddWAV = 0;  // the filter governs folders and drops only
  Tone("a.wav");
  Tone("b.data");
  QStringList filters;
  OnNextFileDialog([&](QFileDialog& dialog) {
    filters = dialog.nameFilters();
    dialog.selectNameFilter(filters.back());  // "All Files", so that b.data is listed too
    ChooseInDialog(dialog, media.path(), {QStringLiteral("a.wav"), QStringLiteral("b.data")});
  });
  QApplication::setActiveWindow(window.get());
  QTest::keyClick(window->windowHandle(), Qt::Key_O, Qt::ControlModifier);
  ASSERT_EQ(filters.size(), 26);
  EXPECT_TRUE(filters.front().startsWith("All Support Formats (*.mp3 *.mp2 *.mp1 *.wav"));
  EXPECT_TRUE(filters[8].startsWith("CD Images (*.cue *.toc *.nrg)"));
  EXPECT_TRUE(filters[21].startsWith("MO3 Musicss"));
  EXPECT_TRUE(filters.back().startsWith("All Files"));
  ASSERT_EQ(window->sourceList().RowCount(), 2);
  EXPECT_EQ(window->sourceList().Entry(0).path, media / "a.wav");
  EXPECT_EQ(window->sourceList().Entry(1).path, media / "b.data");
}

TEST_F(MainWindowFixture, AddFolderSavesTheFolderAndOpensOnItNextTime) {
  Start();
  fs::create_directories(media / "music");
  Tone("music/one.wav");
  OnNextFileDialog([&](QFileDialog& dialog) {
    EXPECT_EQ(dialog.fileMode(), QFileDialog::Directory);
    ChooseInDialog(dialog, media.path(), {QStringLiteral("music")});
  });
  QTest::mouseClick(window->button(Cmd::kAddFolder), Qt::LeftButton);
  EXPECT_EQ(window->sourceList().RowCount(), 1);
  {
    ConversionSettings saved;
    CSettingsStore(StoreFile().toStdString()).LoadSettings(saved);
    EXPECT_EQ(saved.Folder, media / "music/");  // saved at once, not at the end
  }
  window->close();
  Start();
  QString openedOn;
  OnNextFileDialog([&](QFileDialog& dialog) {
    openedOn = dialog.directory().absolutePath();
    dialog.reject();
  });
  QTest::mouseClick(window->button(Cmd::kAddFolder), Qt::LeftButton);
  EXPECT_EQ(openedOn.toStdString(), media / "music");
  EXPECT_EQ(window->sourceList().RowCount(), 0);
  EXPECT_TRUE(Recorder().messages.empty());
}

// ---- start-up and help ----

class HelpFiles : public MainWindowFixture {
 protected:
  QString HelpIndex() {
    wavorax::test::WriteFileBytes(media / "index.html",
                                  {'<', 'p', '>', 'h', 'i', '<', '/', 'p', '>'});
    return QString::fromStdString(media / "index.html");
  }
};

class StartUp : public HelpFiles, public testing::WithParamInterface<bool> {};

TEST_P(StartUp, HelpOpensOnFirstRunOrWhenStoreIsUnwritable) {
  const bool writable = GetParam();
  if (!writable) {
    QFile::remove(StoreFile());
    ASSERT_TRUE(QDir().mkpath(StoreFile()));  // a folder where the file should be
  }
  const QString index = HelpIndex();
  Start(index);
  ASSERT_TRUE(window->helpWindow());
  EXPECT_TRUE(window->helpWindow()->isVisible());
  EXPECT_EQ(window->helpWindow()->windowTitle(), "Wavorax Help");
  window->close();
  Start(index);
  EXPECT_EQ(window->helpWindow() != nullptr, !writable);
  EXPECT_TRUE(Recorder().messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Store, StartUp, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Writable" : "Unwritable");
                         });

TEST_F(HelpFiles, HelpTwiceGivesOneWindowAndClosingMainClosesIt) {
  const QString index = HelpIndex();
  Start(index);  // first run: help opens
  CHelpWindow* first = window->helpWindow();
  ASSERT_TRUE(first);
  first->showMinimized();
  window->Dispatch(Cmd::kHelpTopics);
  QApplication::setActiveWindow(window.get());
  QTest::keyClick(window->windowHandle(), Qt::Key_F1);
  EXPECT_EQ(window->helpWindow(), first);
  EXPECT_FALSE(first->isMinimized());
  int helpWindows = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->windowTitle() == "Wavorax Help" && w->isVisible()) ++helpWindows;
  EXPECT_EQ(helpWindows, 1);
  QPointer<CHelpWindow> watch(first);
  window->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(!watch || !watch->isVisible());
}

TEST_F(HelpFiles, MissingHelpIsSilent) {
  Start(QString::fromStdString(media / "no-help/index.html"));
  window->Dispatch(Cmd::kHelpTopics);
  EXPECT_FALSE(window->helpWindow());
  EXPECT_TRUE(Recorder().messages.empty());
}

TEST_F(MainWindowFixture, AudioLayerFailureStopsBeforeSettings) {
  QFile::remove(StoreFile());
  StartOptions options;
  options.checkVersions = [] { return true; };
  options.startAudioLibrary = [] { return false; };
  bool shown = false;
  options.onShown = [&](CMainDlg&) { shown = true; };
  EXPECT_NE(RunProgram(options), 0);
  EXPECT_FALSE(shown);
  ASSERT_EQ(Recorder().messages.size(), 1u);
  EXPECT_EQ(Recorder().messages[0].icon, MessageIcon::Critical);
  EXPECT_EQ(Recorder().messages[0].text, "Failed to initialize the software (0x0002020).");
  EXPECT_FALSE(QFileInfo::exists(StoreFile()));
}

// ---- adding ----

enum class DropKind { FilteredFolder, LinkToFlac, FifteenUnloadable, RemoteUrl };

class Drops : public MainWindowFixture, public testing::WithParamInterface<DropKind> {};

TEST_P(Drops, AddWhatTheRulesAdmit) {
  Start();
  switch (GetParam()) {
    case DropKind::FilteredFolder: {
      fs::create_directories(media / "folder/sub");
      Tone("folder/one.wav");
      const std::string aiff = Tone("folder/sub/two.aiff");  // WAV data; the decoder probes it
      window->settings().BatchAddWAV = 0;
      Drop(*window, Urls({media / "folder"}));
      ASSERT_EQ(window->sourceList().RowCount(), 1);
      EXPECT_EQ(window->sourceList().Entry(0).path, aiff);
      EXPECT_TRUE(Recorder().messages.empty());
      break;
    }
    case DropKind::LinkToFlac: {
      const std::string flac = Tone("song.flac");
      fs::create_symlink(flac, media / "link-to-song");
      Drop(*window, Urls({media / "link-to-song"}));
      ASSERT_EQ(window->sourceList().RowCount(), 1);
      EXPECT_EQ(window->sourceList().Entry(0).path, flac);
      break;
    }
    case DropKind::FifteenUnloadable: {
      std::vector<std::string> bad;
      for (int i = 0; i < 15; ++i) {
        bad.push_back(media / ("bad" + std::to_string(10 + i) + ".wav"));
        wavorax::test::WriteFileBytes(bad.back(), std::vector<std::uint8_t>(300, 0x5A));
      }
      Drop(*window, Urls(bad));
      EXPECT_EQ(window->sourceList().RowCount(), 0);
      ASSERT_EQ(Recorder().messages.size(), 1u);
      EXPECT_EQ(Recorder().messages[0].icon, MessageIcon::Warning);
      std::string names;
      for (int i = 0; i < 10; ++i) names += bad[i] + "\n";
      EXPECT_EQ(Recorder().messages[0].text.toStdString(),
                "Failed to load the following files.\n\n" + names +
                    "<more files>...\n\nTo get help, please contact "
                    "<support@quelbrook.example>.");
      break;
    }
    case DropKind::RemoteUrl:
      Tone("a.wav");
      Drop(*window, {QUrl("https://example.org/a.wav"),
                     QUrl("sftp://host/" + QString::fromStdString(media / "a.wav"))});
      EXPECT_EQ(window->sourceList().RowCount(), 0);
      EXPECT_TRUE(Recorder().messages.empty());
      break;
  }
  EXPECT_TRUE(window->isEnabled());
  EXPECT_FALSE(window->activeProgress());
}

INSTANTIATE_TEST_SUITE_P(Window, Drops,
                         testing::Values(DropKind::FilteredFolder, DropKind::LinkToFlac,
                                         DropKind::FifteenUnloadable, DropKind::RemoteUrl));

// Three ways to stop a long operation: the progress window's Cancel, a close
// request to the progress window, and a close request to the main window.
enum class StopBy { CancelButton, CloseProgress, CloseMain };

void Stop(CMainDlg& window, StopBy how) {
  CProgressBase* progress = window.activeProgress();
  ASSERT_TRUE(progress);
  if (how == StopBy::CancelButton) QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
  if (how == StopBy::CloseProgress) progress->close();
  if (how == StopBy::CloseMain) window.close();
}

class CancelAdding : public MainWindowFixture, public testing::WithParamInterface<StopBy> {};

TEST_P(CancelAdding, StopsAfterTheFileInProgress) {
  Start();
  std::vector<std::string> paths;
  for (int i = 0; i < 40; ++i) paths.push_back(Tone("t" + std::to_string(100 + i) + ".wav"));
  bool disabledMeanwhile = false;
  QTimer watcher;
  watcher.setInterval(0);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    CProgressBase* progress = window->activeProgress();
    if (!qobject_cast<CProgressDlg*>(progress) || window->sourceList().RowCount() < 5) return;
    disabledMeanwhile = !window->isEnabled() && progress->isEnabled();
    watcher.stop();
    Stop(*window, GetParam());
  });
  watcher.start();
  Drop(*window, Urls(paths));
  EXPECT_TRUE(disabledMeanwhile);
  const int rows = window->sourceList().RowCount();
  EXPECT_GE(rows, 5);
  EXPECT_LT(rows, 40);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->isEnabled());
  EXPECT_FALSE(window->activeProgress());
  EXPECT_TRUE(Recorder().messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Window, CancelAdding,
                         testing::Values(StopBy::CancelButton, StopBy::CloseProgress,
                                         StopBy::CloseMain));

// ---- converting ----

TEST_F(MainWindowFixture, ConvertWritesStatusTexts) {
  Start();
  const std::string gone = Tone("gone.wav");
  Add({Tone("first.wav"), gone, Tone("third.wav"), Tone("same.wav")});
  fs::remove(gone);
  ConvertInto(media / "out");
  fs::create_directories(media / "out");
  wavorax::test::WriteFileBytes(media / "out/same.mp3", {1, 2, 3});
  window->settings().TargetExistsOpt = kExistsSkip;
  window->formatCombo()->setCurrentIndex(window->formatCombo()->findData(kTargetMp3));
  std::vector<QString> seen;
  QObject::connect(window.get(), &CMainDlg::rowStatusChanged, window.get(),
                   [&](int row, const QString& text) {
                     if (row == 0) seen.push_back(text);
                   });
  QTest::mouseClick(window->button(Cmd::kConvertAll), Qt::LeftButton);
  EXPECT_EQ(seen, (std::vector<QString>{"Converting...", "first.mp3"}));
  EXPECT_EQ(Status(0), "first.mp3");
  EXPECT_EQ(Status(1), "Conversion Failure");
  EXPECT_EQ(Status(2), "third.mp3");
  EXPECT_EQ(Status(3), "Target exists and skipped");
  EXPECT_EQ(window->listView()->model()->index(2, kColStatus).data().toString(), "third.mp3");
  EXPECT_TRUE(fs::file_size(media / "out/first.mp3") > 0);
  EXPECT_TRUE(window->isEnabled());
  EXPECT_FALSE(window->activeProgress());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(Recorder().messages.empty());
}

class CancelConverting : public MainWindowFixture, public testing::WithParamInterface<StopBy> {};

TEST_P(CancelConverting, DuringFileTwoOfFive) {
  Start();
  std::vector<std::string> paths;
  for (int i = 0; i < 5; ++i) paths.push_back(Tone("n" + std::to_string(i) + ".wav", 3));
  Add(paths);
  ConvertInto(media / "out");
  window->formatCombo()->setCurrentIndex(window->formatCombo()->findData(kTargetWav));
  bool waitCursor = false, disabled = false;
  QString overall;
  QObject::connect(
      window.get(), &CMainDlg::rowStatusChanged, window.get(), [&](int row, const QString& text) {
        if (row != 1 || text != "Converting...") return;
        QTimer::singleShot(0, window.get(), [&] {
          auto* progress = qobject_cast<CConvertProgressDlg*>(window->activeProgress());
          ASSERT_TRUE(progress);
          overall = progress->overallLabel()->text();
          waitCursor = QApplication::overrideCursor() &&
                       QApplication::overrideCursor()->shape() == Qt::WaitCursor;
          disabled = !window->isEnabled() && progress->isEnabled();
          Stop(*window, GetParam());
        });
      });
  window->ConvertAll();
  EXPECT_EQ(overall, "Converting 2 of 5 file(s) to WAV...");
  EXPECT_TRUE(waitCursor);
  EXPECT_TRUE(disabled);
  EXPECT_EQ(Status(0), "n0.wav");
  EXPECT_EQ(Status(1), "Cancelled");
  for (int row = 2; row < 5; ++row) EXPECT_EQ(Status(row), "");
  EXPECT_TRUE(fs::exists(media / "out/n0.wav"));
  EXPECT_FALSE(fs::exists(media / "out/n1.wav"));
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->isEnabled());
  EXPECT_FALSE(window->activeProgress());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Window, CancelConverting,
                         testing::Values(StopBy::CancelButton, StopBy::CloseProgress,
                                         StopBy::CloseMain));

}  // namespace
}  // namespace wavorax::ui::test

namespace wavorax::ui::test {
namespace {

// What a screen reader hears of each control, and the order Tab visits them in.
struct AccessibleCase {
  const char* name;  // the accessible name
  QAccessible::Role role;
  std::function<QWidget*(CMainDlg&)> widget;
};

struct AccessibleLook {
  WindowLook look;
  std::vector<AccessibleCase> cases;
};

void PrintTo(const AccessibleLook& param, std::ostream* os) {
  *os << (param.look == WindowLook::Desktop ? "desktop look, " : "skinned look, ")
      << param.cases.size() << " controls";
}

// A window that opens in the look asked for, as a start with that setting stored does.
class LookFixture : public MainWindowFixture {
 protected:
  CMainDlg& StartIn(WindowLook look) {
    ConversionSettings stored;
    stored.UseDesktopLook = look == WindowLook::Desktop ? 1 : 0;
    CSettingsStore().SaveSettings(stored, kSaveOptions);
    Start();
    EXPECT_EQ(window->look(), look);
    return *window;
  }
};

class Accessible : public LookFixture, public testing::WithParamInterface<AccessibleLook> {};

TEST_P(Accessible, ControlsAreNamedAndTabVisitsThemInOrder) {
  StartIn(GetParam().look);
  QApplication::setActiveWindow(window.get());
  window->listView()->setFocus();
  for (const AccessibleCase& c : GetParam().cases) {
    QWidget* widget = c.widget(*window);
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget);
    ASSERT_NE(a, nullptr) << c.name;
    EXPECT_EQ(a->text(QAccessible::Name), QString::fromUtf8(c.name));
    EXPECT_FALSE(a->text(QAccessible::Description).isEmpty()) << c.name;
    EXPECT_EQ(a->role(), c.role) << c.name;
    EXPECT_TRUE(a->state().focusable) << c.name;
    EXPECT_EQ(QApplication::focusWidget(), widget) << c.name << " is not where Tab went";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  // Round the window and back to the list.
  EXPECT_EQ(QApplication::focusWidget(), window->listView());
}

AccessibleCase Command(const char* name, int command) {
  return {name, QAccessible::Button, [command](CMainDlg& w) { return w.commandButton(command); }};
}

INSTANTIATE_TEST_SUITE_P(
    Window, Accessible,
    testing::Values(
        AccessibleLook{
            WindowLook::Skinned,
            {{"Files", QAccessible::Tree, [](CMainDlg& w) { return w.listView(); }},
             {"Add Files", QAccessible::Button,
              [](CMainDlg& w) { return w.button(CMainDlg::kAddFiles); }},
             {"Add Folder", QAccessible::Button,
              [](CMainDlg& w) { return w.button(CMainDlg::kAddFolder); }},
             {"Remove All", QAccessible::Button,
              [](CMainDlg& w) { return w.button(CMainDlg::kRemoveAll); }},
             {"Convert", QAccessible::Button,
              [](CMainDlg& w) { return w.button(CMainDlg::kConvertAll); }},
             // A combo box is read by its current item; its description says what it is for.
             {" to MP3", QAccessible::ComboBox, [](CMainDlg& w) { return w.formatCombo(); }},
             {"Options", QAccessible::Button,
              [](CMainDlg& w) { return w.button(CMainDlg::kOptions); }},
             {"wavorax.example", QAccessible::Button, [](CMainDlg& w) { return w.linkButton(); }},
             {"Help", QAccessible::Button, [](CMainDlg& w) { return w.helpCaption(); }},
             {"Minimize", QAccessible::Button, [](CMainDlg& w) { return w.minimiseCaption(); }},
             {"Close", QAccessible::Button, [](CMainDlg& w) { return w.closeCaption(); }}}},
        // The window system's caption has Minimize and Close, the menu bar has Help.
        AccessibleLook{
            WindowLook::Desktop,
            {{"Files", QAccessible::Tree, [](CMainDlg& w) { return w.listView(); }},
             Command("Add Files", CMainDlg::kAddFiles),
             Command("Add Folder", CMainDlg::kAddFolder),
             Command("Remove All", CMainDlg::kRemoveAll),
             Command("Convert", CMainDlg::kConvertAll),
             {" to MP3", QAccessible::ComboBox, [](CMainDlg& w) { return w.formatCombo(); }},
             Command("Options", CMainDlg::kOptions),
             Command("wavorax.example", CMainDlg::kHomepage)}}));

// ---- the two looks ----

class BothLooks : public LookFixture, public testing::WithParamInterface<WindowLook> {};

std::string LookName(const testing::TestParamInfo<WindowLook>& info) {
  return info.param == WindowLook::Desktop ? "Desktop" : "Skinned";
}

TEST_P(BothLooks, CommandsKeysAndProgressWindowsWorkTheSame) {
  const WindowLook look = GetParam();
  StartIn(look);
  const bool desktop = look == WindowLook::Desktop;
  EXPECT_EQ(window->windowFlags().testFlag(Qt::FramelessWindowHint), !desktop);
  EXPECT_EQ(window->minimumSize() == window->maximumSize(), !desktop) << "resizable";
  const std::pair<int, const char*> texts[] = {{Cmd::kAddFiles, "&Add Files"},
                                               {Cmd::kAddFolder, "Add &Folder"},
                                               {Cmd::kRemoveAll, "Remove A&ll"},
                                               {Cmd::kConvertAll, "&Convert"},
                                               {Cmd::kOptions, "&Options"}};
  for (const auto& [command, text] : texts) {
    ASSERT_TRUE(window->commandButton(command)) << text;
    EXPECT_EQ(window->commandButton(command)->text(), text);
    EXPECT_TRUE(window->commandButton(command)->isVisible()) << text;
  }
  // Counted, not collected by address: the second window may take the first one's memory.
  std::size_t opened = 0;
  QObject::connect(window.get(), &CMainDlg::progressOpened, window.get(), [&](CProgressBase* p) {
    EXPECT_EQ(p->look(), look);
    EXPECT_EQ(p->windowFlags().testFlag(Qt::FramelessWindowHint), !desktop);
    ++opened;
  });
  Drop(*window, Urls({Tone("a.wav"), Tone("b.wav"), Tone("c.wav")}));
  ASSERT_EQ(window->sourceList().RowCount(), 3);
  Select({1});
  QApplication::setActiveWindow(window.get());
  window->listView()->setFocus();
  QTest::keyClick(window->windowHandle(), Qt::Key_Delete);
  ASSERT_EQ(window->sourceList().RowCount(), 2);
  ConvertInto(media / "out");
  window->formatCombo()->setCurrentIndex(window->formatCombo()->findData(kTargetWav));
  QTest::mouseClick(window->commandButton(Cmd::kConvertAll), Qt::LeftButton);
  EXPECT_EQ(Status(0), "a.wav");
  EXPECT_EQ(Status(1), "c.wav");
  EXPECT_EQ(opened, 2u) << "adding and converting each open a progress window";
  QTest::mouseClick(window->commandButton(Cmd::kRemoveAll), Qt::LeftButton);
  EXPECT_EQ(window->sourceList().RowCount(), 0);
  EXPECT_TRUE(Recorder().messages.empty());
}

TEST_P(BothLooks, SwitchingAtOnceKeepsRowsSelectionAndFormat) {
  const WindowLook from = GetParam();
  const WindowLook to = from == WindowLook::Desktop ? WindowLook::Skinned : WindowLook::Desktop;
  StartIn(from);
  Add({Tone("a.wav"), Tone("b.wav"), Tone("c.wav")});
  Select({2});
  window->formatCombo()->setCurrentIndex(window->formatCombo()->findData(kTargetFlac));
  QAction* entry = window->action(Cmd::kDesktopLook);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->isChecked(), from == WindowLook::Desktop);
  entry->trigger();  // the help menu's entry
  EXPECT_EQ(window->look(), to);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(entry->isChecked(), to == WindowLook::Desktop);
  EXPECT_EQ(window->listView()->model()->rowCount(), 3);
  EXPECT_EQ(window->SelectedRows(), std::vector<int>{2});
  EXPECT_EQ(window->SelectedFormatCode(), kTargetFlac);
  EXPECT_TRUE(window->listView()->isVisible());
  EXPECT_TRUE(window->formatCombo()->isVisible());
  if (to == WindowLook::Skinned) {
    EXPECT_EQ(window->size(), QSize(699, 538));
    EXPECT_EQ(window->listView()->geometry(), QRect(137, 63, 552, 465));
  }
  // The choice is stored: the next start opens in the new look.
  window->close();
  Start();
  EXPECT_EQ(window->look(), to);
}

INSTANTIATE_TEST_SUITE_P(Window, BothLooks,
                         testing::Values(WindowLook::Skinned, WindowLook::Desktop), LookName);

TEST_F(LookFixture, DesktopWindowSizeAndColumnsAreRemembered) {
  StartIn(WindowLook::Desktop);
  window->resize(1000, 640);
  window->listView()->setColumnWidth(kColFile, 310);
  QCoreApplication::processEvents();
  // Through the skinned look and back within the run, and across a restart.
  window->SetDesktopLook(false);
  EXPECT_EQ(window->listView()->columnWidth(kColFile), CSourceTableModel::ColumnWidth(kColFile));
  window->SetDesktopLook(true);
  EXPECT_EQ(window->size(), QSize(1000, 640));
  window->resize(1100, 700);
  window->close();
  StartIn(WindowLook::Desktop);
  EXPECT_EQ(window->size(), QSize(1100, 700));
  EXPECT_EQ(window->listView()->columnWidth(kColFile), 310);
}

}  // namespace
}  // namespace wavorax::ui::test
