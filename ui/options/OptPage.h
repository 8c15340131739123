// What every page of the options sheet shares: the page interface the sheet drives, the
// framework's validation texts, and the small composite controls several pages repeat (the
// up-down arrows of a number field, the amplification section, the tag section).
#pragma once

#include <QString>
#include <QWidget>
#include <optional>
#include <utility>
#include <vector>

#include "settings/ConversionSettings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace wavorax::ui {

// A refusal: the message the user reads and the field that takes the focus.
struct PageProblem {
  QString message;
  QWidget* focus = nullptr;
};

// The framework's validation texts.
QString EnterIntegerText();
QString EnterNoMoreThanText(int limit);
QString EnterIntegerBetweenText(int low, int high);

// Shows the refusal (exclamation icon) and puts the focus into its field.
void ReportProblem(const PageProblem& problem, QWidget* parent);

// A page of the options sheet. Load shows the settings, Validate refuses what may not be
// stored (the sheet keeps the user on the page), Store writes the page back by the
// write-back rules.
class COptPage : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;
  virtual void Load(const ConversionSettings& settings) = 0;
  virtual std::optional<PageProblem> Validate() = 0;
  virtual void Store(ConversionSettings& settings) const = 0;
  // The target codes whose encoder this page sets; none for a page of general options.
  virtual std::vector<int> TargetCodes() const { return {}; }
};

// The font of the sheet and its pages: Tahoma at 11 pixels (fontconfig picks the desktop's
// sans-serif where Tahoma is missing).
QFont SheetFont();

// A bold section heading followed by a rule, as the pages separate their sections.
QWidget* MakeHeading(const QString& text, QWidget* parent);

// A label whose mnemonic moves the focus to `buddy`.
QLabel* MakeBuddyLabel(const QString& text, QWidget* buddy, QWidget* parent);

// A drop-down list of (text, code) items; the codes are the item data.
using CodedItems = std::vector<std::pair<QString, int>>;
QComboBox* MakeCodedList(const CodedItems& items, QWidget* parent);
// Selects the item of `code`; when no item has it, the first item, and false.
bool SelectCode(QComboBox* list, int code);
// The code of the selected item, or `fallback` when nothing is selected.
int SelectedCode(const QComboBox* list, int fallback = 0);

// Reads the integer in `edit`; the framework's "Please enter an integer." when it is none.
std::optional<PageProblem> ReadInteger(QLineEdit* edit, int& value);

// Limits what the user types into `edit`: at most `maxLength` characters, digits only when
// asked. The text the edit holds now stays whole even when it is longer, so that a stored text
// can be refused at OK rather than cut; set it before the limit.
void LimitEdit(QLineEdit* edit, int maxLength, bool digitsOnly);
QLineEdit* MakeLimitedEdit(int maxLength, bool digitsOnly, QWidget* parent);

// The up-down arrows attached to a number edit: one click (or the Up and Down keys in the
// edit) steps the value within [low, high].
class CUpDown : public QWidget {
  Q_OBJECT

 public:
  CUpDown(QLineEdit* buddy, int low, int high, int step, QWidget* parent);
  void StepBy(int steps);
  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* buddy_;
  QToolButton* up_;
  QToolButton* down_;
  int low_, high_, step_;
};

// "&Amplify / Reduce sound", the coefficient (10 to 3000 %, steps of 10) and the three-line
// explanation, laid out as the encoder pages show them.
class CAmplifyBox : public QWidget {
  Q_OBJECT

 public:
  explicit CAmplifyBox(QWidget* parent);
  void Load(bool amplify, int coefficient);
  // The coefficient must be an integer; with the box ticked, one within 10 to 3000.
  std::optional<PageProblem> Validate();
  bool Amplify() const;
  int Coefficient() const;  // valid after Validate

  QCheckBox* Check() const { return check_; }
  QLineEdit* Edit() const { return edit_; }
  CUpDown* Spin() const { return spin_; }

 private:
  void OnClicked();

  QCheckBox* check_;
  QLineEdit* edit_;
  CUpDown* spin_;
};

// The tag choice of the MP3 and MP4 pages (add the user's tag, transfer the source's, none)
// and the button that opens the tag editor on a copy of the page's tag.
class CTagChoiceBox : public QWidget {
  Q_OBJECT

 public:
  // The texts differ between the pages only in their mnemonics.
  CTagChoiceBox(const QStringList& choiceTexts, const QString& editText, QWidget* parent);
  void Load(int choice, const TagRecord& tag);
  int Choice() const;
  const TagRecord& Tag() const { return tag_; }

  QRadioButton* ChoiceButton(int index) const;
  QPushButton* EditButton() const { return edit_; }

 private:
  void OnChoice();
  void OnEdit();

  QButtonGroup* group_;
  QPushButton* edit_;
  TagRecord tag_;
  int storedChoice_ = kTagTransfer;
};

}  // namespace wavorax::ui
