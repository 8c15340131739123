#include "controls/LinkLabel.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QTimerEvent>
#include <QUrl>

namespace wavorax::ui {

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
  const QString link = link_.isEmpty() ? text() : link_;
  if (OpenWithDesktop(link))
    MarkVisited();
  else
    emit openFailed(link);
}

void CLinkLabel::MarkVisited() {
  visited_ = true;
  ApplyLook();
}

bool CLinkLabel::OpenWithDesktop(const QString& link) {
  QUrl url(link, QUrl::TolerantMode);
  if (url.scheme().isEmpty()) url = QUrl::fromUserInput(link);
  return url.isValid() && QDesktopServices::openUrl(url);
}

}  // namespace wavorax::ui
