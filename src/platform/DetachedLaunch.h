#pragma once
// Starting a program that lives on by itself (an editor, a player, the
// desktop's file handler): ZEK neither waits for it nor keeps track of it.
#include <QString>
#include <QStringList>

namespace zek::platform {

// argv = [program, arguments...], ZEK's own environment and current folder,
// a session of its own, none of ZEK's file descriptors. Never runs a shell and
// never leaves a zombie behind. Returns 0 once exec has succeeded, else the
// errno of the step that failed (ENOENT, EACCES, ENOEXEC …).
int launchDetached(const QString& program, const QStringList& arguments);

}  // namespace zek::platform
