#pragma once
// Open-file dialogs with the program's "description|*.A;*.B" filters.
#include <QString>

class QWidget;

namespace zek::ui {

// A "description|*.A;*.B" filter as Qt's file dialogs read it. Masks match
// in any letter case ("song.smc" as well as "SONG.SMC"); "*.EXE" matches any
// file, since programs here carry no extension, and "*.DLL" becomes "*.so";
// the description names the patterns the dialog really uses. Show it with
// the details hidden: the dialog then shows the description only.
QString nameFilter(const QString& filter);

// Runs an open-file dialog for an existing file. The dialog starts at
// `initial`: a folder ("" or ending in "/") is opened as it is, a file name
// is selected in its folder. With `preview`, a picture of the highlighted
// file is shown beside the list. Returns the chosen full path, or an empty
// string when the user cancelled.
QString chooseOpenFile(QWidget* parent, const QString& objectName, const QString& title, const QString& filter,
                       const QString& initial, bool preview = false);

}  // namespace zek::ui
