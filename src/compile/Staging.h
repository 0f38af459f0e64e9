#pragma once
// While the in-process compiler is current, ZEK keeps a copy of its library
// (and, from version 2 on, of its include folder as "Include") in ZEK's
// program folder, and removes them when it ends. Only what staging made
// itself (StagingRecord) is ever overwritten or deleted: the program's own
// files and a user's library or "Include" folder stay as they are.
#include "settings/Settings.h"

#include <QByteArray>
#include <QString>

namespace zek::compile {

class CompilerLibrary;

void StageIncludeFolder(const settings::Settings& settings, const QString& programFolder, CompilerLibrary& library);
// Unloads the library and deletes what was staged, also by an earlier run
// that crashed.
void RemoveStagedFiles(CompilerLibrary& library);

// Where the library of this path setting is staged: its file name in the
// program folder (empty when there is no name or no folder).
QString StagedLibraryPath(const QString& pathSetting, const QString& programFolder);

// Version 2 or later: the first byte of the version text is "2" or above (up to 127).
bool StagesIncludeFolder(const QByteArray& versionText);

}  // namespace zek::compile
