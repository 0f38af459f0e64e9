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

}  // namespace zek::platform
