#include "compile/Staging.h"

#include "compile/CompilerLibrary.h"
#include "compile/FolderTree.h"
#include "platform/FileOps.h"

#include <QDir>
#include <QFile>
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

QString stagedLibrary(const settings::Settings& s, const QString& programFolder) {
    return programFolder + "/" + QFileInfo(s.execdsakura).fileName();
}

}  // namespace

bool StagesIncludeFolder(const QByteArray& versionText) {
    if (versionText.isEmpty())
        return false;
    const unsigned char first = static_cast<unsigned char>(versionText.front());
    return first >= '2' && first <= 127;
}

void StageIncludeFolder(const settings::Settings& s, const QString& programFolder, CompilerLibrary& library) {
    if (s.execdsakura.isEmpty())
        return;
    const QString staged = stagedLibrary(s, programFolder);
    if (QFileInfo(s.execdsakura).isFile() && !platform::sameFile(s.execdsakura, staged))
        CopyFileReplacing(s.execdsakura, staged);

    const std::optional<QByteArray> version = library.queryVersion(s.execdsakura, programFolder);
    if (!version || !StagesIncludeFolder(*version))
        return;
    const QString target = programFolder + "/Include";
    QDir().mkdir(target);
    const QString source = libraryIncludeFolder(s.execdsakura);
    if (canonical(source).isEmpty() || canonical(source) == canonical(target))
        return;
    CopyFolderTree(source + "/*.*", target + "/*.*");
}

void RemoveStagedFiles(const settings::Settings& s, const QString& programFolder, CompilerLibrary& library) {
    if (s.execdsakura.isEmpty())
        return;
    const QString staged = stagedLibrary(s, programFolder);
    const bool ownLibrary = platform::sameFile(s.execdsakura, staged);
    // A library that cannot be loaded now tells no version: its include
    // folder is then left alone rather than risk deleting the user's files.
    const std::optional<QByteArray> version = library.queryVersion(s.execdsakura, programFolder);
    if (version && StagesIncludeFolder(*version)) {
        const QString target = programFolder + "/Include";
        const QString source = libraryIncludeFolder(s.execdsakura);
        if (canonical(source) != canonical(target))
            DeleteFolderTree(target + "/*.*");
        QDir().rmdir(target);  // only when empty
    }
    library.release();
    if (!ownLibrary)
        platform::removeFile(staged);
}

}  // namespace zek::compile
