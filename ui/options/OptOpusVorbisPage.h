// The page "Opus / Vorbis": the Opus bit rate, VBR and signal, and Ogg Vorbis by quality or by
// an average bit rate. Their tag choice is on the FLAC / ALAC page.
#pragma once

#include "ui/options/OptPage.h"

namespace wavorax::ui {

class COptOpusVorbisPage : public COptPage {
  Q_OBJECT

 public:
  explicit COptOpusVorbisPage(QWidget* parent = nullptr);
  std::vector<int> TargetCodes() const override { return {kTargetOpus, kTargetOgg}; }

  void Load(const ConversionSettings& settings) override;
  // The Opus bit rate, then the Vorbis value of the chosen way, each an integer in its range.
  std::optional<PageProblem> Validate() override;
  void Store(ConversionSettings& settings) const override;

  QLineEdit* OpusBitRateEdit() const { return opusBitRate_; }
  CUpDown* OpusBitRateSpin() const { return opusSpin_; }
  QCheckBox* OpusVbrBox() const { return opusVbr_; }
  QRadioButton* SignalButton(int index) const;      // 0 music, 1 speech
  QRadioButton* VorbisModeButton(int index) const;  // 0 quality, 1 average bit rate
  QLineEdit* VorbisQualityEdit() const { return vorbisQuality_; }
  CUpDown* VorbisQualitySpin() const { return qualitySpin_; }
  QLineEdit* VorbisBitRateEdit() const { return vorbisBitRate_; }
  CUpDown* VorbisBitRateSpin() const { return bitRateSpin_; }

 private:
  void ApplyEnablingRule();
  void OnVorbisMode(int mode);

  QLineEdit* opusBitRate_;
  CUpDown* opusSpin_;
  QCheckBox* opusVbr_;
  QButtonGroup* signal_;
  QButtonGroup* vorbisMode_;
  QLineEdit* vorbisQuality_;
  CUpDown* qualitySpin_;
  QLineEdit* vorbisBitRate_;
  CUpDown* bitRateSpin_;
};

}  // namespace wavorax::ui
