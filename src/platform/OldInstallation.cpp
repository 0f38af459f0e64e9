#include "platform/OldInstallation.h"

namespace zek::platform {

bool removeUninstallEntry(const QString&) { return false; }
bool removeStartMenuEntry(const QString&, const QString&) { return false; }
bool removeStartMenuFolder(const QString&) { return false; }

}  // namespace zek::platform
