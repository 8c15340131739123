// A label that is a link: drawn in link colours, red while the mouse is over it, the link as
// its tooltip, a pointing hand as its cursor, sized to its text, and opened on a click through
// the desktop (xdg-open). When the desktop cannot open it, the label says so with openFailed;
// what happens then (another way to open it, a message) is for the window that shows it.
#pragma once

#include <QBasicTimer>
#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>

namespace wavorax::ui {

class CLinkLabel : public QLabel {
  Q_OBJECT

 public:
  static inline const QColor kLinkColour{0, 0, 238};
  static inline const QColor kVisitedColour{85, 26, 139};
  static inline const QColor kHoverColour{255, 0, 0};
  // How often the label checks whether the mouse has left it.
  static constexpr int kHoverPollMs = 100;

  explicit CLinkLabel(const QString& text = {}, QWidget* parent = nullptr);
  ~CLinkLabel() override;

  // Sets the link; the label fits itself to its text and shows the link as its tooltip. A
  // label without text shows the link.
  void SetLink(const QString& link);
  QString Link() const { return link_; }

  // -1 underlined only while the mouse is over the label, 0 never, 1 always.
  void SetUnderlineMode(int mode);
  int UnderlineMode() const { return underlineMode_; }

  void SetAdjustToFit(bool adjust) { adjustToFit_ = adjust; }
  // Resizes the label to its text. A right-aligned label keeps its right edge, a centred one
  // its centre; otherwise the left (top) edge stays.
  void FitToText();

  bool IsOverControl() const { return overControl_; }
  bool IsVisited() const { return visited_; }
  // The colour the text is drawn in now.
  QColor TextColour() const;

  // Opens `link` through the desktop's handler; false when none took it.
  static bool OpenWithDesktop(const QString& link);
  // Shows the link as visited, as after a click that opened it.
  void MarkVisited();

 signals:
  // A click on the label that the desktop could not open.
  void openFailed(const QString& link);

 protected:
  void showEvent(QShowEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Attach();
  void SetOver(bool over);
  void ApplyLook();

  QString link_;
  int underlineMode_ = -1;
  bool adjustToFit_ = true;
  bool overControl_ = false;
  bool visited_ = false;
  bool attached_ = false;
  bool pressed_ = false;
  bool applyingLook_ = false;
  QFont standardFont_;
  QFont underlineFont_;
  QBasicTimer hoverTimer_;
};

}  // namespace wavorax::ui
