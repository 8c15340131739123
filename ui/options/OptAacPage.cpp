#include "ui/options/OptAacPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/options/PageValues.h"

namespace wavorax::ui {

namespace {

constexpr int kBitRates[] = {16,  24,  32,  40,  48,  56,  64,  80, 96,
                             112, 128, 144, 160, 192, 224, 256, 320};
constexpr int kDefaultQuality = 100;
constexpr int kDefaultBitRate = 128;

QButtonGroup* AddRadioRow(const QStringList& texts, QHBoxLayout* row, QWidget* parent) {
  auto* group = new QButtonGroup(parent);
  for (int i = 0; i < texts.size(); ++i) {
    auto* button = new QRadioButton(texts[i], parent);
    group->addButton(button, i);
    row->addWidget(button);
  }
  return group;
}

void Check(QButtonGroup* group, int id) {
  if (QAbstractButton* button = group->button(id)) button->setChecked(true);
}

}  // namespace

CAacFamilyPage::CAacFamilyPage(bool mp4Family, QWidget* parent)
    : COptPage(parent), mp4Family_(mp4Family) {
  reset_ = new QPushButton(tr("Reset"), this);
  auto_ = new QCheckBox(tr("A&uto (let the program choose the best parameters)"), this);
  auto* rateRow = new QHBoxLayout;
  rate_ =
      AddRadioRow({tr("Average &Bit Rate (ABR)"), tr("&Variable Bit Rate (VBR)")}, rateRow, this);
  rateRow->addStretch(1);
  CodedItems bits;
  for (int b : kBitRates) bits.emplace_back(tr("%1 kbps").arg(b), b);
  bits.emplace_back(tr("Same as original file"), 0);
  bitRates_ = MakeCodedList(bits, this);
  quality_ = MakeLimitedEdit(9, true, this);
  quality_->setFixedWidth(56);
  qualitySpin_ = new CUpDown(quality_, 10, 500, 10, this);

  auto* advanced = new QGroupBox(tr("Advanced Options"), this);
  tns_ = new QCheckBox(tr("Use &Temporal Noise Shaping (TNS)"), advanced);
  midSide_ = new QCheckBox(tr("Allow &Mid/Side"), advanced);
  auto* advancedGrid = new QGridLayout(advanced);
  advancedGrid->addWidget(tns_, 0, 0, 1, 2);
  advancedGrid->addWidget(midSide_, 1, 0, 1, 2);
  int row = 2;
  if (!mp4Family_) {
    auto* mpegRow = new QHBoxLayout;
    mpeg_ = AddRadioRow({tr("MPEG&4"), tr("MPEG&2")}, mpegRow, advanced);
    mpegRow->addStretch(1);
    advancedGrid->addWidget(new QLabel(tr("MPEG Version:"), advanced), row, 0);
    advancedGrid->addLayout(mpegRow, row++, 1);
  }
  auto* blockRow = new QHBoxLayout;
  block_ = AddRadioRow({tr("B&oth long and short"), tr("No &short"), tr("&No long")}, blockRow,
                       advanced);
  blockRow->addStretch(1);
  advancedGrid->addWidget(new QLabel(tr("Block Type:"), advanced), row, 0);
  advancedGrid->addLayout(blockRow, row, 1);
  advancedGrid->setColumnStretch(1, 1);

  if (mp4Family_) {
    tag_ = new CTagChoiceBox(
        {tr("Add &ID3 tag"), tr("Trans&fer ID3 tag from source file"), tr("Non&e")},
        tr("E&dit ID3 tag"), this);
  }
  amplify_ = new CAmplifyBox(this);

  auto* page = new QVBoxLayout(this);
  auto* headingRow = new QHBoxLayout;
  headingRow->addWidget(
      MakeHeading(
          mp4Family_ ? tr("MP4/M4A/M4B Encoding Parameters") : tr("AAC Encoding Parameters"), this),
      1);
  headingRow->addWidget(reset_);
  page->addLayout(headingRow);
  page->addWidget(auto_);
  page->addLayout(rateRow);
  auto* values = new QGridLayout;
  values->addWidget(MakeBuddyLabel(tr("Bit &Rate:"), bitRates_, this), 0, 0);
  values->addWidget(bitRates_, 0, 1);
  auto* qualityRow = new QHBoxLayout;
  qualityRow->addWidget(quality_);
  qualityRow->addWidget(qualitySpin_);
  qualityRow->addWidget(new QLabel(tr("(Default: 100. From 10 to 500)"), this));
  qualityRow->addStretch(1);
  values->addWidget(MakeBuddyLabel(tr("&Quality:"), quality_, this), 1, 0);
  values->addLayout(qualityRow, 1, 1);
  values->setColumnStretch(2, 1);
  page->addLayout(values);
  page->addWidget(advanced);
  if (tag_) {
    page->addWidget(MakeHeading(tr("ID3 tag"), this));
    page->addWidget(tag_);
  }
  page->addWidget(MakeHeading(tr("Sound"), this));
  page->addWidget(amplify_);
  page->addStretch(1);

  connect(auto_, &QCheckBox::clicked, this, &CAacFamilyPage::ApplyEnablingRule);
  connect(rate_, &QButtonGroup::idClicked, this, &CAacFamilyPage::OnRateControl);
  connect(reset_, &QPushButton::clicked, this, &CAacFamilyPage::OnReset);
}

QRadioButton* CAacFamilyPage::RateButton(int index) const {
  return qobject_cast<QRadioButton*>(rate_->button(index));
}

QRadioButton* CAacFamilyPage::MpegButton(int index) const {
  return mpeg_ ? qobject_cast<QRadioButton*>(mpeg_->button(index)) : nullptr;
}

QRadioButton* CAacFamilyPage::BlockButton(int index) const {
  return qobject_cast<QRadioButton*>(block_->button(index));
}

void CAacFamilyPage::Load(const ConversionSettings& s) {
  const AacPageValues v = mp4Family_ ? M4aPageFrom(s) : AacPageFrom(s);
  auto_->setChecked(v.automatic);
  Check(rate_, v.rateControlIndex);
  SelectCode(bitRates_, v.abrBitRate);
  quality_->setText(QString::number(v.vbrQuality));
  tns_->setChecked(v.tns);
  midSide_->setChecked(v.midSide);
  if (mpeg_) Check(mpeg_, v.mpegVersionIndex);
  storedBlockType_ = v.blockType;
  Check(block_, v.blockType);
  if (tag_) tag_->Load(s.M4AID3TagType, s.M4AID3Tag);
  if (mp4Family_) {
    amplify_->Load(s.AmplifyM4A != 0, s.AmplifyM4ACoef);
  } else {
    amplify_->Load(s.AmplifyAAC != 0, s.AmplifyAACCoef);
  }
  ApplyEnablingRule();
}

std::optional<PageProblem> CAacFamilyPage::Validate() {
  int quality = 0;
  int coefficient = 0;
  if (auto problem = ReadInteger(quality_, quality)) return problem;
  if (auto problem = ReadInteger(amplify_->Edit(), coefficient)) return problem;
  if (!auto_->isChecked() && rate_->checkedId() == 1 && (quality < 10 || quality > 500))
    return PageProblem{tr("Invalid quality value. It's betwen 10 and 500."), quality_};
  return amplify_->Validate();
}

void CAacFamilyPage::Store(ConversionSettings& s) const {
  AacPageValues v;
  v.automatic = auto_->isChecked();
  v.rateControlIndex = rate_->checkedId() == 1 ? 1 : 0;
  v.vbrQuality = quality_->text().trimmed().toInt();
  v.abrBitRate = SelectedCode(bitRates_);
  v.mpegVersionIndex = mpeg_ && mpeg_->checkedId() == 1 ? 1 : 0;
  v.tns = tns_->isChecked();
  v.midSide = midSide_->isChecked();
  // A stored block type outside the three buttons stays as it was.
  v.blockType = block_->checkedId() >= 0 ? block_->checkedId() : storedBlockType_;
  if (mp4Family_) {
    WriteBackM4a(s, v);
    s.AmplifyM4A = amplify_->Amplify() ? 1 : 0;
    s.AmplifyM4ACoef = amplify_->Coefficient();
    s.M4AID3TagType = tag_->Choice();
    s.M4AID3Tag = tag_->Tag();
  } else {
    WriteBackAac(s, v);
    s.AmplifyAAC = amplify_->Amplify() ? 1 : 0;
    s.AmplifyAACCoef = amplify_->Coefficient();
  }
}

void CAacFamilyPage::ApplyEnablingRule() {
  const bool e = !auto_->isChecked();
  QList<QAbstractButton*> buttons = rate_->buttons() + block_->buttons();
  if (mpeg_) buttons += mpeg_->buttons();
  for (QAbstractButton* button : buttons) button->setEnabled(e);
  tns_->setEnabled(e);
  midSide_->setEnabled(e);
  bitRates_->setEnabled(e && rate_->checkedId() == 0);
  quality_->setEnabled(e && rate_->checkedId() == 1);
  qualitySpin_->setEnabled(e && rate_->checkedId() == 1);
}

void CAacFamilyPage::OnRateControl() {
  ApplyEnablingRule();
  if (rate_->checkedId() == 0) {
    bitRates_->setFocus(Qt::OtherFocusReason);
  } else {
    quality_->setFocus(Qt::OtherFocusReason);
  }
}

void CAacFamilyPage::OnReset() {
  // The amplification and the tag are no encoder parameters: they stay as they are.
  auto_->setChecked(true);
  Check(rate_, 1);
  quality_->setText(QString::number(kDefaultQuality));
  if (mpeg_) Check(mpeg_, 0);
  tns_->setChecked(false);
  midSide_->setChecked(true);
  Check(block_, 0);
  SelectCode(bitRates_, kDefaultBitRate);
  ApplyEnablingRule();
}

}  // namespace wavorax::ui
