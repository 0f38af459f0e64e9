#pragma once
// Folders that only the current user may use. ZEK empties its temporary
// folder at exit and keeps its hand-off block in its runtime folder, so a
// folder another user could plant (or a symbolic link) must never be used.
#include <QString>

namespace zek::platform {

// Creates the folder with mode 0700 when it is missing. True when it is now
// a real folder (not a symbolic link) owned by this user, with no access for
// group or others; else false and the reason in *why.
bool ensurePrivateDir(const QString& path, QString* why = nullptr);

// $XDG_RUNTIME_DIR when it is such a folder, else /tmp/zek-<uid> (created
// 0700). Empty, with the reason, when neither can be used.
QString userRuntimeDir(QString* why = nullptr);

// The running executable, and its folder (ZEK's program folder).
QString programPath();
QString programFolder();

}  // namespace zek::platform
