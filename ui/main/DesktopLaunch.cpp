#include "ui/main/DesktopLaunch.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QUrl>

#include "ui/main/MainDlg.h"

#ifndef WAVORAX_VERSION
#define WAVORAX_VERSION "0"
#endif

namespace wavorax::ui {

namespace {

const QString kObjectPath = QStringLiteral("/example/quelbrook/Wavorax");
const QString kInterface = QStringLiteral("org.freedesktop.Application");

QString HelpText() {
  return QCoreApplication::translate(
      "Launch",
      "Usage: wavorax [OPTIONS] [FILE...]\n"
      "\n"
      "Opens the Wavorax window with the audio files, folders and file:// URIs given in\n"
      "its list, as a drop onto the window adds them. When Wavorax already runs in this\n"
      "session, they go to its window instead.\n"
      "\n"
      "Options:\n"
      "  -h, --help     show this text\n"
      "  -v, --version  show the version\n"
      "\n"
      "Qt's own options (-platform, -style, -display ...) are taken as well.\n"
      "Conversions from a terminal or a script: wavorax-cli --help\n");
}

}  // namespace

QStringList LocalPathsOf(const QStringList& uris, const QString& workingFolder) {
  QStringList paths;
  const QDir base(workingFolder);
  for (const QString& item : uris) {
    if (item.isEmpty()) continue;
    QString path;
    if (item.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
      const QUrl url(item);
      if (!url.isLocalFile()) continue;
      path = url.toLocalFile();
    } else if (item.contains(QLatin1String("://"))) {
      continue;  // a remote location is nothing the list can hold
    } else {
      path = item;
    }
    if (!path.isEmpty()) paths << QDir::cleanPath(base.absoluteFilePath(path));
  }
  return paths;
}

LaunchRequest ParseLaunchArguments(const QStringList& arguments, const QString& workingFolder) {
  QCommandLineParser parser;
  // Qt's options have a single dash and are read by the application object afterwards;
  // the parser takes them so that they are no error.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
  parser.addOption(help);
  parser.addOption(version);
  for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin", "display",
                           "style", "stylesheet", "session", "qwindowgeometry", "qwindowicon",
                           "qwindowtitle", "name", "title", "visual", "dialogs", "fontengine"})
    parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("x")));
  for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
    parser.addOption(QCommandLineOption(QString::fromLatin1(name)));

  LaunchRequest request;
  if (!parser.parse(arguments)) {
    request.action = LaunchRequest::Action::Error;
    request.text = parser.errorText();
    return request;
  }
  if (parser.isSet(help)) {
    request.action = LaunchRequest::Action::Help;
    request.text = HelpText();
    return request;
  }
  if (parser.isSet(version)) {
    request.action = LaunchRequest::Action::Version;
    request.text = QStringLiteral("wavorax " WAVORAX_VERSION "\n");
    return request;
  }
  request.paths = LocalPathsOf(parser.positionalArguments(), workingFolder);
  return request;
}

bool HandToRunningWindow(const QStringList& paths) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface()) return false;
  const QString name = QString::fromLatin1(kDesktopId);
  if (!bus.interface()->isServiceRegistered(name)) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(
      name, kObjectPath, kInterface,
      paths.isEmpty() ? QStringLiteral("Activate") : QStringLiteral("Open"));
  if (paths.isEmpty()) {
    call << QVariantMap();
  } else {
    QStringList uris;
    for (const QString& path : paths)
      uris << QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
    call << uris << QVariantMap();
  }
  // The running window answers at once; the adding itself runs after the reply.
  const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
  return reply.type() == QDBusMessage::ReplyMessage;
}

CDesktopApplication::CDesktopApplication(CMainDlg& window) : QObject(&window), window_(window) {}

CDesktopApplication::~CDesktopApplication() {
  if (!claimed_) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.unregisterService(QString::fromLatin1(kDesktopId));
  bus.unregisterObject(kObjectPath);
}

bool CDesktopApplication::Claim() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  if (!bus.registerObject(kObjectPath, kInterface, this, QDBusConnection::ExportAllSlots))
    return false;
  if (!bus.registerService(QString::fromLatin1(kDesktopId))) {
    bus.unregisterObject(kObjectPath);
    return false;
  }
  claimed_ = true;
  return true;
}

void CDesktopApplication::Activate(const QVariantMap&) { Raise(); }

void CDesktopApplication::Open(const QStringList& uris, const QVariantMap&) {
  window_.AddFromDesktop(LocalPathsOf(uris, QDir::currentPath()));
  Raise();
}

// The program has no actions of its own; an action asked for only raises the window.
void CDesktopApplication::ActivateAction(const QString&, const QVariantList&, const QVariantMap&) {
  Raise();
}

void CDesktopApplication::Raise() {
  if (window_.isMinimized()) window_.showNormal();
  window_.show();
  window_.raise();
  window_.activateWindow();
}

}  // namespace wavorax::ui
