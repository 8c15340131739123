// How the desktop starts the program: its command line (files, folders and file:// URIs from
// "Open With" and the file manager, --help, --version), and one window per session: the first
// start owns the program's name on the session bus and answers org.freedesktop.Application;
// a later start hands its files to that window and ends.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace wavorax::ui {

class CMainDlg;

// The program's name on the session bus: its desktop-file ID.
inline constexpr const char* kDesktopId = "example.quelbrook.Wavorax";

struct LaunchRequest {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  QString text;       // the help or version text, or the error
  QStringList paths;  // absolute local paths, in the order given
};

// Reads the arguments (argv[0] first). Paths are made absolute against `workingFolder`;
// file:// URIs become their local paths; other URIs are left out.
LaunchRequest ParseLaunchArguments(const QStringList& arguments, const QString& workingFolder);

// The local paths of org.freedesktop.Application.Open's URIs (and plain paths).
QStringList LocalPathsOf(const QStringList& uris, const QString& workingFolder);

// Hands `paths` (or, without paths, only a raise) to the window that already runs in this
// session. False when there is no session bus or no running window: this start runs then.
bool HandToRunningWindow(const QStringList& paths);

// org.freedesktop.Application for the running window. Claim() exports it and takes the name;
// false (and the window simply runs alone) when there is no bus or the name is taken.
class CDesktopApplication : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

 public:
  explicit CDesktopApplication(CMainDlg& window);
  ~CDesktopApplication() override;
  bool Claim();

 public slots:
  void Activate(const QVariantMap& platformData);
  void Open(const QStringList& uris, const QVariantMap& platformData);
  void ActivateAction(const QString& name, const QVariantList& parameter,
                      const QVariantMap& platformData);

 private:
  void Raise();

  CMainDlg& window_;
  bool claimed_ = false;
};

}  // namespace wavorax::ui
