// The program as the desktop starts it: its command line, read before any window system is
// touched, and one window per session. ctest runs this under dbus-run-session, so the window
// of the test owns the program's name on a private session bus and the real program, started
// a second time, hands its files to it.
#include <QDBusConnection>
#include <QDir>
#include <QProcess>
#include <filesystem>
#include <fstream>

#include "tests/ui/main/UiFixture.h"
#include "ui/common/Dialogs.h"
#include "ui/main/DesktopLaunch.h"

namespace wavorax::ui::test {
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

}  // namespace
}  // namespace wavorax::ui::test
