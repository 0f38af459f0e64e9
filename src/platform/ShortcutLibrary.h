#pragma once
// The shortcut library libzeririzu.so: loaded the first time a shortcut is
// made and kept loaded until the program ends. ZEK starts without it.
#include "platform/SharedLibrary.h"

#include <QString>

namespace zek::platform {

inline const QString kShortcutLibraryName = QStringLiteral("libzeririzu.so");

class ShortcutLibrary {
public:
    explicit ShortcutLibrary(QString libraryPath) : libraryPath_(std::move(libraryPath)) {}

    enum class Result {
        Created,      // the call returned and a file now exists at the path
        Unavailable,  // the library or its CreateShortcut could not be loaded
        Failed,       // the call returned without leaving a file there
    };
    // CreateShortcut(shortcutPath, targetPath, comment) of the library.
    Result createShortcut(const QString& shortcutPath, const QString& targetPath, const QString& comment);

private:
    using CreateShortcutFn = int (*)(const char*, const char*, const char*);
    QString libraryPath_;
    SharedLibrary library_;
    CreateShortcutFn createShortcut_ = nullptr;
};

// The process's library, from ZEK's program folder.
ShortcutLibrary& shortcutLibrary();

}  // namespace zek::platform
