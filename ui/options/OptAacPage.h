// The pages "AAC Options" and "MP4/M4A/M4B Options": automatic or explicit AAC encoder
// parameters (average or variable bit rate, TNS, mid/side, block types, and for raw AAC the
// MPEG version), the amplification, and for the MP4 family the tag choice. The two pages are
// one class apart from those differences.
#pragma once

#include "ui/options/OptPage.h"

class QGroupBox;

namespace wavorax::ui {

class CAacFamilyPage : public COptPage {
  Q_OBJECT

 public:
  void Load(const ConversionSettings& settings) override;
  // A quality outside 10 to 500 (variable bit rate, not automatic), then a coefficient outside
  // 10 to 3000 (amplification on).
  std::optional<PageProblem> Validate() override;
  void Store(ConversionSettings& settings) const override;

  QPushButton* ResetButton() const { return reset_; }
  QCheckBox* AutoBox() const { return auto_; }
  QRadioButton* RateButton(int index) const;  // 0 average, 1 variable bit rate
  QComboBox* BitRateList() const { return bitRates_; }
  QLineEdit* QualityEdit() const { return quality_; }
  CUpDown* QualitySpin() const { return qualitySpin_; }
  QCheckBox* TnsBox() const { return tns_; }
  QCheckBox* MidSideBox() const { return midSide_; }
  QRadioButton* MpegButton(int index) const;  // null on the MP4 page
  QRadioButton* BlockButton(int index) const;
  CTagChoiceBox* TagBox() const { return tag_; }  // null on the AAC page
  CAmplifyBox* AmplifyBox() const { return amplify_; }

 protected:
  // `mp4Family` makes the MP4/M4A/M4B page: no MPEG version, a tag section.
  CAacFamilyPage(bool mp4Family, QWidget* parent);

 private:
  void ApplyEnablingRule();
  void OnRateControl();
  void OnReset();

  bool mp4Family_;
  QPushButton* reset_;
  QCheckBox* auto_;
  QButtonGroup* rate_;
  QComboBox* bitRates_;
  QLineEdit* quality_;
  CUpDown* qualitySpin_;
  QCheckBox* tns_;
  QCheckBox* midSide_;
  QButtonGroup* mpeg_ = nullptr;
  QButtonGroup* block_;
  CTagChoiceBox* tag_ = nullptr;
  CAmplifyBox* amplify_;
  int storedBlockType_ = 0;
};

class COptAacPage : public CAacFamilyPage {
  Q_OBJECT

 public:
  explicit COptAacPage(QWidget* parent = nullptr) : CAacFamilyPage(false, parent) {}
  std::vector<int> TargetCodes() const override { return {kTargetAac}; }
};

class COptM4aPage : public CAacFamilyPage {
  Q_OBJECT

 public:
  explicit COptM4aPage(QWidget* parent = nullptr) : CAacFamilyPage(true, parent) {}
  std::vector<int> TargetCodes() const override { return {kTargetM4a, kTargetMp4, kTargetM4b}; }
};

}  // namespace wavorax::ui
