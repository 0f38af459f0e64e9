#include "settings/ShellShortcuts.h"

#include "platform/OldInstallation.h"
#include "platform/XdgPaths.h"

namespace zek::settings {

QString SendToShortcutPath() { return platform::dataHome() + "/applications/" + kShortcutName; }

QString DesktopShortcutPath() { return platform::desktopDir() + "/" + kShortcutName; }

void RemoveOldStartMenuEntries() {
    const QString folder = QStringLiteral("TALMO SPICE支援ﾂｰﾙ - ZEK");
    platform::removeStartMenuEntry(folder, QStringLiteral("README.lnk"));
    platform::removeStartMenuEntry(folder, QStringLiteral("ZEK.lnk"));
    platform::removeStartMenuFolder(folder);
}

}  // namespace zek::settings
