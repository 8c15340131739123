#include "ui/main/DefaultBrowser.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>
#include <string>

#include "base/KeyFile.h"
#include "controls/LinkLabel.h"
#include "ui/common/Messenger.h"

namespace wavorax::ui {

namespace {

// mimeapps.list and desktop entries are small; anything larger is not one.
constexpr std::size_t kMaxKeyFileBytes = 1 << 20;

QString EnvOr(const char* name, const QString& fallback) {
  const QString value = qEnvironmentVariable(name);
  return value.isEmpty() ? fallback : value;
}

QStringList EnvList(const char* name, const QString& fallback) {
  return EnvOr(name, fallback).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

// The value of `key` in the group `group` of a freedesktop key file (a .desktop file or a
// mimeapps.list), or an empty text.
QString KeyFileValue(const QString& path, const QString& group, const QString& key) {
  std::string text;
  if (!ReadKeyFile(path.toStdString(), kMaxKeyFileBytes, text)) return {};
  return QString::fromStdString(
      wavorax::KeyFileValue(text, group.toStdString(), key.toStdString()));
}

// The desktop file id of the user's default web browser: the handler of HTML documents, else
// of http links, from the mimeapps.list files, user's before system's, so that the user's own
// choice wins as it does for every other desktop program.
QString DefaultBrowserId() {
  const QString home = QDir::homePath();
  QStringList lists;
  lists << EnvOr("XDG_CONFIG_HOME", home + QStringLiteral("/.config")) +
               QStringLiteral("/mimeapps.list");
  for (const QString& dir : EnvList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")))
    lists << dir + QStringLiteral("/mimeapps.list");
  lists << EnvOr("XDG_DATA_HOME", home + QStringLiteral("/.local/share")) +
               QStringLiteral("/applications/mimeapps.list");
  for (const QString& dir : EnvList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share")))
    lists << dir + QStringLiteral("/applications/mimeapps.list");
  for (const char* type : {"text/html", "x-scheme-handler/http"}) {
    for (const QString& list : lists) {
      const QString value =
          KeyFileValue(list, QStringLiteral("Default Applications"), QLatin1String(type));
      const QString first = value.section(QLatin1Char(';'), 0, 0).trimmed();
      if (!first.isEmpty()) return first;
    }
  }
  return {};
}

QString FindDesktopFile(const QString& id) {
  QStringList dirs;
  dirs << EnvOr("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
  dirs << EnvList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
  for (const QString& dir : dirs) {
    const QString path = dir + QStringLiteral("/applications/") + id;
    if (QFileInfo(path).isFile()) return path;
  }
  return {};
}

bool IsFileFieldCode(const QString& token) {
  return token.contains(QLatin1String("%u")) || token.contains(QLatin1String("%U")) ||
         token.contains(QLatin1String("%f")) || token.contains(QLatin1String("%F"));
}

}  // namespace

// Starts the default web browser on `link`. The browser's command line is cut where its
// file or URL argument begins (as a Windows desktop cuts at "%1") and the link is appended as
// one argument of its own, so no text of the link reaches a shell.
//
// How a Linux failure maps onto the error texts:
//   no browser named in any mimeapps.list          -> 31 "There is no application associated..."
//   desktop file missing, or without an Exec line  -> 27 "The filename association is..."
//   the browser program does not exist             -> 2  "The specified file was not found."
//   the program exists but could not be started    -> 5  "The operating system denied access..."
int OpenWithDefaultBrowser(const QString& link) {
  const QString id = DefaultBrowserId();
  if (id.isEmpty()) return kNoAssociation;
  const QString desktopFile = FindDesktopFile(id);
  if (desktopFile.isEmpty()) return kAssociationInvalid;
  const QString exec =
      KeyFileValue(desktopFile, QStringLiteral("Desktop Entry"), QStringLiteral("Exec"));
  QStringList args;
  for (const QString& token : QProcess::splitCommand(exec)) {
    if (IsFileFieldCode(token)) break;
    if (token.size() == 2 && token.startsWith(QLatin1Char('%'))) continue;  // %i %c %k
    args << token;
  }
  if (args.isEmpty()) return kAssociationInvalid;
  const QString program = args.takeFirst();
  const QString found = QStandardPaths::findExecutable(program);
  if (found.isEmpty()) return kFileNotFound;
  args << link;
  return QProcess::startDetached(found, args) ? kOpenSucceeded : kAccessDenied;
}

QString LinkErrorText(int code) {
  const char* reason = nullptr;
  switch (code) {
    case 0:
      reason = QT_TRANSLATE_NOOP("Link", "The operating system is out\nof memory or resources.");
      break;
    case 2:
      reason = QT_TRANSLATE_NOOP("Link", "The specified file was not found.");
      break;
    case 3:
      reason = QT_TRANSLATE_NOOP("Link", "The specified path was not found.");
      break;
    case 5:
      reason =
          QT_TRANSLATE_NOOP("Link", "The operating system denied\naccess to the specified file.");
      break;
    case 8:
      reason = QT_TRANSLATE_NOOP("Link", "There was not enough memory to complete the operation.");
      break;
    case 11:
      reason = QT_TRANSLATE_NOOP(
          "Link", "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
      break;
    case 26:
      reason = QT_TRANSLATE_NOOP("Link", "A sharing violation occurred. ");
      break;
    case 27:
      reason = QT_TRANSLATE_NOOP("Link", "The filename association is\nincomplete or invalid.");
      break;
    case 28:
      reason = QT_TRANSLATE_NOOP(
          "Link", "The DDE transaction could not\nbe completed because the request timed out.");
      break;
    case 29:
      reason = QT_TRANSLATE_NOOP("Link", "The DDE transaction failed.");
      break;
    case 30:
      reason = QT_TRANSLATE_NOOP(
          "Link",
          "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
          "being processed.");
      break;
    case 31:
      reason = QT_TRANSLATE_NOOP(
          "Link", "There is no application associated\nwith the given filename extension.");
      break;
    case 32:
      reason = QT_TRANSLATE_NOOP("Link", "The specified dynamic-link library was not found.");
      break;
    default:
      break;
  }
  const QString text =
      reason ? QCoreApplication::translate("Link", reason)
             : QCoreApplication::translate("Link", "Unknown Error (%1) occurred.").arg(code);
  return QCoreApplication::translate("Link", "Unable to open hyperlink:\n\n%1").arg(text);
}

void OpenFailedLinksInBrowser(QWidget* root) {
  for (CLinkLabel* label : root->findChildren<CLinkLabel*>()) {
    QObject::connect(label, &CLinkLabel::openFailed, label, [label](const QString& link) {
      const int result = OpenWithDefaultBrowser(link);
      if (result >= kOpenSucceeded) {
        label->MarkVisited();
        return;
      }
      QApplication::beep();
      ShowWarning(LinkErrorText(result), label->window());
    });
  }
}

}  // namespace wavorax::ui
