#pragma once
// File associations on the freedesktop: the shared MIME database (types by
// file name), desktop entries that open a type, and the user's default
// applications in mimeapps.list. Everything is written below the user's XDG
// folders, each file whole or not at all.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zek::platform {

// The MIME type that the shared MIME database gives a file name ending in
// `extension` (".smc"), searched in the user's data folder first; empty when
// no type claims it.
QString mimeTypeForExtension(const QString& extension);

// The user's package file for one of our own types.
QString mimePackagePath(const QString& mimeType);

// Writes the package that defines `mimeType` (text, files "*" + extension,
// described by `description`) unless it exists: an existing package keeps
// its description. True when the package is there afterwards.
bool registerMimeType(const QString& mimeType, const QString& extension, const QString& description);

// The desktop id of ZEK's entry that opens files of `mimeType`.
QString openEntryId(const QString& mimeType);

// Writes <data home>/applications/<desktopId>: starts `program` with
// `arguments`, then the file opened, for files of `mimeType`.
bool writeOpenEntry(const QString& desktopId, const QString& program, const QStringList& arguments,
                    const QString& mimeType, const QString& comment);

// `mimeapps` with `desktopId` as the default application of `mimeType`:
// that one line is replaced or added; every other byte stays.
QByteArray withDefaultApplication(const QByteArray& mimeapps, const QString& mimeType, const QString& desktopId);

// The same applied to <config home>/mimeapps.list.
bool setDefaultApplication(const QString& mimeType, const QString& desktopId);

// Rebuilds the user's MIME database and desktop-entry cache with
// update-mime-database and update-desktop-database, where installed.
void updateMimeDatabase();
void updateDesktopDatabase();

}  // namespace zek::platform
