// Start and end of the desktop program: the codec libraries' checks and
// settings, the main window for the rest of the run, and the failure box when
// the audio layer cannot start.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

namespace wavorax::ui {

class CMainDlg;

struct StartOptions {
  // The runtime libraries are the ones the program was built against.
  std::function<bool()> checkVersions;
  // The audio layer can decode: its demuxers and decoders are present.
  std::function<bool()> startAudioLibrary;
  QString helpIndex;
  // Runs once the main window is shown, before the event loop (tests and the
  // benchmark).
  std::function<void(CMainDlg&)> onShown;
  // Files and folders from the command line, added once the window is shown.
  QStringList launchPaths;
  // Whether the window answers later starts on the session bus (org.freedesktop.Application).
  bool claimSession = false;
};

// The program's own checks, used when StartOptions leaves them empty.
bool CheckRuntimeLibraries();
bool StartAudioLibrary();

// Runs the program inside an existing QApplication and returns its exit code. A
// version mismatch ends it silently; an audio layer that cannot start ends it
// with the critical message, before any settings are read or written.
int RunProgram(const StartOptions& options);

}  // namespace wavorax::ui
