// screenshots_main OUTPUT-FOLDER SCALE: renders the main window (empty and with
// converted rows), both progress windows (converting with one and two files at
// once), the context and help menus and the help window to PNG files; then the
// main window, its menus and the progress windows again in the desktop's look,
// light and dark (desktop-light-*, desktop-dark-*).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>

#include "app/SettingsStore.h"
#include "app/Translations.h"
#include "controls/SkinButton.h"
#include "tests/support/TestSupport.h"
#include "ui/main/HelpWindow.h"
#include "ui/main/MainDlg.h"
#include "ui/main/ProgressDlg.h"

using namespace wavorax;
using namespace wavorax::ui;

namespace {

QString outDir;
QString suffix;
int failures = 0;

QString prefix;  // before each name: the look and scheme of the pictures being made

void Save(const QPixmap& pixmap, const char* name) {
  const QString file =
      outDir + QLatin1Char('/') + prefix + QLatin1String(name) + suffix + QStringLiteral(".png");
  if (!pixmap.save(file)) {
    std::fprintf(stderr, "screenshots_main: cannot write %s\n", qPrintable(file));
    ++failures;
  } else {
    std::printf("%s\n", qPrintable(file));
  }
}

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// The window with a menu open over it, the way the user sees it.
QPixmap WithMenu(CMainDlg& window, QMenu* menu, const QPoint& local) {
  QPixmap shot = window.grab();
  menu->popup(window.mapToGlobal(local));
  Settle();
  const QPixmap menuShot = menu->grab();
  // Drawn where the window puts it; the offscreen screen may be smaller than
  // the window.
  const QPoint at = local;
  const QSize logical = menuShot.deviceIndependentSize().toSize();
  QPixmap canvas(
      QSize(qMax(shot.width(), qCeil((at.x() + logical.width()) * shot.devicePixelRatio())),
            qMax(shot.height(), qCeil((at.y() + logical.height()) * shot.devicePixelRatio()))));
  canvas.setDevicePixelRatio(shot.devicePixelRatio());
  canvas.fill(Qt::white);
  {
    QPainter painter(&canvas);
    painter.drawPixmap(0, 0, shot);
    painter.drawPixmap(at, menuShot);
  }
  menu->hide();
  Settle();
  return canvas;
}

void SaveProgressWindows(CMainDlg& window) {
  const WindowLook look = window.look();
  {
    CProgressDlg adding(&window, look);
    adding.textLabel()->setText(wavorax::i18n::EngineText("Adding file 37 of 120..."));
    adding.bar()->setRange(0, 120);
    adding.bar()->setValue(37);
    adding.ShowCentred();
    Settle();
    Save(adding.grab(), "progress-adding");
    adding.Finish();
  }
  {
    CConvertProgressDlg converting(&window, look);
    converting.SetFileText("Converting Harbour Lights.wav...42%");
    converting.fileBar()->setRange(0, 100);
    converting.fileBar()->setValue(42);
    converting.SetOverallText("Converting 2 of 3 file(s) to MP3...");
    converting.SetOverallRange(3);
    converting.StepOverall();
    converting.StepOverall();
    converting.ShowCentred();
    Settle();
    Save(converting.grab(), "progress-converting");
    converting.Finish();
  }
  {
    // Two files at once: the overall line first, then a line for each running file.
    CConvertProgressDlg converting(&window, look);
    converting.SetOverallRange(3);
    converting.SetJobCount(2);
    converting.SetOverallText("Converting 2 of 3 file(s) to MP3...");
    converting.StepOverall();
    converting.StepOverall();
    converting.SetJobLine(0, "Converting Morning Walk.wav...87%", 87);
    converting.SetJobLine(1, "Converting Harbour Lights.wav...42%", 42);
    if (look == WindowLook::Desktop) converting.SetTimeLeft("About 1 minute left");
    converting.ShowCentred();
    Settle();
    Save(converting.grab(), "progress-converting-two");
    converting.Finish();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: screenshots_main OUTPUT-FOLDER SCALE\n");
    return 2;
  }
  outDir = QString::fromLocal8Bit(argv[1]);
  const QByteArray scale = argv[2];
  qputenv("QT_SCALE_FACTOR", scale);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // A store of its own, so that the pictures do not depend on (or change) the
  // user's settings.
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
  qputenv("HOME", home.path().toLocal8Bit());
  QApplication app(argc, argv);
  // The pictures are in the language of the environment, as the program would be.
  wavorax::i18n::LoadTranslations(QStringLiteral(WAVORAX_BINARY_DIR "/share/wavorax/translations"));
  QDir().mkpath(outDir);
  suffix = QStringLiteral("@") + QString::fromLatin1(scale) + QStringLiteral("x");

  const QString helpIndex = LocalisedHelpIndex(
      QStringLiteral(WAVORAX_BINARY_DIR "/share/wavorax/help"), QLocale::system());
  CSettingsStore store;
  store.TakeFirstRun();  // the help opens on the first run; here it is shown on
                         // its own
  CMainDlg window(store, helpIndex);
  window.move(0, 0);
  window.show();
  Settle();
  Save(window.grab(), "main-empty");

  // Rows after a conversion: three short tones, converted to MP3 into a folder
  // of their own.
  test::TempDir media;
  const char* names[] = {"Morning Walk.wav", "Harbour Lights.wav", "Quiet Streets.wav"};
  const double tones[] = {440.0, 523.25, 659.25};
  std::vector<std::string> paths;
  for (int i = 0; i < 3; ++i) {
    const std::string path = media / names[i];
    test::WriteWav16(path, test::Sine(tones[i], 44100, 44100 * (3 + i)), 1, 44100);
    paths.push_back(path);
  }
  window.settings().BrowseOutputFolder = 0;
  window.settings().DestOutputFolderOpt = kFolderCustom;
  window.settings().DestSpecifiedFolder = media / "out/";
  window.AddCollected(paths, nullptr);
  window.ConvertAll();
  Settle();
  window.listView()->selectionModel()->select(
      window.listView()->model()->index(1, 0),
      QItemSelectionModel::Select | QItemSelectionModel::Rows);
  Settle();
  Save(window.grab(), "main-converted");

  Save(WithMenu(window, window.contextMenu(), QPoint(300, 160)), "context-menu");
  window.helpMenu()->ensurePolished();
  Save(WithMenu(window, window.helpMenu(),
                window.helpCaption()->geometry().bottomLeft() + QPoint(0, 1)),
       "help-menu");

  SaveProgressWindows(window);

  window.OpenHelp();
  Settle();
  if (window.helpWindow()) {
    window.helpWindow()->resize(760, 560);
    Settle();
    Save(window.helpWindow()->grab(), "help-window");
  } else {
    std::fprintf(stderr, "screenshots_main: no help at %s\n", qPrintable(helpIndex));
  }
  window.CloseHelpWindow();

  // The desktop's look, light and dark, with the same rows.
  for (const ColorScheme scheme : {ColorScheme::Light, ColorScheme::Dark}) {
    prefix = scheme == ColorScheme::Dark ? QStringLiteral("desktop-dark-")
                                         : QStringLiteral("desktop-light-");
    window.desktopPalette().ForceScheme(scheme);
    window.SetDesktopLook(true);
    window.move(0, 0);
    Settle();
    Save(window.grab(), "main-converted");
    Save(WithMenu(window, window.contextMenu(), QPoint(360, 160)), "context-menu");
    const QRect help = window.menuBar()->actionGeometry(window.menuBar()->actions().constFirst());
    Save(WithMenu(window, window.helpMenu(), window.menuBar()->mapTo(&window, help.bottomLeft())),
         "help-menu");
    SaveProgressWindows(window);
  }
  window.SetDesktopLook(false);
  prefix.clear();
  window.close();
  Settle();
  return failures == 0 ? 0 : 1;
}
