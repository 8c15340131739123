#include "ui/options/OptWavPage.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/options/PageValues.h"

namespace wavorax::ui {

namespace {

struct Preset {
  int sampleRate;
  int bits;
  int channel;  // page index: 0 stereo, 1 mono, 2 as the source
};
constexpr Preset kPresets[] = {{11025, 8, 1}, {22050, 16, 0}, {32000, 16, 0}, {44100, 16, 0}};
constexpr int kSampleRates[] = {6000,  8000,  11025, 12000, 16000, 22050,
                                24000, 32000, 44100, 48000, 88200, 96000};

}  // namespace

COptWavPage::COptWavPage(QWidget* parent) : COptPage(parent) {
  presets_ = new QComboBox(this);
  presets_->addItems({tr("Auto"), tr("11025 Hz, 8 bits, Mono (low quality, smaller file size)"),
                      tr("22050 Hz, 16 bits, Stereo (OK quality, small size)"),
                      tr("32000 Hz, 16 bits, Stereo (medium quality, normal size)"),
                      tr("44100Hz, 16 bits, Stereo (high quality, large size)"), tr("Custom")});
  CodedItems rates;
  for (int r : kSampleRates) rates.emplace_back(tr("%1 Hz").arg(r), r);
  rates.emplace_back(tr("Same as original file"), 0);
  sampleRates_ = MakeCodedList(rates, this);
  bits_ = MakeCodedList({{tr("8 bits"), 8},
                         {tr("16 bits"), 16},
                         {tr("24 bits"), 24},
                         {tr("32 bits float"), 32},
                         {tr("Same as original file"), 0}},
                        this);
  channels_ = new QButtonGroup(this);
  auto* channelRow = new QHBoxLayout;
  channelRow->addWidget(new QLabel(tr("Channels:"), this));
  const char* channelTexts[] = {QT_TR_NOOP("&Stereo"), QT_TR_NOOP("&Mono"),
                                QT_TR_NOOP("Same as &original file")};
  for (int i = 0; i < 3; ++i) {
    auto* button = new QRadioButton(tr(channelTexts[i]), this);
    channels_->addButton(button, i);
    channelRow->addWidget(button);
  }
  channelRow->addStretch(1);
  amplify_ = new CAmplifyBox(this);

  auto* page = new QVBoxLayout(this);
  page->addWidget(MakeHeading(tr("WAV Encoding Parameters"), this));
  auto* grid = new QGridLayout;
  grid->addWidget(MakeBuddyLabel(tr("&Encoding Options:"), presets_, this), 0, 0);
  grid->addWidget(presets_, 0, 1, 1, 3);
  grid->addWidget(MakeBuddyLabel(tr("Sample &Frequency:"), sampleRates_, this), 1, 0);
  grid->addWidget(sampleRates_, 1, 1);
  grid->addWidget(MakeBuddyLabel(tr("&Bits:"), bits_, this), 1, 2, Qt::AlignRight);
  grid->addWidget(bits_, 1, 3);
  grid->addLayout(channelRow, 2, 0, 1, 4);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  page->addLayout(grid);
  page->addWidget(MakeHeading(tr("Sound"), this));
  page->addWidget(amplify_);
  page->addStretch(1);

  connect(presets_, &QComboBox::activated, this, &COptWavPage::OnPreset);
  connect(bits_, &QComboBox::activated, this, &COptWavPage::OnBits);
  connect(sampleRates_, &QComboBox::activated, this, &COptWavPage::OnSampleRate);
  connect(channels_, &QButtonGroup::idClicked, this, &COptWavPage::OnChannel);
}

QRadioButton* COptWavPage::ChannelButton(int index) const {
  return qobject_cast<QRadioButton*>(channels_->button(index));
}

void COptWavPage::Load(const ConversionSettings& s) {
  const WavPageValues values = WavPageFrom(s);
  bitsValue_ = values.bitsPerSample;
  sampleRate_ = values.sampleRate;
  channel_ = values.channelIndex;
  int preset = kPresetCustom;
  if (values.automatic) {
    preset = kPresetAuto;
  } else {
    for (int i = 0; i < 4; ++i) {
      const Preset& p = kPresets[i];
      if (p.sampleRate == sampleRate_ && p.bits == bitsValue_ && p.channel == channel_) {
        preset = i + 1;
        break;
      }
    }
  }
  presets_->setCurrentIndex(preset);
  // A value outside a list (a sample rate of 7000) selects its first item, which OK stores.
  SelectCode(bits_, bitsValue_);
  SelectCode(sampleRates_, sampleRate_);
  channels_->button(channel_)->setChecked(true);
  EnableParameters(!values.automatic);
  amplify_->Load(s.AmplifyWav != 0, s.AmplifyWavCoeff);
}

std::optional<PageProblem> COptWavPage::Validate() { return amplify_->Validate(); }

void COptWavPage::Store(ConversionSettings& s) const {
  WavPageValues values;
  values.automatic = presets_->currentIndex() == kPresetAuto;
  values.bitsPerSample = SelectedCode(bits_);
  values.sampleRate = SelectedCode(sampleRates_);
  values.channelIndex = channels_->checkedId() >= 0 ? channels_->checkedId() : channel_;
  WriteBackWav(s, values);
  s.AmplifyWav = amplify_->Amplify() ? 1 : 0;
  s.AmplifyWavCoeff = amplify_->Coefficient();
}

void COptWavPage::EnableParameters(bool enable) {
  sampleRates_->setEnabled(enable);
  bits_->setEnabled(enable);
  for (QAbstractButton* button : channels_->buttons()) button->setEnabled(enable);
}

void COptWavPage::OnPreset(int index) {
  if (index == kPresetAuto) {
    EnableParameters(false);
    return;
  }
  if (!sampleRates_->isEnabled()) EnableParameters(true);
  if (channels_->checkedId() >= 0) channel_ = channels_->checkedId();
  if (index < 1 || index > 4) return;
  const Preset& p = kPresets[index - 1];
  bitsValue_ = p.bits;
  sampleRate_ = p.sampleRate;
  channel_ = p.channel;
  SelectCode(bits_, bitsValue_);
  SelectCode(sampleRates_, sampleRate_);
  channels_->button(channel_)->setChecked(true);
}

void COptWavPage::OnBits(int index) {
  const int value = bits_->itemData(index).toInt();
  if (value == bitsValue_) return;
  presets_->setCurrentIndex(kPresetCustom);
  bitsValue_ = value;
}

void COptWavPage::OnSampleRate(int index) {
  const int value = sampleRates_->itemData(index).toInt();
  if (value == sampleRate_) return;
  presets_->setCurrentIndex(kPresetCustom);
  sampleRate_ = value;
}

void COptWavPage::OnChannel(int index) {
  if (index != channel_) presets_->setCurrentIndex(kPresetCustom);
  channel_ = index;
}

}  // namespace wavorax::ui
