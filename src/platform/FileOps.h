#pragma once
// File operations whose failures the callers tell apart.
#include <QString>

namespace zek::platform {

// Deletes a file (never a folder). 0 on success, else the errno value.
int removeFile(const QString& path);

// True when the errno value means the file is held or protected, not merely
// missing (the compile refuses then).
bool isAccessError(int error);

// Renames without replacing another file: when `to` already exists as a
// different file, nothing happens and EEXIST is returned. A target that is
// the same file (a case change on a case-insensitive file system) is fine.
int renameNoReplace(const QString& from, const QString& to);

// True when both paths name the same existing file.
bool sameFile(const QString& a, const QString& b);

// The identity of a regular file as it is now (device, inode, size and
// modification time in nanoseconds), to tell later whether the path still
// names that file unchanged. Empty when the path is not a regular file (a
// symbolic link is not followed).
QByteArray fileIdentity(const QString& path);

}  // namespace zek::platform
