// The program as the desktop starts it: its command line, read before any window system is
// touched, and one window per session. ctest runs this under dbus-run-session, so the window
// of the test owns the program's name on a private session bus and the real program, started
// a second time, hands its files to it.
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDir>
#include <QProcess>
#include <filesystem>
#include <fstream>

#include "tests/ui/main/UiFixture.h"
#include "ui/common/Dialogs.h"
#include "ui/main/DesktopLaunch.h"
#include "ui/main/DesktopSignals.h"

namespace wavorax::ui::test {

// The portal's Inhibit and the request object it hands out, recording the calls.
class CPortalRequest : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")

 public:
  int closes = 0;

 public slots:
  void Close() { ++closes; }
};

class CPortalInhibit : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")

 public:
  std::vector<uint> inhibits;
  CPortalRequest request;

 public slots:
  QDBusObjectPath Inhibit(const QString&, uint flags, const QVariantMap&) {
    inhibits.push_back(flags);
    return QDBusObjectPath(QStringLiteral("/org/freedesktop/portal/desktop/request/1/t"));
  }
};

class CNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  QStringList bodies;
  QVariantMap hints;

 public slots:
  uint Notify(const QString&, uint, const QString&, const QString&, const QString& body,
              const QStringList&, const QVariantMap& h, int) {
    bodies << body;
    hints = h;
    return 7;
  }
};

class CLauncherListener : public QObject {
  Q_OBJECT

 public:
  std::vector<QVariantMap> updates;

 public slots:
  void Update(const QString&, const QVariantMap& properties) { updates.push_back(properties); }
};

namespace {

const QString kProgram = QStringLiteral(WAVORAX_BINARY_DIR "/ui/wavorax");

struct ArgumentsCase {
  const char* name;
  QStringList arguments;  // after argv[0]
  LaunchRequest::Action action;
  QStringList paths;  // expected, relative ones against /work
};

class LaunchArguments : public testing::TestWithParam<ArgumentsCase> {};

TEST_P(LaunchArguments, AreRead) {
  const ArgumentsCase& c = GetParam();
  const LaunchRequest r =
      ParseLaunchArguments(QStringList{QStringLiteral("wavorax")} + c.arguments, "/work");
  EXPECT_EQ(r.action, c.action) << r.text.toStdString();
  EXPECT_EQ(r.paths, c.paths);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LaunchArguments,
    testing::Values(ArgumentsCase{"Paths",
                                  {"a.wav", "/m/b c.flac", "sub/../d.mp3"},
                                  LaunchRequest::Action::Run,
                                  {"/work/a.wav", "/m/b c.flac", "/work/d.mp3"}},
                    ArgumentsCase{
                        "FileUris",
                        {"file:///m/b%20c.flac", "sftp://host/x.wav", "file:///m/Caf%C3%A9/"},
                        LaunchRequest::Action::Run,
                        {"/m/b c.flac", QString::fromUtf8("/m/Caf\xC3\xA9")}},
                    ArgumentsCase{"QtOptionsPass",
                                  {"-platform", "offscreen", "-reverse", "x.cue"},
                                  LaunchRequest::Action::Run,
                                  {"/work/x.cue"}},
                    ArgumentsCase{"Help", {"--help", "a.wav"}, LaunchRequest::Action::Help, {}},
                    ArgumentsCase{"Version", {"-v"}, LaunchRequest::Action::Version, {}},
                    ArgumentsCase{"Unknown", {"--bogus"}, LaunchRequest::Action::Error, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The program's own answers, with a window system that does not exist: any attempt to open a
// window would fail the run.
TEST(LaunchProgram, AnswersWithoutAWindow) {
  for (const auto& [argument, code, text] :
       {std::tuple{"--help", 0, "Usage: wavorax"}, std::tuple{"--version", 0, "wavorax 0."},
        std::tuple{"--frobnicate", 2, "Unknown option 'frobnicate'"}}) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(kProgram, {QString::fromLatin1(argument)});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), code) << argument;
    EXPECT_TRUE(program.readAll().contains(text)) << argument;
  }
}

class SecondStart : public MainWindowFixture {};

TEST_F(SecondStart, HandsItsFilesToTheRunningWindow) {
  Start();
  ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
  CDesktopApplication desktop(*window);
  ASSERT_TRUE(desktop.Claim());
  const std::string first = Tone("first.wav"), second = Tone("second song.wav");
  // The second start gets one path and one URI, from a working folder of its own.
  QProcess program;
  program.setWorkingDirectory(QString::fromStdString(media.path()));
  program.setProcessChannelMode(QProcess::MergedChannels);
  program.start(kProgram, {QStringLiteral("first.wav"),
                           QUrl::fromLocalFile(QString::fromStdString(second)).toString()});
  // The window must answer while the second start waits: the event loop keeps running.
  ASSERT_TRUE(WaitFor([&] { return program.state() == QProcess::NotRunning; }));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0) << program.readAll().toStdString();
  ASSERT_TRUE(WaitFor([&] { return window->sourceList().RowCount() == 2; }));
  EXPECT_EQ(window->sourceList().Text(0, kColFile), "first.wav");
  EXPECT_EQ(window->sourceList().Text(1, kColFile), "second song.wav");
}

// The first run opens the dialogs on the music folder that user-dirs.dirs names.
TEST_F(SecondStart, FirstRunDialogsOpenOnTheMusicFolder) {
  const QString home = QDir::homePath();
  QDir(home).mkpath(QStringLiteral("Tunes"));
  QDir(home).mkpath(QStringLiteral("config"));
  std::ofstream((home + "/config/user-dirs.dirs").toStdString())
      << "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n";
  EXPECT_EQ(DefaultBrowseFolder(), home + QStringLiteral("/Tunes"));
}

// A batch of three files while another window is active: one inhibitor taken and closed, the
// launcher up to 1.0 and then cleared, and one notification with the summary.
TEST_F(SecondStart, LongBatchIsSeenByTheDesktop) {
  QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "services");
  ASSERT_TRUE(bus.isConnected()) << "run under dbus-run-session";
  CPortalInhibit portal;
  CNotifications notifications;
  CLauncherListener launcher;
  ASSERT_TRUE(bus.registerObject("/org/freedesktop/portal/desktop", &portal,
                                 QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(bus.registerObject("/org/freedesktop/portal/desktop/request/1/t", &portal.request,
                                 QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(bus.registerService("org.freedesktop.portal.Desktop"));
  ASSERT_TRUE(bus.registerObject("/org/freedesktop/Notifications", &notifications,
                                 QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(bus.registerService("org.freedesktop.Notifications"));
  ASSERT_TRUE(bus.connect(QString(), QString(), "com.canonical.Unity.LauncherEntry", "Update",
                          &launcher, SLOT(Update(QString, QVariantMap))));

  Start();
  Add({Tone("a.wav"), Tone("b.wav"), Tone("c.wav")});
  ConvertInto(media / "out");
  QWidget other;
  other.show();
  QApplication::setActiveWindow(&other);
  window->ConvertAll();
  ASSERT_TRUE(WaitFor([&] { return !notifications.bodies.isEmpty(); }, 10000));
  EXPECT_EQ(notifications.bodies, QStringList{"3 files converted"});
  EXPECT_EQ(notifications.hints.value("desktop-entry").toString(), kDesktopId);
  EXPECT_EQ(portal.inhibits, std::vector<uint>{12u});
  EXPECT_TRUE(WaitFor([&] { return portal.request.closes == 1; }, 10000));
  ASSERT_TRUE(WaitFor([&] {
    return !launcher.updates.empty() && !launcher.updates.back().value("progress-visible").toBool();
  }));
  double most = 0;
  for (const QVariantMap& u : launcher.updates)
    most = std::max(most, u.value("progress").toDouble());
  EXPECT_DOUBLE_EQ(most, 1.0);
  bus.unregisterService("org.freedesktop.portal.Desktop");
  bus.unregisterService("org.freedesktop.Notifications");
  QDBusConnection::disconnectFromBus("services");
}

TEST(BatchSummaryText, CountsBothKinds) {
  EXPECT_EQ(BatchSummary(12, 1), "12 files converted, 1 failed");
  EXPECT_EQ(BatchSummary(1, 0), "1 file converted");
  EXPECT_EQ(BatchSummary(0, 2), "2 files failed");
}

}  // namespace
}  // namespace wavorax::ui::test

#include "DesktopLaunchTest.moc"
