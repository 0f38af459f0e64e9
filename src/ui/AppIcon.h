#pragma once
// ZEK's own icon (window and tray), drawn by our own code.
#include <QIcon>

namespace zek::ui {

QIcon applicationIcon();

}  // namespace zek::ui
