#include "settings/OldInstallation.h"

#include "platform/OldInstallation.h"

#include <QString>

namespace zek::settings {

void RemoveOldUninstallEntry() {
    platform::removeUninstallEntry(QStringLiteral("TALMO SPICE支援ツール - ZEK"));
}

}  // namespace zek::settings
