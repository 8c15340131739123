// wavorax: the desktop program.
#include <QApplication>
#include <QDir>
#include <cstdio>

#include "app/Translations.h"
#include "ui/main/Application.h"
#include "ui/main/DesktopLaunch.h"

int main(int argc, char** argv) {
  using wavorax::ui::LaunchRequest;
  // The command line is read before any window system is touched, so that --help and a
  // wrong option answer without a display.
  // The language follows the locale, for the answer to --help as for the windows.
  wavorax::i18n::LoadTranslations();
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const LaunchRequest request = wavorax::ui::ParseLaunchArguments(arguments, QDir::currentPath());
  switch (request.action) {
    case LaunchRequest::Action::Help:
    case LaunchRequest::Action::Version:
      std::fputs(request.text.toLocal8Bit().constData(), stdout);
      return 0;
    case LaunchRequest::Action::Error:
      std::fprintf(stderr, "wavorax: %s\nTry 'wavorax --help'.\n",
                   request.text.toLocal8Bit().constData());
      return 2;
    case LaunchRequest::Action::Run:
      break;
  }

  QApplication app(argc, argv);
  wavorax::i18n::LoadTranslations();
  QApplication::setApplicationDisplayName(QStringLiteral("Wavorax"));
  QGuiApplication::setDesktopFileName(QString::fromLatin1(wavorax::ui::kDesktopId));
  // One window per session: a later start hands its files over and ends.
  if (wavorax::ui::HandToRunningWindow(request.paths)) return 0;
  wavorax::ui::StartOptions options;
  options.launchPaths = request.paths;
  options.claimSession = true;
  return wavorax::ui::RunProgram(options);
}
