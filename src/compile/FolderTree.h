#pragma once
// Copying and emptying folder trees. A pattern is a folder, "/" and a file
// mask ("/opt/sakura/Include/*.*"); "*.*" matches every name, as it always
// has for these routines. Hidden entries (names beginning with ".") are
// never listed; a read-only file (no owner write permission) resists
// deletion and stays. Symbolic links are never followed into folders.
#include <QString>

namespace zek::compile {

// Where CopyFolderTree writes. This plain writer creates folders and
// replaces files; staging brings one that writes only where it may and
// records what it wrote.
class TreeWriter {
public:
    virtual ~TreeWriter() = default;
    // True when the folder exists afterwards and may be copied into.
    virtual bool makeFolder(const QString& path);
    virtual bool copyFile(const QString& from, const QString& to);
};

// Copies every matching file of the source folder into the target folder
// (replacing files there, as far as `writer` lets it) and recurses into
// sub-folders, creating them. Nothing is ever copied onto itself or into the
// tree being copied. Failures are skipped silently; the walk goes on.
void CopyFolderTree(const QString& sourcePattern, const QString& targetPattern, TreeWriter& writer);
void CopyFolderTree(const QString& sourcePattern, const QString& targetPattern);

// Copies one file over `to`: written beside it and renamed into place, so a
// failed copy never leaves a half-written file where a good one was (and a
// library loaded from the old file keeps working). Permissions come along.
bool CopyFileReplacing(const QString& from, const QString& to);

// Deletes the matching contents of the folder tree; the folder named in the
// pattern stays. Failures are skipped silently.
void DeleteFolderTree(const QString& pattern);

}  // namespace zek::compile
