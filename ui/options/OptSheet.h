// The modal sheet "Options" with its pages. It edits a copy of the settings: on OK the
// pages that were shown are written back and the options are saved once.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "app/SettingsStore.h"
#include "settings/ConversionSettings.h"
#include "ui/options/PageValues.h"

class QDialogButtonBox;
class QPushButton;
class QTabWidget;

namespace wavorax::ui {

class COptPage;
class COptOutputPage;
class COptMp3Page;
class COptWavPage;
class COptAacPage;
class COptM4aPage;
class COptFlacAlacPage;
class COptOpusVorbisPage;

class COptSheet : public QDialog {
  Q_OBJECT

 public:
  // LastOptionsPage holds these indexes: later pages are added at the end.
  enum : int {
    kGeneralPage,
    kMp3Page,
    kWavPage,
    kAacPage,
    kM4aPage,
    kFlacAlacPage,
    kOpusVorbisPage,
    kPageCount
  };

  // Loads `settings` into every page and opens on its LastOptionsPage.
  COptSheet(const ConversionSettings& settings, QWidget* parent);

  // The page that is active now (LastOptionsPage takes it when the sheet closes).
  int ActivePage() const;
  // The page that sets the encoder of a target code, or null.
  COptPage* PageFor(int targetCode) const;
  // Writes the pages that were shown into `settings`; a page never shown leaves its fields.
  void WriteBack(ConversionSettings& settings) const;

  QTabWidget* Tabs() const { return tabs_; }
  COptOutputPage* GeneralPage() const;
  COptMp3Page* Mp3Page() const;
  COptWavPage* WavPage() const;
  COptAacPage* AacPage() const;
  COptM4aPage* M4aPage() const;
  COptFlacAlacPage* FlacAlacPage() const;
  COptOpusVorbisPage* OpusVorbisPage() const;
  QPushButton* OkButton() const;
  QPushButton* CancelButton() const;

  // Closes the sheet only when the active page lets the user leave it.
  void accept() override;

 private:
  void OnTabChanged(int index);

  QTabWidget* tabs_;
  QDialogButtonBox* buttons_;
  std::array<COptPage*, kPageCount> pages_{};
  std::array<bool, kPageCount> shown_{};
  int current_ = 0;
  bool reverting_ = false;
};

// The Options command: runs the sheet on `settings`. LastOptionsPage takes the page the sheet
// was left on whatever closed it; on OK the pages are written back and the options saved
// (kSaveOptions). True on OK.
// `prepare`, when given, sees the sheet before it runs.
bool RunOptionsSheet(ConversionSettings& settings, CSettingsStore& store, QWidget* parent,
                     const std::function<void(COptSheet&)>& prepare = nullptr);

}  // namespace wavorax::ui
