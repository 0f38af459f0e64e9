#pragma once
// Where ZEK's launchers live on the desktop, and the clean-up of what an
// older installation left in the Start menu.
#include <QString>

namespace zek::settings {

inline const QString kShortcutName = QStringLiteral("ZEK.desktop");

// The file manager's "Open With" list stands for the Send To folder.
QString SendToShortcutPath();
QString DesktopShortcutPath();

// Deletes the older installation's Start-menu entries; failures are ignored.
void RemoveOldStartMenuEntries();

}  // namespace zek::settings
