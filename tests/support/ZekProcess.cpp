#include "support/ZekProcess.h"

#include "platform/MascotPresence.h"

#include <QFile>
#include <QProcessEnvironment>

#include <csignal>
#include <sys/types.h>

namespace zek::test {

QString installZek(const IsolatedHome& home) {
    const QString target = home.programDir() + "/zek";
    QFile::remove(target);
    QFile::copy(QString::fromUtf8(ZEK_BIN_DIR) + "/zek", target);
    return target;
}

void writeSettings(const IsolatedHome& home, const QByteArray& extraLines) {
    writeFile(home.configHome() + "/Talmo/ZEK.conf",
              "[General]\nleft=40\ntop=40\nsstp=0\n" + extraLines + (extraLines.endsWith('\n') ? "" : "\n"));
}

QProcessEnvironment offscreenEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    return env;
}

Finished runZek(const QString& program, const QStringList& args, const QString& workDir, int timeoutMs,
                const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(program, args);
    Finished f;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return f;
    }
    f.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    f.stdOut = p.readAllStandardOutput();
    f.stdErr = p.readAllStandardError();
    return f;
}

void startWithRawArguments(QProcess& process, const QString& program, const QList<QByteArray>& args) {
    // Each argument travels as octal escapes that the shell's printf turns
    // back into its bytes.
    QStringList shellArgs{"-c",
                          "for a; do set -- \"$@\" \"$(printf '%b' \"$a\")\"; shift; done; exec \"$0\" \"$@\"",
                          program};
    for (const QByteArray& a : args) {
        QString escaped;
        for (const char c : a)
            escaped += QStringLiteral("\\0%1").arg(static_cast<unsigned char>(c), 3, 8, QLatin1Char('0'));
        shellArgs << escaped;
    }
    process.start("/bin/sh", shellArgs);
}

RunningZek::RunningZek(const QString& program, const IsolatedHome& home, const QStringList& args,
                       const QString& workDir)
    : RunningZek(program, home, offscreenEnvironment(), args, workDir) {}

RunningZek::RunningZek(const QString& program, const IsolatedHome& home, const QProcessEnvironment& env,
                       const QStringList& args, const QString& workDir)
    : process_(std::make_unique<QProcess>()), runtimeDir_(home.runtimeDir()) {
    process_->setProcessEnvironment(env);
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->setWorkingDirectory(workDir.isEmpty() ? home.root() : workDir);
    process_->start(program, args);
    process_->waitForStarted();
}

RunningZek::~RunningZek() {
    if (process_->state() != QProcess::NotRunning) {
        process_->kill();
        process_->waitForFinished(5000);
    }
}

bool RunningZek::waitReady(int timeoutMs) {
    return waitFor([this] { return blockHeld(runtimeDir_) || process_->state() == QProcess::NotRunning; },
                   timeoutMs) &&
           process_->state() == QProcess::Running;
}

qint64 RunningZek::pid() const { return process_->processId(); }

void RunningZek::signal(int sig) { ::kill(static_cast<pid_t>(process_->processId()), sig); }

int RunningZek::waitExit(int timeoutMs) {
    if (process_->state() != QProcess::NotRunning && !process_->waitForFinished(timeoutMs)) {
        process_->kill();
        process_->waitForFinished();
        return -1;
    }
    return process_->exitStatus() == QProcess::NormalExit ? process_->exitCode() : -1;
}

bool blockHeld(const QString& runtimeDir) {
    return platform::fileHasExclusiveFlock(QFile::encodeName(runtimeDir + "/TALMO.ZEK"));
}

}  // namespace zek::test
