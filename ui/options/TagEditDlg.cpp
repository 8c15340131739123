#include "ui/options/TagEditDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCollator>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <vector>

#include "ui/options/OptPage.h"

namespace wavorax::ui {

namespace {

// Field lengths the editor accepts, and what the record keeps of a text.
constexpr int kTextLimit = 30;
constexpr int kYearLimit = 4;
constexpr int kRecordTextChars = 31;
constexpr int kRecordYearChars = 7;

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

std::string CutToCharacters(const QString& text, int maxCharacters) {
  QList<uint> characters = text.toUcs4();
  if (characters.size() > maxCharacters) characters.resize(maxCharacters);
  return QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()),
                           characters.size())
      .toStdString();
}

CTagEditDlg::CTagEditDlg(const TagRecord& record, QWidget* parent)
    : QDialog(parent), record_(record) {
  setWindowTitle(tr("Edit ID3 tag"));
  setFont(SheetFont());

  track_ = new QButtonGroup(this);
  auto* trackRow = new QHBoxLayout;
  const char* trackTexts[] = {QT_TR_NOOP("&None"), QT_TR_NOOP("&Sequence number in list"),
                              QT_TR_NOOP("C&ustom")};
  for (int i = 0; i < 3; ++i) {
    auto* button = new QRadioButton(tr(trackTexts[i]), this);
    track_->addButton(button, i);
    trackRow->addWidget(button);
  }
  trackEdit_ = MakeLimitedEdit(3, true, this);
  trackEdit_->setFixedWidth(40);
  trackSpin_ = new CUpDown(trackEdit_, 0, 255, 1, this);
  trackRow->addWidget(trackEdit_);
  trackRow->addWidget(trackSpin_);
  trackRow->addStretch(1);

  useFileName_ = new QCheckBox(tr("Nam&e as file name (not include extension)"), this);
  title_ = new QLineEdit(this);
  artist_ = new QLineEdit(this);
  album_ = new QLineEdit(this);
  year_ = new QLineEdit(this);
  year_->setFixedWidth(56);
  genre_ = new QComboBox(this);
  comment_ = new QLineEdit(this);
  for (QLineEdit* edit : {title_, artist_, album_, comment_}) edit->setMinimumWidth(260);

  auto* grid = new QGridLayout;
  int row = 0;
  grid->addWidget(MakeBuddyLabel(tr("&Track #:"), track_->button(0), this), row, 0);
  grid->addLayout(trackRow, row++, 1, 1, 3);
  grid->addWidget(MakeBuddyLabel(tr("T&itle:"), title_, this), row, 0);
  grid->addWidget(useFileName_, row++, 1, 1, 3);
  grid->addWidget(title_, row++, 1, 1, 3);
  grid->addWidget(MakeBuddyLabel(tr("&Artist:"), artist_, this), row, 0);
  grid->addWidget(artist_, row++, 1, 1, 3);
  grid->addWidget(MakeBuddyLabel(tr("Albu&m:"), album_, this), row, 0);
  grid->addWidget(album_, row++, 1, 1, 3);
  grid->addWidget(MakeBuddyLabel(tr("&Year:"), year_, this), row, 0);
  grid->addWidget(year_, row, 1);
  grid->addWidget(MakeBuddyLabel(tr("&Genre:"), genre_, this), row, 2, Qt::AlignRight);
  grid->addWidget(genre_, row++, 3);
  grid->addWidget(MakeBuddyLabel(tr("&Comment:"), comment_, this), row, 0);
  grid->addWidget(comment_, row++, 1, 1, 3);
  grid->setColumnStretch(3, 1);

  ok_ = new QPushButton(tr("OK"), this);
  cancel_ = new QPushButton(tr("Cancel"), this);
  ok_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(grid);
  outer->addLayout(buttons);
  outer->setSizeConstraint(QLayout::SetFixedSize);

  // The genres sorted by name as the user's locale sorts them; each item keeps its table
  // index, which is what the record stores.
  std::vector<std::pair<QString, int>> genres;
  const auto names = GenreNames();
  for (int i = 0; i < static_cast<int>(names.size()); ++i)
    genres.emplace_back(QString::fromUtf8(names[i].data(), names[i].size()), i);
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::stable_sort(genres.begin(), genres.end(), [&collator](const auto& a, const auto& b) {
    return collator.compare(a.first, b.first) < 0;
  });
  for (const auto& [name, index] : genres) genre_->addItem(name, index);

  // The record's fields, shown.
  const int choice = record.trackMode == 1 || record.trackMode == 2 ? record.trackMode : 0;
  track_->button(choice)->setChecked(true);
  trackEdit_->setText(QString::number(record.track));
  useFileName_->setChecked(record.useFileNameAsTitle != 0);
  title_->setText(FromUtf8(record.title));
  artist_->setText(FromUtf8(record.artist));
  album_->setText(FromUtf8(record.album));
  year_->setText(FromUtf8(record.year));
  comment_->setText(FromUtf8(record.comment));
  genre_->setCurrentIndex(genre_->findData(record.genre));  // 255 or unknown: none selected
  for (QLineEdit* edit : {title_, artist_, album_, comment_}) LimitEdit(edit, kTextLimit, false);
  LimitEdit(year_, kYearLimit, true);

  // Tab order follows the fields from top to bottom.
  QWidget* order[] = {track_->button(0),
                      track_->button(1),
                      track_->button(2),
                      trackEdit_,
                      useFileName_,
                      title_,
                      artist_,
                      album_,
                      year_,
                      genre_,
                      comment_,
                      ok_,
                      cancel_};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  connect(useFileName_, &QCheckBox::clicked, this, &CTagEditDlg::UpdateEnabling);
  connect(track_, &QButtonGroup::idClicked, this, &CTagEditDlg::UpdateEnabling);
  connect(ok_, &QPushButton::clicked, this, &CTagEditDlg::accept);
  connect(cancel_, &QPushButton::clicked, this, &CTagEditDlg::reject);
  UpdateEnabling();
}

QRadioButton* CTagEditDlg::TrackButton(int choice) const {
  return qobject_cast<QRadioButton*>(track_->button(choice));
}

void CTagEditDlg::UpdateEnabling() {
  title_->setEnabled(!useFileName_->isChecked());
  const bool custom = track_->checkedId() == 2;
  trackEdit_->setEnabled(custom);
  trackSpin_->setEnabled(custom);
}

void CTagEditDlg::accept() {
  auto tooLong = [](QLineEdit* edit, int limit) -> std::optional<PageProblem> {
    if (edit->text().toUcs4().size() > limit) return PageProblem{EnterNoMoreThanText(limit), edit};
    return std::nullopt;
  };
  std::optional<PageProblem> problem = tooLong(year_, kYearLimit);
  for (QLineEdit* edit : {title_, comment_, artist_, album_})
    if (!problem) problem = tooLong(edit, kTextLimit);
  int track = 0;
  if (!problem) problem = ReadInteger(trackEdit_, track);
  if (!problem && (track < 0 || track > 255))
    problem = PageProblem{EnterIntegerBetweenText(0, 255), trackEdit_};
  if (problem) {
    ReportProblem(*problem, this);
    return;
  }

  record_.title = CutToCharacters(title_->text(), kRecordTextChars);
  record_.artist = CutToCharacters(artist_->text(), kRecordTextChars);
  record_.album = CutToCharacters(album_->text(), kRecordTextChars);
  record_.year = CutToCharacters(year_->text(), kRecordYearChars);
  record_.comment = CutToCharacters(comment_->text(), kRecordTextChars);
  const int choice = track_->checkedId();
  record_.trackMode = choice == 1 || choice == 2 ? choice : 0;
  record_.track = track;
  record_.genre = genre_->currentIndex() < 0 ? kNoGenre : genre_->currentData().toInt();
  record_.useFileNameAsTitle = useFileName_->isChecked() ? 1 : 0;
  QDialog::accept();
}

bool EditTag(TagRecord& record, QWidget* parent) {
  CTagEditDlg dialog(record, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  record = dialog.Record();
  return true;
}

}  // namespace wavorax::ui
