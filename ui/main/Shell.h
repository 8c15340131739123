// The desktop's file actions: opening a file with its application, and showing
// a file in the file manager.
#pragma once

#include <QString>

namespace wavorax::ui {

// Opens a file or folder with the desktop's handler (xdg-open).
void OpenWithDesktop(const QString& path);

// Shows the file selected in the file manager through
// org.freedesktop.FileManager1.ShowItems on the session bus. When no file
// manager answers, the containing folder is opened instead. The call does not
// wait: the answer comes while the event loop runs.
void RevealInFileManager(const QString& path);

}  // namespace wavorax::ui
