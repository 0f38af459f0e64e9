#include "platform/ProcessKeeper.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zek::platform {
namespace keeper {
namespace {

// How long the keeper keeps killing before it gives up on a process that
// will not go (one stuck in the kernel) and leaves it to init.
constexpr long kKillForMs = 2000;
// While processes end after SIGTERM, how often the keeper looks whether any is left.
constexpr int kEndingLookMs = 2;
constexpr int kIgnored[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

void report(int connection, Report::Kind kind, int value) {
    const Report r{kind, value};
    while (::send(connection, &r, sizeof r, MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
}

int codeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

long nowMs() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000L + t.tv_nsec / 1000000L;
}

void sleepMs(long ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    ::nanosleep(&t, nullptr);
}

void closeRange(unsigned from, unsigned to) {
    if (from > to)
        return;
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, from, to, 0) == 0)
        return;
#endif
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t top = limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > 65536 ? 65536 : limit.rlim_cur;
    for (rlim_t fd = from; fd <= to && fd < top; ++fd)
        ::close(static_cast<int>(fd));
}

// Closes every descriptor above stderr but those in keep[0..count).
void closeAllBut(int* keep, int count) {
    for (int i = 0; i < count; ++i)
        for (int j = i + 1; j < count; ++j)
            if (keep[j] < keep[i]) {
                const int t = keep[i];
                keep[i] = keep[j];
                keep[j] = t;
            }
    unsigned from = 3;
    for (int i = 0; i < count; ++i) {
        if (keep[i] < static_cast<int>(from))
            continue;
        closeRange(from, static_cast<unsigned>(keep[i]) - 1);
        from = static_cast<unsigned>(keep[i]) + 1;
    }
    closeRange(from, ~0U);
}

void resetSignals() {
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    for (int s = 1; s < NSIG; ++s)
        if (s != SIGKILL && s != SIGSTOP)
            ::sigaction(s, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

// ZEK's own shutdown decides what happens to a run, not a terminal's signals.
void ignoreTerminationSignals() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (int s : kIgnored)
        ::sigaction(s, &ignore, nullptr);
}

// Decimal digits of `value` written at `out`; returns the end.
char* putNumber(char* out, long value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

char* putText(char* out, const char* text) {
    while (*text)
        *out++ = *text++;
    return out;
}

// The parent of `pid` as /proc tells it, or -1.
long parentOf(long pid) {
    char path[48];
    *putText(putNumber(putText(path, "/proc/"), pid), "/stat") = '\0';
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char text[256];
    const ssize_t n = ::read(fd, text, sizeof text);
    ::close(fd);
    // "pid (name) state ppid ...": the name may hold anything, so look from
    // its last closing parenthesis.
    ssize_t close = -1;
    for (ssize_t i = 0; i < n; ++i)
        if (text[i] == ')')
            close = i;
    if (close < 0 || close + 4 >= n)
        return -1;
    long ppid = 0;
    for (ssize_t i = close + 4; i < n && text[i] >= '0' && text[i] <= '9'; ++i)
        ppid = ppid * 10 + (text[i] - '0');
    return ppid;
}

struct Dirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

// Calls f(pid) for each child of this process.
template <typename F>
void forEachChild(long self, F&& f) {
    char path[64];
    *putText(putNumber(putText(putNumber(putText(path, "/proc/"), self), "/task/"), self), "/children") = '\0';
    if (const int fd = ::open(path, O_RDONLY | O_CLOEXEC); fd >= 0) {
        char text[512];
        long pid = 0;
        ssize_t n;
        while ((n = ::read(fd, text, sizeof text)) > 0) {
            for (ssize_t i = 0; i < n; ++i) {
                if (text[i] >= '0' && text[i] <= '9') {
                    pid = pid * 10 + (text[i] - '0');
                } else if (pid > 0) {
                    f(pid);
                    pid = 0;
                }
            }
        }
        if (pid > 0)
            f(pid);
        ::close(fd);
        return;
    }
    // Without that file (a kernel built without it): every process's parent.
    const int dir = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return;
    alignas(8) char buffer[8192];
    long n;
    while ((n = ::syscall(SYS_getdents64, dir, buffer, sizeof buffer)) > 0) {
        for (long offset = 0; offset < n;) {
            const auto* entry = reinterpret_cast<const Dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            long pid = 0;
            const char* c = entry->d_name;
            for (; *c >= '0' && *c <= '9'; ++c)
                pid = pid * 10 + (*c - '0');
            if (*c == '\0' && pid > 0 && pid != self && parentOf(pid) == self)
                f(pid);
        }
    }
    ::close(dir);
}

// What the server becomes for the run it has started.
struct Keeper {
    // Processes sent SIGTERM one by one, so that each gets it once; past
    // this many, one may get it again.
    static constexpr int kMaxTermed = 512;

    int connection;
    long self;
    pid_t program;
    pid_t successor;  // the next server, a child of this one: never signalled
    bool exited = false;
    bool programReaped = false;
    bool groupTermed = false;
    pid_t termed[kMaxTermed] = {};
    int termedCount = 0;

    void noteExit() {
        if (exited)
            return;
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(program), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == program) {
            exited = true;
            report(connection, Report::Exited, info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status);
        }
    }

    // Reaps the children that have ended; the program's end is reported.
    void reapEnded() {
        for (;;) {
            int status = 0;
            const pid_t gone = ::waitpid(-1, &status, WNOHANG);
            if (gone < 0 && errno == EINTR)
                continue;
            if (gone <= 0)
                return;
            if (gone == program) {
                if (!exited) {
                    exited = true;
                    report(connection, Report::Exited, codeOf(status));
                }
                programReaped = true;
            }
        }
    }

    bool anyLeft() {
        bool any = false;
        forEachChild(self, [&](long pid) { any = any || pid != successor; });
        return any;
    }

    // Returns how many children (other than the successor) it signalled.
    int killChildren() {
        int count = 0;
        forEachChild(self, [&](long pid) {
            if (pid != successor) {
                ::kill(static_cast<pid_t>(pid), SIGKILL);
                ++count;
            }
        });
        return count;
    }

    // SIGTERM to the program's group, and to each child of the keeper outside
    // it (what detached itself, or was left when its parent ended) that has
    // not had one yet.
    void terminateNew() {
        // The program stays unreaped until here, so its pid still names its group.
        if (!groupTermed && !programReaped)
            ::kill(-program, SIGTERM);
        groupTermed = true;
        forEachChild(self, [&](long pid) {
            const auto p = static_cast<pid_t>(pid);
            if (p == successor || ::getpgid(p) == program)
                return;
            for (int i = 0; i < termedCount; ++i)
                if (termed[i] == p)
                    return;
            ::kill(p, SIGTERM);
            if (termedCount < kMaxTermed)
                termed[termedCount++] = p;
        });
    }

    // Kills until nothing is left below the keeper. Whatever a killed process
    // started becomes the keeper's child (it is a subreaper) and goes in the
    // next round; the rounds end when no child is left.
    void killAll() {
        const long deadline = nowMs() + kKillForMs;
        for (;;) {
            if (!programReaped)
                ::kill(-program, SIGKILL);
            const bool any = killChildren() > 0;
            reapEnded();
            if (!any || nowMs() > deadline)
                return;
            sleepMs(1);
        }
    }

    [[noreturn]] void end(bool kill) {
        if (kill)
            killAll();
        report(connection, Report::AllGone, 0);
        ::_exit(0);
    }

    [[noreturn]] void serve() {
        const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, program, 0));
        bool ending = false;  // after Terminate: ends once nothing is left
        for (;;) {
            if (ending) {
                reapEnded();
                if (!anyLeft())
                    end(false);
                terminateNew();
            }
            pollfd fds[2] = {{connection, POLLIN, 0}, {pidFd, POLLIN, 0}};
            const bool watchExit = !exited && pidFd >= 0 && !ending;
            const int wait = ending ? kEndingLookMs : !exited && pidFd < 0 ? 10 : -1;
            ::poll(fds, watchExit ? 2 : 1, wait);
            noteExit();
            if (fds[0].revents == 0)
                continue;
            char command = 0;
            const ssize_t n = ::recv(connection, &command, 1, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                // A closed connection: ZEK has gone, and takes everything with it.
                killAll();
                ::_exit(0);
            }
            if (command == kKill)
                end(true);
            if (command == kTerminate && !ending) {
                terminateNew();
                ending = true;
            }
        }
    }
};

struct Launch {
    const char* path;
    char* const* argv;
    char* const* envp;
    int connection;  // the run's SOCK_SEQPACKET end
    int output;      // becomes the program's stdout and stderr
    int input;       // becomes its stdin
    int folder;      // the folder it starts in
};

// In the vfork child: becomes the program.
[[noreturn]] void startProgram(const Launch& launch, pid_t keeper, volatile int* error) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
    if (::getppid() != keeper)
        ::_exit(127);
    if (::fchdir(launch.folder) < 0 || ::dup2(launch.input, 0) < 0 || ::dup2(launch.output, 1) < 0 ||
        ::dup2(launch.output, 2) < 0) {
        *error = errno;
        ::_exit(127);
    }
    closeRange(3, ~0U);
    resetSignals();
    ::execve(launch.path, launch.argv, launch.envp);
    *error = errno;
    ::_exit(127);
}

// --- The keeper's server: one request per run -----------------------------------

struct RequestHeader {
    std::uint32_t argc;   // strings of argv, the program's path first
    std::uint32_t envc;   // strings of the environment after them
    std::uint32_t bytes;  // all strings, each ended by a NUL
};
// With each header: the program's output, its input, the run's connection
// and its starting folder.
constexpr int kRequestFds = 4;
constexpr std::uint32_t kMaxRequestBytes = 4u << 20;  // past any exec's own limit
constexpr std::uint32_t kMaxStrings = 1u << 17;

bool readExactly(int fd, char* to, size_t size) {
    while (size > 0) {
        const ssize_t n = ::read(fd, to, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        to += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool receiveHeader(int socket, RequestHeader& header, int (&fds)[kRequestFds]) {
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kRequestFds)];
    iovec iov{&header, sizeof header};
    msghdr message{};
    message.msg_iov = &iov;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t n;
    while ((n = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC)) < 0 && errno == EINTR) {
    }
    if (n <= 0)
        return false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
            if (i < kRequestFds)
                fds[i] = fd;
            else
                ::close(fd);
        }
    }
    return readExactly(socket, reinterpret_cast<char*>(&header) + n, sizeof header - static_cast<size_t>(n));
}

// Points argv and envp into the strings; false when they do not match the header.
bool splitStrings(char* strings, const RequestHeader& header, char** pointers) {
    std::uint32_t found = 0;
    const std::uint32_t wanted = header.argc + header.envc;
    char* start = strings;
    for (std::uint32_t i = 0; i < header.bytes; ++i) {
        if (strings[i] != '\0')
            continue;
        if (found == wanted)
            return false;
        // argv, a null, envp, a null.
        pointers[found < header.argc ? found : found + 1] = start;
        ++found;
        start = strings + i + 1;
    }
    if (found != wanted || start != strings + header.bytes)
        return false;
    pointers[header.argc] = nullptr;
    pointers[wanted + 1] = nullptr;
    return true;
}

[[noreturn]] void serve(int socket) {
    int keep[] = {socket};
    closeAllBut(keep, 1);
    // Nor does it hold ZEK's standard streams open (a terminal, a pipe that
    // someone reads to its end).
    if (const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC); null >= 0) {
        for (int fd = 0; fd < 3; ++fd)
            if (fd != socket && fd != null)
                ::dup2(null, fd);
        if (null > 2)
            ::close(null);
    }
    resetSignals();
    ignoreTerminationSignals();
    ::prctl(PR_SET_NAME, "zek-keeper", 0, 0, 0);

    const size_t pointerBytes = (kMaxStrings + 2) * sizeof(char*);
    void* area = ::mmap(nullptr, kMaxRequestBytes + pointerBytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED)
        ::_exit(1);
    char* const strings = static_cast<char*>(area);
    char** const pointers = reinterpret_cast<char**>(strings + kMaxRequestBytes);

    for (;;) {
        RequestHeader header{};
        int fds[kRequestFds] = {-1, -1, -1, -1};
        if (!receiveHeader(socket, header, fds))
            ::_exit(0);  // ZEK has gone
        bool ok = fds[0] >= 0 && fds[1] >= 0 && fds[2] >= 0 && fds[3] >= 0 && header.argc >= 1 &&
                  header.argc <= kMaxStrings && header.envc <= kMaxStrings - header.argc;
        // The strings are read (or passed over) whole, so the next request
        // starts where it should.
        for (std::uint32_t left = header.bytes; left > 0;) {
            const std::uint32_t chunk = left < kMaxRequestBytes ? left : kMaxRequestBytes;
            if (!readExactly(socket, strings, chunk))
                ::_exit(0);
            left -= chunk;
        }
        ok = ok && header.bytes <= kMaxRequestBytes && splitStrings(strings, header, pointers);
        if (!ok) {
            if (fds[2] >= 0)
                report(fds[2], Report::StartFailed, E2BIG);
            for (int fd : fds)
                if (fd >= 0)
                    ::close(fd);
            continue;
        }
        const Launch launch{pointers[0], pointers, pointers + header.argc + 1, fds[2], fds[0], fds[1], fds[3]};

        // The program is started right here (vfork: nothing to copy), so a
        // compile starts about as fast as from ZEK itself.
        ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
        const pid_t self = ::getpid();
        volatile int startError = 0;
        const pid_t program = ::vfork();
        if (program == 0)
            startProgram(launch, self, &startError);
        const int forkError = errno;
        ::close(launch.output);
        ::close(launch.input);
        ::close(launch.folder);
        if (program < 0 || startError != 0) {
            if (program > 0)
                while (::waitpid(program, nullptr, 0) < 0 && errno == EINTR) {
                }
            report(launch.connection, Report::StartFailed, program < 0 ? forkError : startError);
            ::close(launch.connection);
            ::prctl(PR_SET_CHILD_SUBREAPER, 0, 0, 0, 0);
            continue;
        }
        report(launch.connection, Report::Started, program);

        // This process keeps the run; a copy of it serves the next one. (A
        // copy made before the start would slow the start: every page the
        // start touches would first be copied.) Without a copy, ZEK starts a
        // new server at its next request.
        const pid_t successor = ::fork();
        if (successor == 0) {
            ::close(launch.connection);
            continue;  // a subreaper's children are not subreapers
        }
        ::close(socket);
        Keeper{launch.connection, self, program, successor}.serve();
    }
}

// --- ZEK's side -----------------------------------------------------------------------

std::mutex gMutex;
int gServerFd = -1;

// The server is forked twice over, so that it is init's child and never
// ZEK's: nothing in ZEK waits for it, and it ends when its connection closes.
int startServerLocked() {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return errno;
    // Every signal held back, so that none of ZEK's handlers runs in the
    // copy before it has put them back to default.
    sigset_t all;
    sigset_t saved;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &saved);
    const pid_t middle = ::fork();
    if (middle == 0) {
        if (::fork() == 0)
            serve(pair[1]);
        ::_exit(0);
    }
    const int e = errno;
    ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    ::close(pair[1]);
    if (middle < 0) {
        ::close(pair[0]);
        return e;
    }
    while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    gServerFd = pair[0];
    return 0;
}

void dropServerLocked() {
    ::close(gServerFd);
    gServerFd = -1;
}

int sendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

int sendRequestLocked(const RequestHeader& header, const QByteArray& strings, const int (&fds)[kRequestFds]) {
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kRequestFds)] = {};
    iovec iov{const_cast<RequestHeader*>(&header), sizeof header};
    msghdr message{};
    message.msg_iov = &iov;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int) * kRequestFds);
    std::memcpy(CMSG_DATA(c), fds, sizeof(int) * kRequestFds);
    ssize_t n;
    while ((n = ::sendmsg(gServerFd, &message, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
    }
    if (n < 0)
        return errno;
    if (int e = sendAll(gServerFd, reinterpret_cast<const char*>(&header) + n, sizeof header - static_cast<size_t>(n)))
        return e;
    return sendAll(gServerFd, strings.constData(), static_cast<size_t>(strings.size()));
}

}  // namespace

int requestRun(const std::vector<QByteArray>& argv, const std::vector<QByteArray>& envp, int output, int input,
               int connection) {
    if (argv.empty())
        return EINVAL;
    QByteArray strings;
    for (const auto* list : {&argv, &envp})
        for (const QByteArray& s : *list)
            strings.append(s).append('\0');
    if (static_cast<size_t>(strings.size()) > kMaxRequestBytes || argv.size() + envp.size() > kMaxStrings)
        return E2BIG;
    const RequestHeader header{static_cast<std::uint32_t>(argv.size()), static_cast<std::uint32_t>(envp.size()),
                               static_cast<std::uint32_t>(strings.size())};
    const int folder = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return errno;
    const int fds[kRequestFds] = {output, input, connection, folder};
    int e = 0;
    {
        std::lock_guard lock(gMutex);
        // A server that has gone (killed from outside) is started afresh once.
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (gServerFd < 0 && (e = startServerLocked()) != 0)
                break;
            if ((e = sendRequestLocked(header, strings, fds)) == 0)
                break;
            dropServerLocked();
        }
    }
    ::close(folder);
    return e;
}

}  // namespace keeper

void startProcessKeeper() {
    std::lock_guard lock(keeper::gMutex);
    if (keeper::gServerFd < 0)
        keeper::startServerLocked();
}

}  // namespace zek::platform
