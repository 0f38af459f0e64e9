#pragma once
#include <QIcon>
#include <QPixmap>

namespace zek::ui {

// The program's icon: a score page with a note, drawn at `pixels` square.
QPixmap programIconPixmap(int pixels);
// The same in the usual sizes, for windows.
QIcon programIcon();

}  // namespace zek::ui
