#include "PrivateNetwork.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zek::test {
namespace {

bool writeProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

// As root a plain new network namespace; otherwise one inside a new user
// namespace that maps this user to itself, so file ownership looks the same.
std::string enterNamespace() {
    if (::unshare(CLONE_NEWNET) == 0)
        return {};
    const int rootError = errno;
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        return std::string("cannot make a network namespace (") + std::strerror(rootError) + "; user namespace: " +
               std::strerror(errno) + ")";
    if (!writeProcFile("/proc/self/setgroups", "deny") ||
        !writeProcFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n") ||
        !writeProcFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n"))
        return std::string("cannot map this user into the namespace: ") + std::strerror(errno);
    return {};
}

std::string bringLoopbackUp() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::string("socket: ") + std::strerror(errno);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    std::string error;
    if (::ioctl(fd, SIOCGIFFLAGS, &request) != 0)
        error = std::string("reading the flags of lo: ") + std::strerror(errno);
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
    if (error.empty() && ::ioctl(fd, SIOCSIFFLAGS, &request) != 0)
        error = std::string("bringing lo up: ") + std::strerror(errno);
    ::close(fd);
    return error;
}

std::string enterPrivateNetwork() {
    std::string error = enterNamespace();
    if (error.empty())
        error = bringLoopbackUp();
    if (!error.empty())
        std::fprintf(stderr, "no private network namespace: %s\n", error.c_str());
    return error;
}

// Before main: unshare(CLONE_NEWUSER) refuses a process with threads.
const std::string privateNetworkError = enterPrivateNetwork();

}  // namespace

bool inPrivateNetwork(QString* why) {
    if (why)
        *why = QString::fromStdString("no private network namespace: " + privateNetworkError);
    return privateNetworkError.empty();
}

}  // namespace zek::test
