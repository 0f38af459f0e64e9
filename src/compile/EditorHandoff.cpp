#include "compile/EditorHandoff.h"

#include "compile/ShellOpen.h"
#include "platform/FileStamp.h"
#include "platform/XdgPaths.h"

#include <QDir>
#include <QSaveFile>

namespace zek::compile {
namespace {

bool writeWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (f.write(bytes) != bytes.size())
        return false;
    return f.commit();
}

}  // namespace

QString WriteCompileLog(const QByteArray& log, const QString& programFolder) {
    const QString primary = programFolder + "/" + kCompileLogName;
    if (writeWhole(primary, log))
        return primary;
    const QString folder = platform::stateHome() + "/zek";
    QDir().mkpath(folder);
    const QString fallback = folder + "/" + kCompileLogName;
    if (writeWhole(fallback, log))
        return fallback;
    return {};
}

void OpenInEditor(const settings::Settings& settings, CompileHost& host, const std::optional<QString>& file) {
    if (!host.settingsReady())
        return;
    if (!platform::isExistingFile(settings.execeditor)) {
        host.showWarning(kNoEditorMessage);
        return;
    }
    if (settings.show == 1)
        host.forceReturnWindowToFront();
    QString target;
    if (file) {
        target = *file;
    } else {
        target = WriteCompileLog(host.outputLog(), host.programFolder());
        if (target.isEmpty()) {
            host.showWarning(kLogNotWrittenMessage);
            return;
        }
    }
    QStringList trailing;
    if (!target.isEmpty())
        trailing << target;
    if (!ShellOpen(settings.execeditor, settings.parmeditor, trailing))
        host.showWarning(kEditorFailedMessage);
}

}  // namespace zek::compile
