#pragma once
// A console program run as a child: exact argument vector and environment,
// stdout and stderr through one pipe, a stdin pipe that is never written,
// its own process group.
//
// The program runs under a run keeper (ProcessKeeper.h), so every process it
// starts, also one that detaches itself with setsid or a double fork, stays
// below the keeper: the end of a run stops all of them, and so does the end
// of this process, however it ends.
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace zek::platform {

// The longest line of a program's output that ZEK keeps, in UTF-8 bytes: the
// runner cuts a longer line where it reads it, and the memo one it is given.
inline constexpr qsizetype kMaxOutputLineBytes = qsizetype(16) << 20;

struct SpawnFailure {
    enum class Stage {
        Pipe,   // a pipe could not be made
        Start,  // the program could not be started (exec failed)
        Wait,   // the connection the child is watched through could not be made
    };
    Stage stage;
    int code;  // errno
};

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // A child still running here is stopped with everything it started.
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

    // Non-blocking.
    bool hasExited();
    // Exit status once hasExited(): the exit code, or 128 + the signal number.
    int exitCode() const { return exitCode_; }

    void closeInput();

    // Ends the run, however it went: SIGTERM to the child's group and to
    // everything it started that is still there (also what detached itself),
    // up to `grace` for all of it to end, then SIGKILL to what is left until
    // nothing is. `whileWaiting` runs at least every 50 ms. The destructor
    // does the same without grace.
    void stopAll(std::chrono::milliseconds grace, const std::function<void()>& whileWaiting);

    int pid() const { return pid_; }

private:
    void readKeeper();
    void sendKeeper(char command);
    void waitKeeperGone(std::chrono::milliseconds timeout, const std::function<void()>& whileWaiting);
    void closeAll();

    int pid_ = -1;
    int keeperFd_ = -1;  // connection to the keeper: commands out, reports in
    int outRead_ = -1;
    int inWrite_ = -1;
    bool exited_ = false;
    bool stopped_ = false;
    bool keeperGone_ = false;
    bool outputEnded_ = false;
    int exitCode_ = -1;
};

}  // namespace zek::platform
