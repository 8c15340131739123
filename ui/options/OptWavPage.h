// The page "WAV Options": automatic or explicit output parameters through presets or one by
// one, and the amplification.
#pragma once

#include "ui/options/OptPage.h"

namespace wavorax::ui {

class COptWavPage : public COptPage {
  Q_OBJECT

 public:
  enum : int { kPresetAuto = 0, kPresetCustom = 5 };

  explicit COptWavPage(QWidget* parent = nullptr);
  std::vector<int> TargetCodes() const override { return {kTargetWav}; }

  void Load(const ConversionSettings& settings) override;
  std::optional<PageProblem> Validate() override;
  void Store(ConversionSettings& settings) const override;

  QComboBox* PresetList() const { return presets_; }
  QComboBox* SampleRateList() const { return sampleRates_; }
  QComboBox* BitsList() const { return bits_; }
  QRadioButton* ChannelButton(int index) const;
  CAmplifyBox* AmplifyBox() const { return amplify_; }

 private:
  void OnPreset(int index);
  void OnBits(int index);
  void OnSampleRate(int index);
  void OnChannel(int index);
  void EnableParameters(bool enable);

  QComboBox* presets_;
  QComboBox* sampleRates_;
  QComboBox* bits_;
  QButtonGroup* channels_;
  CAmplifyBox* amplify_;
  int bitsValue_ = 16;
  int sampleRate_ = 44100;
  int channel_ = 0;
};

}  // namespace wavorax::ui
