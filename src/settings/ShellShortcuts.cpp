#include "settings/ShellShortcuts.h"

#include "platform/FileOps.h"
#include "platform/OldInstallation.h"
#include "platform/ShortcutLibrary.h"
#include "platform/XdgPaths.h"

#include <QDir>
#include <QFileInfo>

namespace zek::settings {
namespace {

QString placeName(ShortcutPlace place) {
    return place == ShortcutPlace::SendTo ? QStringLiteral("「送る」") : QStringLiteral("「ﾃﾞｽｸﾄｯﾌﾟ」");
}

}  // namespace

QString SendToShortcutPath() { return platform::dataHome() + "/applications/" + kShortcutName; }

QString DesktopShortcutPath() { return platform::desktopDir() + "/" + kShortcutName; }

void RemoveOldStartMenuEntries() {
    const QString folder = QStringLiteral("TALMO SPICE支援ﾂｰﾙ - ZEK");
    platform::removeStartMenuEntry(folder, QStringLiteral("README.lnk"));
    platform::removeStartMenuEntry(folder, QStringLiteral("ZEK.lnk"));
    platform::removeStartMenuFolder(folder);
}

QString ShortcutNotCreatedMessage(const QString& shortcutPath) {
    return QStringLiteral("ZEKのｼｮｰﾄｶｯﾄを作成できませんでした。\n") + shortcutPath;
}

void ToggleShortcut(ShortcutPlace place, const QString& shortcutPath, const QString& programPath, ShellHost& host,
                    platform::ShortcutLibrary& library) {
    if (shortcutPath.isEmpty())
        return;  // the desktop reported no such folder
    // A folder of that name is no shortcut.
    if (QFileInfo(shortcutPath).isFile()) {
        if (host.confirm(placeName(place) + QStringLiteral("のZEKのｼｮｰﾄｶｯﾄを削除します。\nよろしいですか？")))
            platform::removeFile(shortcutPath);  // a failed deletion is not reported
        return;
    }
    if (!host.confirm(placeName(place) + QStringLiteral("にZEKのｼｮｰﾄｶｯﾄを作成します。\nよろしいですか？")))
        return;
    // The applications folder is the user's own list of launchers and may
    // simply not exist yet; a missing desktop folder is not made up.
    if (place == ShortcutPlace::SendTo)
        QDir().mkpath(QFileInfo(shortcutPath).absolutePath());
    switch (library.createShortcut(shortcutPath, programPath, QString())) {
    case platform::ShortcutLibrary::Result::Created:
        break;
    case platform::ShortcutLibrary::Result::Unavailable:
        host.showError(kShortcutLibraryMissing);
        break;
    case platform::ShortcutLibrary::Result::Failed:
        host.showError(ShortcutNotCreatedMessage(shortcutPath));
        break;
    }
}

}  // namespace zek::settings
