#include "ui/main/MainDlg.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QSvgRenderer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "app/Translations.h"
#include "controls/SkinButton.h"
#include "decoders/cd/CdDisc.h"
#include "decoders/choice/DecoderChoice.h"
#include "engine/Targets.h"
#include "sources/Adding.h"
#include "ui/common/Dialogs.h"
#include "ui/common/Messenger.h"
#include "ui/main/DefaultBrowser.h"
#include "ui/main/DesktopSignals.h"
#include "ui/main/HelpWindow.h"
#include "ui/main/ProgressDlg.h"
#include "ui/main/Shell.h"
#include "ui/main/SourceTableModel.h"
#include "ui/options/OptOutputPage.h"
#include "ui/options/OptSheet.h"

#ifndef WAVORAX_VERSION
#define WAVORAX_VERSION "0"
#endif

namespace wavorax::ui {

namespace {

constexpr int kWidth = 699;
constexpr int kHeight = 538;
// The skinned window's list and drop-down, where its skin leaves room for them.
constexpr QRect kListGeometry(137, 63, 552, 465);
constexpr QRect kComboGeometry(14, 239, 98, 21);
// The desktop's look opens at this size until the user gives it another.
constexpr int kDesktopWidth = 860;
constexpr int kDesktopHeight = 560;

QFont Tahoma() {
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  return font;
}

QFont TahomaBold() {
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  font.setBold(true);
  return font;
}

// The window is the program's frame to a screen reader, which announces it by its title when it
// becomes active; Qt would take a bare QWidget, title bar or not, for a pane of another window.
QAccessibleInterface* MainWindowAccessible(const QString& className, QObject* object) {
  if (object && object->isWidgetType() &&
      className == QLatin1String(CMainDlg::staticMetaObject.className()))
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
  return nullptr;
}

}  // namespace

// The command buttons' pictures carry their icon at the left, and the label is centred on the
// whole button. A longer label, as translations have, moves into the room right of the icon,
// and takes a smaller font when even that room is too narrow, so it never runs over the icon
// or off the button.
void FitCommandText(CSkinButton* button) {
  constexpr int kIconRight = 21;  // where the pictures' icons end, from the button's left
  constexpr int kMargin = 3;
  QFont font = TahomaBold();
  const QString label = QString(button->text()).remove(QLatin1Char('&'));
  const auto widthOf = [&](const QFont& f) { return QFontMetrics(f).horizontalAdvance(label); };
  const int width = button->width();
  int offset = 0;
  if (widthOf(font) > width - 2 * kIconRight) {
    const int room = width - kIconRight - kMargin;
    offset = kIconRight + room / 2 - width / 2;
    for (int pixels = font.pixelSize() - 1; pixels >= 9 && widthOf(font) > room; --pixels)
      font.setPixelSize(pixels);
  }
  button->SetTextFont(font, false);
  button->SetTextOffset(offset, -1, false);
}

QString HomepageUrl() { return QStringLiteral("https://www.wavorax.example/"); }

CMainDlg::CMainDlg(CSettingsStore& store, const QString& helpIndex, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      store_(store),
      helpIndex_(helpIndex),
      list_(OpenDecoderFor),
      engine_(settings_, *this, OpenDecoderFor) {
  QAccessible::installFactory(MainWindowAccessible);
  store_.LoadSettings(settings_);
  palette_ = new CDesktopPalette(this);
  desktop_ = new CDesktopSignals(
      [this] {
        if (!lastBatchOutput_.empty()) RevealOutput(lastBatchOutput_);
      },
      this);

  setWindowTitle(QStringLiteral("Wavorax"));
  setWindowIcon(QIcon(QStringLiteral(":/art/wavorax.svg")));
  setFixedSize(kWidth, kHeight);
  setFont(Tahoma());

  BuildControls();
  BuildMenus();
  FillFormatCombo();
  setAcceptDrops(true);

  // Ctrl+O, Delete and F1 go through the same enabling as the menus; Enter and
  // Escape have no binding at all, so the window closes only on a close
  // request.
  auto bind = [this](const QKeySequence& keys, int command) {
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, command] { Dispatch(command); });
  };
  bind(QKeySequence(Qt::CTRL | Qt::Key_O), kAddFiles);
  bind(QKeySequence(Qt::Key_Delete), kRemove);
  bind(QKeySequence(Qt::Key_F1), kHelpTopics);

  if (settings_.UseDesktopLook) ApplyLook(WindowLook::Desktop);
  ShowHelpOnFirstRun();
}

CMainDlg::~CMainDlg() {
  if (help_) delete help_.data();
}

void CMainDlg::BuildControls() {
  EnsureSkin();

  model_ = new CSourceTableModel(list_, this);
  view_ = new QTreeView(this);
  view_->setGeometry(kListGeometry);
  view_->setModel(model_);
  view_->setRootIsDecorated(false);
  view_->setItemsExpandable(false);
  view_->setUniformRowHeights(true);
  view_->setAllColumnsShowFocus(true);
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setTextElideMode(Qt::ElideRight);
  QHeaderView* header = view_->header();
  // The Status column takes what the others leave, so no sideways scrolling is
  // needed.
  header->setStretchLastSection(true);
  header->setSectionsMovable(false);
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(false);
  for (int c = 0; c + 1 < kColumnCount; ++c)
    view_->setColumnWidth(c, CSourceTableModel::ColumnWidth(c));
  connect(header, &QHeaderView::sectionClicked, this, &CMainDlg::SortBy);
  connect(view_, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.isValid() && index.row() < list_.RowCount())
      OpenWithDesktop(QString::fromStdString(list_.Entry(index.row()).path));
  });
  view_->installEventFilter(this);
  view_->viewport()->installEventFilter(this);

  struct CommandButtonLook {
    int command;
    const char* text;
    const char* image;
    int y;
    const char* tip;
  };
  const CommandButtonLook looks[] = {
      {kAddFiles, QT_TR_NOOP("&Add Files"), "button-add-files", 72, QT_TR_NOOP("Add files")},
      {kAddFolder, QT_TR_NOOP("Add &Folder"), "button-add-folder", 115,
       QT_TR_NOOP("Add files from a folder")},
      {kRemoveAll, QT_TR_NOOP("Remove A&ll"), "button-remove-all", 161,
       QT_TR_NOOP("Remove all files in list")},
      {kConvertAll, QT_TR_NOOP("&Convert"), "button-convert", 206, QT_TR_NOOP("Convert all files")},
      {kOptions, QT_TR_NOOP("&Options"), "button-options", 278, QT_TR_NOOP("Options")},
  };
  for (const CommandButtonLook& look : looks) {
    auto* button = new CSkinButton(this);
    button->setObjectName(QString::fromLatin1(look.image));
    button->setText(tr(look.text));
    button->setToolTip(tr(look.tip));
    button->SetTextColours(QColor(53, 53, 53), QColor(53, 53, 53), false);
    button->SetDrawBorder(false, false);
    const QString base = QStringLiteral(":/art/") + QString::fromLatin1(look.image);
    if (!button->SetBitmaps(base + QStringLiteral(".svg"), base + QStringLiteral("-hover.svg"),
                            true, false))
      button->resize(107, 27);
    FitCommandText(button);
    button->move(11, look.y);
    button->SetSourceBackground(&skin_, false);
    button->SetCursorShape(Qt::PointingHandCursor);
    MakeReachable(button, tr(look.text).remove(QLatin1Char('&')), tr(look.tip));
    buttons_.emplace_back(look.command, button);
  }
  // Buttons always run their command; the commands guard themselves.
  connect(button(kAddFiles), &QAbstractButton::clicked, this, &CMainDlg::OnAddFiles);
  connect(button(kAddFolder), &QAbstractButton::clicked, this, &CMainDlg::OnAddFolder);
  connect(button(kRemoveAll), &QAbstractButton::clicked, this, &CMainDlg::RemoveAllRows);
  connect(button(kConvertAll), &QAbstractButton::clicked, this, &CMainDlg::ConvertAll);
  connect(button(kOptions), &QAbstractButton::clicked, this, &CMainDlg::OnOptions);

  combo_ = new QComboBox(this);
  combo_->setGeometry(kComboGeometry);
  combo_->setFocusPolicy(Qt::StrongFocus);

  auto caption = [this](const char* image, int x, const char* tip, const char* description) {
    auto* button = new CSkinButton(this);
    button->setObjectName(QString::fromLatin1(image));
    button->setToolTip(tr(tip));
    button->SetDrawText(false, false);
    button->SetDrawBorder(true, false);
    button->SetFlat(true, false);
    button->SetIcons(QStringLiteral(":/art/") + QString::fromLatin1(image) + QStringLiteral(".svg"),
                     {}, false, false);
    button->setGeometry(x, 11, 21, 21);
    button->SetSourceBackground(&skin_, false);
    button->SetCursorShape(Qt::PointingHandCursor);
    MakeReachable(button, tr(tip), tr(description));
    return button;
  };
  helpButton_ = caption("caption-help", 624, QT_TR_NOOP("Help"), QT_TR_NOOP("Opens the help menu"));
  minimiseButton_ =
      caption("caption-minimise", 647, QT_TR_NOOP("Minimize"), QT_TR_NOOP("Minimizes the window"));
  closeButton_ = caption("caption-close", 669, QT_TR_NOOP("Close"), QT_TR_NOOP("Closes Wavorax"));
  connect(helpButton_, &QAbstractButton::clicked, this, &CMainDlg::ShowHelpMenu);
  connect(minimiseButton_, &QAbstractButton::clicked, this, &QWidget::showMinimized);
  connect(closeButton_, &QAbstractButton::clicked, this, &QWidget::close);

  linkButton_ = new CSkinButton(this);
  linkButton_->setObjectName(QStringLiteral("homepage"));
  linkButton_->setText(QStringLiteral("wavorax.example"));
  linkButton_->setToolTip(tr("Visit Wavorax Homepage"));
  QFont linkFont = TahomaBold();
  linkFont.setUnderline(true);
  linkButton_->SetTextFont(linkFont, false);
  linkButton_->SetTextColours(QColor(0, 0, 255), QColor(255, 0, 0), false);
  linkButton_->SetDrawBorder(false, false);
  linkButton_->SetPressedShift(false, false);
  linkButton_->setGeometry(9, 507, 113, 20);
  linkButton_->SetSourceBackground(&skin_, false);
  linkButton_->SetCursorShape(Qt::PointingHandCursor);
  MakeReachable(linkButton_, linkButton_->text(), linkButton_->toolTip());
  connect(linkButton_, &QAbstractButton::clicked, this, [this] { Dispatch(kHomepage); });

  combo_->setAccessibleName(tr("Target format"));
  // On Linux Qt gives a combo's current item as its name and leaves the naming to the label
  // whose buddy it is, found among the combo's siblings: this one moves with it.
  comboLabel_ = new QLabel(combo_->accessibleName(), this);
  comboLabel_->setBuddy(combo_);
  comboLabel_->hide();
  combo_->setAccessibleDescription(tr("The format every file is converted to"));
  view_->setAccessibleName(tr("Files"));
  view_->setAccessibleDescription(
      tr("The files to convert, with their length, bit rate, frequency, channels "
         "and status"));
  SetSkinnedTabOrder();
}

void CMainDlg::SetSkinnedTabOrder() {
  // Tab goes through the window as the eye does: the list, the commands down the left side
  // with the format between Convert and Options, the link, then the caption buttons.
  QWidget* previous = view_;
  for (QWidget* next :
       {static_cast<QWidget*>(button(kAddFiles)), static_cast<QWidget*>(button(kAddFolder)),
        static_cast<QWidget*>(button(kRemoveAll)), static_cast<QWidget*>(button(kConvertAll)),
        static_cast<QWidget*>(combo_), static_cast<QWidget*>(button(kOptions)),
        static_cast<QWidget*>(linkButton_), static_cast<QWidget*>(helpButton_),
        static_cast<QWidget*>(minimiseButton_), static_cast<QWidget*>(closeButton_)}) {
    setTabOrder(previous, next);
    previous = next;
  }
}

// The skinned buttons keep the mouse's focus where it was (the list), but Tab reaches them,
// they show a focus frame, and screen readers hear their name and what they do.
void CMainDlg::MakeReachable(CSkinButton* button, const QString& name, const QString& description) {
  button->setFocusPolicy(Qt::TabFocus);
  button->SetDrawFocus(true, false);
  button->setAccessibleName(name);
  button->setAccessibleDescription(description);
}

void CMainDlg::BuildMenus() {
  auto add = [this](QMenu* menu, const char* text, int command) {
    QAction* action = menu->addAction(tr(text));
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command] { Dispatch(command); });
    actions_.emplace_back(command, action);
  };
  contextMenu_ = new QMenu(this);
  add(contextMenu_, QT_TR_NOOP("&Play Source"), kPlaySource);
  add(contextMenu_, QT_TR_NOOP("Play &Destination"), kPlayDestination);
  contextMenu_->addSeparator();
  add(contextMenu_, QT_TR_NOOP("&Convert Selected"), kConvertSelected);
  add(contextMenu_, QT_TR_NOOP("Convert All"), kConvertAll);
  contextMenu_->addSeparator();
  add(contextMenu_, QT_TR_NOOP("Browse &Source Folder"), kBrowseSource);
  add(contextMenu_, QT_TR_NOOP("Browse Destination &Folder"), kBrowseDestination);
  contextMenu_->addSeparator();
  add(contextMenu_, QT_TR_NOOP("&Add Files...\tCtrl+O"), kAddFiles);
  add(contextMenu_, QT_TR_NOOP("Add F&older"), kAddFolder);
  add(contextMenu_, QT_TR_NOOP("Add Audio &CD"), kAddAudioCd);
  add(contextMenu_, QT_TR_NOOP("&Remove\tDel"), kRemove);
  add(contextMenu_, QT_TR_NOOP("Remove Al&l"), kRemoveAll);

  helpMenu_ = new QMenu(this);
  add(helpMenu_, QT_TR_NOOP("&Help Topics\tF1"), kHelpTopics);
  helpMenu_->addSeparator();
  add(helpMenu_, QT_TR_NOOP("&Tell A Friend"), kTellAFriend);
  add(helpMenu_, QT_TR_NOOP("&Feedback and Support"), kFeedback);
  add(helpMenu_, QT_TR_NOOP("Home&page"), kHomepage);
  add(helpMenu_, QT_TR_NOOP("&Check Latest Version"), kCheckVersion);
  helpMenu_->addSeparator();
  add(helpMenu_, QT_TR_NOOP("&About..."), kAbout);
  helpMenu_->addSeparator();
  QAction* look = helpMenu_->addAction(tr("Use the desktop's &look"));
  look->setData(kDesktopLook);
  look->setCheckable(true);
  connect(look, &QAction::triggered, this, [this] { Dispatch(kDesktopLook); });
  actions_.emplace_back(kDesktopLook, look);
}

QAction* CMainDlg::action(int command) const {
  // The context menu's entry comes first; Convert All appears there only.
  for (const auto& [id, action] : actions_)
    if (id == command) return action;
  return nullptr;
}

CSkinButton* CMainDlg::button(int command) const {
  for (const auto& [id, button] : buttons_)
    if (id == command) return button;
  return nullptr;
}

void CMainDlg::FillFormatCombo() {
  for (const TargetInfo& target : engine_.targets())
    combo_->addItem(QString::fromLatin1(target.comboText), target.code);
  const int index = combo_->findData(settings_.OutputFormat);
  if (index >= 0) {
    combo_->setCurrentIndex(index);
  } else {
    combo_->setCurrentIndex(0);
    settings_.OutputFormat = kTargetMp3;
  }
}

// ---- enabling and dispatch ----

bool CMainDlg::IsCommandEnabled(int command) const {
  return IsCommandEnabled(command, const_cast<CMainDlg*>(this)->SelectedRows());
}

bool CMainDlg::IsCommandEnabled(int command, const std::vector<int>& selected) const {
  if (busy_) return false;
  const int rows = list_.RowCount();
  switch (command) {
    case kRemoveAll:
    case kConvertAll:
      return rows > 0;
    case kRemove:
    case kConvertSelected:
      return !selected.empty();
    case kPlaySource:
    case kBrowseSource:
      return selected.size() == 1;
    case kPlayDestination:
    case kBrowseDestination:
      return selected.size() == 1 && !list_.Entry(selected.front()).outputPath.empty();
    default:
      return true;
  }
}

void CMainDlg::UpdateMenuStates() {
  const std::vector<int> selected = SelectedRows();
  for (const auto& [command, action] : actions_)
    action->setEnabled(IsCommandEnabled(command, selected));
  if (QAction* look = action(kDesktopLook)) look->setChecked(look_ == WindowLook::Desktop);
}

void CMainDlg::Dispatch(int command) {
  if (!IsCommandEnabled(command)) return;
  const std::vector<int> selected = SelectedRows();
  const SourceEntry* first = selected.empty() ? nullptr : &list_.Entry(selected.front());
  switch (command) {
    case kAddFiles:
      OnAddFiles();
      break;
    case kAddFolder:
      OnAddFolder();
      break;
    case kAddAudioCd:
      OnAddAudioCd();
      break;
    case kRemove:
      RemoveSelected();
      break;
    case kRemoveAll:
      RemoveAllRows();
      break;
    case kConvertAll:
      ConvertAll();
      break;
    case kConvertSelected:
      ConvertSelected();
      break;
    case kOptions:
      OnOptions();
      break;
    case kPlaySource:
      if (first) OpenWithDesktop(QString::fromStdString(first->path));
      break;
    case kPlayDestination:
      if (first && !first->outputPath.empty())
        OpenWithDesktop(QString::fromStdString(first->outputPath));
      break;
    case kBrowseSource:
      if (first) RevealInFileManager(QString::fromStdString(first->path));
      break;
    case kBrowseDestination:
      if (first && !first->outputPath.empty())
        RevealInFileManager(QString::fromStdString(first->outputPath));
      break;
    case kHelpTopics:
      OpenHelp();
      break;
    case kHomepage:
      OpenUrl(HomepageUrl());
      break;
    case kTellAFriend:
      OpenUrl(
          QStringLiteral("mailto:?subject=Wavorax%20audio%20converter&body=") +
          QString::fromLatin1(QUrl::toPercentEncoding(
              tr("I convert my music with Wavorax, a batch audio converter: ") + HomepageUrl())));
      break;
    case kFeedback:
      OpenUrl(QStringLiteral("mailto:support@quelbrook.example?subject=Wavorax%20") +
              QStringLiteral(WAVORAX_VERSION));
      break;
    case kCheckVersion:
      OpenUrl(HomepageUrl() + QStringLiteral("update/?version=") + QStringLiteral(WAVORAX_VERSION));
      break;
    case kAbout:
      ShowAbout();
      break;
    case kDesktopLook:
      SetDesktopLook(look_ != WindowLook::Desktop);
      break;
    default:
      break;
  }
}

void CMainDlg::OpenUrl(const QString& url) { QDesktopServices::openUrl(QUrl(url)); }

// ---- menus ----

void CMainDlg::ShowContextMenu(const QPoint& globalPos) {
  UpdateMenuStates();
  emit menuAboutToShow(contextMenu_);
  contextMenu_->exec(globalPos);
}

void CMainDlg::ShowHelpMenu() {
  UpdateMenuStates();
  emit menuAboutToShow(helpMenu_);
  helpMenu_->exec(helpButton_->mapToGlobal(QPoint(0, helpButton_->height())));
}

bool CMainDlg::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == view_ || watched == view_->viewport()) && event->type() == QEvent::ContextMenu) {
    auto* menuEvent = static_cast<QContextMenuEvent*>(event);
    // From the keyboard the menu opens at the centre of the list.
    const QPoint at = menuEvent->reason() == QContextMenuEvent::Keyboard
                          ? view_->mapToGlobal(view_->rect().center())
                          : menuEvent->globalPos();
    ShowContextMenu(at);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

// ---- selection and rows ----

std::vector<int> CMainDlg::SelectedRows() {
  std::vector<int> rows;
  if (!view_ || !view_->selectionModel()) return rows;
  // The view selects whole rows, so its ranges are runs of rows: read them as runs, which
  // costs nothing per row for Select All over a long list.
  std::vector<char> taken(static_cast<std::size_t>(list_.RowCount()), 0);
  for (const QItemSelectionRange& range : view_->selectionModel()->selection())
    for (int r = std::max(range.top(), 0); r <= range.bottom() && r < list_.RowCount(); ++r)
      taken[static_cast<std::size_t>(r)] = 1;
  for (int r = 0; r < list_.RowCount(); ++r)
    if (taken[static_cast<std::size_t>(r)]) rows.push_back(r);
  return rows;
}

void CMainDlg::SyncSelectionToList() {
  for (int r = 0; r < list_.RowCount(); ++r) list_.SetSelected(r, false);
  for (int r : SelectedRows()) list_.SetSelected(r, true);
}

void CMainDlg::SyncSelectionFromList() {
  // One range per run of selected rows, not per row: a selection of many ranges is slow to
  // build and to paint.
  QItemSelection selection;
  const int count = list_.RowCount();
  for (int r = 0; r < count;) {
    if (!list_.IsSelected(r)) {
      ++r;
      continue;
    }
    int end = r;
    while (end + 1 < count && list_.IsSelected(end + 1)) ++end;
    selection.append(
        QItemSelectionRange(model_->index(r, 0), model_->index(end, kColumnCount - 1)));
    r = end + 1;
  }
  view_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void CMainDlg::SortBy(int column) {
  if (busy_) return;
  SyncSelectionToList();
  model_->Sort(column);
  SyncSelectionFromList();
  view_->header()->setSortIndicatorShown(true);
  view_->header()->setSortIndicator(
      column, list_.sortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CMainDlg::RemoveSelected() {
  if (SelectedRows().empty()) {
    ShowInformation("You should select a file at least.");
    return;
  }
  SyncSelectionToList();
  model_->BeginReset();
  list_.RemoveSelected();
  model_->EndReset();
}

void CMainDlg::RemoveAllRows() {
  if (list_.RowCount() == 0) {
    ShowInformation("There aren't files in list.");
    return;
  }
  model_->BeginReset();
  list_.RemoveAll();
  model_->EndReset();
}

// ---- adding ----

CProgressDlg* CMainDlg::OpenAddProgress(const QString& text) {
  // The window is disabled first: a progress window opened after that keeps its
  // own input.
  busy_ = true;
  setEnabled(false);
  auto* progress = new CProgressDlg(this, look_);
  progress->textLabel()->setText(text);
  progress_ = progress;
  progress->ShowCentred();
  emit progressOpened(progress);
  return progress;
}

void CMainDlg::OnAddFiles() {
  // The folder of the files last chosen, else the one Add Folder last used.
  const QString start =
      !lastFilesFolder_.isEmpty() ? lastFilesFolder_ : QString::fromStdString(settings_.Folder);
  const QStringList chosen = ChooseSourceFiles(this, start);
  if (chosen.isEmpty()) return;
  lastFilesFolder_ = QFileInfo(chosen.first()).absolutePath();
  QCoreApplication::processEvents();
  std::vector<std::string> paths;
  for (const QString& path : chosen) paths.push_back(path.toStdString());
  // Chosen files are probed whatever their extension.
  AddCollected(paths, nullptr);
}

void CMainDlg::OnAddFolder() {
  const QString folder =
      ChooseFolder(this, tr("Please choose a folder:"), QString::fromStdString(settings_.Folder));
  if (folder.isEmpty()) return;
  settings_.Folder = folder.toStdString();
  store_.SaveSettings(settings_, kSaveFolder);
  QCoreApplication::processEvents();
  CProgressDlg* progress = OpenAddProgress(tr("Searching files..."));
  progress->PumpMessages();
  std::vector<std::string> paths;
  CollectFolder(settings_, paths, settings_.Folder);
  AddCollected(paths, progress);
}

void CMainDlg::OnAddAudioCd() {
  const std::vector<std::string> drives = AudioCdDrives();
  if (drives.empty()) {
    ::wavorax::ui::ShowInformation(tr("There is no audio CD in any drive."), this);
    return;
  }
  std::string drive = drives.front();
  if (drives.size() > 1) {
    QStringList names;
    for (const std::string& d : drives) names << QString::fromStdString(d);
    bool chosen = false;
    const QString name = QInputDialog::getItem(
        this, QStringLiteral("Wavorax"), tr("Please choose a drive:"), names, 0, false, &chosen);
    if (!chosen) return;
    drive = name.toStdString();
  }
  QCoreApplication::processEvents();
  // The drive stands for its audio tracks when the collected paths are added.
  AddCollected({drive}, nullptr);
}

std::vector<std::string> CMainDlg::LocalPaths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile() && !url.toLocalFile().isEmpty())
      paths.push_back(url.toLocalFile().toStdString());
  return paths;
}

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (!busy_ && !LocalPaths(event->mimeData()).empty()) event->acceptProposedAction();
}

void CMainDlg::dragMoveEvent(QDragMoveEvent* event) {
  if (!busy_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainDlg::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = LocalPaths(event->mimeData());
  if (busy_ || paths.empty()) return;
  event->acceptProposedAction();
  QStringList list;
  for (const auto& p : paths) list << QString::fromStdString(p);
  // The drop's source waits for this event to return; the adding runs after it.
  QMetaObject::invokeMethod(
      this, [this, list] { AddDropped(list); }, Qt::QueuedConnection);
}

void CMainDlg::AddFromDesktop(const QStringList& paths) {
  if (paths.isEmpty()) return;
  // While a batch or an adding runs the window takes no drops; what the desktop hands over
  // then waits for its end.
  if (busy_) {
    pendingAdds_ << paths;
    return;
  }
  QMetaObject::invokeMethod(
      this, [this, paths] { AddDropped(paths); }, Qt::QueuedConnection);
}

void CMainDlg::TakePendingAdds() {
  if (pendingAdds_.isEmpty()) return;
  const QStringList paths = std::exchange(pendingAdds_, {});
  AddFromDesktop(paths);
}

void CMainDlg::AddDropped(const QStringList& dropped) {
  if (busy_ || dropped.isEmpty()) return;
  CProgressDlg* progress = OpenAddProgress(tr("Searching files..."));
  progress->PumpMessages();
  std::vector<std::string> paths;
  for (const QString& item : dropped) {
    const QFileInfo info(item);
    const std::string path = item.toStdString();
    // A link to a folder is a shortcut to a folder, which is not followed.
    if (info.isDir() && !info.isSymLink())
      CollectFolder(settings_, paths, path);
    else
      AdmitFile(settings_, path, paths);
  }
  AddCollected(paths, progress);
}

void CMainDlg::AddCollected(const std::vector<std::string>& paths, CProgressDlg* progress) {
  if (paths.empty()) {
    // Nothing admitted: the window closes without a message.
    if (progress) progress->Finish();
    progress_ = nullptr;
    busy_ = false;
    setEnabled(true);
    TakePendingAdds();
    return;
  }
  if (!progress) progress = OpenAddProgress(QString());
  QElapsedTimer shown;
  int lastRow = -1;
  const std::string failures = AddCollectedFiles(
      list_, paths, progress,
      [this, &shown, &lastRow](const std::string&, CSourceList::AddResult result, int row) {
        if (result != CSourceList::AddResult::Added) return;
        lastRow = row;
        // The list shows new rows as often as the progress window does, not once per file.
        if (shown.isValid() && shown.elapsed() < 40) return;
        model_->RowsAppended();
        view_->scrollTo(model_->index(row, 0));
        shown.start();
      },
      // Files are probed on as many threads as conversions run at once, as wavorax-cli does,
      // and the rows still arrive in the order of the paths.
      std::clamp(settings_.ConvertJobs, 1, kMaxConvertJobs));
  model_->RowsAppended();
  if (lastRow >= 0) view_->scrollTo(model_->index(lastRow, 0));
  progress->Finish();
  progress_ = nullptr;
  busy_ = false;
  setEnabled(true);
  if (!failures.empty()) ShowWarning(i18n::EngineText(FailureReport(failures)), this);
  TakePendingAdds();
}

// ---- converting ----

void CMainDlg::ConvertAll() {
  if (busy_) return;
  engine_.ConvertAll();
}

void CMainDlg::ConvertSelected() {
  if (busy_) return;
  engine_.ConvertSelected();
}

int CMainDlg::RowCount() { return list_.RowCount(); }

SourceEntry& CMainDlg::Entry(int row) { return list_.Entry(row); }

int CMainDlg::SelectedFormatCode() {
  if (combo_->currentIndex() < 0) return -1;
  bool ok = false;
  const int code = combo_->currentData().toInt(&ok);
  return ok ? code : -1;
}

void CMainDlg::EnsureRowVisible(int row) {
  if (row >= 0 && row < model_->rowCount())
    view_->scrollTo(model_->index(row, 0), QAbstractItemView::EnsureVisible);
}

void CMainDlg::SetRowStatus(int row, const std::string& text) {
  if (row < 0 || row >= list_.RowCount()) return;
  list_.SetStatus(row, text);
  if (convertProgress_) batchRows_.insert(row);
  model_->StatusChanged(row);
  emit rowStatusChanged(row, QString::fromStdString(text));
}

void CMainDlg::RevealOutput(const std::string& path) {
  RevealInFileManager(QString::fromStdString(path));
}

void CMainDlg::ShowInformation(const std::string& text) {
  wavorax::ui::ShowInformation(i18n::EngineText(text), this);
}

void CMainDlg::BeginBatch() {
  batchRows_.clear();
  desktop_->BatchStarted();
  busy_ = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  setEnabled(false);
}

void CMainDlg::EndBatch() {
  setEnabled(true);
  busy_ = false;
  QApplication::restoreOverrideCursor();
  // The batch's rows: those that got an output, and the rest.
  int converted = 0, failed = 0;
  lastBatchOutput_.clear();
  for (int row : batchRows_) {
    if (row >= list_.RowCount()) continue;
    const std::string& output = list_.Entry(row).outputPath;
    if (output.empty()) {
      ++failed;
    } else {
      ++converted;
      if (lastBatchOutput_.empty()) lastBatchOutput_ = output;
    }
  }
  desktop_->BatchEnded(BatchSummary(converted, failed), !isActiveWindow());
  TakePendingAdds();
}

IConvertProgress& CMainDlg::OpenProgress() { return OpenProgressFor(1); }

IConvertProgress& CMainDlg::OpenProgressFor(int jobs) {
  convertProgress_ = new CConvertProgressDlg(this, look_);
  // Laid out for its lines before it shows, so that it opens at its final size.
  convertProgress_->SetJobCount(jobs);
  connect(convertProgress_, &CConvertProgressDlg::overallChanged, desktop_,
          &CDesktopSignals::Progress);
  progress_ = convertProgress_;
  convertProgress_->ShowCentred();
  emit progressOpened(convertProgress_);
  return *convertProgress_;
}

void CMainDlg::CloseProgress() {
  if (convertProgress_) convertProgress_->Finish();
  convertProgress_ = nullptr;
  progress_ = nullptr;
}

// ---- options, help, about ----

void CMainDlg::OnOptions() {
  // The pattern's live example shows the first row as it would be named.
  const std::string first = list_.RowCount() > 0 ? list_.Entry(0).path : std::string();
  const std::string extension = ExtensionOfTarget(SelectedFormatCode());
  const bool ok = RunOptionsSheet(settings_, store_, this, [&](COptSheet& sheet) {
    OpenFailedLinksInBrowser(&sheet);
    sheet.GeneralPage()->SetExampleSource(first, extension.empty() ? ".mp3" : extension);
  });
  if (ok) ApplyLook(settings_.UseDesktopLook ? WindowLook::Desktop : WindowLook::Skinned);
}

void CMainDlg::ShowHelpOnFirstRun() {
  if (store_.TakeFirstRun()) OpenHelpWindow(true);
}

void CMainDlg::OpenHelp() { OpenHelpWindow(false); }

void CMainDlg::OpenHelpWindow(bool maximised) {
  if (help_) {
    if (help_->isMinimized()) help_->showNormal();
    help_->show();
    help_->raise();
    help_->activateWindow();
    return;
  }
  // Without its help the program carries on silently.
  if (helpIndex_.isEmpty() || !QFileInfo(helpIndex_).isFile()) return;
  help_ = new CHelpWindow(helpIndex_);
  help_->setWindowIcon(windowIcon());
  if (maximised)
    help_->showMaximized();
  else
    help_->show();
}

void CMainDlg::CloseHelpWindow() {
  if (!help_) return;
  help_->close();
  // The help window has no parent to delete it, and the program may end right after this.
  delete help_.data();
}

void CMainDlg::ShowAbout() {
  QDialog box(this);
  box.setWindowTitle(tr("About Wavorax"));
  auto* icon = new QLabel(&box);
  const qreal dpr = devicePixelRatioF();
  QPixmap pixmap = windowIcon().pixmap(QSize(64, 64), dpr);
  icon->setPixmap(pixmap);
  auto* text = new QLabel(&box);
  text->setTextFormat(Qt::RichText);
  text->setText(tr("<p style='font-size:15px'><b>Wavorax</b></p><p>Version %1</p>"
                   "<p>A batch audio converter.<br>&copy; Quelbrook</p>")
                    .arg(QStringLiteral(WAVORAX_VERSION)));
  auto* ok = new QPushButton(tr("OK"), &box);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, &box, &QDialog::accept);
  auto* row = new QHBoxLayout;
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addSpacing(12);
  row->addWidget(text, 1);
  auto* layout = new QVBoxLayout(&box);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addLayout(row);
  layout->addWidget(ok, 0, Qt::AlignRight);
  box.setFixedSize(box.sizeHint().expandedTo(QSize(280, 0)));
  box.exec();
}

// ---- the window ----

void CMainDlg::EnsureSkin() {
  const qreal dpr = devicePixelRatioF();
  if (!skin_.isNull() && qFuzzyCompare(skin_.devicePixelRatio(), dpr)) return;
  QPixmap skin(QSize(qCeil(kWidth * dpr), qCeil(kHeight * dpr)));
  skin.fill(QColor(0xE8, 0xEC, 0xF1));
  {
    QPainter painter(&skin);
    QSvgRenderer renderer(QStringLiteral(":/art/skin.svg"));
    if (renderer.isValid()) renderer.render(&painter);
  }
  skin.setDevicePixelRatio(dpr);
  skin_ = skin;
  // Each button cuts its piece of the new skin at its next drawing.
  for (const auto& [id, b] : buttons_) b->SetSourceBackground(&skin_);
  for (CSkinButton* b : {helpButton_, minimiseButton_, closeButton_, linkButton_})
    if (b) b->SetSourceBackground(&skin_);
}

void CMainDlg::paintEvent(QPaintEvent*) {
  // The desktop's look leaves the background to the window system and the palette.
  if (look_ == WindowLook::Desktop) return;
  EnsureSkin();
  QPainter painter(this);
  painter.drawPixmap(0, 0, skin_);
}

void CMainDlg::mousePressEvent(QMouseEvent* event) {
  // A press on a free spot of the surface moves the window, as its caption
  // would.
  if (event->button() == Qt::LeftButton && windowHandle() && look_ == WindowLook::Skinned) {
    windowHandle()->startSystemMove();
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

void CMainDlg::closeEvent(QCloseEvent* event) {
  if (busy_) {
    // During adding or converting a close request asks to cancel; the work ends
    // the window's life, not the request.
    if (progress_) progress_->RequestCancel();
    event->ignore();
    return;
  }
  CloseHelpWindow();
  if (look_ == WindowLook::Desktop) SaveDesktopGeometry();
  model_->BeginReset();
  list_.RemoveAll();
  model_->EndReset();
  const int code = SelectedFormatCode();
  settings_.OutputFormat = code < 0 ? kTargetMp3 : code;
  store_.SaveSettings(settings_, kSaveOutputFormat);
  event->accept();
}

// ---- the desktop's look ----

void CMainDlg::BuildDesktopControls() {
  desktopPane_ = new QWidget(this);
  desktopPane_->hide();
  auto* outer = new QVBoxLayout(desktopPane_);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  // The help menu of the skinned caption button becomes the menu bar's Help.
  menuBar_ = new QMenuBar(desktopPane_);
  helpMenu_->setTitle(tr("&Help"));
  menuBar_->addMenu(helpMenu_);
  connect(helpMenu_, &QMenu::aboutToShow, this, &CMainDlg::UpdateMenuStates);
  outer->setMenuBar(menuBar_);

  auto* row = new QHBoxLayout;
  const int margin = style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
  row->setContentsMargins(margin, margin, margin, margin);
  auto* column = new QVBoxLayout;
  // Each button stands in for its skinned twin: same text, accelerator, tip and names, and
  // a click is the twin's click, so both looks run exactly the same code.
  for (const auto& [command, skin] : buttons_) {
    auto* push = new QPushButton(skin->text(), desktopPane_);
    push->setObjectName(skin->objectName());
    push->setToolTip(skin->toolTip());
    push->setAccessibleName(skin->accessibleName());
    push->setAccessibleDescription(skin->accessibleDescription());
    push->setAutoDefault(false);
    push->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(push, &QPushButton::clicked, skin, &QAbstractButton::clicked);
    column->addWidget(push);
    desktopButtons_.emplace_back(command, push);
  }
  column->addStretch(1);
  desktopLink_ = new QPushButton(linkButton_->text(), desktopPane_);
  desktopLink_->setObjectName(linkButton_->objectName());
  desktopLink_->setToolTip(linkButton_->toolTip());
  desktopLink_->setAccessibleName(linkButton_->accessibleName());
  desktopLink_->setAccessibleDescription(linkButton_->accessibleDescription());
  desktopLink_->setFlat(true);
  desktopLink_->setAutoDefault(false);
  desktopLink_->setCursor(Qt::PointingHandCursor);
  QFont underlined = desktopLink_->font();
  underlined.setUnderline(true);
  desktopLink_->setFont(underlined);
  connect(desktopLink_, &QPushButton::clicked, linkButton_, &QAbstractButton::clicked);
  column->addWidget(desktopLink_);
  row->addLayout(column);
  desktopCommands_ = column;
  desktopRow_ = row;
  outer->addLayout(row, 1);
  UpdateLinkColour();
}

void CMainDlg::UpdateLinkColour() {
  if (!desktopLink_) return;
  // A link reads as one in light and dark palettes alike.
  QPalette linkPalette = desktopLink_->palette();
  const QColor link = palette().color(QPalette::Link);
  if (linkPalette.color(QPalette::ButtonText) == link) return;
  linkPalette.setColor(QPalette::ButtonText, link);
  desktopLink_->setPalette(linkPalette);
}

void CMainDlg::SetDesktopLook(bool on) {
  if (busy_) return;
  settings_.UseDesktopLook = on ? 1 : 0;
  store_.SaveSettings(settings_, kSaveOptions);
  ApplyLook(on ? WindowLook::Desktop : WindowLook::Skinned);
}

void CMainDlg::ApplyLook(WindowLook look) {
  if (look == look_) return;
  const bool visible = isVisible();
  const QPoint at = pos();
  if (look_ == WindowLook::Desktop) SaveDesktopGeometry();
  look_ = look;
  const bool desktop = look == WindowLook::Desktop;
  palette_->SetOn(desktop);
  for (const auto& [command, b] : buttons_) b->setVisible(!desktop);
  for (CSkinButton* b : {helpButton_, minimiseButton_, closeButton_, linkButton_})
    b->setVisible(!desktop);
  // The list and the drop-down move between the looks, so the rows, the selection and the
  // chosen format stay as they are.
  if (desktop) {
    if (!desktopPane_) BuildDesktopControls();
    desktopRow_->addWidget(view_, 1);
    desktopCommands_->insertWidget(static_cast<int>(desktopButtons_.size()) - 1, combo_);
    combo_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFont(QFont());  // the application's font, not the skin's
    setWindowFlags(Qt::Window);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setMinimumSize(desktopPane_->minimumSizeHint().expandedTo(QSize(520, 340)));
    const WindowGeometry saved = store_.LoadWindowGeometry();
    const QSize size =
        saved.width > 0 ? QSize(saved.width, saved.height) : QSize(kDesktopWidth, kDesktopHeight);
    resize(size.expandedTo(minimumSize()));
    desktopPane_->setGeometry(rect());
    desktopPane_->show();
    // Until the user sets them, the columns are the skin's widths widened for the desktop's
    // font, and the file names get the room a wider window gives.
    const bool savedColumns = static_cast<int>(saved.columnWidths.size()) == kColumnCount - 1;
    for (int c = 0; c + 1 < kColumnCount; ++c) {
      const int fitted =
          std::max(CSourceTableModel::ColumnWidth(c), view_->header()->sectionSizeHint(c) + 8);
      view_->setColumnWidth(c, savedColumns    ? saved.columnWidths[static_cast<std::size_t>(c)]
                               : c == kColFile ? std::max(fitted, 240)
                                               : fitted);
    }
    // The list, the commands from the top, the format before Options, then the link.
    QWidget* previous = view_;
    for (const auto& [command, push] : desktopButtons_) {
      if (command == kOptions) {
        setTabOrder(previous, combo_);
        previous = combo_;
      }
      setTabOrder(previous, push);
      previous = push;
    }
    setTabOrder(previous, desktopLink_);
  } else {
    desktopPane_->hide();
    desktopRow_->removeWidget(view_);
    desktopCommands_->removeWidget(combo_);
    view_->setParent(this);
    combo_->setParent(this);
    combo_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    view_->setGeometry(kListGeometry);
    combo_->setGeometry(kComboGeometry);
    setFont(Tahoma());
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(kWidth, kHeight);
    for (int c = 0; c + 1 < kColumnCount; ++c)
      view_->setColumnWidth(c, CSourceTableModel::ColumnWidth(c));
    SetSkinnedTabOrder();
  }
  if (comboLabel_->parentWidget() != combo_->parentWidget()) {
    comboLabel_->setParent(combo_->parentWidget());
    comboLabel_->hide();
  }
  view_->show();
  combo_->show();
  UpdateLinkColour();
  if (QAction* entry = action(kDesktopLook)) entry->setChecked(desktop);
  if (visible) {
    move(at);
    show();
  }
}

void CMainDlg::SaveDesktopGeometry() {
  WindowGeometry geometry;
  geometry.width = width();
  geometry.height = height();
  for (int c = 0; c + 1 < kColumnCount; ++c) geometry.columnWidths.push_back(view_->columnWidth(c));
  store_.SaveWindowGeometry(geometry);
}

QAbstractButton* CMainDlg::commandButton(int command) const {
  if (look_ == WindowLook::Skinned)
    return command == kHomepage ? static_cast<QAbstractButton*>(linkButton_) : button(command);
  if (command == kHomepage) return desktopLink_;
  for (const auto& [id, push] : desktopButtons_)
    if (id == command) return push;
  return nullptr;
}

void CMainDlg::resizeEvent(QResizeEvent* event) {
  if (desktopPane_ && look_ == WindowLook::Desktop) desktopPane_->setGeometry(rect());
  QWidget::resizeEvent(event);
}

void CMainDlg::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange) UpdateLinkColour();
  QWidget::changeEvent(event);
}

}  // namespace wavorax::ui
