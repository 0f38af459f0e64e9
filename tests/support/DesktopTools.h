#pragma once
// Shared by the shell-integration tests: a dialog stand-in that answers the
// questions from a script, and the desktop's own tools (gio, xdg-open,
// xdg-mime) run inside the test's isolated XDG folders.
#include "settings/ShellHost.h"
#include "support/TestEnv.h"

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

namespace zek::test {

struct ScriptedHost : settings::ShellHost {
    QList<bool> answers;  // the answers to the next questions; No when run out
    QStringList questions;
    QStringList errors;
    bool confirm(const QString& question) override {
        questions << question;
        return !answers.isEmpty() && answers.takeFirst();
    }
    void showError(const QString& text) override { errors << text; }
};

// The environment of a desktop tool: the test's XDG folders (already in this
// process's environment), xdg-utils in their plain-desktop mode, and no
// session bus to look for or start. `record` receives the argv of a
// record-launch.sh that the tool starts.
inline QProcessEnvironment desktopToolEnvironment(const IsolatedHome& home, const QString& record = QString()) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CURRENT_DESKTOP", "X-Generic");
    env.insert("DISPLAY", ":zek-test-no-display");
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.path("no-session-bus"));
    env.remove("WAYLAND_DISPLAY");
    if (!record.isEmpty())
        env.insert("ZEK_LAUNCH_RECORD", record);
    return env;
}

// Runs a tool to its end; its standard output, trimmed.
inline QString runTool(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                       int timeoutMs = 30000) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return QString();
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The NUL-separated argv that record-launch.sh wrote.
inline QStringList recordedArgv(const QString& record) {
    QStringList argv = QString::fromUtf8(readFile(record)).split(QChar(0));
    if (!argv.isEmpty() && argv.last().isEmpty())
        argv.removeLast();
    return argv;
}

// A copy of record-launch.sh at `path` (folders made), executable.
inline bool installRecorder(const QString& path) {
    return writeFile(path, readFile(fixture("compilers/record-launch.sh"))) &&
           QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
}

}  // namespace zek::test
