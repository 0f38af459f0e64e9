#pragma once
// A console program run as a child: exact argument vector and environment,
// stdout and stderr through one pipe, a stdin pipe that is never written,
// its own process group so that it can be stopped with everything it started.
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace zek::platform {

struct SpawnFailure {
    enum class Stage {
        Pipe,   // a pipe could not be made
        Start,  // the program could not be started (exec failed)
        Wait,   // the started child could not be opened for waiting
    };
    Stage stage;
    int code;  // errno
};

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // A child still running here is killed with its group; every child is reaped.
    ~ChildProcess();

    // argv = [program, arguments...]; the environment is exactly `environment`
    // ("NAME=value" entries, none inherited); the child starts in the current
    // folder. Never runs a shell.
    std::optional<SpawnFailure> start(const QString& program, const QStringList& arguments,
                                      const QStringList& environment);

    struct ReadResult {
        enum class Status { Data, NothingYet, Ended };
        Status status;
        qsizetype size = 0;
    };
    // Reads what is there without blocking. Ended: every writer has closed the pipe.
    ReadResult read(char* buffer, qsizetype capacity);
    bool outputEnded() const { return outputEnded_; }

    // Blocks at most `timeout` until output can be read or the child ends.
    void waitForActivity(std::chrono::milliseconds timeout);

    // Non-blocking. The child stays unreaped until reap(), so its process
    // group id cannot be reused while the group may still be signalled.
    bool hasExited();
    // Exit status once hasExited(): the exit code, or 128 + the signal number.
    int exitCode() const { return exitCode_; }

    void closeInput();

    // SIGTERM to the whole group; waits up to `grace` for the child to end and
    // the pipe to close (output read meanwhile is discarded), then SIGKILL to the
    // group, and reaps the child. `whileWaiting` runs at least every 50 ms.
    void terminateGroup(std::chrono::milliseconds grace, const std::function<void()>& whileWaiting);

    // Collects an exited child (no-op when it has not exited or is collected).
    void reap();

    int pid() const { return pid_; }

private:
    void waitForExit(std::chrono::milliseconds timeout, const std::function<void()>& whileWaiting);
    void closeAll();

    int pid_ = -1;
    int pidFd_ = -1;  // -1 when the kernel has no pidfd: exit is polled instead
    int outRead_ = -1;
    int inWrite_ = -1;
    bool exited_ = false;
    bool reaped_ = false;
    bool outputEnded_ = false;
    int exitCode_ = -1;
};

}  // namespace zek::platform
