#include "controls/LinkLabel.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimerEvent>
#include <QUrl>

#include "ui/common/Messenger.h"

namespace wavorax::ui {

namespace {

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
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  QTextStream in(&file);
  bool inGroup = false;
  const QString header = QLatin1Char('[') + group + QLatin1Char(']');
  while (!in.atEnd()) {
    const QString line = in.readLine().trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inGroup = line == header;
      continue;
    }
    if (!inGroup) continue;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq > 0 && line.left(eq).trimmed() == key) return line.mid(eq + 1).trimmed();
  }
  return {};
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
  if (id.isEmpty()) return CLinkLabel::kNoAssociation;
  const QString desktopFile = FindDesktopFile(id);
  if (desktopFile.isEmpty()) return CLinkLabel::kAssociationInvalid;
  const QString exec =
      KeyFileValue(desktopFile, QStringLiteral("Desktop Entry"), QStringLiteral("Exec"));
  QStringList args;
  for (const QString& token : QProcess::splitCommand(exec)) {
    if (IsFileFieldCode(token)) break;
    if (token.size() == 2 && token.startsWith(QLatin1Char('%'))) continue;  // %i %c %k
    args << token;
  }
  if (args.isEmpty()) return CLinkLabel::kAssociationInvalid;
  const QString program = args.takeFirst();
  const QString found = QStandardPaths::findExecutable(program);
  if (found.isEmpty()) return CLinkLabel::kFileNotFound;
  args << link;
  return QProcess::startDetached(found, args) ? CLinkLabel::kOpenSucceeded
                                              : CLinkLabel::kAccessDenied;
}

}  // namespace

CLinkLabel::CLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setMouseTracking(true);
  setCursor(Qt::PointingHandCursor);
  setTextFormat(Qt::PlainText);
  standardFont_ = font();
  underlineFont_ = standardFont_;
  underlineFont_.setUnderline(true);
  ApplyLook();
}

CLinkLabel::~CLinkLabel() { hoverTimer_.stop(); }

void CLinkLabel::SetLink(const QString& link) {
  link_ = link;
  if (text().isEmpty()) setText(link_);
  setToolTip(link_);
  FitToText();
}

void CLinkLabel::SetUnderlineMode(int mode) {
  if (mode == underlineMode_) return;
  underlineMode_ = mode;
  ApplyLook();
}

void CLinkLabel::FitToText() {
  if (!adjustToFit_) return;
  const QSize text = QFontMetrics(underlineFont_).size(Qt::TextSingleLine, this->text());
  // The border is what the frame, the contents margins and the label's margin take.
  const int w = text.width() + (width() - contentsRect().width()) + 2 * margin();
  const int h = text.height() + (height() - contentsRect().height()) + 2 * margin();
  QRect r = geometry();
  const Qt::Alignment align = alignment();
  if (align & Qt::AlignVCenter) {
    r = QRect(r.left(), r.top() + (r.height() - h) / 2, r.width(), h);
  } else {
    r.setHeight(h);
  }
  if (align & Qt::AlignHCenter) {
    r = QRect(r.left() + (r.width() - w) / 2, r.top(), w, r.height());
  } else if (align & Qt::AlignRight) {
    r.setLeft(r.right() + 1 - w);
  } else {
    r.setWidth(w);
  }
  // Fixed, so that a layout holding the label keeps the size of its text.
  setFixedSize(r.size());
  setGeometry(r);
}

QColor CLinkLabel::TextColour() const {
  if (overControl_) return kHoverColour;
  return visited_ ? kVisitedColour : kLinkColour;
}

void CLinkLabel::ApplyLook() {
  applyingLook_ = true;
  const bool underline = underlineMode_ == 1 || (underlineMode_ == -1 && overControl_);
  setFont(underline ? underlineFont_ : standardFont_);
  QPalette p = palette();
  p.setColor(QPalette::WindowText, TextColour());
  setPalette(p);
  applyingLook_ = false;
  update();
}

void CLinkLabel::Attach() {
  if (attached_) return;
  attached_ = true;
  if (link_.isEmpty()) link_ = text();
  if (text().isEmpty()) setText(link_);
  setToolTip(link_);
  FitToText();
}

void CLinkLabel::SetOver(bool over) {
  if (over == overControl_) return;
  overControl_ = over;
  if (over) {
    hoverTimer_.start(kHoverPollMs, this);
  } else {
    hoverTimer_.stop();
  }
  ApplyLook();
}

void CLinkLabel::showEvent(QShowEvent* event) {
  Attach();
  QLabel::showEvent(event);
}

void CLinkLabel::enterEvent(QEnterEvent* event) {
  SetOver(true);
  QLabel::enterEvent(event);
}

void CLinkLabel::leaveEvent(QEvent* event) {
  SetOver(false);
  QLabel::leaveEvent(event);
}

void CLinkLabel::mouseMoveEvent(QMouseEvent* event) {
  if (!overControl_ && rect().contains(event->position().toPoint())) SetOver(true);
  QLabel::mouseMoveEvent(event);
}

void CLinkLabel::timerEvent(QTimerEvent* event) {
  if (event->timerId() != hoverTimer_.timerId()) {
    QLabel::timerEvent(event);
    return;
  }
  // A leave event can be lost (a window opening over the label, a grab); the poll notices
  // that the mouse has gone all the same.
  if (!rect().contains(mapFromGlobal(QCursor::pos()))) SetOver(false);
}

void CLinkLabel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange && !applyingLook_) {
    // A font given from outside becomes the label's own, with its underlined twin.
    standardFont_ = font();
    standardFont_.setUnderline(false);
    underlineFont_ = standardFont_;
    underlineFont_.setUnderline(true);
    ApplyLook();
  }
  QLabel::changeEvent(event);
}

void CLinkLabel::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  QLabel::mousePressEvent(event);
}

void CLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  QLabel::mouseReleaseEvent(event);
  if (!click) return;
  SetOver(false);
  const int result = OpenLink(link_.isEmpty() ? text() : link_);
  if (result > 32) {
    visited_ = true;
    ApplyLook();
  } else {
    QApplication::beep();
    ReportLinkError(result);
  }
}

int CLinkLabel::OpenLink(const QString& link) {
  QUrl url(link, QUrl::TolerantMode);
  if (url.scheme().isEmpty()) url = QUrl::fromUserInput(link);
  if (url.isValid() && QDesktopServices::openUrl(url)) return kOpenSucceeded;
  return OpenWithDefaultBrowser(link);
}

QString CLinkLabel::LinkErrorText(int code) {
  const char* reason = nullptr;
  switch (code) {
    case 0:
      reason = "The operating system is out\nof memory or resources.";
      break;
    case 2:
      reason = "The specified file was not found.";
      break;
    case 3:
      reason = "The specified path was not found.";
      break;
    case 5:
      reason = "The operating system denied\naccess to the specified file.";
      break;
    case 8:
      reason = "There was not enough memory to complete the operation.";
      break;
    case 11:
      reason = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
      break;
    case 26:
      reason = "A sharing violation occurred. ";
      break;
    case 27:
      reason = "The filename association is\nincomplete or invalid.";
      break;
    case 28:
      reason = "The DDE transaction could not\nbe completed because the request timed out.";
      break;
    case 29:
      reason = "The DDE transaction failed.";
      break;
    case 30:
      reason =
          "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
          "being processed.";
      break;
    case 31:
      reason = "There is no application associated\nwith the given filename extension.";
      break;
    case 32:
      reason = "The specified dynamic-link library was not found.";
      break;
    default:
      break;
  }
  const QString text = reason ? QString::fromLatin1(reason)
                              : QStringLiteral("Unknown Error (%1) occurred.").arg(code);
  return QStringLiteral("Unable to open hyperlink:\n\n") + text;
}

void CLinkLabel::ReportLinkError(int code) { ShowWarning(LinkErrorText(code), window()); }

}  // namespace wavorax::ui
