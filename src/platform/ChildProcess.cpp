#include "platform/ChildProcess.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zek::platform {
namespace {

using Clock = std::chrono::steady_clock;

// How long a killed child may take to vanish before a helper thread takes
// over reaping it (a process in uninterruptible sleep can outlast SIGKILL).
constexpr std::chrono::milliseconds kKillWait{2000};
constexpr std::chrono::milliseconds kMaxWaitSlice{50};
constexpr int kPreferredPipeBytes = 1 << 20;

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// Pipe ends must not land on 0, 1 or 2 (when ZEK itself runs without them):
// dup2 onto the same number would leave close-on-exec set.
bool moveAboveStdio(int& fd) {
    if (fd > 2)
        return true;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (moved < 0)
        return false;
    ::close(fd);
    fd = moved;
    return true;
}

int makePipe(int fds[2]) {
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return errno;
    if (!moveAboveStdio(fds[0]) || !moveAboveStdio(fds[1])) {
        const int e = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        return e;
    }
    return 0;
}

// The argument and environment strings as the C arrays that exec wants.
class CStringVector {
public:
    bool add(const QByteArray& s) {
        if (s.contains('\0'))
            return false;
        storage_.push_back(s);
        return true;
    }
    char* const* data() {
        pointers_.clear();
        for (QByteArray& s : storage_)
            pointers_.push_back(s.data());
        pointers_.push_back(nullptr);
        return pointers_.data();
    }

private:
    std::vector<QByteArray> storage_;
    std::vector<char*> pointers_;
};

int openPidFd(int pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

int statusFromSigInfo(const siginfo_t& info) {
    if (info.si_code == CLD_EXITED)
        return info.si_status;
    return 128 + info.si_status;
}

// Starts the child; returns 0 or the errno of the failed step.
int spawn(int& pid, const QByteArray& path, char* const* argv, char* const* envp, int stdinFd, int outFd) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (int e = posix_spawn_file_actions_init(&actions))
        return e;
    if (int e = posix_spawnattr_init(&attr)) {
        posix_spawn_file_actions_destroy(&actions);
        return e;
    }
    int e = posix_spawn_file_actions_adddup2(&actions, stdinFd, 0);
    if (!e)
        e = posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    if (!e)
        e = posix_spawn_file_actions_adddup2(&actions, outFd, 2);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Nothing else of ZEK's (locks, sockets, other pipes) may live on in a compiler.
    if (!e)
        e = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    if (!e)
        e = posix_spawnattr_setsigmask(&attr, &none);
    if (!e)
        e = posix_spawnattr_setsigdefault(&attr, &all);
    if (!e)
        e = posix_spawnattr_setpgroup(&attr, 0);
    if (!e)
        e = posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                POSIX_SPAWN_SETSIGDEF);
    if (!e) {
        pid_t child = -1;
        e = posix_spawn(&child, path.constData(), &actions, &attr, argv, envp);
        if (!e)
            pid = child;
    }
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return e;
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !reaped_) {
        if (!hasExited())
            terminateGroup(std::chrono::milliseconds(0), [] {});
        reap();
    }
    closeAll();
}

std::optional<SpawnFailure> ChildProcess::start(const QString& program, const QStringList& arguments,
                                                const QStringList& environment) {
    if (pid_ > 0)
        return SpawnFailure{SpawnFailure::Stage::Start, EBUSY};

    CStringVector argv;
    CStringVector envp;
    const QByteArray path = QFile::encodeName(program);
    bool clean = !path.isEmpty() && argv.add(path);
    for (const QString& a : arguments)
        clean = clean && argv.add(QFile::encodeName(a));
    for (const QString& v : environment)
        clean = clean && envp.add(QFile::encodeName(v));
    if (!clean)  // an empty program or a NUL inside a text cannot reach exec
        return SpawnFailure{SpawnFailure::Stage::Start, path.isEmpty() ? ENOENT : EINVAL};

    int out[2];
    int in[2];
    if (int e = makePipe(out))
        return SpawnFailure{SpawnFailure::Stage::Pipe, e};
    if (int e = makePipe(in)) {
        ::close(out[0]);
        ::close(out[1]);
        return SpawnFailure{SpawnFailure::Stage::Pipe, e};
    }
    // A roomier pipe lets a chatty compiler run ahead while ZEK shows lines;
    // refused (a per-user limit), the default size serves as well.
    ::fcntl(out[0], F_SETPIPE_SZ, kPreferredPipeBytes);
    if (::fcntl(out[0], F_SETFL, ::fcntl(out[0], F_GETFL) | O_NONBLOCK) != 0) {
        const int e = errno;
        for (int fd : {out[0], out[1], in[0], in[1]})
            ::close(fd);
        return SpawnFailure{SpawnFailure::Stage::Pipe, e};
    }

    int child = -1;
    const int spawnError = spawn(child, path, argv.data(), envp.data(), in[0], out[1]);
    int waitError = 0;
    if (!spawnError) {
        pidFd_ = openPidFd(child);
        if (pidFd_ < 0 && errno != ENOSYS)
            waitError = errno;
    }
    // ZEK's copies of the child's ends go now, so the pipe reports its end
    // when the last writer in the child's family has gone.
    ::close(out[1]);
    ::close(in[0]);
    outRead_ = out[0];
    inWrite_ = in[1];
    if (spawnError) {
        closeAll();
        return SpawnFailure{SpawnFailure::Stage::Start, spawnError};
    }
    if (waitError) {
        // Without a way to wait for it, the child is not let loose.
        ::kill(-child, SIGKILL);
        while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
        closeAll();
        return SpawnFailure{SpawnFailure::Stage::Wait, waitError};
    }
    pid_ = child;
    return std::nullopt;
}

ChildProcess::ReadResult ChildProcess::read(char* buffer, qsizetype capacity) {
    using S = ReadResult::Status;
    if (outRead_ < 0 || outputEnded_)
        return {S::Ended, 0};
    const ssize_t n = ::read(outRead_, buffer, static_cast<size_t>(capacity));
    if (n > 0)
        return {S::Data, static_cast<qsizetype>(n)};
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return {S::NothingYet, 0};
    outputEnded_ = true;
    return {S::Ended, 0};
}

void ChildProcess::waitForActivity(std::chrono::milliseconds timeout) {
    pollfd fds[2];
    nfds_t count = 0;
    if (outRead_ >= 0 && !outputEnded_)
        fds[count++] = {outRead_, POLLIN, 0};
    const bool watchExit = pid_ > 0 && !exited_;
    if (watchExit && pidFd_ >= 0)
        fds[count++] = {pidFd_, POLLIN, 0};
    auto ms = static_cast<int>(timeout.count());
    // Without a pidfd an exit is only seen by polling, so wake up often.
    if (watchExit && pidFd_ < 0)
        ms = std::min(ms, 10);
    ::poll(count ? fds : nullptr, count, std::max(ms, 0));
}

bool ChildProcess::hasExited() {
    if (pid_ <= 0)
        return true;
    if (exited_)
        return true;
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        // ECHILD: someone else collected it (SIGCHLD ignored); it is gone all the same.
        exited_ = true;
        reaped_ = true;
        return true;
    }
    if (info.si_pid == 0)
        return false;
    exited_ = true;
    exitCode_ = statusFromSigInfo(info);
    return true;
}

void ChildProcess::closeInput() {
    closeFd(inWrite_);
}

void ChildProcess::waitForExit(std::chrono::milliseconds timeout, const std::function<void()>& whileWaiting) {
    const auto deadline = Clock::now() + timeout;
    while (!hasExited()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return;
        pollfd fd{pidFd_, POLLIN, 0};
        const int ms = static_cast<int>(std::min(left, pidFd_ >= 0 ? kMaxWaitSlice : std::chrono::milliseconds(5)).count());
        ::poll(pidFd_ >= 0 ? &fd : nullptr, pidFd_ >= 0 ? 1 : 0, ms);
        whileWaiting();
    }
}

void ChildProcess::terminateGroup(std::chrono::milliseconds grace, const std::function<void()>& whileWaiting) {
    if (pid_ <= 0 || reaped_)
        return;
    // The leader is not reaped yet, so its pid still names this group only.
    ::kill(-pid_, SIGTERM);
    const auto deadline = Clock::now() + grace;
    char discard[65536];
    while (!(hasExited() && outputEnded_)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        waitForActivity(std::min(left, kMaxWaitSlice));
        while (read(discard, sizeof discard).status == ReadResult::Status::Data) {
        }
        whileWaiting();
    }
    ::kill(-pid_, SIGKILL);
    waitForExit(kKillWait, whileWaiting);
    if (hasExited()) {
        reap();
        return;
    }
    // Stuck in the kernel: let a helper collect it whenever it finally goes.
    const int stuck = pid_;
    std::thread([stuck] { ::waitpid(stuck, nullptr, 0); }).detach();
    reaped_ = true;
}

void ChildProcess::reap() {
    if (pid_ <= 0 || reaped_ || !hasExited())
        return;
    if (!reaped_) {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
    }
}

void ChildProcess::closeAll() {
    closeFd(outRead_);
    closeFd(inWrite_);
    closeFd(pidFd_);
}

}  // namespace zek::platform
