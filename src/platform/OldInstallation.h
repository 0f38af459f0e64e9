#pragma once
// What an older installation may have left in the desktop: an uninstall
// entry and a Start-menu folder. This platform has neither, so every call
// reports "not found" (false) and changes nothing.
#include <QString>

namespace zek::platform {

bool removeUninstallEntry(const QString& entryName);
bool removeStartMenuEntry(const QString& folderName, const QString& fileName);
bool removeStartMenuFolder(const QString& folderName);

}  // namespace zek::platform
