#include "ui/main/ProgressDlg.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QWindow>
#include <algorithm>

#include "app/Translations.h"

namespace wavorax::ui {

namespace {

// The windows' layout in pixels: a dialog unit is 1.5 pixels across and 1.625
// down at the 11-pixel font.
constexpr int kMargin = 11;
constexpr int kLineWidth = 459;

QFont WindowFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  return font;
}

QLabel* MakeLabel(QWidget* parent, int y) {
  auto* label = new QLabel(parent);
  label->setGeometry(kMargin, y, kLineWidth, 15);
  label->setTextFormat(Qt::PlainText);
  label->setFont(WindowFont());
  return label;
}

QProgressBar* MakeBar(QWidget* parent, int y) {
  auto* bar = new QProgressBar(parent);
  bar->setGeometry(kMargin, y, kLineWidth, 21);
  bar->setTextVisible(false);
  bar->setRange(0, 100);
  bar->setValue(0);
  return bar;
}

}  // namespace

CProgressBase::CProgressBase(QWidget* owner, int width, int height, WindowLook look)
    : QDialog(owner, look == WindowLook::Desktop ? Qt::Dialog | Qt::WindowTitleHint
                                                 : Qt::Dialog | Qt::FramelessWindowHint),
      look_(look) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setModal(false);
  if (look == WindowLook::Skinned) {
    setFixedSize(width, height);
    setFont(WindowFont());
  }
  cancel_ = new QPushButton(tr("Cancel"), this);
  cancel_->setAutoDefault(false);
  cancel_->setDefault(false);
  // Cancel only raises the flag: the owner ends the work and closes the window.
  connect(cancel_, &QPushButton::clicked, this, [this] { cancelRequested_ = true; });
}

QVBoxLayout* CProgressBase::BeginLayout() {
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  return layout;
}

void CProgressBase::FinishLayout(QVBoxLayout* layout) {
  layout->addSpacing(style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing));
  layout->addWidget(cancel_, 0, Qt::AlignHCenter);
}

void CProgressBase::UseDesktopLine(QLabel* label, QProgressBar* bar) {
  // The desktop's font; a long text is cut rather than widening the window.
  label->setFont(QFont());
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  bar->setMinimumWidth(kLineWidth);
}

void CProgressBase::ShowCentred() {
  QRect area;
  if (QWidget* owner = parentWidget()) {
    area = owner->window()->frameGeometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
  show();
  // The owner may be disabled for the length of the work; this window takes its
  // input.
  setEnabled(true);
  // The offscreen platform has no stacking order and only warns about a raise.
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) raise();
}

void CProgressBase::Finish() {
  finishing_ = true;
  hide();
  deleteLater();
}

void CProgressBase::closeEvent(QCloseEvent* event) {
  if (finishing_) {
    QDialog::closeEvent(event);
    return;
  }
  cancelRequested_ = true;
  event->ignore();
}

void CProgressBase::reject() {
  // Escape and other requests to dismiss the window ask to cancel; the owner
  // closes it.
  if (finishing_)
    QDialog::reject();
  else
    cancelRequested_ = true;
}

void CProgressBase::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  if (look_ == WindowLook::Desktop) return;  // the window system draws the frame
  // Without a caption the window still needs an edge against what lies behind
  // it.
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  painter.setPen(palette().color(QPalette::Light));
  painter.drawLine(1, 1, width() - 3, 1);
  painter.drawLine(1, 1, 1, height() - 3);
}

void CProgressBase::SetLabel(QLabel* label, const QString& text) {
  if (label->text() != text) label->setText(text);
}

void CProgressBase::SetBar(QProgressBar* bar, int value) {
  if (bar->value() != value) bar->setValue(value);
}

CProgressDlg::CProgressDlg(QWidget* owner, WindowLook look) : CProgressBase(owner, 480, 101, look) {
  setWindowTitle(QStringLiteral("Wavorax"));
  text_ = MakeLabel(this, 10);
  bar_ = MakeBar(this, 29);
  cancel_->setGeometry(201, 63, 75, 26);
  if (look == WindowLook::Desktop) {
    QVBoxLayout* layout = BeginLayout();
    UseDesktopLine(text_, bar_);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    FinishLayout(layout);
  }
}

// A drop of thousands of files adds hundreds of them per second; the window shows the latest
// state at most every 40 ms, while the events (and Cancel) are still taken after every file.
constexpr int kShowIntervalMs = 40;

void CProgressDlg::SetText(const std::string& text) {
  pendingText_ = i18n::EngineText(text);
  if (!shown_.isValid()) Show();
}

void CProgressDlg::SetRange(int maximum) {
  bar_->setRange(0, std::max(0, maximum));
  bar_->setValue(0);
  pendingValue_ = 0;
}

void CProgressDlg::Step() { pendingValue_ = std::min(bar_->maximum(), pendingValue_ + 1); }

void CProgressDlg::Show() {
  if (!pendingText_.isNull()) SetLabel(text_, pendingText_);
  SetBar(bar_, pendingValue_);
  shown_.start();
}

void CProgressDlg::PumpMessages() {
  if (!shown_.isValid() || shown_.elapsed() >= kShowIntervalMs) Show();
  QCoreApplication::processEvents();
}

CConvertProgressDlg::CConvertProgressDlg(QWidget* owner, WindowLook look)
    : CProgressBase(owner, 480, 154, look) {
  setWindowTitle(QStringLiteral("Wavorax"));
  fileText_ = MakeLabel(this, 10);
  fileBar_ = MakeBar(this, 29);
  overallText_ = MakeLabel(this, 63);
  overallBar_ = MakeBar(this, 81);
  timeLeft_ = MakeLabel(this, 63);
  timeLeft_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  timeLeft_->hide();
  cancel_->setGeometry(202, 117, 75, 26);
  if (look == WindowLook::Desktop) {
    layout_ = BeginLayout();
    UseDesktopLine(fileText_, fileBar_);
    UseDesktopLine(overallText_, overallBar_);
    timeLeft_->setFont(QFont());
    layout_->addWidget(fileText_);
    layout_->addWidget(fileBar_);
    auto* overall = new QHBoxLayout;
    overall->addWidget(overallText_, 1);
    overall->addWidget(timeLeft_);
    layout_->addLayout(overall);
    layout_->addWidget(overallBar_);
    FinishLayout(layout_);
  }
}

void CConvertProgressDlg::SetTimeLeft(const std::string& text) {
  SetLabel(timeLeft_, i18n::EngineText(text));
  timeLeft_->setVisible(!text.empty());
}

void CConvertProgressDlg::SetFileText(const std::string& text) {
  SetLabel(fileText_, i18n::EngineText(text));
}

int CConvertProgressDlg::FileBarWidth() { return std::max(1, fileBar_->width()); }

void CConvertProgressDlg::SetFileBarRange(int maximum) {
  if (fileBar_->maximum() != maximum) fileBar_->setRange(0, std::max(0, maximum));
}

void CConvertProgressDlg::SetFileBarPos(int position) { SetBar(fileBar_, position); }

void CConvertProgressDlg::SetOverallText(const std::string& text) {
  SetLabel(overallText_, i18n::EngineText(text));
}

void CConvertProgressDlg::SetOverallRange(int maximum) {
  overallBar_->setRange(0, std::max(0, maximum));
  overallBar_->setValue(0);
  emit overallChanged(0, overallBar_->maximum());
}

void CConvertProgressDlg::StepOverall() {
  SetBar(overallBar_, std::min(overallBar_->maximum(), overallBar_->value() + 1));
  emit overallChanged(overallBar_->value(), overallBar_->maximum());
}

void CConvertProgressDlg::PumpMessages() { QCoreApplication::processEvents(); }

// With several files at once the overall line moves to the top and each running file gets a
// line and a bar under it; past kMaxVisibleJobs the lines scroll, so the window stays on screen.
constexpr int kJobPitch = 44;
constexpr int kMaxVisibleJobs = 8;

void CConvertProgressDlg::SetJobCount(int jobs) {
  if (jobs <= 1 || !jobLines_.empty()) return;
  if (layout_) {
    SetDesktopJobCount(jobs);
    return;
  }
  fileText_->hide();
  fileBar_->hide();
  overallText_->move(kMargin, 10);
  overallBar_->move(kMargin, 29);
  timeLeft_->move(kMargin, 10);
  const int visible = std::min(jobs, kMaxVisibleJobs);
  QWidget* holder = this;
  int top = 63;
  if (jobs > visible) {
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setGeometry(0, top, width(), visible * kJobPitch);
    holder = new QWidget;
    holder->resize(width() - scroll->verticalScrollBar()->sizeHint().width(), jobs * kJobPitch);
    scroll->setWidget(holder);
    scroll->show();
    top = 0;
  }
  for (int j = 0; j < jobs; ++j) {
    QLabel* label = MakeLabel(holder, top + j * kJobPitch);
    QProgressBar* bar = MakeBar(holder, top + j * kJobPitch + 18);
    if (holder != this) {
      label->setFixedWidth(holder->width() - 2 * kMargin);
      bar->setFixedWidth(holder->width() - 2 * kMargin);
    }
    label->show();
    bar->show();
    jobLines_.emplace_back(label, bar);
  }
  const int bottom = 63 + visible * kJobPitch + 10;
  cancel_->move(cancel_->x(), bottom);
  setFixedSize(width(), bottom + 26 + 11);
}

void CConvertProgressDlg::SetDesktopJobCount(int jobs) {
  // The overall line moves up to where the file's line was, and the running files follow it.
  fileText_->hide();
  fileBar_->hide();
  layout_->removeWidget(fileText_);
  layout_->removeWidget(fileBar_);
  const int visible = std::min(jobs, kMaxVisibleJobs);
  auto* holder = new QWidget;
  auto* lines = new QVBoxLayout(holder);
  lines->setContentsMargins(0, 0, 0, 0);
  for (int j = 0; j < jobs; ++j) {
    auto* label = new QLabel(holder);
    label->setTextFormat(Qt::PlainText);
    auto* bar = new QProgressBar(holder);
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    UseDesktopLine(label, bar);
    lines->addWidget(label);
    lines->addWidget(bar);
    jobLines_.emplace_back(label, bar);
  }
  const int at = layout_->indexOf(overallBar_) + 1;
  if (jobs == visible) {
    layout_->insertWidget(at, holder);
    return;
  }
  // Past kMaxVisibleJobs the lines scroll, so the window stays on screen.
  auto* scroll = new QScrollArea(this);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setWidgetResizable(true);
  scroll->setWidget(holder);
  scroll->setFixedHeight(holder->sizeHint().height() * visible / jobs);
  scroll->setMinimumWidth(kLineWidth + scroll->verticalScrollBar()->sizeHint().width());
  layout_->insertWidget(at, scroll);
}

void CConvertProgressDlg::SetJobLine(int job, const std::string& text, int percent) {
  if (job < 0 || job >= static_cast<int>(jobLines_.size())) return;
  SetLabel(jobLines_[job].first, i18n::EngineText(text));
  SetBar(jobLines_[job].second, std::clamp(percent, 0, 100));
}

void CConvertProgressDlg::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && windowHandle() && look() == WindowLook::Skinned) {
    windowHandle()->startSystemMove();
    event->accept();
    return;
  }
  CProgressBase::mousePressEvent(event);
}

}  // namespace wavorax::ui
