#include "platform/ChildProcess.h"

#include "platform/ProcessKeeper.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <vector>

namespace zek::platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The keeper kills for up to two seconds (a process in uninterruptible sleep
// can outlast SIGKILL) and then leaves what is stuck to init.
constexpr milliseconds kKeeperEndWait{3000};
constexpr milliseconds kMaxWaitSlice{50};
constexpr int kPreferredPipeBytes = 1 << 20;

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// Descriptors handed to the child must not land on 0, 1 or 2 (when ZEK
// itself runs without them): its dup2 onto the same number would do nothing.
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

bool moveAboveStdio(int fds[2]) {
    if (moveAboveStdio(fds[0]) && moveAboveStdio(fds[1]))
        return true;
    const int e = errno;
    ::close(fds[0]);
    ::close(fds[1]);
    errno = e;
    return false;
}

int makePipe(int fds[2]) {
    if (::pipe2(fds, O_CLOEXEC) != 0 || !moveAboveStdio(fds))
        return errno;
    return 0;
}

int makeConnection(int fds[2]) {
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0 || !moveAboveStdio(fds))
        return errno;
    return 0;
}

}  // namespace

ChildProcess::~ChildProcess() {
    stopAll(milliseconds(0), [] {});
    closeAll();
}

std::optional<SpawnFailure> ChildProcess::start(const QString& program, const QStringList& arguments,
                                                const QStringList& environment) {
    if (pid_ > 0)
        return SpawnFailure{SpawnFailure::Stage::Start, EBUSY};

    std::vector<QByteArray> argv;
    std::vector<QByteArray> envp;
    argv.push_back(QFile::encodeName(program));
    for (const QString& a : arguments)
        argv.push_back(QFile::encodeName(a));
    for (const QString& v : environment)
        envp.push_back(QFile::encodeName(v));
    const auto hasNul = [](const QByteArray& s) { return s.contains('\0'); };
    // An empty program or a NUL inside a text cannot reach exec.
    if (argv.front().isEmpty())
        return SpawnFailure{SpawnFailure::Stage::Start, ENOENT};
    if (std::any_of(argv.begin(), argv.end(), hasNul) || std::any_of(envp.begin(), envp.end(), hasNul))
        return SpawnFailure{SpawnFailure::Stage::Start, EINVAL};

    int out[2];
    int in[2];
    int connection[2];
    if (int e = makePipe(out))
        return SpawnFailure{SpawnFailure::Stage::Pipe, e};
    if (int e = makePipe(in)) {
        ::close(out[0]);
        ::close(out[1]);
        return SpawnFailure{SpawnFailure::Stage::Pipe, e};
    }
    auto closePipes = [&] {
        for (int fd : {out[0], out[1], in[0], in[1]})
            ::close(fd);
    };
    if (int e = makeConnection(connection)) {
        closePipes();
        return SpawnFailure{SpawnFailure::Stage::Wait, e};
    }
    // A roomier pipe lets a chatty compiler run ahead while ZEK shows lines;
    // refused (a per-user limit), the default size serves as well.
    ::fcntl(out[0], F_SETPIPE_SZ, kPreferredPipeBytes);
    int e = ::fcntl(out[0], F_SETFL, ::fcntl(out[0], F_GETFL) | O_NONBLOCK) == 0 ? 0 : errno;
    const SpawnFailure::Stage stage = e ? SpawnFailure::Stage::Pipe : SpawnFailure::Stage::Start;
    if (!e)
        e = keeper::requestRun(argv, envp, out[1], in[0], connection[1]);
    // ZEK's copies of the child's ends go now, so the pipe reports its end
    // when the last writer in the child's family has gone.
    ::close(out[1]);
    ::close(in[0]);
    ::close(connection[1]);
    outRead_ = out[0];
    inWrite_ = in[1];
    keeperFd_ = connection[0];
    if (e) {
        closeAll();
        return SpawnFailure{stage, e};
    }

    keeper::Report first{};
    ssize_t n;
    while ((n = ::recv(keeperFd_, &first, sizeof first, 0)) < 0 && errno == EINTR) {
    }
    if (n != static_cast<ssize_t>(sizeof first) || first.kind != keeper::Report::Started) {
        keeperGone_ = true;
        closeAll();
        return SpawnFailure{SpawnFailure::Stage::Start, n == static_cast<ssize_t>(sizeof first) ? first.value : ECHILD};
    }
    pid_ = first.value;
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

void ChildProcess::readKeeper() {
    while (!keeperGone_ && keeperFd_ >= 0) {
        keeper::Report r{};
        const ssize_t n = ::recv(keeperFd_, &r, sizeof r, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n != static_cast<ssize_t>(sizeof r)) {
            // The keeper has ended; the child has gone with it.
            keeperGone_ = true;
            if (!exited_) {
                exited_ = true;
                exitCode_ = 128 + SIGKILL;
            }
            return;
        }
        if (r.kind == keeper::Report::Exited && !exited_) {
            exited_ = true;
            exitCode_ = r.value;
        }
    }
}

void ChildProcess::sendKeeper(char command) {
    if (keeperGone_ || keeperFd_ < 0)
        return;
    while (::send(keeperFd_, &command, 1, MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
}

void ChildProcess::waitForActivity(std::chrono::milliseconds timeout) {
    pollfd fds[2];
    nfds_t count = 0;
    if (outRead_ >= 0 && !outputEnded_)
        fds[count++] = {outRead_, POLLIN, 0};
    if (!exited_ && !keeperGone_ && keeperFd_ >= 0)
        fds[count++] = {keeperFd_, POLLIN, 0};
    ::poll(count ? fds : nullptr, count, std::max(static_cast<int>(timeout.count()), 0));
}

bool ChildProcess::hasExited() {
    if (pid_ <= 0 || exited_)
        return true;
    readKeeper();
    return exited_;
}

void ChildProcess::closeInput() {
    closeFd(inWrite_);
}

void ChildProcess::waitKeeperGone(std::chrono::milliseconds timeout, const std::function<void()>& whileWaiting) {
    const auto deadline = Clock::now() + timeout;
    while (!keeperGone_) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return;
        pollfd fd{keeperFd_, POLLIN, 0};
        ::poll(&fd, 1, static_cast<int>(std::min(left, kMaxWaitSlice).count()));
        readKeeper();
        whileWaiting();
    }
}

void ChildProcess::stopAll(std::chrono::milliseconds grace, const std::function<void()>& whileWaiting) {
    if (pid_ <= 0 || stopped_)
        return;
    // The keeper ends by itself once nothing is left below it.
    sendKeeper(keeper::kTerminate);
    waitKeeperGone(grace, whileWaiting);
    if (!keeperGone_) {
        sendKeeper(keeper::kKill);
        waitKeeperGone(kKeeperEndWait, whileWaiting);
    }
    if (!exited_) {
        exited_ = true;
        exitCode_ = 128 + SIGKILL;
    }
    stopped_ = true;
}

void ChildProcess::closeAll() {
    closeFd(outRead_);
    closeFd(inWrite_);
    closeFd(keeperFd_);
}

}  // namespace zek::platform
