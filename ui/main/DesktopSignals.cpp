#include "ui/main/DesktopSignals.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "ui/main/DesktopLaunch.h"

namespace wavorax::ui {

namespace {

constexpr int kCallTimeoutMs = 3000;
const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");
const QString kNotificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kOpenFolderAction = QStringLiteral("open-folder");

QString AppUri() { return QStringLiteral("application://%1.desktop").arg(kDesktopId); }

}  // namespace

QString BatchSummary(int converted, int failed) {
  // One text for each case, so that every language can say it in its own words.
  if (failed == 0)
    return converted == 1
               ? QCoreApplication::translate("Desktop", "1 file converted")
               : QCoreApplication::translate("Desktop", "%1 files converted").arg(converted);
  if (converted == 0)
    return failed == 1 ? QCoreApplication::translate("Desktop", "1 file failed")
                       : QCoreApplication::translate("Desktop", "%1 files failed").arg(failed);
  return converted == 1
             ? QCoreApplication::translate("Desktop", "1 file converted, %1 failed").arg(failed)
             : QCoreApplication::translate("Desktop", "%1 files converted, %2 failed")
                   .arg(converted)
                   .arg(failed);
}

CDesktopSignals::CDesktopSignals(std::function<void()> openFolder, QObject* parent)
    : QObject(parent), openFolder_(std::move(openFolder)) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected())
    bus.connect(QString(), kNotificationsPath, kNotifications, QStringLiteral("ActionInvoked"),
                this, SLOT(OnActionInvoked(uint, QString)));
}

CDesktopSignals::~CDesktopSignals() {
  running_ = false;
  Release();
}

// Every call is asynchronous: a slow or absent service never holds the window up, and the
// answers arrive through the event loop.
void CDesktopSignals::BatchStarted() {
  Release();
  running_ = true;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  // Suspend (4) and idle (8).
  QDBusMessage call = QDBusMessage::createMethodCall(
      kPortal, QStringLiteral("/org/freedesktop/portal/desktop"),
      QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
  call << QString() << 12u << QVariantMap{{QStringLiteral("reason"), tr("Converting audio files")}};
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *w;
    if (reply.isValid() && !reply.value().path().isEmpty()) {
      portalRequest_ = reply.value().path();
      // The batch may have ended while the portal answered.
      if (!running_) Release();
      return;
    }
    InhibitThroughLogind();
  });
}

// Without the portal, logind's inhibitor lasts as long as its descriptor is open, and so ends
// with the process even when it crashes.
void CDesktopSignals::InhibitThroughLogind() {
  QDBusConnection system = QDBusConnection::systemBus();
  if (!running_ || !system.isConnected()) return;
  QDBusMessage logind = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
      QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
  logind << QStringLiteral("sleep:idle") << QStringLiteral("Wavorax")
         << tr("Converting audio files") << QStringLiteral("block");
  auto* watcher = new QDBusPendingCallWatcher(system.asyncCall(logind, kCallTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
    if (running_ && reply.isValid()) logindLock_ = reply.value();
  });
}

void CDesktopSignals::Progress(int done, int total) {
  if (total <= 0) return;
  SendLauncher(double(done) / double(total), total - done, true);
}

void CDesktopSignals::BatchEnded(const QString& summary, bool notify) {
  running_ = false;
  SendLauncher(0.0, 0, false);
  Release();
  if (!notify) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(kNotifications, kNotificationsPath,
                                                     kNotifications, QStringLiteral("Notify"));
  call << QStringLiteral("Wavorax") << 0u << QStringLiteral("example.quelbrook.Wavorax")
       << tr("Conversion finished") << summary << QStringList{kOpenFolderAction, tr("Open Folder")}
       << QVariantMap{{QStringLiteral("desktop-entry"), QString::fromLatin1(kDesktopId)}} << -1;
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    const QDBusPendingReply<uint> reply = *w;
    if (reply.isValid()) notification_ = reply.value();
  });
}

void CDesktopSignals::OnActionInvoked(uint id, const QString& action) {
  if (id != 0 && id == notification_ && action == kOpenFolderAction && openFolder_) openFolder_();
}

void CDesktopSignals::SendLauncher(double progress, qint64 count, bool visible) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  QDBusMessage signal = QDBusMessage::createSignal(
      QStringLiteral("/example/quelbrook/Wavorax/launcher"),
      QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
  signal << AppUri()
         << QVariantMap{{QStringLiteral("progress"), progress},
                        {QStringLiteral("progress-visible"), visible},
                        {QStringLiteral("count"), count},
                        {QStringLiteral("count-visible"), visible}};
  bus.send(signal);
}

void CDesktopSignals::Release() {
  if (!portalRequest_.isEmpty()) {
    QDBusConnection::sessionBus().asyncCall(
        QDBusMessage::createMethodCall(kPortal, portalRequest_,
                                       QStringLiteral("org.freedesktop.portal.Request"),
                                       QStringLiteral("Close")),
        kCallTimeoutMs);
    portalRequest_.clear();
  }
  logindLock_ = QDBusUnixFileDescriptor();
}

}  // namespace wavorax::ui
