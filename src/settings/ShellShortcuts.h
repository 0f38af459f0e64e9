#pragma once
// ZEK's launchers on the desktop: where they live, the toggles that create or
// delete them, and the clean-up of what an older installation left in the
// Start menu.
#include "settings/ShellHost.h"

#include <QString>

namespace zek::platform {
class ShortcutLibrary;
}

namespace zek::settings {

inline const QString kShortcutName = QStringLiteral("ZEK.desktop");

// The file manager's "Open With" list stands for the Send To folder.
QString SendToShortcutPath();
QString DesktopShortcutPath();

// Deletes the older installation's Start-menu entries; failures are ignored.
void RemoveOldStartMenuEntries();

enum class ShortcutPlace { SendTo, Desktop };

inline const QString kShortcutLibraryMissing = QStringLiteral("ZERIRIZU.DLLが見つかりません。");
// Shown when the library ran but no launcher came of it (its folder is
// missing, or a folder of that name is in the way).
QString ShortcutNotCreatedMessage(const QString& shortcutPath);

// btnSendClick / btnDeskClick: with a file at `shortcutPath`, asks and
// deletes it; otherwise asks and creates a launcher that starts
// `programPath`. Each press decides afresh from what is on disk.
void ToggleShortcut(ShortcutPlace place, const QString& shortcutPath, const QString& programPath, ShellHost& host,
                    platform::ShortcutLibrary& library);

}  // namespace zek::settings
