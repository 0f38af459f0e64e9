#include "compile/Staging.h"

#include "compile/CompilerLibrary.h"
#include "compile/FolderTree.h"
#include "compile/StagingRecord.h"

#include <QDir>
#include <QFileInfo>

namespace zek::compile {
namespace {

QString canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }

// The include folder the library brings: beside it, else one folder up.
QString libraryIncludeFolder(const QString& libraryPath) {
    const QString folder = QFileInfo(libraryPath).absolutePath();
    const QString beside = folder + "/Include";
    if (QFileInfo(beside).isDir())
        return beside;
    return QFileInfo(folder + "/../Include").absoluteFilePath();
}

}  // namespace

bool StagesIncludeFolder(const QByteArray& versionText) {
    if (versionText.isEmpty())
        return false;
    const unsigned char first = static_cast<unsigned char>(versionText.front());
    return first >= '2' && first <= 127;
}

QString StagedLibraryPath(const QString& pathSetting, const QString& programFolder) {
    const QString name = QFileInfo(pathSetting).fileName();
    if (name.isEmpty() || programFolder.isEmpty())
        return QString();
    return QDir(programFolder).filePath(name);
}

void StageIncludeFolder(const settings::Settings& s, const QString& programFolder, CompilerLibrary& library) {
    if (s.execdsakura.isEmpty())
        return;
    StagingRecord record;
    const QString staged = StagedLibraryPath(s.execdsakura, programFolder);
    // A file there that is not our copy (the bundled library of the same
    // name, the user's own library) is left alone; the library is then
    // loaded from its own path.
    if (QFileInfo(s.execdsakura).isFile() && canonical(s.execdsakura) != canonical(staged))
        record.copyFile(s.execdsakura, staged);

    const std::optional<QByteArray> version = library.queryVersion(s.execdsakura, programFolder);
    if (!version || !StagesIncludeFolder(*version))
        return;
    const QString target = programFolder + "/Include";
    if (!record.makeFolder(target))
        return;
    const QString source = libraryIncludeFolder(s.execdsakura);
    if (canonical(source).isEmpty() || canonical(source) == canonical(target))
        return;
    CopyFolderTree(source + "/*.*", target + "/*.*", record);
}

void RemoveStagedFiles(CompilerLibrary& library) {
    library.release();
    StagingRecord().removeAll();
}

}  // namespace zek::compile
