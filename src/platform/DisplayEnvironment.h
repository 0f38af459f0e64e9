#pragma once
// Whether the environment names a desktop the GUI can open, judged before
// the GUI tries: Qt aborts the process when it finds none.
#include <QString>

namespace zek::platform {

// Empty when a display is named (or QT_QPA_PLATFORM picks a platform that
// needs none, such as offscreen); otherwise what is missing. Says "none" only when
// sure: a named display that cannot be reached is found out by the GUI.
QString missingDesktopReason();

}  // namespace zek::platform
