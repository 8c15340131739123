#include "ui/options/OptSheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/options/OptAacPage.h"
#include "ui/options/OptFlacAlacPage.h"
#include "ui/options/OptMp3Page.h"
#include "ui/options/OptOpusVorbisPage.h"
#include "ui/options/OptOutputPage.h"
#include "ui/options/OptWavPage.h"
#include "ui/options/PageValues.h"

namespace wavorax::ui {

COptSheet::COptSheet(const ConversionSettings& settings, QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Options"));
  setFont(SheetFont());
  tabs_ = new QTabWidget(this);
  pages_ = {new COptOutputPage, new COptMp3Page,      new COptWavPage,       new COptAacPage,
            new COptM4aPage,    new COptFlacAlacPage, new COptOpusVorbisPage};
  const char* titles[] = {
      QT_TR_NOOP("General"),      QT_TR_NOOP("MP3 Options"),         QT_TR_NOOP("WAV Options"),
      QT_TR_NOOP("AAC Options"),  QT_TR_NOOP("MP4/M4A/M4B Options"), QT_TR_NOOP("FLAC / ALAC"),
      QT_TR_NOOP("Opus / Vorbis")};
  // Every tab stays in sight: the sheet is as wide as its tabs need, never scrolled through
  // arrows, nor are their names cut.
  tabs_->setUsesScrollButtons(false);
  tabs_->setElideMode(Qt::ElideNone);
  for (int i = 0; i < kPageCount; ++i) {
    pages_[i]->Load(settings);
    tabs_->addTab(pages_[i], tr(titles[i]));
  }
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons_);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  const int start = settings.LastOptionsPage;
  current_ = start >= 0 && start < kPageCount ? start : 0;
  tabs_->setCurrentIndex(current_);
  shown_[current_] = true;
  connect(tabs_, &QTabWidget::currentChanged, this, &COptSheet::OnTabChanged);
  connect(buttons_, &QDialogButtonBox::accepted, this, &COptSheet::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &COptSheet::reject);
}

int COptSheet::ActivePage() const { return current_; }

COptPage* COptSheet::PageFor(int targetCode) const {
  for (COptPage* page : pages_)
    for (int code : page->TargetCodes())
      if (code == targetCode) return page;
  return nullptr;
}

COptOutputPage* COptSheet::GeneralPage() const {
  return static_cast<COptOutputPage*>(pages_[kGeneralPage]);
}
COptMp3Page* COptSheet::Mp3Page() const { return static_cast<COptMp3Page*>(pages_[kMp3Page]); }
COptWavPage* COptSheet::WavPage() const { return static_cast<COptWavPage*>(pages_[kWavPage]); }
COptAacPage* COptSheet::AacPage() const { return static_cast<COptAacPage*>(pages_[kAacPage]); }
COptM4aPage* COptSheet::M4aPage() const { return static_cast<COptM4aPage*>(pages_[kM4aPage]); }
COptFlacAlacPage* COptSheet::FlacAlacPage() const {
  return static_cast<COptFlacAlacPage*>(pages_[kFlacAlacPage]);
}
COptOpusVorbisPage* COptSheet::OpusVorbisPage() const {
  return static_cast<COptOpusVorbisPage*>(pages_[kOpusVorbisPage]);
}
QPushButton* COptSheet::OkButton() const { return buttons_->button(QDialogButtonBox::Ok); }
QPushButton* COptSheet::CancelButton() const { return buttons_->button(QDialogButtonBox::Cancel); }

void COptSheet::OnTabChanged(int index) {
  if (reverting_ || index == current_) return;
  // The tab has already changed; a page that refuses to be left takes it back.
  if (auto problem = pages_[current_]->Validate()) {
    reverting_ = true;
    tabs_->setCurrentIndex(current_);
    reverting_ = false;
    ReportProblem(*problem, this);
    return;
  }
  current_ = index;
  shown_[index] = true;
}

void COptSheet::accept() {
  if (auto problem = pages_[current_]->Validate()) {
    ReportProblem(*problem, this);
    return;
  }
  QDialog::accept();
}

void COptSheet::WriteBack(ConversionSettings& settings) const {
  for (int i = 0; i < kPageCount; ++i)
    if (shown_[i]) pages_[i]->Store(settings);
}

bool RunOptionsSheet(ConversionSettings& settings, CSettingsStore& store, QWidget* parent,
                     const std::function<void(COptSheet&)>& prepare) {
  COptSheet sheet(settings, parent);
  if (prepare) prepare(sheet);
  const bool ok = sheet.exec() == QDialog::Accepted;
  settings.LastOptionsPage = sheet.ActivePage();
  if (!ok) return false;
  sheet.WriteBack(settings);
  store.SaveSettings(settings, kSaveOptions);
  return true;
}

}  // namespace wavorax::ui
