// The file and folder dialogs that the windows share. Both are Qt's own widget
// dialogs (not the desktop's native ones), so that the tests can find and drive
// them.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace wavorax::ui {

// A folder dialog opening on `start`. Returns the chosen folder with a trailing
// '/', or an empty string on Cancel.
QString ChooseFolder(QWidget* parent, const QString& caption, const QString& start);

// The open dialog of Add Files: several files at once, the filters in their
// order, the first one chosen. Returns the chosen files' full paths in the
// order the dialog gives them, or an empty list on Cancel.
QStringList ChooseSourceFiles(QWidget* parent);

// The filter list of ChooseSourceFiles, one "Description (patterns)" entry
// each.
QStringList SourceFileFilters();

}  // namespace wavorax::ui
