// The file and folder dialogs that the windows share. Both are the desktop's own
// choosers where the platform theme offers one (the portal, GTK or KDE), and Qt's
// widget dialog elsewhere, as on the offscreen platform the tests drive.
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
// It opens on `start`, or on DefaultBrowseFolder() when that is empty.
QStringList ChooseSourceFiles(QWidget* parent, const QString& start = {});

// Where a dialog opens on a first run: the user's music folder (XDG MUSIC) when it
// exists, else the home folder, never the working folder.
QString DefaultBrowseFolder();

// The filter list of ChooseSourceFiles, one "Description (patterns)" entry
// each.
QStringList SourceFileFilters();

}  // namespace wavorax::ui
