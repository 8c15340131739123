// The page "General" of the options sheet: the mono down-mix choice, the extensions that Add
// Folder and drops admit, the output folder and target-exists policies, and the windows' look.
#pragma once

#include <vector>

class QSpinBox;

#include <string>

#include "engine/library/NamePattern.h"
#include "ui/options/OptPage.h"

namespace wavorax::ui {

class COptOutputPage : public COptPage {
  Q_OBJECT

 public:
  explicit COptOutputPage(QWidget* parent = nullptr);

  void Load(const ConversionSettings& settings) override;
  // "Please choose an output folder." for a custom folder left empty.
  std::optional<PageProblem> Validate() override;
  void Store(ConversionSettings& settings) const override;

  QRadioButton* MonoButton(int type) const;
  QPushButton* MonoHelpButton() const { return monoHelp_; }
  // The 40 extension boxes in reading order, and the one whose label is `extension` (".mp3").
  const std::vector<QCheckBox*>& ExtensionBoxes() const { return extensionBoxes_; }
  QCheckBox* ExtensionBox(const QString& extension) const;
  QPushButton* CheckAllButton() const { return checkAll_; }
  QPushButton* UncheckAllButton() const { return uncheckAll_; }
  QComboBox* OutputFolderList() const { return outputFolder_; }
  QLineEdit* CustomFolderEdit() const { return customFolder_; }
  QPushButton* BrowseButton() const { return browse_; }
  QCheckBox* CreateDirsBox() const { return createDirs_; }
  QLabel* ExampleLabel() const { return example_; }
  QComboBox* TargetExistsList() const { return targetExists_; }
  QCheckBox* MyDocumentsBox() const { return myDocuments_; }
  QCheckBox* BrowseOutputBox() const { return browseOutput_; }
  QSpinBox* JobsSpin() const { return jobs_; }
  QCheckBox* VerifyBox() const { return verify_; }
  QLineEdit* PatternEdit() const { return pattern_; }
  QLabel* PatternExampleLabel() const { return patternExample_; }
  QCheckBox* FatSafeBox() const { return fatSafe_; }
  QCheckBox* SyncBox() const { return sync_; }
  QCheckBox* RemoveOrphansBox() const { return removeOrphans_; }
  QCheckBox* TrashSourcesBox() const { return trashSources_; }
  QComboBox* ReplayGainList() const { return replayGain_; }
  QCheckBox* NormaliseBox() const { return normalise_; }
  QSpinBox* NormaliseTargetSpin() const { return normaliseTarget_; }
  QCheckBox* DesktopLookBox() const { return desktopLook_; }
  // The live example of the pattern is made from this source's tags (the list's first row)
  // with the target's extension; without a source, from a made-up track.
  void SetExampleSource(const std::string& sourcePath, const std::string& extension);

 private:
  void UpdateCustomFolder();
  void OnBrowse();
  void SetAllExtensions(bool checked);
  void UpdatePatternExample();

  QButtonGroup* mono_;
  QPushButton* monoHelp_;
  std::vector<QCheckBox*> extensionBoxes_;
  // The flag of each box, in the same order.
  std::vector<std::int32_t ConversionSettings::*> extensionFlags_;
  QPushButton* checkAll_;
  QPushButton* uncheckAll_;
  QComboBox* outputFolder_;
  QLineEdit* customFolder_;
  QPushButton* browse_;
  QCheckBox* createDirs_;
  QLabel* example_;
  QComboBox* targetExists_;
  QCheckBox* myDocuments_;
  QCheckBox* browseOutput_;
  QSpinBox* jobs_;
  QCheckBox* verify_;
  QLabel* folderLabel_;
  QLineEdit* pattern_;
  QLabel* patternExample_;
  QCheckBox* fatSafe_;
  QCheckBox* sync_;
  QCheckBox* removeOrphans_;
  QCheckBox* trashSources_;
  QComboBox* replayGain_;
  QCheckBox* normalise_;
  QSpinBox* normaliseTarget_;
  QCheckBox* desktopLook_;
  QString customText_, baseText_;  // the folder field's two values
  int shownFolderCode_ = -1;       // the choice the folder field shows the value of
  library::NameFields exampleFields_ = library::SampleFields();
  std::string exampleExtension_ = ".mp3";
};

}  // namespace wavorax::ui
