#include "platform/ShortcutLibrary.h"

#include "platform/PrivateDir.h"

#include <QFile>
#include <QFileInfo>

namespace zek::platform {

ShortcutLibrary::Result ShortcutLibrary::createShortcut(const QString& shortcutPath, const QString& targetPath,
                                                        const QString& comment) {
    if (!createShortcut_) {
        // A failed load is tried again at the next call: the user may install
        // the library meanwhile.
        if (!library_.open(libraryPath_))
            return Result::Unavailable;
        createShortcut_ = reinterpret_cast<CreateShortcutFn>(library_.symbol("CreateShortcut"));
        if (!createShortcut_) {
            library_.close();
            return Result::Unavailable;
        }
    }
    createShortcut_(QFile::encodeName(shortcutPath).constData(), QFile::encodeName(targetPath).constData(),
                    comment.toUtf8().constData());
    return QFileInfo(shortcutPath).isFile() ? Result::Created : Result::Failed;
}

ShortcutLibrary& shortcutLibrary() {
    static ShortcutLibrary library(programFolder() + "/" + kShortcutLibraryName);
    return library;
}

}  // namespace zek::platform
