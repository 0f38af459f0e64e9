#include "SstpTestServer.h"

#include "support/NetNamespace.h"

#include <QDir>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zek::test {
namespace {

// Long enough for any client under test, short enough that a broken test
// cannot hang the suite.
constexpr int kReadLimitMs = 10000;

int bindLoopback(quint16 port, QString* error) {
    // The fixed ports are taken only inside the test's own network.
    if (port != 0 && !inPrivateNetwork()) {
        *error = QString("port %1 is fixed: enter a private network first (support/NetNamespace.h)").arg(port);
        return -1;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = QString("socket: %1").arg(std::strerror(errno));
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        *error = errno == EADDRINUSE
                     ? QString("port %1 is in use by another program").arg(port)
                     : QString("bind %1: %2").arg(port).arg(std::strerror(errno));
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

SstpTestServer::~SstpTestServer() {
    if (thread_.joinable()) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t n = ::write(stopPipe_[1], &stop, 1);
        thread_.join();
    }
    for (int fd : {listenFd_, stopPipe_[0], stopPipe_[1]})
        if (fd >= 0)
            ::close(fd);
}

bool SstpTestServer::listen(quint16 port, QString* error) {
    listenFd_ = bindLoopback(port, error);
    if (listenFd_ < 0)
        return false;
    if (::listen(listenFd_, 8) != 0 || ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        *error = QString("listen: %1").arg(std::strerror(errno));
        return false;
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &length);
    port_ = ntohs(bound.sin_port);
    return true;
}

void SstpTestServer::start(ServerBehaviour behaviour, QByteArray reply) {
    behaviour_ = behaviour;
    reply_ = std::move(reply);
    thread_ = std::thread([this] { run(); });
}

bool SstpTestServer::waitForConnections(int count, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (served_.load() < count) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

QByteArray SstpTestServer::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<std::chrono::milliseconds> SstpTestServer::keptOpenAfterReply() const {
    std::lock_guard lock(mutex_);
    return keptOpen_;
}

bool SstpTestServer::hasPendingConnection() {
    pollfd waiting{listenFd_, POLLIN, 0};
    if (::poll(&waiting, 1, 0) <= 0)
        return false;
    const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0)
        return false;
    ::close(client);
    return true;
}

void SstpTestServer::run() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        if (!fds[0].revents)
            continue;
        const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        serve(client);
        ::close(client);
        served_.fetch_add(1);
    }
}

bool SstpTestServer::readRequest(int client) {
    QByteArray request;
    char buffer[65536];
    while (!request.endsWith("\r\n\r\n")) {
        pollfd fds[2] = {{client, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, kReadLimitMs) <= 0 || fds[1].revents)
            break;
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        request.append(buffer, n);
    }
    std::lock_guard lock(mutex_);
    received_ += request;
    return request.endsWith("\r\n\r\n");
}

void SstpTestServer::holdUntilStopped() {
    pollfd stop{stopPipe_[0], POLLIN, 0};
    while (::poll(&stop, 1, -1) < 0 && errno == EINTR) {
    }
}

void SstpTestServer::holdUntilClientLeaves(int client) {
    char buffer[4096];
    for (;;) {
        pollfd fds[2] = {{client, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents || ::recv(client, buffer, sizeof buffer, 0) <= 0)
            return;
    }
}

void SstpTestServer::serve(int client) {
    switch (behaviour_) {
    case ServerBehaviour::CloseAtOnce:
        // A graceful close: FIN first, then (with unread data) a reset.
        ::shutdown(client, SHUT_WR);
        return;
    case ServerBehaviour::NeverRead:
        // Counted as served at once so that a test can wait for the accept.
        served_.fetch_add(1);
        holdUntilStopped();
        served_.fetch_sub(1);
        return;
    default:
        break;
    }
    if (!readRequest(client))
        return;
    switch (behaviour_) {
    case ServerBehaviour::ReplyAndClose:
        ::send(client, reply_.constData(), reply_.size(), MSG_NOSIGNAL);
        return;
    case ServerBehaviour::ReplyThenHold: {
        ::send(client, reply_.constData(), reply_.size(), MSG_NOSIGNAL);
        const auto replied = std::chrono::steady_clock::now();
        holdUntilClientLeaves(client);
        std::lock_guard lock(mutex_);
        keptOpen_.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - replied));
        return;
    }
    case ServerBehaviour::HoldWithoutReply:
        holdUntilClientLeaves(client);
        return;
    case ServerBehaviour::ResetAfterRequest: {
        const linger hard{1, 0};
        ::setsockopt(client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        return;
    }
    case ServerBehaviour::StreamForever:
        for (;;) {
            pollfd fds[2] = {{client, POLLOUT, 0}, {stopPipe_[0], POLLIN, 0}};
            if (::poll(fds, 2, kReadLimitMs) <= 0 || fds[1].revents)
                return;
            if (::send(client, reply_.constData(), reply_.size(), MSG_NOSIGNAL) < 0)
                return;
        }
    default:
        return;
    }
}

bool RefusedPort::reserve(quint16 port, QString* error) {
    fd_ = bindLoopback(port, error);
    return fd_ >= 0;
}

RefusedPort::~RefusedPort() {
    if (fd_ >= 0)
        ::close(fd_);
}

PresenceMarker::PresenceMarker(Lock lock, const char* name) {
    const QByteArray folder = QByteArray(std::getenv("HOME")) + "/.ninix";
    QDir().mkpath(QString::fromLocal8Bit(folder));
    path_ = folder + "/" + name;
    fd_ = ::open(path_.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0 || lock == Lock::None)
        return;
    if (::flock(fd_, lock == Lock::Shared ? LOCK_SH : LOCK_EX) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

PresenceMarker::~PresenceMarker() {
    if (fd_ >= 0)
        ::close(fd_);
}

}  // namespace zek::test
