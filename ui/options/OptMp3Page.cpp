#include "ui/options/OptMp3Page.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "controls/LinkLabel.h"
#include "ui/options/PageValues.h"

namespace wavorax::ui {

namespace {

struct Preset {
  int sampleRate;
  int bitRate;
  int channel;  // page index: 0 joint stereo, 1 stereo, 2 mono, 3 as the source
};
// Items 1 to 4 of the preset list.
constexpr Preset kPresets[] = {{11025, 16, 2}, {22050, 32, 0}, {32000, 96, 0}, {44100, 128, 0}};

constexpr int kBitRates[] = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                             96, 112, 128, 144, 160, 192, 224, 256, 320};
constexpr int kSampleRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

// The sample rate that keeps bit rate `b` valid for MPEG audio (MPEG-1 layer III runs 32 to
// 320 kbit/s at 32000 Hz and above, MPEG-2 8 to 160 at 16000 to 24000, MPEG-2.5 8 to 64 below).
int SampleRateFor(int b, int r) {
  if ((b == 8 || b == 16 || b == 24) && r > 24000) return 24000;
  if (b >= 80 && b <= 160 && r < 16000) return 16000;
  if (b >= 192 && r < 32000) return 32000;
  return r;
}

// The bit rate that stays valid at sample rate `r`.
int BitRateFor(int r, int b) {
  if (r <= 12000 && b > 64) return 64;
  if (r >= 16000 && r <= 24000 && b > 160) return 160;
  if (r >= 32000 && b < 32) return 32;
  return b;
}

}  // namespace

COptMp3Page::COptMp3Page(QWidget* parent) : COptPage(parent) {
  presets_ = new QComboBox(this);
  presets_->addItems({tr("Auto"), tr("11025 Hz, 16 kbps, Mono (low quality, smaller file size)"),
                      tr("22050 Hz, 32 kbps, Joint Stereo (OK quality, small size)"),
                      tr("32000 Hz, 96 kbps, Joint Stereo (medium quality, normal size)"),
                      tr("44100Hz, 128 kbps, Joint Stereo (close to CD-quality, large size)"),
                      tr("Custom")});
  CodedItems rates;
  for (int r : kSampleRates) rates.emplace_back(tr("%1 Hz").arg(r), r);
  rates.emplace_back(tr("Same as original file"), 0);
  sampleRates_ = MakeCodedList(rates, this);
  CodedItems bits;
  for (int b : kBitRates) bits.emplace_back(tr("%1 kbps").arg(b), b);
  bits.emplace_back(tr("Same as original file"), 0);
  bitRates_ = MakeCodedList(bits, this);
  modes_ = MakeCodedList({{tr("Constant bit rate"), kMp3Cbr},
                          {tr("Variable bit rate"), kMp3Vbr},
                          {tr("Average bit rate"), kMp3Abr}},
                         this);
  CodedItems qualities;
  for (int q = kMp3VbrQualityBest; q <= kMp3VbrQualitySmallest; ++q)
    qualities.emplace_back(tr("V%1").arg(q), q);
  qualities.front().first += tr(" (best)");
  qualities.back().first += tr(" (smallest)");
  vbrQualities_ = MakeCodedList(qualities, this);
  CodedItems averages;
  for (int b : kBitRates) averages.emplace_back(tr("%1 kbps").arg(b), b);
  abrRates_ = MakeCodedList(averages, this);

  channels_ = new QButtonGroup(this);
  auto* channelRow = new QHBoxLayout;
  channelRow->addWidget(new QLabel(tr("Channels:"), this));
  const char* channelTexts[] = {QT_TR_NOOP("&Joint Stereo"), QT_TR_NOOP("&Stereo"),
                                QT_TR_NOOP("&Mono"), QT_TR_NOOP("Same as &original file")};
  for (int i = 0; i < 4; ++i) {
    auto* button = new QRadioButton(tr(channelTexts[i]), this);
    channels_->addButton(button, i);
    channelRow->addWidget(button);
  }
  channelRow->addStretch(1);

  stereoLink_ = new CLinkLabel(tr("Joint Stereo vs. Stereo"), this);
  encoderLink_ = new CLinkLabel(tr("The program uses LAME MP3 encoder."), this);
  stereoLink_->SetLink(QStringLiteral("https://duckduckgo.com/?q=mp3+joint+stereo+vs+stereo"));
  encoderLink_->SetLink(QStringLiteral("https://lame.sourceforge.io/"));
  stereoLink_->SetUnderlineMode(1);
  encoderLink_->SetUnderlineMode(1);

  tag_ =
      new CTagChoiceBox({tr("Add &ID3 tag"), tr("T&ransfer ID3 tag from source file"), tr("&None")},
                        tr("Edit ID3 &tag"), this);
  amplify_ = new CAmplifyBox(this);

  auto* page = new QVBoxLayout(this);
  page->addWidget(MakeHeading(tr("Encoding Parameters"), this));
  auto* grid = new QGridLayout;
  grid->addWidget(MakeBuddyLabel(tr("&Encoding Options:"), presets_, this), 0, 0);
  grid->addWidget(presets_, 0, 1, 1, 3);
  grid->addWidget(MakeBuddyLabel(tr("Sample &Frequency:"), sampleRates_, this), 1, 0);
  grid->addWidget(sampleRates_, 1, 1);
  grid->addWidget(MakeBuddyLabel(tr("&Bit Rate:"), bitRates_, this), 1, 2, Qt::AlignRight);
  grid->addWidget(bitRates_, 1, 3);
  grid->addWidget(MakeBuddyLabel(tr("Bit Rate Mo&de:"), modes_, this), 2, 0);
  grid->addWidget(modes_, 2, 1);
  grid->addWidget(MakeBuddyLabel(tr("VBR &Quality:"), vbrQualities_, this), 3, 0);
  grid->addWidget(vbrQualities_, 3, 1);
  grid->addWidget(MakeBuddyLabel(tr("A&verage Bit Rate:"), abrRates_, this), 3, 2, Qt::AlignRight);
  grid->addWidget(abrRates_, 3, 3);
  grid->addLayout(channelRow, 4, 0, 1, 4);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  page->addLayout(grid);
  auto* links = new QHBoxLayout;
  links->addWidget(stereoLink_);
  links->addStretch(1);
  links->addWidget(encoderLink_);
  page->addLayout(links);
  page->addWidget(MakeHeading(tr("ID3 tag"), this));
  page->addWidget(tag_);
  page->addWidget(MakeHeading(tr("Sound"), this));
  page->addWidget(amplify_);
  page->addStretch(1);

  connect(presets_, &QComboBox::activated, this, &COptMp3Page::OnPreset);
  connect(bitRates_, &QComboBox::activated, this, &COptMp3Page::OnBitRate);
  connect(sampleRates_, &QComboBox::activated, this, &COptMp3Page::OnSampleRate);
  connect(channels_, &QButtonGroup::idClicked, this, &COptMp3Page::OnChannel);
  connect(modes_, &QComboBox::activated, this, &COptMp3Page::OnMode);
}

QRadioButton* COptMp3Page::ChannelButton(int index) const {
  return qobject_cast<QRadioButton*>(channels_->button(index));
}

void COptMp3Page::Load(const ConversionSettings& s) {
  const Mp3PageValues values = Mp3PageFrom(s);
  bitRate_ = values.bitRate;
  sampleRate_ = values.sampleRate;
  channel_ = values.channelIndex;
  mode_ = values.encodingMode;
  int preset = kPresetCustom;
  if (values.automatic) {
    preset = kPresetAuto;
  } else if (mode_ == kMp3Cbr) {  // the presets name constant bit rates
    for (int i = 0; i < 4; ++i) {
      const Preset& p = kPresets[i];
      if (p.sampleRate == sampleRate_ && p.bitRate == bitRate_ && p.channel == channel_) {
        preset = i + 1;
        break;
      }
    }
  }
  presets_->setCurrentIndex(preset);
  SelectCode(bitRates_, bitRate_);
  SelectCode(sampleRates_, sampleRate_);
  channels_->button(channel_)->setChecked(true);
  SelectCode(modes_, mode_);
  SelectCode(vbrQualities_, values.vbrQuality);
  if (!SelectCode(abrRates_, values.abrBitRate)) SelectCode(abrRates_, Mp3PageValues{}.abrBitRate);
  EnableParameters(!values.automatic);
  tag_->Load(s.MP3ID3TagType, s.MP3ID3Tag);
  amplify_->Load(s.AmplifyMp3 != 0, s.AmplifyMp3Coeff);
}

std::optional<PageProblem> COptMp3Page::Validate() { return amplify_->Validate(); }

void COptMp3Page::Store(ConversionSettings& s) const {
  Mp3PageValues values;
  values.automatic = presets_->currentIndex() == kPresetAuto;
  values.bitRate = SelectedCode(bitRates_);
  values.sampleRate = SelectedCode(sampleRates_);
  values.channelIndex = channels_->checkedId() >= 0 ? channels_->checkedId() : channel_;
  values.encodingMode = SelectedCode(modes_);
  values.vbrQuality = SelectedCode(vbrQualities_);
  values.abrBitRate = SelectedCode(abrRates_);
  WriteBackMp3(s, values);
  s.MP3ID3TagType = tag_->Choice();
  s.MP3ID3Tag = tag_->Tag();
  s.AmplifyMp3 = amplify_->Amplify() ? 1 : 0;
  s.AmplifyMp3Coeff = amplify_->Coefficient();
}

void COptMp3Page::EnableParameters(bool enable) {
  sampleRates_->setEnabled(enable);
  modes_->setEnabled(enable);
  // Each rate control has its own value; the other two wait disabled.
  const int mode = SelectedCode(modes_);
  bitRates_->setEnabled(enable && mode == kMp3Cbr);
  vbrQualities_->setEnabled(enable && mode == kMp3Vbr);
  abrRates_->setEnabled(enable && mode == kMp3Abr);
  for (QAbstractButton* button : channels_->buttons()) button->setEnabled(enable);
}

void COptMp3Page::OnPreset(int index) {
  if (index == kPresetAuto) {
    EnableParameters(false);
    return;
  }
  if (channels_->checkedId() >= 0) channel_ = channels_->checkedId();
  if (index >= 1 && index <= 4) {  // "Custom" keeps the values as they are
    const Preset& p = kPresets[index - 1];
    bitRate_ = p.bitRate;
    sampleRate_ = p.sampleRate;
    channel_ = p.channel;
    mode_ = kMp3Cbr;
    SelectCode(bitRates_, bitRate_);
    SelectCode(sampleRates_, sampleRate_);
    SelectCode(modes_, mode_);
    channels_->button(channel_)->setChecked(true);
  }
  EnableParameters(true);
}

void COptMp3Page::OnBitRate(int index) {
  const int b = bitRates_->itemData(index).toInt();
  const int r = SelectedCode(sampleRates_, -1);
  // "Same as original file" on either side leaves nothing to keep in step.
  if (b == bitRate_ || b == 0 || r <= 0) return;
  const int fitted = SampleRateFor(b, r);
  if (fitted != r) SelectCode(sampleRates_, fitted);
  presets_->setCurrentIndex(kPresetCustom);
  bitRate_ = b;
  sampleRate_ = fitted;
}

void COptMp3Page::OnSampleRate(int index) {
  const int r = sampleRates_->itemData(index).toInt();
  const int b = SelectedCode(bitRates_, -1);
  if (r == sampleRate_ || r == 0 || b <= 0) return;
  const int fitted = BitRateFor(r, b);
  if (fitted != b) SelectCode(bitRates_, fitted);
  presets_->setCurrentIndex(kPresetCustom);
  sampleRate_ = r;
  bitRate_ = fitted;
}

void COptMp3Page::OnMode(int index) {
  const int mode = modes_->itemData(index).toInt();
  if (mode != mode_) presets_->setCurrentIndex(kPresetCustom);
  mode_ = mode;
  EnableParameters(true);
}

void COptMp3Page::OnChannel(int index) {
  if (index != channel_) presets_->setCurrentIndex(kPresetCustom);
  channel_ = index;
}

}  // namespace wavorax::ui
