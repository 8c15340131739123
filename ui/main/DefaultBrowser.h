// Opening a link when the desktop's handler cannot: with the user's default web browser, as
// mimeapps.list names it, and a message that says why when that fails too.
#pragma once

#include <QString>

class QWidget;

namespace wavorax::ui {

class CLinkLabel;

// Results of OpenWithDefaultBrowser: above kOpenSucceeded - 1 means the link was opened. The
// failures use the codes of the error table in LinkErrorText.
enum : int {
  kOpenSucceeded = 33,
  kFileNotFound = 2,
  kAccessDenied = 5,
  kAssociationInvalid = 27,
  kNoAssociation = 31,
};

// Starts the default web browser on `link`; one of the codes above.
int OpenWithDefaultBrowser(const QString& link);

// "Unable to open hyperlink:\n\n" and the reason for `code`.
QString LinkErrorText(int code);

// Every link label below `root`, now and only those present now: a link the desktop cannot
// open goes to the default browser; when that fails too, a beep and a warning with the
// reason.
void OpenFailedLinksInBrowser(QWidget* root);

}  // namespace wavorax::ui
