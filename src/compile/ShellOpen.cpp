#include "compile/ShellOpen.h"

#include "platform/DetachedLaunch.h"
#include "platform/ShellWords.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>

namespace zek::compile {
namespace {

bool looksLikeAddress(const QString& target) {
    // A scheme of two or more letters: "http:", "mailto:", "file:".
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(target).hasMatch();
}

bool openWithDesktopHandler(const QString& target) {
    const QString handler = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (handler.isEmpty())
        return false;
    return platform::launchDetached(handler, {target}) == 0;
}

}  // namespace

bool ShellOpen(const QString& target, const QString& parameters, const QStringList& trailing) {
    if (target.isEmpty())
        return false;
    const QFileInfo info(target);
    if (info.exists()) {
        if (info.isFile() && info.isExecutable()) {
            QStringList arguments = platform::splitShellWords(parameters);
            arguments.append(trailing);
            const int error = platform::launchDetached(info.absoluteFilePath(), arguments);
            if (error != ENOEXEC)
                return error == 0;
        }
        return openWithDesktopHandler(info.absoluteFilePath());
    }
    if (looksLikeAddress(target))
        return openWithDesktopHandler(target);
    return false;  // neither a file nor an address: nothing to open
}

}  // namespace zek::compile
