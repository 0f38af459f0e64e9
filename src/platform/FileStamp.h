#pragma once
// File look-ups by time stamp. A "plain file" is a regular file whose name
// does not begin with "." (a hidden file); folders never match.
#include <QString>
#include <QtGlobal>

#include <optional>

namespace zek::platform {

// The modification time in nanoseconds, so a rewrite within the same second
// still counts; nullopt when there is no such plain file.
std::optional<qint64> plainFileStamp(const QString& path);

// True when the path names an existing file that is not a folder (the test
// used for program paths).
bool isExistingFile(const QString& path);

}  // namespace zek::platform
