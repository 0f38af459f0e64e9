#include "platform/DetachedLaunch.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace zek::platform {
namespace {

#ifndef CLOSE_RANGE_CLOEXEC
#define CLOSE_RANGE_CLOEXEC (1U << 2)
#endif

// Only async-signal-safe calls from here on: the parent may have other threads.
void markDescriptorsCloseOnExec(int limit) {
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC) == 0)
        return;
#endif
    for (int fd = 3; fd < limit; ++fd)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

void resetSignals() {
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP)
            ::sigaction(sig, &dfl, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

[[noreturn]] void reportAndExit(int fd, int error) {
    ssize_t ignored = ::write(fd, &error, sizeof error);
    (void)ignored;
    ::_exit(127);
}

}  // namespace

int launchDetached(const QString& program, const QStringList& arguments) {
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(program));
    for (const QString& a : arguments)
        storage.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& s : storage) {
        if (s.contains('\0'))
            return EINVAL;
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    if (storage.front().isEmpty())
        return ENOENT;

    rlimit files{};
    const int fdLimit = ::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < 65536
                            ? static_cast<int>(files.rlim_cur)
                            : 65536;

    // The grandchild reports a failed exec through this pipe; a successful
    // exec closes it (close-on-exec), which the parent sees as end of file.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return errno;

    const pid_t middle = ::fork();
    if (middle < 0) {
        const int e = errno;
        ::close(report[0]);
        ::close(report[1]);
        return e;
    }
    if (middle == 0) {
        // The middle process exits at once, so the program is adopted by init
        // (or the session's reaper) and never becomes ZEK's zombie.
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild < 0)
            reportAndExit(report[1], errno);
        if (grandchild == 0) {
            resetSignals();
            markDescriptorsCloseOnExec(fdLimit);
            ::execve(argv[0], argv.data(), environ);
            reportAndExit(report[1], errno);
        }
        ::_exit(0);
    }

    ::close(report[1]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    while ((n = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    if (n == static_cast<ssize_t>(sizeof error))
        return error ? error : EIO;
    return 0;
}

}  // namespace zek::platform
