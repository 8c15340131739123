#include "ui/main/HelpWindow.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace wavorax::ui {

QString DefaultHelpIndex() {
  return LocalisedHelpIndex(QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                            QStringLiteral("/../share/wavorax/help")),
                            QLocale::system());
}

QString LocalisedHelpIndex(const QString& helpFolder, const QLocale& locale) {
  const QString english = helpFolder + QStringLiteral("/index.html");
  for (QString language : locale.uiLanguages()) {
    language.replace(QLatin1Char('-'), QLatin1Char('_'));
    for (const QString& name : {language, language.section(QLatin1Char('_'), 0, 0)}) {
      // English is the help's own language; a later preference does not override it.
      if (name == QLatin1String("en") || name == QLatin1String("C")) return english;
      const QString index = helpFolder + QLatin1Char('/') + name + QStringLiteral("/index.html");
      if (!name.isEmpty() && QFileInfo::exists(index)) return index;
    }
  }
  return english;
}

CHelpWindow::CHelpWindow(const QString& index, QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(tr("Wavorax Help"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  resize(760, 560);

  back_ = new QToolButton(this);
  back_->setText(tr("Back"));
  back_->setArrowType(Qt::LeftArrow);
  back_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  back_->setEnabled(false);
  forward_ = new QToolButton(this);
  forward_->setText(tr("Forward"));
  forward_->setArrowType(Qt::RightArrow);
  forward_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  forward_->setEnabled(false);

  browser_ = new QTextBrowser(this);
  // Pages of the help open inside; links to the web go to the desktop's
  // browser.
  browser_->setOpenExternalLinks(true);
  // Text that runs up to the frame is hard to read; the margin stays for every page loaded.
  browser_->document()->setDocumentMargin(14);
  browser_->setOpenLinks(true);
  browser_->setSearchPaths({QFileInfo(index).absolutePath()});
  browser_->setSource(QUrl::fromLocalFile(index));

  connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QToolButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QToolButton::setEnabled);

  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(6, 6, 6, 0);
  bar->addWidget(back_);
  bar->addWidget(forward_);
  bar->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  layout->addLayout(bar);
  layout->addWidget(browser_, 1);
}

}  // namespace wavorax::ui
