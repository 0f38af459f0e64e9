#pragma once
// While the in-process compiler is current, ZEK keeps a copy of its library
// (and, from version 2 on, of its include folder as "Include") in ZEK's
// program folder, and removes them when it ends. The user's own library or
// include folder is never overwritten or deleted, even when it lies in the
// program folder itself.
#include "settings/Settings.h"

#include <QByteArray>
#include <QString>

namespace zek::compile {

class CompilerLibrary;

void StageIncludeFolder(const settings::Settings& settings, const QString& programFolder, CompilerLibrary& library);
void RemoveStagedFiles(const settings::Settings& settings, const QString& programFolder, CompilerLibrary& library);

// Version 2 or later: the first byte of the version text is "2" or above (up to 127).
bool StagesIncludeFolder(const QByteArray& versionText);

}  // namespace zek::compile
