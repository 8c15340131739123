// The program's help window, titled "Wavorax Help": the HTML help in a browser
// with Back and Forward. The main window makes it once and raises it after
// that.
#pragma once

#include <QLocale>
#include <QString>
#include <QWidget>

class QTextBrowser;
class QToolButton;

namespace wavorax::ui {

class CHelpWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit CHelpWindow(const QString& index, QWidget* parent = nullptr);
  QTextBrowser* browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
  QToolButton* back_;
  QToolButton* forward_;
};

// Where the program finds its help: beside the build when run from the build
// folder, under share/ when installed; both are ../share/wavorax/help/ from the
// program's folder.
QString DefaultHelpIndex();

// The index page in the first of the locale's languages that the help folder has pages for
// (help/de/ for German), else the English one at the top of the folder.
QString LocalisedHelpIndex(const QString& helpFolder, const QLocale& locale);

}  // namespace wavorax::ui
