#include "support/NetNamespace.h"

#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zek::test {
namespace {

bool entered = false;

}  // namespace

bool inPrivateNetwork() { return entered; }

bool enterPrivateNetwork(QString* why) {
    if (::unshare(CLONE_NEWNET) != 0) {
        *why = QStringLiteral("no network namespace of our own (needs root): %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    const bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &ifr) == 0 && (ifr.ifr_flags |= IFF_UP, true) &&
                    ::ioctl(fd, SIOCSIFFLAGS, &ifr) == 0;
    if (!up)
        *why = QStringLiteral("cannot bring the loopback up: %1").arg(QString::fromLocal8Bit(strerror(errno)));
    if (fd >= 0)
        ::close(fd);
    entered = entered || up;
    return up;
}

}  // namespace zek::test
