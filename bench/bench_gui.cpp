// The desktop program's speed:
// - start-up: from starting the process to the first painted main window (goal < 0.5 s), in
//   the skinned look and in the desktop's, against a bare Qt program that paints one empty
//   window of the same size. "bench_gui start" measures only this;
// - adding a folder of 1000 three-second WAV files through the window's adding path (folder
//   scan, probing, rows, progress window, events pumped between files), against
//   `wavorax-cli --list -j 1` on the same folder;
// - converting 40 three-second WAV files to MP3 through the window, one at a time and two at
//   once (the speed-up; goal at least 1.8 on two cores), against `wavorax-cli -j 2` on the same
//   files. "bench_gui convert" measures only this.
// Everything runs on the offscreen platform with a settings store of its own.
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QTemporaryDir>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "app/SettingsStore.h"
#include "tests/support/TestSupport.h"
#include "ui/main/Application.h"
#include "ui/main/MainDlg.h"

using namespace wavorax;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kCli = std::string(WAVORAX_CLI);

// Ends the process once the watched window has painted.
class CFirstPaint : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      QObject::eventFilter(watched, event);
      // The paint being delivered is the first frame; nothing after it is measured.
      QMetaObject::invokeMethod(
          qApp,
          [] {
            std::fflush(stdout);
            _exit(0);
          },
          Qt::QueuedConnection);
    }
    return false;
  }
};

// Child modes: start the program (or a bare window) and exit at its first paint.
int StartChild(bool bare, bool desktopLook = false) {
  if (desktopLook) {
    // A store of its own that asks for the desktop's look.
    qputenv("XDG_CONFIG_HOME", qgetenv("XDG_CONFIG_HOME") + "/desktop-look");
    ConversionSettings settings;
    settings.UseDesktopLook = 1;
    CSettingsStore().SaveSettings(settings, kSaveOptions);
  }
  static int argc = 1;
  static char name[] = "bench_gui";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  CFirstPaint watcher;
  if (bare) {
    QWidget window;
    window.setFixedSize(699, 538);
    window.installEventFilter(&watcher);
    window.show();
    return QApplication::exec();
  }
  ui::StartOptions options;
  options.onShown = [&](ui::CMainDlg& window) { window.installEventFilter(&watcher); };
  return ui::RunProgram(options);
}

double TimeChild(const char* self, const char* mode) {
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execl(self, self, mode, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "bench_gui: %s ended with status %d\n", mode, status);
    return -1;
  }
  return seconds;
}

double BestChild(const char* self, const char* mode, int runs) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) best = std::min(best, TimeChild(self, mode));
  return best;
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Writes `count` three-second stereo tones into `folder`.
void WriteTones(const std::string& folder, int count) {
  std::filesystem::create_directories(folder);
  const auto tone = test::Sine(440.0, 44100, 44100 * 3);
  std::vector<std::int16_t> stereo(tone.size() * 2);
  for (std::size_t i = 0; i < tone.size(); ++i) stereo[2 * i] = stereo[2 * i + 1] = tone[i];
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/tone%04d.wav", i);
    test::WriteWav16(folder + name, stereo, 2, 44100);
  }
}

// Converts every row of a window to MP3 with `jobs` files at once; returns the seconds of the
// Convert command, or -1 when a row did not convert.
double ConvertThroughWindow(const std::string& sources, const std::string& outputs, int jobs) {
  std::filesystem::remove_all(outputs);
  CSettingsStore store;
  ui::CMainDlg dlg(store, QString());
  dlg.show();
  dlg.AddDropped({QString::fromStdString(sources)});
  ConversionSettings& s = dlg.settings();
  s.ConvertJobs = jobs;
  s.DestOutputFolderOpt = kFolderCustom;
  s.DestSpecifiedFolder = outputs + "/";
  s.CreateDirs = 0;
  s.BrowseOutputFolder = 0;
  s.TargetExistsOpt = kExistsOverwrite;
  dlg.formatCombo()->setCurrentIndex(dlg.formatCombo()->findData(kTargetMp3));
  QCoreApplication::processEvents();
  const auto start = Clock::now();
  dlg.ConvertAll();
  const double seconds = Seconds(start);
  for (int row = 0; row < dlg.sourceList().RowCount(); ++row)
    if (!std::filesystem::exists(outputs + "/" + dlg.sourceList().Text(row, kColStatus))) return -1;
  dlg.close();
  return seconds;
}

int BenchConvert(const test::TempDir& media) {
  constexpr int kFiles = 40;
  const std::string folder = media / "convert";
  WriteTones(folder, kFiles);
  double one = 1e9, two = 1e9, cli = 1e9;
  bool failed = false;
  for (int run = 0; run < 3; ++run) {
    const double a = ConvertThroughWindow(folder, media / "out1", 1);
    const double b = ConvertThroughWindow(folder, media / "out2", 2);
    failed = failed || a < 0 || b < 0;
    one = std::min(one, a);
    two = std::min(two, b);
    std::filesystem::remove_all(media / "outcli");
    const auto start = Clock::now();
    const auto result = test::Run(
        test::ShellQuote(kCli) + " -f mp3 -j 2 --if-exists overwrite -o " +
        test::ShellQuote(media / "outcli") + " " + test::ShellQuote(folder) + " >/dev/null");
    cli = std::min(cli, Seconds(start));
    failed = failed || result.exitCode != 0;
  }
  std::printf("\nConverting %d three-second stereo WAV files to MP3 (best of 3, %u CPUs):\n",
              kFiles, std::thread::hardware_concurrency());
  std::printf("  window one at a time %.3f s, two at once %.3f s, speed-up %.2f (goal >= 1.8)\n",
              one, two, one / two);
  std::printf("  wavorax-cli -j 2 %.3f s, window two at once / wavorax-cli %.2f\n", cli, two / cli);
  if (failed) std::fprintf(stderr, "bench_gui: a conversion failed\n");
  return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc > 1 && std::strcmp(argv[1], "--child-program") == 0) return StartChild(false);
  if (argc > 1 && std::strcmp(argv[1], "--child-bare") == 0) return StartChild(true);
  if (argc > 1 && std::strcmp(argv[1], "--child-desktop") == 0) return StartChild(false, true);

  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
  qputenv("HOME", home.path().toLocal8Bit());

  if (argc > 1 && std::strcmp(argv[1], "convert") == 0) {
    int argcApp = 1;
    QApplication app(argcApp, argv);
    test::TempDir media;
    return BenchConvert(media);
  }

  // Start-up. The first start opens the help; the timed ones are the later starts.
  TimeChild(argv[0], "--child-program");
  TimeChild(argv[0], "--child-desktop");
  const double program = BestChild(argv[0], "--child-program", 5);
  const double desktop = BestChild(argv[0], "--child-desktop", 5);
  const double bare = BestChild(argv[0], "--child-bare", 5);
  std::puts("Start to first painted main window (best of 5):");
  std::printf("  wavorax %.3f s, bare Qt window %.3f s, ratio %.2f (goal: wavorax < 0.5 s)\n",
              program, bare, program / bare);
  std::printf("  wavorax in the desktop's look %.3f s, ratio %.2f (goal < 0.5 s)\n", desktop,
              desktop / bare);
  if (argc > 1 && std::strcmp(argv[1], "start") == 0)
    return program > 0 && desktop > 0 && bare > 0 ? 0 : 1;

  // Adding a folder of 1000 three-second files.
  constexpr int kFiles = 1000;
  test::TempDir media;
  const std::string folder = media / "folder";
  WriteTones(folder, kFiles);

  int argcApp = 1;
  QApplication app(argcApp, argv);
  double window = 1e9;
  int rows = 0;
  for (int run = 0; run < 3; ++run) {
    CSettingsStore store;
    ui::CMainDlg dlg(store, QString());
    dlg.show();
    QCoreApplication::processEvents();
    const auto start = Clock::now();
    dlg.AddDropped({QString::fromStdString(folder)});
    window = std::min(window, Seconds(start));
    rows = dlg.sourceList().RowCount();
    dlg.close();
  }
  double cli = 1e9;
  for (int run = 0; run < 3; ++run) {
    const auto start = Clock::now();
    const auto result =
        test::Run(test::ShellQuote(kCli) + " --list -j 1 " + test::ShellQuote(folder));
    cli = std::min(cli, Seconds(start));
    if (result.exitCode != 0) std::fprintf(stderr, "bench_gui: wavorax-cli --list failed\n");
  }
  std::printf("\nAdding a folder of %d three-second stereo files (best of 3, %d rows):\n", kFiles,
              rows);
  std::printf("  window %.3f s (%.0f files/s), wavorax-cli --list -j 1 %.3f s, ratio %.2f\n",
              window, kFiles / window, cli, window / cli);
  const int converted = BenchConvert(media);
  return rows == kFiles && converted == 0 ? 0 : 1;
}
