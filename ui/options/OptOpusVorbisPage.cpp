#include "ui/options/OptOpusVorbisPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/options/PageValues.h"

namespace wavorax::ui {

namespace {

// A number edit with its arrows and the text after them, as the AAC page's quality row.
QHBoxLayout* NumberRow(QLineEdit* edit, CUpDown* spin, const QString& after, QWidget* parent) {
  auto* row = new QHBoxLayout;
  row->addWidget(edit);
  row->addWidget(spin);
  row->addWidget(new QLabel(after, parent));
  row->addStretch(1);
  return row;
}

QLineEdit* MakeNumberEdit(bool negative, QWidget* parent) {
  // A minus sign is a non-digit: the quality edit takes it, at most "-1".
  QLineEdit* edit = negative ? MakeLimitedEdit(2, false, parent) : MakeLimitedEdit(9, true, parent);
  edit->setFixedWidth(56);
  return edit;
}

// Reads `edit` as an integer within [low, high], with the framework's texts otherwise.
std::optional<PageProblem> ReadInRange(QLineEdit* edit, int low, int high) {
  int value = 0;
  if (auto problem = ReadInteger(edit, value)) return problem;
  if (value < low || value > high) return PageProblem{EnterIntegerBetweenText(low, high), edit};
  return std::nullopt;
}

int ValueOf(const QLineEdit* edit) { return edit->text().trimmed().toInt(); }

void Check(QButtonGroup* group, int id) {
  if (QAbstractButton* button = group->button(id)) button->setChecked(true);
}

}  // namespace

COptOpusVorbisPage::COptOpusVorbisPage(QWidget* parent) : COptPage(parent) {
  opusBitRate_ = MakeNumberEdit(false, this);
  opusSpin_ = new CUpDown(opusBitRate_, kOpusMinBitRate, kOpusMaxBitRate, 8, this);
  opusVbr_ = new QCheckBox(tr("&Variable bit rate (VBR)"), this);
  signal_ = new QButtonGroup(this);
  auto* signalRow = new QHBoxLayout;
  const QString signalTexts[] = {tr("&Music"), tr("S&peech")};
  for (int i = 0; i < 2; ++i) {
    auto* button = new QRadioButton(signalTexts[i], this);
    signal_->addButton(button, i);
    signalRow->addWidget(button);
  }
  signalRow->addStretch(1);

  vorbisMode_ = new QButtonGroup(this);
  auto* byQuality = new QRadioButton(tr("&Quality:"), this);
  auto* byBitRate = new QRadioButton(tr("&Average Bit Rate:"), this);
  vorbisMode_->addButton(byQuality, kVorbisByQuality);
  vorbisMode_->addButton(byBitRate, kVorbisByBitRate);
  vorbisQuality_ = MakeNumberEdit(true, this);
  qualitySpin_ = new CUpDown(vorbisQuality_, kVorbisMinQuality, kVorbisMaxQuality, 1, this);
  vorbisBitRate_ = MakeNumberEdit(false, this);
  bitRateSpin_ = new CUpDown(vorbisBitRate_, kVorbisMinBitRate, kVorbisMaxBitRate, 8, this);

  auto* grid = new QGridLayout;
  grid->addWidget(MakeHeading(tr("Opus Encoding Parameters"), this), 0, 0, 1, 2);
  grid->addWidget(MakeBuddyLabel(tr("&Bit Rate:"), opusBitRate_, this), 1, 0);
  grid->addLayout(NumberRow(opusBitRate_, opusSpin_,
                            tr("kbps for stereo (%1 to %2 per channel)")
                                .arg(kOpusMinBitRate)
                                .arg(kOpusMaxBitRatePerChannel),
                            this),
                  1, 1);
  grid->addWidget(new QLabel(tr("Signal:"), this), 2, 0);
  grid->addLayout(signalRow, 2, 1);
  grid->addWidget(opusVbr_, 3, 0, 1, 2);
  grid->addWidget(MakeHeading(tr("Ogg Vorbis Encoding Parameters"), this), 4, 0, 1, 2);
  grid->addWidget(byQuality, 5, 0);
  grid->addLayout(NumberRow(vorbisQuality_, qualitySpin_,
                            tr("(Default: %1. From %2 to %3; higher is better)")
                                .arg(OggPageValues{}.vorbisQuality)
                                .arg(kVorbisMinQuality)
                                .arg(kVorbisMaxQuality),
                            this),
                  5, 1);
  grid->addWidget(byBitRate, 6, 0);
  grid->addLayout(NumberRow(vorbisBitRate_, bitRateSpin_,
                            tr("kbps (Default: %1. From %2 to %3)")
                                .arg(OggPageValues{}.vorbisBitRate)
                                .arg(kVorbisMinBitRate)
                                .arg(kVorbisMaxBitRate),
                            this),
                  6, 1);
  grid->setColumnStretch(1, 1);
  auto* page = new QVBoxLayout(this);
  page->addLayout(grid);
  page->addWidget(MakeHeading(tr("Tags"), this));
  page->addWidget(new QLabel(
      tr("The tags of Opus and Ogg Vorbis files are chosen on the FLAC / ALAC page."), this));
  page->addStretch(1);

  connect(vorbisMode_, &QButtonGroup::idClicked, this, &COptOpusVorbisPage::OnVorbisMode);
}

QRadioButton* COptOpusVorbisPage::SignalButton(int index) const {
  return qobject_cast<QRadioButton*>(signal_->button(index));
}

QRadioButton* COptOpusVorbisPage::VorbisModeButton(int index) const {
  return qobject_cast<QRadioButton*>(vorbisMode_->button(index));
}

void COptOpusVorbisPage::Load(const ConversionSettings& s) {
  const OggPageValues v = OggPageFrom(s);
  opusBitRate_->setText(QString::number(v.opusBitRate));
  opusVbr_->setChecked(v.opusVbr);
  Check(signal_, v.opusSignal);
  Check(vorbisMode_, v.vorbisMode);
  vorbisQuality_->setText(QString::number(v.vorbisQuality));
  vorbisBitRate_->setText(QString::number(v.vorbisBitRate));
  ApplyEnablingRule();
}

std::optional<PageProblem> COptOpusVorbisPage::Validate() {
  if (auto problem = ReadInRange(opusBitRate_, kOpusMinBitRate, kOpusMaxBitRate)) return problem;
  if (vorbisMode_->checkedId() == kVorbisByBitRate)
    return ReadInRange(vorbisBitRate_, kVorbisMinBitRate, kVorbisMaxBitRate);
  return ReadInRange(vorbisQuality_, kVorbisMinQuality, kVorbisMaxQuality);
}

void COptOpusVorbisPage::Store(ConversionSettings& s) const {
  OggPageValues v;
  v.opusBitRate = ValueOf(opusBitRate_);
  v.opusVbr = opusVbr_->isChecked();
  v.opusSignal = signal_->checkedId() == 1 ? 1 : 0;
  v.vorbisMode = vorbisMode_->checkedId() == kVorbisByBitRate ? kVorbisByBitRate : kVorbisByQuality;
  v.vorbisQuality = ValueOf(vorbisQuality_);
  v.vorbisBitRate = ValueOf(vorbisBitRate_);
  WriteBackOgg(s, v);
}

void COptOpusVorbisPage::ApplyEnablingRule() {
  const bool byBitRate = vorbisMode_->checkedId() == kVorbisByBitRate;
  vorbisQuality_->setEnabled(!byBitRate);
  qualitySpin_->setEnabled(!byBitRate);
  vorbisBitRate_->setEnabled(byBitRate);
  bitRateSpin_->setEnabled(byBitRate);
}

void COptOpusVorbisPage::OnVorbisMode(int mode) {
  ApplyEnablingRule();
  (mode == kVorbisByBitRate ? vorbisBitRate_ : vorbisQuality_)->setFocus(Qt::OtherFocusReason);
}

}  // namespace wavorax::ui
