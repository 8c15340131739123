// What a long batch tells the desktop, each silent when its service is missing: progress on
// the launcher (com.canonical.Unity.LauncherEntry, read by Plasma's task manager and GNOME's
// docks), a notification at the end when the window is not active
// (org.freedesktop.Notifications, with an action that opens the output folder), and an
// inhibitor against suspend and idle while converting (the portal's Inhibit, else logind's).
#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>
#include <functional>

namespace wavorax::ui {

class CDesktopSignals : public QObject {
  Q_OBJECT

 public:
  // `openFolder` runs when the user picks the notification's action.
  explicit CDesktopSignals(std::function<void()> openFolder, QObject* parent = nullptr);
  ~CDesktopSignals() override;

  // Takes the inhibitor.
  void BatchStarted();
  // The fraction done and the files still to convert, on the launcher.
  void Progress(int done, int total);
  // Clears the launcher, releases the inhibitor and, when `notify`, sends the summary.
  void BatchEnded(const QString& summary, bool notify);

  bool inhibited() const { return !portalRequest_.isEmpty() || logindLock_.isValid(); }

 private slots:
  void OnActionInvoked(uint id, const QString& action);

 private:
  void SendLauncher(double progress, qint64 count, bool visible);
  void Release();
  void InhibitThroughLogind();

  std::function<void()> openFolder_;
  QString portalRequest_;               // the portal's request object while inhibited
  QDBusUnixFileDescriptor logindLock_;  // logind's inhibitor, released by closing it
  uint notification_ = 0;
  bool running_ = false;  // between BatchStarted and BatchEnded
};

// "12 files converted, 1 failed", "1 file converted", "2 files failed".
QString BatchSummary(int converted, int failed);

}  // namespace wavorax::ui
