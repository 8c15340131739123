// The window with many rows: adding a library of N small files in folders of 100 through the
// window's Add Folder path (offscreen) against `wavorax-cli --list` on the same folder in the
// same run (goal: the window within 1.5x the CLI), then with N rows: sorting by a column,
// Select All and Delete, Remove All, and the start of a batch (goal: each under 1 s), and the
// memory per row above an empty list (goal: at most 1.5 KB). N is 1 000 and 10 000, and
// 100 000 with --large.
//
// Usage: bench_gui_scale [--large]
#include <QApplication>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/SettingsStore.h"
#include "tests/support/TestSupport.h"
#include "ui/main/MainDlg.h"
#include "ui/main/ProgressDlg.h"

using namespace wavorax;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The resident size of this process in kilobytes.
long ResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

void MakeLibrary(const std::string& root, int files) {
  const auto tone = test::Sine(440.0, 8000, 400);
  const std::string one = root + "/template.wav";
  fs::create_directories(root);
  test::WriteWav16(one, tone, 1, 8000);
  for (int i = 0; i < files; ++i) {
    const std::string folder = root + "/album" + std::to_string(i / 100);
    if (i % 100 == 0) fs::create_directories(folder);
    fs::copy_file(one, folder + "/" + std::to_string(i % 100 + 1) + " - Track.wav");
  }
  fs::remove(one);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  std::vector<int> sizes = {1000, 10000};
  if (argc > 1 && std::strcmp(argv[1], "--large") == 0) sizes.push_back(100000);
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
  qputenv("HOME", home.path().toLocal8Bit());
  int argcApp = 1;
  QApplication app(argcApp, argv);
  test::TempDir media;

  std::printf("%8s %10s %10s %6s %8s %12s %11s %11s %8s\n", "rows", "window s", "cli s", "ratio",
              "sort s", "select+del s", "remove all", "batch start", "B/row");
  for (int n : sizes) {
    const std::string root = media / ("lib" + std::to_string(n));
    MakeLibrary(root, n);
    const auto cliStart = Clock::now();
    test::Run(test::ShellQuote(WAVORAX_CLI) + " --list -j 2 " + test::ShellQuote(root) +
              " > /dev/null");
    const double cli = Since(cliStart);

    CSettingsStore store;
    ui::CMainDlg dlg(store, QString());
    dlg.settings().BrowseOutputFolder = 0;
    dlg.show();
    QCoreApplication::processEvents();
    const long before = ResidentKb();
    auto start = Clock::now();
    dlg.AddDropped({QString::fromStdString(root)});
    const double window = Since(start);
    const int rows = dlg.sourceList().RowCount();
    const long perRow = rows ? (ResidentKb() - before) * 1024 / rows : 0;

    start = Clock::now();
    emit dlg.listView()->header()->sectionClicked(kColFile);  // a click on the header
    QCoreApplication::processEvents();
    const double sort = Since(start);

    // The start of a batch: from Convert All to the first file's start, then Cancel.
    double batchStart = -1;
    QTimer watcher;
    watcher.setInterval(0);
    Clock::time_point convertStart;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
      auto* progress = qobject_cast<ui::CConvertProgressDlg*>(dlg.activeProgress());
      if (!progress) return;
      batchStart = Since(convertStart);
      watcher.stop();
      progress->RequestCancel();
    });
    dlg.settings().ConvertJobs = 1;
    dlg.settings().DestOutputFolderOpt = kFolderCustom;
    dlg.settings().DestSpecifiedFolder = media / ("out" + std::to_string(n));
    watcher.start();
    convertStart = Clock::now();
    dlg.ConvertAll();

    start = Clock::now();
    dlg.listView()->selectAll();
    dlg.RemoveSelected();
    QCoreApplication::processEvents();
    const double selectDelete = Since(start);

    dlg.AddDropped({QString::fromStdString(root)});
    start = Clock::now();
    dlg.RemoveAllRows();
    QCoreApplication::processEvents();
    const double removeAll = Since(start);

    std::printf("%8d %10.2f %10.2f %6.2f %8.3f %12.3f %11.3f %11.3f %8ld%s\n", rows, window, cli,
                window / cli, sort, selectDelete, removeAll, batchStart, perRow,
                rows == n ? "" : "  (rows missing)");
    dlg.close();
  }
  return 0;
}
