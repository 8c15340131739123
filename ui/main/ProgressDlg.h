// The two progress windows: CProgressDlg while files are added,
// CConvertProgressDlg while a batch converts. In the skinned look both are
// captionless and fixed; in the desktop's look they are ordinary dialogs laid out
// at the desktop's font. Neither does work of its own: the adding code and the engine set their
// texts and bars, pump the events and poll Cancel. Texts and bars change only when their value
// changes, so a long run does not repaint for nothing.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <utility>
#include <vector>

#include "engine/Progress.h"
#include "sources/Adding.h"
#include "ui/main/DesktopLook.h"

class QLabel;
class QVBoxLayout;
class QProgressBar;
class QPushButton;

namespace wavorax::ui {

// What both windows share: the captionless frame, Cancel, and the close rule. A
// close request from anywhere but the owner (a key, the window manager) counts
// as Cancel; only Finish closes.
class CProgressBase : public QDialog {
  Q_OBJECT

 public:
  bool cancelRequested() const { return cancelRequested_; }
  void RequestCancel() { cancelRequested_ = true; }
  // Closes the window for good; it deletes itself once closed.
  void Finish();
  QPushButton* cancelButton() const { return cancel_; }
  // Centres the window over its owner (or the screen without one) and shows it.
  void ShowCentred();
  WindowLook look() const { return look_; }

 protected:
  CProgressBase(QWidget* owner, int width, int height, WindowLook look);
  // The desktop's look: a column with the margins of the style; Finish adds Cancel below the
  // lines and keeps the window at the size of its contents.
  QVBoxLayout* BeginLayout();
  void FinishLayout(QVBoxLayout* layout);
  static void UseDesktopLine(QLabel* label, QProgressBar* bar);
  static void SetLabel(QLabel* label, const QString& text);
  static void SetBar(QProgressBar* bar, int value);
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  void paintEvent(QPaintEvent* event) override;

  QPushButton* cancel_ = nullptr;

 private:
  bool cancelRequested_ = false;
  bool finishing_ = false;
  WindowLook look_;
};

class CProgressDlg final : public CProgressBase, public IAddProgress {
  Q_OBJECT

 public:
  explicit CProgressDlg(QWidget* owner, WindowLook look = WindowLook::Skinned);

  void SetText(const std::string& text) override;
  void SetRange(int maximum) override;
  void Step() override;
  bool CancelRequested() override { return cancelRequested(); }
  void PumpMessages() override;

  QLabel* textLabel() const { return text_; }
  QProgressBar* bar() const { return bar_; }

 private:
  // Shows the latest text and count; the adding calls in far more often than a person reads.
  void Show();

  QLabel* text_;
  QProgressBar* bar_;
  QString pendingText_;
  int pendingValue_ = 0;
  QElapsedTimer shown_;
};

class CConvertProgressDlg final : public CProgressBase, public IConvertProgress {
  Q_OBJECT

 public:
  explicit CConvertProgressDlg(QWidget* owner, WindowLook look = WindowLook::Skinned);

  void SetFileText(const std::string& text) override;
  int FileBarWidth() override;
  void SetFileBarRange(int maximum) override;
  void SetFileBarPos(int position) override;
  void SetOverallText(const std::string& text) override;
  void SetOverallRange(int maximum) override;
  void StepOverall() override;
  bool CancelRequested() override { return cancelRequested(); }
  void PumpMessages() override;
  void SetJobCount(int jobs) override;
  void SetJobLine(int job, const std::string& text, int percent) override;
  // "About 2 minutes left" at the right of the overall line; empty hides it.
  void SetTimeLeft(const std::string& text) override;

  QLabel* fileLabel() const { return fileText_; }
  QProgressBar* fileBar() const { return fileBar_; }
  QLabel* overallLabel() const { return overallText_; }
  QLabel* timeLeftLabel() const { return timeLeft_; }
  QProgressBar* overallBar() const { return overallBar_; }
  // The lines of the running files when several convert at once; empty otherwise.
  const std::vector<std::pair<QLabel*, QProgressBar*>>& jobLines() const { return jobLines_; }

 signals:
  // The files done of the batch's total, at its start and after each file.
  void overallChanged(int done, int total);

 protected:
  // Captionless, so the whole surface drags the window.
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void SetDesktopJobCount(int jobs);

  QLabel* fileText_;
  QProgressBar* fileBar_;
  QLabel* overallText_;
  QProgressBar* overallBar_;
  QLabel* timeLeft_;
  QVBoxLayout* layout_ = nullptr;  // the desktop's look only
  std::vector<std::pair<QLabel*, QProgressBar*>> jobLines_;
};

}  // namespace wavorax::ui
