#include "controls/SkinButton.h"

#include <QApplication>
#include <QEnterEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QSvgRenderer>
#include <cmath>

namespace wavorax::ui {

CSkinButton::CSkinButton(QWidget* parent) : QAbstractButton(parent) {
  const QPalette pal = palette();
  textColour_ = pal.color(QPalette::Active, QPalette::ButtonText);
  hoverTextColour_ = textColour_;
  backColour_ = pal.color(QPalette::Active, QPalette::Button);
  hoverBackColour_ = backColour_;
  font_ = QFont(QStringLiteral("MS Sans Serif"));
  font_.setPixelSize(11);
  setAttribute(Qt::WA_Hover, true);
}

CSkinButton::~CSkinButton() = default;

bool CSkinButton::SetIcons(const QString& normal, const QString& hover, bool autoSize,
                           bool redraw) {
  return SetImages(ImageKind::Icon, normal, hover, autoSize, redraw);
}

bool CSkinButton::SetBitmaps(const QString& normal, const QString& hover, bool autoSize,
                             bool redraw) {
  return SetImages(ImageKind::Bitmap, normal, hover, autoSize, redraw);
}

bool CSkinButton::SetImages(ImageKind kind, const QString& normal, const QString& hover,
                            bool autoSize, bool redraw) {
  kind_ = ImageKind::None;
  normalImage_.reset();
  hoverImage_.reset();
  auto load = [](const QString& path) -> std::unique_ptr<QSvgRenderer> {
    auto renderer = std::make_unique<QSvgRenderer>(path);
    if (!renderer->isValid() || renderer->defaultSize().isEmpty()) return nullptr;
    return renderer;
  };
  auto normalImage = load(normal);
  std::unique_ptr<QSvgRenderer> hoverImage;
  if (!hover.isEmpty()) hoverImage = load(hover);
  if (!normalImage || (!hover.isEmpty() && !hoverImage)) {
    Changed(redraw);
    return false;
  }
  kind_ = kind;
  normalImage_ = std::move(normalImage);
  hoverImage_ = std::move(hoverImage);
  if (autoSize) {
    const int d = (pressedShift_ ? 1 : 0) + (drawBorder_ ? 2 : 0);
    const QSize size = normalImage_->defaultSize();
    resize(size.width() + d, size.height() + d);
  }
  Changed(redraw);
  return true;
}

void CSkinButton::SetCursorShape(Qt::CursorShape shape) { setCursor(shape); }

void CSkinButton::SetTextFont(const QFont& font, bool redraw) {
  font_ = font;
  Changed(redraw);
}

void CSkinButton::SetTextColours(const QColor& normal, const QColor& hover, bool redraw) {
  textColour_ = normal;
  hoverTextColour_ = hover.isValid() ? hover : normal;
  Changed(redraw);
}

void CSkinButton::SetTextOffset(int x, int y, bool redraw) {
  textOffset_ = QPoint(x, y);
  Changed(redraw);
}

void CSkinButton::SetDrawText(bool on, bool redraw) {
  drawText_ = on;
  Changed(redraw);
}

void CSkinButton::SetDrawFocus(bool on, bool redraw) {
  drawFocus_ = on;
  Changed(redraw);
}

void CSkinButton::SetDrawBorder(bool on, bool redraw) {
  drawBorder_ = on;
  Changed(redraw);
}

void CSkinButton::SetFlat(bool on, bool redraw) {
  flat_ = on;
  Changed(redraw);
}

void CSkinButton::SetPressedShift(bool on, bool redraw) {
  pressedShift_ = on;
  Changed(redraw);
}

void CSkinButton::SetTransparent(bool on, bool redraw) {
  transparent_ = on;
  Changed(redraw);
}

void CSkinButton::SetBackColours(const QColor& normal, const QColor& hover, bool redraw) {
  backColour_ = normal;
  hoverBackColour_ = hover.isValid() ? hover : normal;
  Changed(redraw);
}

void CSkinButton::SetSourceBackground(const QPixmap* skin, bool redraw) {
  sourceBackground_ = skin;
  snapshot_ = QPixmap();
  Changed(redraw);
}

void CSkinButton::Changed(bool redraw) {
  if (redraw) update();
}

CSkinButton::Border CSkinButton::CurrentBorder() const {
  if (!drawBorder_) return Border::None;
  if (isDown()) return Border::Sunken;
  if (!flat_ || mouseOver_) return Border::Raised;
  return Border::None;
}

QSize CSkinButton::sizeHint() const {
  if (normalImage_) {
    const int d = (pressedShift_ ? 1 : 0) + (drawBorder_ ? 2 : 0);
    return normalImage_->defaultSize() + QSize(d, d);
  }
  const QFontMetrics metrics(font_);
  return metrics.size(Qt::TextSingleLine | Qt::TextShowMnemonic, text()) + QSize(8, 6);
}

QPixmap CSkinButton::Render(QSvgRenderer* renderer, qreal dpr) const {
  const QSize size = renderer->defaultSize();
  QPixmap pixmap(QSize(qCeil(size.width() * dpr), qCeil(size.height() * dpr)));
  pixmap.fill(Qt::transparent);
  {
    QPainter painter(&pixmap);
    renderer->render(&painter);
  }
  pixmap.setDevicePixelRatio(dpr);
  return pixmap;
}

QPixmap CSkinButton::Snapshot(qreal dpr) {
  // The skin is drawn at the parent's scale; the piece under the button is cut
  // once and kept until the button moves or the skin changes.
  if (snapshot_.isNull() && sourceBackground_ && !sourceBackground_->isNull()) {
    const qreal skinDpr = sourceBackground_->devicePixelRatio();
    const QRect logical(pos(), size());
    const QRect physical(qRound(logical.x() * skinDpr), qRound(logical.y() * skinDpr),
                         qRound(logical.width() * skinDpr), qRound(logical.height() * skinDpr));
    snapshot_ = sourceBackground_->copy(physical);
    snapshot_.setDevicePixelRatio(skinDpr);
  }
  Q_UNUSED(dpr);
  return snapshot_;
}

void CSkinButton::paintEvent(QPaintEvent*) {
  const qreal dpr = devicePixelRatioF();
  const bool pressed = isDown();
  const bool disabled = !isEnabled();
  const bool hot = mouseOver_ || pressed;
  QPainter painter(this);
  QRect rect = this->rect();

  // 1. Background.
  if (!transparent_) {
    painter.fillRect(rect, hot ? hoverBackColour_ : backColour_);
  } else {
    const QPixmap piece = Snapshot(dpr);
    if (!piece.isNull()) painter.drawPixmap(rect.topLeft(), piece);
  }

  // 2. Border: a one-pixel 3D frame, after which the content area shrinks by
  // one.
  if (drawBorder_) {
    const Border border = CurrentBorder();
    if (border != Border::None) {
      const QColor light = palette().color(QPalette::Active, QPalette::Light);
      const QColor dark = palette().color(QPalette::Active, QPalette::Dark);
      const QColor topLeft = border == Border::Raised ? light : dark;
      const QColor bottomRight = border == Border::Raised ? dark : light;
      painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), topLeft);
      painter.fillRect(QRect(rect.left(), rect.top(), 1, rect.height()), topLeft);
      painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), bottomRight);
      painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), bottomRight);
    }
    rect.adjust(1, 1, -1, -1);
  }

  // 3. Pressed shift.
  if (pressed && pressedShift_) rect.translate(1, 1);

  // 4. Image: never the hover image while disabled.
  if (kind_ != ImageKind::None && normalImage_) {
    QSvgRenderer* source =
        (hoverImage_ && hot && !disabled) ? hoverImage_.get() : normalImage_.get();
    QPixmap pixmap = Render(source, dpr);
    if (disabled && kind_ == ImageKind::Icon) {
      QStyleOption option;
      option.initFrom(this);
      pixmap = style()->generatedIconPixmap(QIcon::Disabled, pixmap, &option);
      pixmap.setDevicePixelRatio(dpr);
    }
    const QSize size = normalImage_->defaultSize();
    QPoint at = rect.topLeft();
    if (kind_ == ImageKind::Icon)
      at = QPoint(rect.left() + (rect.width() - size.width()) / 2,
                  rect.top() + (rect.height() - size.height()) / 2);
    painter.drawPixmap(QRect(at, size), pixmap);
  }

  // 5. Text: one line, centred, not clipped.
  if (drawText_ && !text().isEmpty()) {
    QColor colour = hot ? hoverTextColour_ : textColour_;
    if (disabled) colour = palette().color(QPalette::Disabled, QPalette::WindowText);
    painter.setPen(colour);
    painter.setFont(font_);
    painter.drawText(rect.translated(textOffset_),
                     Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::TextDontClip,
                     text());
  }

  // 6. Focus rectangle.
  if (hasFocus() && drawFocus_) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect.adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
}

void CSkinButton::enterEvent(QEnterEvent* event) {
  if (!mouseOver_) {
    mouseOver_ = true;
    update();
  }
  QAbstractButton::enterEvent(event);
}

void CSkinButton::leaveEvent(QEvent* event) {
  if (mouseOver_) {
    mouseOver_ = false;
    update();
  }
  QAbstractButton::leaveEvent(event);
}

void CSkinButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
    snapshot_ = QPixmap();
  if (event->type() == QEvent::EnabledChange && !isEnabled()) mouseOver_ = false;
  QAbstractButton::changeEvent(event);
}

void CSkinButton::moveEvent(QMoveEvent* event) {
  snapshot_ = QPixmap();
  QAbstractButton::moveEvent(event);
}

void CSkinButton::resizeEvent(QResizeEvent* event) {
  snapshot_ = QPixmap();
  QAbstractButton::resizeEvent(event);
}

}  // namespace wavorax::ui
