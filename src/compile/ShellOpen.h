#pragma once
// The one way ZEK starts programs and opens documents, folders and web
// addresses: editor, player, README, home page, source folder.
#include <QString>
#include <QStringList>

namespace zek::compile {

// An existing executable file is started detached, with `parameters` split
// into words as a shell splits them (nothing expanded) and then `trailing`
// appended as they are, one argument each (a file name keeps its spaces).
// A document, folder or web address (scheme:...) is opened with the desktop's
// handler, the `xdg-open` found in PATH; parameters do not apply to it. So is
// an executable-looking file that the system cannot execute (a text file on a
// file system that marks everything executable).
// True when the program or the handler was started (its exec succeeded).
// Shows no message: each caller decides.
bool ShellOpen(const QString& target, const QString& parameters, const QStringList& trailing = {});

}  // namespace zek::compile
