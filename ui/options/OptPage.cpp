#include "ui/options/OptPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>

#include "ui/common/Messenger.h"
#include "ui/options/TagEditDlg.h"

namespace wavorax::ui {

QString EnterIntegerText() {
  return QCoreApplication::translate("OptPage", "Please enter an integer.");
}

QString EnterNoMoreThanText(int limit) {
  return QCoreApplication::translate("OptPage", "Please enter no more than %1 characters.")
      .arg(limit);
}

QString EnterIntegerBetweenText(int low, int high) {
  return QCoreApplication::translate("OptPage", "Please enter an integer between %1 and %2.")
      .arg(low)
      .arg(high);
}

void ReportProblem(const PageProblem& problem, QWidget* parent) {
  ShowWarning(problem.message, parent);
  if (!problem.focus) return;
  problem.focus->setFocus(Qt::OtherFocusReason);
  if (auto* edit = qobject_cast<QLineEdit*>(problem.focus)) edit->selectAll();
}

QFont SheetFont() {
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  return font;
}

QWidget* MakeHeading(const QString& text, QWidget* parent) {
  auto* heading = new QWidget(parent);
  auto* row = new QHBoxLayout(heading);
  row->setContentsMargins(0, 4, 0, 0);
  auto* label = new QLabel(text, heading);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  auto* rule = new QFrame(heading);
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  row->addWidget(label);
  row->addWidget(rule, 1);
  return heading;
}

QLabel* MakeBuddyLabel(const QString& text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  return label;
}

QComboBox* MakeCodedList(const CodedItems& items, QWidget* parent) {
  auto* list = new QComboBox(parent);
  for (const auto& [text, code] : items) list->addItem(text, code);
  return list;
}

bool SelectCode(QComboBox* list, int code) {
  const int index = list->findData(code);
  list->setCurrentIndex(index >= 0 ? index : 0);
  return index >= 0;
}

int SelectedCode(const QComboBox* list, int fallback) {
  if (list->currentIndex() < 0) return fallback;
  return list->currentData().toInt();
}

std::optional<PageProblem> ReadInteger(QLineEdit* edit, int& value) {
  bool ok = false;
  const int read = edit->text().trimmed().toInt(&ok);
  if (!ok) return PageProblem{EnterIntegerText(), edit};
  value = read;
  return std::nullopt;
}

namespace {

qsizetype CharacterCount(const QString& text) { return text.toUcs4().size(); }

// Refuses a typed character beyond the limit, and any non-digit in a digits-only field. A
// text that is already too long (or holds other characters) may still be shortened. The edit
// has already changed its text when it asks, so the comparison is with the text it last
// accepted.
class CLimitValidator final : public QValidator {
 public:
  CLimitValidator(QLineEdit* edit, int maxLength, bool digitsOnly)
      : QValidator(edit), maxLength_(maxLength), digitsOnly_(digitsOnly), accepted_(edit->text()) {
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { accepted_ = text; });
  }

  State validate(QString& input, int&) const override {
    if (digitsOnly_ && NonDigits(input) > NonDigits(accepted_)) return Invalid;
    const qsizetype count = CharacterCount(input);
    if (count > maxLength_ && count > CharacterCount(accepted_)) return Invalid;
    return Acceptable;
  }

 private:
  static qsizetype NonDigits(const QString& text) {
    return std::count_if(text.begin(), text.end(), [](QChar c) { return !c.isDigit(); });
  }

  int maxLength_;
  bool digitsOnly_;
  QString accepted_;
};

}  // namespace

void LimitEdit(QLineEdit* edit, int maxLength, bool digitsOnly) {
  edit->setValidator(new CLimitValidator(edit, maxLength, digitsOnly));
}

QLineEdit* MakeLimitedEdit(int maxLength, bool digitsOnly, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  LimitEdit(edit, maxLength, digitsOnly);
  return edit;
}

CUpDown::CUpDown(QLineEdit* buddy, int low, int high, int step, QWidget* parent)
    : QWidget(parent), buddy_(buddy), low_(low), high_(high), step_(step) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  up_ = new QToolButton(this);
  down_ = new QToolButton(this);
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {up_, down_}) {
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRepeat(true);
    button->setFixedSize(16, 11);
    column->addWidget(button);
  }
  connect(up_, &QToolButton::clicked, this, [this] { StepBy(1); });
  connect(down_, &QToolButton::clicked, this, [this] { StepBy(-1); });
  buddy_->installEventFilter(this);
}

void CUpDown::StepBy(int steps) {
  bool ok = false;
  long long value = buddy_->text().trimmed().toLongLong(&ok);
  if (!ok) value = low_;
  value = std::clamp<long long>(value + static_cast<long long>(steps) * step_, low_, high_);
  buddy_->setText(QString::number(value));
}

bool CUpDown::eventFilter(QObject* watched, QEvent* event) {
  if (watched == buddy_ && event->type() == QEvent::KeyPress && buddy_->isEnabled()) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      StepBy(key == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

CAmplifyBox::CAmplifyBox(QWidget* parent) : QWidget(parent) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  check_ = new QCheckBox(tr("&Amplify / Reduce sound"), this);
  edit_ = MakeLimitedEdit(9, true, this);
  edit_->setFixedWidth(56);
  spin_ = new CUpDown(edit_, 10, 3000, 10, this);
  auto* row = new QHBoxLayout;
  row->addWidget(MakeBuddyLabel(tr("&Coefficient:"), edit_, this));
  row->addWidget(edit_);
  row->addWidget(spin_);
  row->addWidget(new QLabel(QStringLiteral("%"), this));
  row->addStretch(1);
  auto* explanation =
      new QLabel(tr("< 100% - Reduce sound\n= 100% - No changes\n> 100% - Amplify sound"), this);
  grid->addWidget(check_, 0, 0);
  grid->addLayout(row, 1, 0);
  grid->addWidget(explanation, 0, 1, 2, 1, Qt::AlignTop);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);
  connect(check_, &QCheckBox::clicked, this, &CAmplifyBox::OnClicked);
}

void CAmplifyBox::Load(bool amplify, int coefficient) {
  check_->setChecked(amplify);
  edit_->setText(QString::number(coefficient));
  edit_->setEnabled(amplify);
  spin_->setEnabled(amplify);
}

void CAmplifyBox::OnClicked() {
  const bool on = check_->isChecked();
  edit_->setEnabled(on);
  spin_->setEnabled(on);
  edit_->setFocus(Qt::OtherFocusReason);
}

std::optional<PageProblem> CAmplifyBox::Validate() {
  int coefficient = 0;
  if (auto problem = ReadInteger(edit_, coefficient)) return problem;
  if (check_->isChecked() && (coefficient < 10 || coefficient > 3000))
    return PageProblem{tr("Invalid amplification coefficient. It's betwen 10 and 3000."), edit_};
  return std::nullopt;
}

bool CAmplifyBox::Amplify() const { return check_->isChecked(); }

int CAmplifyBox::Coefficient() const { return edit_->text().trimmed().toInt(); }

CTagChoiceBox::CTagChoiceBox(const QStringList& choiceTexts, const QString& editText,
                             QWidget* parent)
    : QWidget(parent) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  group_ = new QButtonGroup(this);
  for (int i = 0; i < choiceTexts.size(); ++i) {
    auto* button = new QRadioButton(choiceTexts[i], this);
    group_->addButton(button, i);
    row->addWidget(button);
  }
  row->addStretch(1);
  edit_ = new QPushButton(editText, this);
  row->addWidget(edit_);
  connect(group_, &QButtonGroup::idClicked, this, &CTagChoiceBox::OnChoice);
  connect(edit_, &QPushButton::clicked, this, &CTagChoiceBox::OnEdit);
}

void CTagChoiceBox::Load(int choice, const TagRecord& tag) {
  tag_ = tag;
  // A stored choice outside the three leaves no button on; it is kept as it was until the user
  // picks one.
  if (QAbstractButton* button = group_->button(choice)) {
    button->setChecked(true);
  } else if (group_->checkedButton()) {
    group_->setExclusive(false);
    group_->checkedButton()->setChecked(false);
    group_->setExclusive(true);
  }
  storedChoice_ = choice;
  edit_->setEnabled(choice == kTagAddUser);
}

int CTagChoiceBox::Choice() const {
  const int id = group_->checkedId();
  return id >= 0 ? id : storedChoice_;
}

QRadioButton* CTagChoiceBox::ChoiceButton(int index) const {
  return qobject_cast<QRadioButton*>(group_->button(index));
}

void CTagChoiceBox::OnChoice() { edit_->setEnabled(group_->checkedId() == kTagAddUser); }

void CTagChoiceBox::OnEdit() {
  TagRecord copy = tag_;
  if (EditTag(copy, window())) tag_ = copy;
}

}  // namespace wavorax::ui
