#include "ui/options/OptOutputPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Translations.h"
#include "engine/library/NamePattern.h"
#include "ui/common/Dialogs.h"
#include "ui/common/Messenger.h"

namespace wavorax::ui {

namespace {

// The extension boxes in reading order, five rows of eight; & marks the mnemonic.
constexpr const char* kExtensionTexts[] = {
    ".m&p3", ".&mp2", ".mp&1", ".wa&v", ".og&g", ".oga",  ".mo&d", ".&xm",  ".&it", ".&s3m",
    ".m&tm", ".&umx", ".mo&3", ".&au",  ".s&nd", ".aiff", ".aif",  ".aifc", ".afc", ".cda",
    ".flac", ".wma",  ".wmv",  ".asf",  ".wv",   ".aac",  ".mp4",  ".m4v",  ".m4a", ".m4b",
    ".ac3",  ".ape",  ".mac",  ".mpc",  ".mp+",  ".mpp",  ".adx",  ".spx",  ".tta", ".amr",
};
constexpr int kExtensionColumns = 8;

QString WithoutMnemonic(const char* text) {
  return QString::fromLatin1(text).remove(QLatin1Char('&'));
}

}  // namespace

COptOutputPage::COptOutputPage(QWidget* parent) : COptPage(parent) {
  auto* page = new QVBoxLayout(this);

  page->addWidget(MakeHeading(tr("General"), this));
  auto* monoLabel =
      new QLabel(tr("If output channel is set to mono and the original file is stereo, output "
                    "sound equals to:"),
                 this);
  monoLabel->setWordWrap(true);
  page->addWidget(monoLabel);
  auto* monoRow = new QHBoxLayout;
  mono_ = new QButtonGroup(this);
  const char* monoTexts[] = {QT_TR_NOOP("(L+R) / &2"), QT_TR_NOOP("&L channel"),
                             QT_TR_NOOP("&R channel")};
  for (int i = 0; i < 3; ++i) {
    auto* button = new QRadioButton(tr(monoTexts[i]), this);
    mono_->addButton(button, i);
    monoRow->addWidget(button);
  }
  monoHelp_ = new QPushButton(QStringLiteral("?"), this);
  monoHelp_->setFixedWidth(24);
  monoRow->addWidget(monoHelp_);
  monoRow->addStretch(1);
  page->addLayout(monoRow);

  page->addWidget(new QLabel(tr("Add files for \"Add Folder\" and drag/drop:"), this));
  auto* extensions = new QGridLayout;
  extensions->setHorizontalSpacing(12);
  extensions->setVerticalSpacing(2);
  int position = 0;
  for (const char* text : kExtensionTexts) {
    auto* box = new QCheckBox(QString::fromLatin1(text), this);
    const QString extension = WithoutMnemonic(text);
    std::int32_t ConversionSettings::*flag = nullptr;
    for (const BatchAddFlag& entry : BatchAddFlags())
      if (extension == QLatin1String(entry.extension)) flag = entry.field;
    extensionBoxes_.push_back(box);
    extensionFlags_.push_back(flag);
    extensions->addWidget(box, position / kExtensionColumns, position % kExtensionColumns);
    ++position;
  }
  page->addLayout(extensions);
  auto* checkRow = new QHBoxLayout;
  // Disc images (cue sheets, TOC and NRG files) add one row per audio track. They share one
  // flag, so they get one box, beside the grid rather than in it, and Check All and Uncheck
  // All treat it like the others.
  auto* discImages = new QCheckBox(tr(".cue, .toc, .nrg (CD images)"), this);
  extensionBoxes_.push_back(discImages);
  extensionFlags_.push_back(&ConversionSettings::BatchAddCUE);
  checkRow->addWidget(discImages);
  checkAll_ = new QPushButton(tr("Check All"), this);
  uncheckAll_ = new QPushButton(tr("Uncheck All"), this);
  checkRow->addStretch(1);
  checkRow->addWidget(checkAll_);
  checkRow->addWidget(uncheckAll_);
  page->addLayout(checkRow);

  page->addWidget(MakeHeading(tr("Output"), this));
  auto* output = new QGridLayout;
  outputFolder_ = MakeCodedList({{tr("Same as original file"), kFolderSameAsSource},
                                 {tr("A custom folder"), kFolderCustom},
                                 {tr("Name outputs by pattern"), kFolderPattern}},
                                this);
  customFolder_ = new QLineEdit(this);
  browse_ = new QPushButton(tr("Bro&wse"), this);
  createDirs_ = new QCheckBox(tr("&Create folders according to path of original file"), this);
  // The mirror option appends the source's whole folder path, without its leading '/'.
  example_ =
      new QLabel(tr("For example: original file is \"/home/u/Music/pop/1.mp3\" and output "
                    "folder is \"/data/Output.\" If the option is checked, the output folder "
                    "will be\n\"/data/Output/home/u/Music/pop.\""),
                 this);
  example_->setWordWrap(true);
  pattern_ = new QLineEdit(this);
  pattern_->setAccessibleDescription(
      tr("Fields: %artist% %albumartist% %album% %title% %track% %disc% %year% "
         "%genre% %filename% %folder% %ext%, and %field|fallback%"));
  pattern_->setToolTip(pattern_->accessibleDescription());
  patternExample_ = new QLabel(this);
  patternExample_->setWordWrap(true);
  fatSafe_ = new QCheckBox(tr("Names safe for F&AT and Windows shares"), this);
  targetExists_ =
      MakeCodedList({{tr("Auto rename (add number at end of file name)"), kExistsAutoRename},
                     {tr("Overwrite"), kExistsOverwrite},
                     {tr("Skip (not convert)"), kExistsSkip}},
                    this);
  output->addWidget(MakeBuddyLabel(tr("&Output folder:"), outputFolder_, this), 0, 0);
  output->addWidget(outputFolder_, 0, 1, 1, 2, Qt::AlignLeft);
  folderLabel_ = MakeBuddyLabel(tr("Custom &folder:"), customFolder_, this);
  output->addWidget(folderLabel_, 1, 0);
  output->addWidget(customFolder_, 1, 1);
  output->addWidget(browse_, 1, 2);
  output->addWidget(createDirs_, 2, 1, 1, 2);
  output->addWidget(example_, 3, 1, 1, 2);
  output->addWidget(MakeBuddyLabel(tr("Name &pattern:"), pattern_, this), 4, 0);
  output->addWidget(pattern_, 4, 1, 1, 2);
  output->addWidget(patternExample_, 5, 1, 1, 2);
  output->addWidget(fatSafe_, 6, 1, 1, 2);
  output->addWidget(MakeBuddyLabel(tr("If target file &exists "), targetExists_, this), 7, 0);
  output->addWidget(targetExists_, 7, 1, 1, 2, Qt::AlignLeft);
  output->setColumnStretch(1, 1);
  page->addLayout(output);
  myDocuments_ = new QCheckBox(tr("Output files to M&y Documents if creating file failure"), this);
  browseOutput_ = new QCheckBox(tr("&Browse output folder while conversion completes"), this);
  page->addWidget(myDocuments_);
  page->addWidget(browseOutput_);
  jobs_ = new QSpinBox(this);
  jobs_->setRange(1, kMaxConvertJobs);
  auto* jobsRow = new QHBoxLayout;
  jobsRow->addWidget(MakeBuddyLabel(tr("Convert &N files at once"), jobs_, this));
  jobsRow->addWidget(jobs_);
  jobsRow->addStretch(1);
  page->addLayout(jobsRow);
  verify_ = new QCheckBox(tr("&Verify each output after converting"), this);
  page->addWidget(verify_);
  sync_ = new QCheckBox(tr("Only convert what c&hanged"), this);
  removeOrphans_ = new QCheckBox(tr("Remove outputs whose source is &gone"), this);
  trashSources_ = new QCheckBox(tr("Move sources to the &Trash after converting"), this);
  auto* library = new QGridLayout;
  library->addWidget(sync_, 0, 0);
  library->addWidget(removeOrphans_, 0, 1);
  library->addWidget(trashSources_, 1, 0);
  page->addLayout(library);
  replayGain_ = MakeCodedList({{tr("Off"), 0}, {tr("Track"), 1}, {tr("Track and album"), 2}}, this);
  normalise_ = new QCheckBox(tr("Nor&malise to"), this);
  normaliseTarget_ = new QSpinBox(this);
  normaliseTarget_->setRange(-31, -5);
  normaliseTarget_->setSuffix(QStringLiteral(" LUFS"));
  normaliseTarget_->setAccessibleName(tr("Normalisation target"));
  auto* loudness = new QHBoxLayout;
  loudness->addWidget(MakeBuddyLabel(tr("&ReplayGain tags:"), replayGain_, this));
  loudness->addWidget(replayGain_);
  loudness->addSpacing(16);
  loudness->addWidget(normalise_);
  loudness->addWidget(normaliseTarget_);
  loudness->addStretch(1);
  page->addLayout(loudness);
  desktopLook_ = new QCheckBox(tr("Use the des&ktop's look"), this);
  desktopLook_->setToolTip(
      tr("An ordinary, resizable window in the desktop's style and colours, dark mode included"));
  desktopLook_->setAccessibleDescription(desktopLook_->toolTip());
  page->addWidget(desktopLook_);
  page->addStretch(1);

  connect(monoHelp_, &QPushButton::clicked, this, [this] {
    ShowInformation(
        tr("In general, the output sound equals to \"(L+R)/2,\" which contains left and right "
           "channels.\n\n\"L channel\" means the program outputs left channel of original "
           "stereo file. And \"R channel\" means right channel. It's very useful when you want "
           "to convert a stereo file into two files that contains left and right channels "
           "distinguishingly."),
        window());
  });
  connect(checkAll_, &QPushButton::clicked, this, [this] { SetAllExtensions(true); });
  connect(uncheckAll_, &QPushButton::clicked, this, [this] { SetAllExtensions(false); });
  connect(outputFolder_, &QComboBox::currentIndexChanged, this,
          &COptOutputPage::UpdateCustomFolder);
  connect(browse_, &QPushButton::clicked, this, &COptOutputPage::OnBrowse);
  connect(pattern_, &QLineEdit::textChanged, this, &COptOutputPage::UpdatePatternExample);
  connect(fatSafe_, &QCheckBox::toggled, this, &COptOutputPage::UpdatePatternExample);
  connect(sync_, &QCheckBox::toggled, this, &COptOutputPage::UpdateCustomFolder);
  connect(normalise_, &QCheckBox::toggled, normaliseTarget_, &QWidget::setEnabled);
}

void COptOutputPage::SetExampleSource(const std::string& sourcePath, const std::string& extension) {
  exampleFields_ =
      sourcePath.empty() ? library::SampleFields() : library::NameFieldsOfFile(sourcePath);
  exampleExtension_ = extension;
  UpdatePatternExample();
}

void COptOutputPage::UpdatePatternExample() {
  const library::PatternExample example =
      library::ExampleOf(pattern_->text().toStdString(), exampleFields_, exampleExtension_,
                         library::NameOptions{fatSafe_->isChecked()});
  patternExample_->setText(example.valid
                               ? tr("For example: %1").arg(QString::fromStdString(example.text))
                               : i18n::EngineText(example.text));
}

void COptOutputPage::Load(const ConversionSettings& s) {
  if (QAbstractButton* button = mono_->button(s.MonoType)) button->setChecked(true);
  for (size_t i = 0; i < extensionBoxes_.size(); ++i)
    extensionBoxes_[i]->setChecked(extensionFlags_[i] && s.*extensionFlags_[i] != 0);
  // Codes outside the lists select the first item, which is what OK then stores.
  SelectCode(outputFolder_, s.DestOutputFolderOpt);
  // One folder field serves both choices: the custom folder, and the pattern's base folder.
  customText_ = QString::fromStdString(s.DestSpecifiedFolder);
  baseText_ = QString::fromStdString(s.NamePatternBase);
  shownFolderCode_ = SelectedCode(outputFolder_);
  customFolder_->setText(shownFolderCode_ == kFolderPattern ? baseText_ : customText_);
  pattern_->setText(QString::fromStdString(s.NamePattern));
  fatSafe_->setChecked(s.FatSafeNames != 0);
  sync_->setChecked(s.SyncOutputs != 0);
  removeOrphans_->setChecked(s.RemoveOrphans != 0);
  trashSources_->setChecked(s.TrashSources != 0);
  SelectCode(replayGain_, s.ReplayGainMode);
  normalise_->setChecked(s.NormaliseLoudness != 0);
  normaliseTarget_->setValue(std::clamp<int>(s.NormaliseTarget, -31, -5));
  normaliseTarget_->setEnabled(normalise_->isChecked());
  createDirs_->setChecked(s.CreateDirs != 0);
  SelectCode(targetExists_, s.TargetExistsOpt);
  myDocuments_->setChecked(s.OutputFiles2MyDocuments != 0);
  browseOutput_->setChecked(s.BrowseOutputFolder != 0);
  // A count outside the range shows as its nearest end.
  jobs_->setValue(std::clamp<int>(s.ConvertJobs, 1, kMaxConvertJobs));
  verify_->setChecked(s.VerifyOutputs != 0);
  desktopLook_->setChecked(s.UseDesktopLook != 0);
  UpdateCustomFolder();
}

std::optional<PageProblem> COptOutputPage::Validate() {
  const int folder = SelectedCode(outputFolder_);
  if (folder == kFolderCustom && customFolder_->text().isEmpty())
    return PageProblem{tr("Please choose an output folder."), customFolder_};
  if (folder == kFolderPattern) {
    if (customFolder_->text().isEmpty())
      return PageProblem{tr("Please choose a base folder for the names."), customFolder_};
    const std::string reason = library::ValidatePattern(pattern_->text().toStdString());
    if (!reason.empty()) return PageProblem{QString::fromStdString(reason), pattern_};
  }
  return std::nullopt;
}

void COptOutputPage::Store(ConversionSettings& s) const {
  // A stored mono type outside the three buttons stays as it was.
  if (mono_->checkedId() >= 0) s.MonoType = mono_->checkedId();
  for (size_t i = 0; i < extensionBoxes_.size(); ++i)
    if (extensionFlags_[i]) s.*extensionFlags_[i] = extensionBoxes_[i]->isChecked() ? 1 : 0;
  s.DestOutputFolderOpt = SelectedCode(outputFolder_, kFolderSameAsSource);
  const bool pattern = s.DestOutputFolderOpt == kFolderPattern;
  s.DestSpecifiedFolder = (pattern ? customText_ : customFolder_->text()).toStdString();
  s.NamePatternBase = (pattern ? customFolder_->text() : baseText_).toStdString();
  s.NamePattern = pattern_->text().toStdString();
  s.FatSafeNames = fatSafe_->isChecked() ? 1 : 0;
  s.SyncOutputs = sync_->isEnabled() && sync_->isChecked() ? 1 : 0;
  s.RemoveOrphans = s.SyncOutputs && removeOrphans_->isChecked() ? 1 : 0;
  s.TrashSources = trashSources_->isChecked() ? 1 : 0;
  s.ReplayGainMode = SelectedCode(replayGain_, 0);
  s.NormaliseLoudness = normalise_->isChecked() ? 1 : 0;
  s.NormaliseTarget = normaliseTarget_->value();
  s.CreateDirs = createDirs_->isChecked() ? 1 : 0;
  s.TargetExistsOpt = SelectedCode(targetExists_, kExistsAutoRename);
  s.OutputFiles2MyDocuments = myDocuments_->isChecked() ? 1 : 0;
  s.BrowseOutputFolder = browseOutput_->isChecked() ? 1 : 0;
  s.ConvertJobs = jobs_->value();
  s.VerifyOutputs = verify_->isChecked() ? 1 : 0;
  s.UseDesktopLook = desktopLook_->isChecked() ? 1 : 0;
}

QRadioButton* COptOutputPage::MonoButton(int type) const {
  return qobject_cast<QRadioButton*>(mono_->button(type));
}

QCheckBox* COptOutputPage::ExtensionBox(const QString& extension) const {
  for (QCheckBox* box : extensionBoxes_)
    if (box->text().remove(QLatin1Char('&')) == extension) return box;
  return nullptr;
}

void COptOutputPage::UpdateCustomFolder() {
  const int folder = SelectedCode(outputFolder_);
  // The folder field swaps between the custom folder and the pattern's base folder.
  if (folder != shownFolderCode_) {
    if (shownFolderCode_ == kFolderPattern)
      baseText_ = customFolder_->text();
    else if (shownFolderCode_ == kFolderCustom)
      customText_ = customFolder_->text();
    if (folder == kFolderPattern)
      customFolder_->setText(baseText_);
    else if (folder == kFolderCustom)
      customFolder_->setText(customText_);
    shownFolderCode_ = folder;
  }
  const bool custom = folder == kFolderCustom, pattern = folder == kFolderPattern;
  folderLabel_->setText(pattern ? tr("Base &folder:") : tr("Custom &folder:"));
  customFolder_->setEnabled(custom || pattern);
  browse_->setEnabled(custom || pattern);
  createDirs_->setEnabled(custom);
  example_->setEnabled(custom);
  for (QWidget* widget : {static_cast<QWidget*>(pattern_), static_cast<QWidget*>(patternExample_),
                          static_cast<QWidget*>(fatSafe_)})
    widget->setEnabled(pattern);
  // Keeping a copy in step needs one folder that holds every output.
  sync_->setEnabled(custom || pattern);
  removeOrphans_->setEnabled(sync_->isEnabled() && sync_->isChecked());
}

void COptOutputPage::OnBrowse() {
  const QString folder =
      ChooseFolder(window(), tr("Please choose an output folder:"), customFolder_->text());
  if (!folder.isEmpty()) customFolder_->setText(folder);
}

void COptOutputPage::SetAllExtensions(bool checked) {
  for (QCheckBox* box : extensionBoxes_) box->setChecked(checked);
}

}  // namespace wavorax::ui
