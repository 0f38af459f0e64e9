#pragma once

namespace zek::settings {

// Removes the uninstall entry an older installation left behind; every
// failure (most often: there is none) is ignored.
void RemoveOldUninstallEntry();

}  // namespace zek::settings
