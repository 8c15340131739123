// The page "MP3 Options": automatic or explicit encoding parameters through presets or one by
// one (bit rate and sample rate kept to pairs that MPEG audio allows), the rate control
// (constant, variable with a quality, or average bit rate), the tag choice with the tag
// editor, and the amplification.
#pragma once

#include "ui/options/OptPage.h"
#include "ui/options/PageValues.h"

namespace wavorax::ui {

class CLinkLabel;

class COptMp3Page : public COptPage {
  Q_OBJECT

 public:
  // Item positions of the preset list.
  enum : int { kPresetAuto = 0, kPresetCustom = 5 };

  explicit COptMp3Page(QWidget* parent = nullptr);
  std::vector<int> TargetCodes() const override { return {kTargetMp3}; }

  void Load(const ConversionSettings& settings) override;
  std::optional<PageProblem> Validate() override;
  void Store(ConversionSettings& settings) const override;

  QComboBox* PresetList() const { return presets_; }
  QComboBox* SampleRateList() const { return sampleRates_; }
  QComboBox* BitRateList() const { return bitRates_; }
  QRadioButton* ChannelButton(int index) const;
  QComboBox* ModeList() const { return modes_; }  // item data kMp3Cbr, kMp3Vbr, kMp3Abr
  QComboBox* VbrQualityList() const { return vbrQualities_; }
  QComboBox* AbrBitRateList() const { return abrRates_; }
  CLinkLabel* StereoLink() const { return stereoLink_; }
  CLinkLabel* EncoderLink() const { return encoderLink_; }
  CTagChoiceBox* TagBox() const { return tag_; }
  CAmplifyBox* AmplifyBox() const { return amplify_; }

 private:
  void OnPreset(int index);
  void OnBitRate(int index);
  void OnSampleRate(int index);
  void OnChannel(int index);
  void OnMode(int index);
  void EnableParameters(bool enable);

  QComboBox* presets_;
  QComboBox* sampleRates_;
  QComboBox* bitRates_;
  QButtonGroup* channels_;
  QComboBox* modes_;
  QComboBox* vbrQualities_;
  QComboBox* abrRates_;
  CLinkLabel* stereoLink_;
  CLinkLabel* encoderLink_;
  CTagChoiceBox* tag_;
  CAmplifyBox* amplify_;
  // The values the handlers compare a new choice with.
  int bitRate_ = 128;
  int sampleRate_ = 44100;
  int channel_ = 0;
  int mode_ = kMp3Cbr;
};

}  // namespace wavorax::ui
