// The page "FLAC / ALAC": the FLAC compression level and width, the ALAC width, and the tag
// choice of the targets that carry Vorbis comments (FLAC, Opus, Ogg Vorbis). ALAC is an MP4
// file and takes the MP4/M4A/M4B page's tag choice.
#pragma once

#include "ui/options/OptPage.h"

namespace wavorax::ui {

class COptFlacAlacPage : public COptPage {
  Q_OBJECT

 public:
  explicit COptFlacAlacPage(QWidget* parent = nullptr);
  std::vector<int> TargetCodes() const override { return {kTargetFlac, kTargetAlac}; }

  void Load(const ConversionSettings& settings) override;
  // Every control is a list: nothing to refuse.
  std::optional<PageProblem> Validate() override { return std::nullopt; }
  void Store(ConversionSettings& settings) const override;

  QComboBox* CompressionList() const { return compression_; }  // item data 0 to 8
  QComboBox* FlacBitsList() const { return flacBits_; }        // item data 0 or 16
  QComboBox* AlacBitsList() const { return alacBits_; }
  CTagChoiceBox* TagBox() const { return tag_; }

 private:
  QComboBox* compression_;
  QComboBox* flacBits_;
  QComboBox* alacBits_;
  CTagChoiceBox* tag_;
};

}  // namespace wavorax::ui
