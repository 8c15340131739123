// The main window: the skinned, frameless, fixed-size window with the source
// list, the command buttons, the target-format drop-down, the context and help
// menus, adding sources and converting them. In the desktop's look the same list,
// drop-down and commands sit in layouts in an ordinary resizable window with a
// menu bar. It owns the settings record and
// the rows; the engine converts through it as the batch host.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/SettingsStore.h"
#include "engine/Engine.h"
#include "settings/ConversionSettings.h"
#include "sources/SourceList.h"
#include "ui/main/DesktopLook.h"
#include "ui/main/HelpWindow.h"
#include "ui/main/ProgressDlg.h"

class QAbstractButton;
class QAction;
class QBoxLayout;
class QMenuBar;
class QPushButton;
class QMimeData;
class QComboBox;
class QLabel;
class QMenu;
class QTreeView;

namespace wavorax::ui {

class CSkinButton;
class CSourceTableModel;

class CMainDlg final : public QWidget, public IBatchHost {
  Q_OBJECT

 public:
  // Commands that menus and keys reach; their enabling follows the selection.
  enum Command {
    kAddFiles = 32773,
    kAddFolder = 1024,
    kAddAudioCd = 32791,
    kRemove = 32772,
    kRemoveAll = 1005,
    kConvertAll = 32787,
    kConvertSelected = 32786,
    kOptions = 1014,
    kPlaySource = 32775,
    kPlayDestination = 32781,
    kBrowseSource = 32777,
    kBrowseDestination = 32780,
    kHelpTopics = 57670,
    kTellAFriend = 32782,
    kFeedback = 32783,
    kHomepage = 32784,
    kCheckVersion = 32785,
    kAbout = 1017,
    kDesktopLook = 32800,  // switches between the skinned look and the desktop's
  };

  // Loads the settings from `store`, builds the window and, on the first run,
  // opens the help found at `helpIndex`.
  CMainDlg(CSettingsStore& store, const QString& helpIndex, QWidget* parent = nullptr);
  ~CMainDlg() override;

  // Whether a command from a menu or a key would run now.
  bool IsCommandEnabled(int command) const;
  // Runs a command the way a menu entry or key does: a disabled one is dropped.
  void Dispatch(int command);

  // The commands.
  void OnAddFiles();
  void OnAddFolder();
  // Adds every audio track of the disc in a drive, asking which drive when several hold one.
  void OnAddAudioCd();
  void RemoveSelected();
  void RemoveAllRows();
  void ConvertAll();
  void ConvertSelected();
  void OnOptions();
  void OpenHelp();
  void CloseHelpWindow();
  void ShowAbout();
  // Switches the look at once, keeping the rows, and saves the choice.
  void SetDesktopLook(bool on);
  WindowLook look() const { return look_; }
  // Adds dropped paths: folders are searched, files pass the admission rule.
  void AddDropped(const QStringList& paths);
  // Paths from the command line or from a later start of the program: added as a drop
  // adds them, once the window takes drops (after a running batch).
  void AddFromDesktop(const QStringList& paths);
  // Probes the collected paths with progress (a window already open, or a new
  // one), then shows the failure report.
  void AddCollected(const std::vector<std::string>& paths, CProgressDlg* progress);

  // Shows the context menu at a global position; the menus are built for each
  // showing.
  void ShowContextMenu(const QPoint& globalPos);
  void ShowHelpMenu();

  // IBatchHost.
  int RowCount() override;
  std::vector<int> SelectedRows() override;
  SourceEntry& Entry(int row) override;
  int SelectedFormatCode() override;
  void EnsureRowVisible(int row) override;
  void SetRowStatus(int row, const std::string& text) override;
  void RevealOutput(const std::string& path) override;
  void ShowInformation(const std::string& text) override;
  void BeginBatch() override;
  void EndBatch() override;
  IConvertProgress& OpenProgress() override;
  IConvertProgress& OpenProgressFor(int jobs) override;
  void CloseProgress() override;

  // For the tests and the screenshots.
  CSourceList& sourceList() { return list_; }
  ConversionSettings& settings() { return settings_; }
  CConversionEngine& engine() { return engine_; }
  QTreeView* listView() const { return view_; }
  QComboBox* formatCombo() const { return combo_; }
  CSkinButton* button(int command) const;
  CSkinButton* helpCaption() const { return helpButton_; }
  CSkinButton* minimiseCaption() const { return minimiseButton_; }
  CSkinButton* closeCaption() const { return closeButton_; }
  CSkinButton* linkButton() const { return linkButton_; }
  // The command's button in the look shown now; the homepage link is kHomepage.
  QAbstractButton* commandButton(int command) const;
  // The desktop's look: its menu bar and palette (null and off until first shown).
  QMenuBar* menuBar() const { return menuBar_; }
  CDesktopPalette& desktopPalette() { return *palette_; }
  CHelpWindow* helpWindow() const { return help_; }
  CProgressBase* activeProgress() const { return progress_; }
  // The menus as last built, and the one open now.
  QMenu* contextMenu() const { return contextMenu_; }
  QMenu* helpMenu() const { return helpMenu_; }
  QAction* action(int command) const;
  bool busy() const { return busy_; }

 signals:
  // A progress window opened (adding or converting); tests drive it from here.
  void progressOpened(CProgressBase* window);
  // The engine wrote a row's Status.
  void rowStatusChanged(int row, const QString& text);
  // A menu is about to run modally.
  void menuAboutToShow(QMenu* menu);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool IsCommandEnabled(int command, const std::vector<int>& selected) const;
  void BuildControls();
  void BuildMenus();
  void BuildDesktopControls();
  void ApplyLook(WindowLook look);
  void SetSkinnedTabOrder();
  void SaveDesktopGeometry();
  void UpdateLinkColour();
  void UpdateMenuStates();
  void FillFormatCombo();
  void ShowHelpOnFirstRun();
  void OpenHelpWindow(bool maximised);
  void EnsureSkin();
  void SyncSelectionToList();
  void SyncSelectionFromList();
  void SortBy(int column);
  void OpenUrl(const QString& url);
  CProgressDlg* OpenAddProgress(const QString& text);
  static std::vector<std::string> LocalPaths(const QMimeData* data);

  CSettingsStore& store_;
  QString helpIndex_;
  ConversionSettings settings_;
  CSourceList list_;
  CConversionEngine engine_;
  CSourceTableModel* model_ = nullptr;
  QTreeView* view_ = nullptr;
  QComboBox* combo_ = nullptr;
  QLabel* comboLabel_ = nullptr;  // names the combo to screen readers; never shown
  std::vector<std::pair<int, CSkinButton*>> buttons_;
  CSkinButton* helpButton_ = nullptr;
  CSkinButton* minimiseButton_ = nullptr;
  CSkinButton* closeButton_ = nullptr;
  CSkinButton* linkButton_ = nullptr;
  QMenu* contextMenu_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  std::vector<std::pair<int, QAction*>> actions_;
  QPixmap skin_;
  QPointer<CHelpWindow> help_;
  QPointer<CProgressBase> progress_;
  CConvertProgressDlg* convertProgress_ = nullptr;
  bool busy_ = false;
  QStringList pendingAdds_;  // handed over by the desktop while busy
  QString lastFilesFolder_;  // where Add Files chose last
  void MakeReachable(CSkinButton* button, const QString& name, const QString& description);
  void TakePendingAdds();
  class CDesktopSignals* desktop_ = nullptr;
  std::set<int> batchRows_;      // the rows the running batch gave a status
  std::string lastBatchOutput_;  // the first output of the last batch, for the notification
  // The desktop's look, built the first time it is shown.
  WindowLook look_ = WindowLook::Skinned;
  CDesktopPalette* palette_ = nullptr;
  QWidget* desktopPane_ = nullptr;
  QMenuBar* menuBar_ = nullptr;
  QBoxLayout* desktopCommands_ = nullptr;  // the left column
  QBoxLayout* desktopRow_ = nullptr;       // the column and the list
  std::vector<std::pair<int, QPushButton*>> desktopButtons_;
  QPushButton* desktopLink_ = nullptr;
};

// The product's addresses, shown by the link button and opened by the product
// commands.
QString HomepageUrl();

}  // namespace wavorax::ui
