// The skinned push button of the main window: the command buttons, the caption
// buttons and the link button. It draws a background taken from the window's
// skin (so it looks transparent), an optional border that follows the hover and
// pressed states, an image (with a separate hover image), its text and an
// optional focus rectangle. Images are SVG, rendered at the widget's device
// pixel ratio so that they stay sharp on high-DPI screens.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <memory>

class QSvgRenderer;

namespace wavorax::ui {

class CSkinButton : public QAbstractButton {
  Q_OBJECT

 public:
  enum class Border { None, Raised, Sunken };

  explicit CSkinButton(QWidget* parent = nullptr);
  ~CSkinButton() override;

  // Icons are drawn centred, bitmaps at the top-left of the content area. A
  // hover image is optional (empty path). Both release the images held before.
  // With autoSize the button keeps its top-left corner and takes the image's
  // size plus one pixel for the pressed shift and two for the border, where
  // those are on. False (and no image held) when an image cannot be read.
  bool SetIcons(const QString& normal, const QString& hover, bool autoSize, bool redraw = true);
  bool SetBitmaps(const QString& normal, const QString& hover, bool autoSize, bool redraw = true);

  void SetCursorShape(Qt::CursorShape shape);
  void SetTextFont(const QFont& font, bool redraw = true);
  // An invalid hover colour means the normal one.
  void SetTextColours(const QColor& normal, const QColor& hover, bool redraw = true);
  void SetTextOffset(int x, int y, bool redraw = true);
  void SetDrawText(bool on, bool redraw = true);
  void SetDrawFocus(bool on, bool redraw = true);
  void SetDrawBorder(bool on, bool redraw = true);
  void SetFlat(bool on, bool redraw = true);
  void SetPressedShift(bool on, bool redraw = true);
  // Without transparency the button fills itself with these colours.
  void SetTransparent(bool on, bool redraw = true);
  void SetBackColours(const QColor& normal, const QColor& hover, bool redraw = true);
  // The picture the background is copied from: the parent's skin, in the
  // parent's coordinates. The button's piece is taken anew at the next drawing.
  // Without one, the parent shows through.
  void SetSourceBackground(const QPixmap* skin, bool redraw = true);

  // What the next drawing shows, from the current state.
  Border CurrentBorder() const;
  bool IsHovered() const { return mouseOver_; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  enum class ImageKind { None, Icon, Bitmap };
  bool SetImages(ImageKind kind, const QString& normal, const QString& hover, bool autoSize,
                 bool redraw);
  void Changed(bool redraw);
  QPixmap Render(QSvgRenderer* renderer, qreal dpr) const;
  QPixmap Snapshot(qreal dpr);

  ImageKind kind_ = ImageKind::None;
  std::unique_ptr<QSvgRenderer> normalImage_;
  std::unique_ptr<QSvgRenderer> hoverImage_;
  bool mouseOver_ = false;
  QColor textColour_;
  QColor hoverTextColour_;
  QFont font_;
  QPoint textOffset_;
  bool drawText_ = true;
  bool drawFocus_ = false;
  bool drawBorder_ = true;
  bool flat_ = true;
  bool pressedShift_ = true;
  bool transparent_ = true;
  QColor backColour_;
  QColor hoverBackColour_;
  const QPixmap* sourceBackground_ = nullptr;
  QPixmap snapshot_;
};

}  // namespace wavorax::ui
