#pragma once
// Runs the real zek binary in a test's isolated environment.
#include "support/TestEnv.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

namespace zek::test {

// Copies build/bin/zek into the home's program folder (each test has a
// program folder of its own) and returns its path.
QString installZek(const IsolatedHome& home);

// Writes a settings store that makes the next start a normal (not first) run.
void writeSettings(const IsolatedHome& home, const QByteArray& extraLines);

struct Finished {
    int exitCode = -1;  // -1: killed by a signal, or still running at the time limit
    QByteArray stdOut;
    QByteArray stdErr;
};

// The offscreen environment every zek child gets unless a test says otherwise.
QProcessEnvironment offscreenEnvironment();

// Runs zek to its end (a second instance, say) with the given arguments.
Finished runZek(const QString& program, const QStringList& args, const QString& workDir = QString(),
                int timeoutMs = 10000, const QProcessEnvironment& env = offscreenEnvironment());

// Starts zek with arguments given as bytes, through /bin/sh: QProcess would
// spell them in UTF-8, and a test may need a name in another encoding.
void startWithRawArguments(QProcess& process, const QString& program, const QList<QByteArray>& args);

// The running instance, started offscreen.
class RunningZek {
public:
    RunningZek(const QString& program, const IsolatedHome& home, const QStringList& args = {},
               const QString& workDir = QString());
    // The same with a given environment, e.g. XServer::environment() to run
    // on a private X desktop instead of offscreen.
    RunningZek(const QString& program, const IsolatedHome& home, const QProcessEnvironment& env,
               const QStringList& args = {}, const QString& workDir = QString());
    ~RunningZek();
    // True once the instance holds its block (it then reads hand-offs).
    bool waitReady(int timeoutMs = 30000);
    qint64 pid() const;
    void signal(int sig);
    // Exit code, or -1 when it did not end in time (it is then killed).
    int waitExit(int timeoutMs = 30000);
    QProcess& process() { return *process_; }

private:
    std::unique_ptr<QProcess> process_;
    QString runtimeDir_;
};

// Sends `sig` to the process `pid`, and to nothing when there is no process:
// QProcess says 0 once its process has ended, and kill(0) would signal the
// whole process group, the test runner with it.
void signalProcess(qint64 pid, int sig);

// True while some process holds the exclusive lock of the block in this folder.
bool blockHeld(const QString& runtimeDir);

}  // namespace zek::test
