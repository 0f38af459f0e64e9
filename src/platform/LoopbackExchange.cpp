#include "platform/LoopbackExchange.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zek::platform {
namespace {

// ---- loopback exchange ----------------------------------------------------

using Clock = std::chrono::steady_clock;

class Deadline {
public:
    explicit Deadline(std::chrono::milliseconds budget) : end_(Clock::now() + budget) {}
    // Whole milliseconds left, rounded up so that poll never spins at 0;
    // 0 once the deadline has passed.
    int remainingMs() const {
        const auto left = end_ - Clock::now();
        if (left <= Clock::duration::zero())
            return 0;
        return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
    }

private:
    Clock::time_point end_;
};

class SocketFd {
public:
    SocketFd() = default;
    explicit SocketFd(int fd) : fd_(fd) {}
    SocketFd(const SocketFd&) = delete;
    SocketFd& operator=(const SocketFd&) = delete;
    SocketFd& operator=(SocketFd&& other) noexcept {
        reset();
        fd_ = other.fd_;
        other.fd_ = -1;
        return *this;
    }
    ~SocketFd() { reset(); }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// Waits until `fd` reports `events` (or an error or hang-up, which the next
// call then reports). False when the deadline passes first.
bool waitFor(int fd, short events, const Deadline& deadline) {
    for (;;) {
        const int left = deadline.remainingMs();
        if (left == 0)
            return false;
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, 1, left);
        if (rc > 0)
            return true;
        if (rc == 0)
            return false;
        if (errno != EINTR)
            return true;  // let the socket call itself report the failure
    }
}

enum class ConnectResult { Connected, Failed, TimedOut };

ConnectResult connectWithin(int fd, quint16 port, const Deadline& deadline) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return ConnectResult::Connected;
    if (errno != EINPROGRESS && errno != EINTR)
        return ConnectResult::Failed;
    if (!waitFor(fd, POLLOUT, deadline))
        return ConnectResult::TimedOut;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
        return ConnectResult::Failed;
    return ConnectResult::Connected;
}

enum class StepResult { Done, Failed, TimedOut };

StepResult sendWhole(int fd, const QByteArray& request, const Deadline& deadline) {
    const char* data = request.constData();
    size_t left = static_cast<size_t>(request.size());
    while (left > 0) {
        // MSG_NOSIGNAL: a peer that has gone away must not kill us with SIGPIPE.
        const ssize_t n = ::send(fd, data, left, MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            left -= static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLOUT, deadline))
                return StepResult::TimedOut;
        } else {
            return StepResult::Failed;
        }
    }
    return StepResult::Done;
}

// Reads and drops the reply until it is complete or the peer closes; a
// reset or any other error ends the reply just as a close does.
StepResult drainReply(int fd, int piece, const Deadline& deadline, const ReplyComplete& complete,
                      qint64& total) {
    std::vector<char> buffer(static_cast<size_t>(std::max(piece, 1)));
    for (;;) {
        if (!waitFor(fd, POLLIN, deadline))
            return StepResult::TimedOut;
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n > 0) {
            total += n;
            if (complete && complete(std::span<const char>(buffer.data(), static_cast<size_t>(n))))
                return StepResult::Done;
        } else if (n == 0)
            return StepResult::Done;
        else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
            return StepResult::Done;
    }
}

}  // namespace

ExchangeReport exchangeOverLoopback(const QByteArray& request, std::span<const quint16> ports,
                                    std::chrono::milliseconds budget, int replyPiece,
                                    const ReplyComplete& replyComplete) {
    const Deadline deadline(budget);
    ExchangeReport report;
    report.status = ExchangeStatus::Refused;
    SocketFd socket;
    for (const quint16 port : ports) {
        // A socket whose connect failed is not reused: each port gets a fresh one.
        socket = SocketFd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!socket.valid()) {
            report.status = ExchangeStatus::NoSocket;
            return report;
        }
        const ConnectResult connected = connectWithin(socket.get(), port, deadline);
        if (connected == ConnectResult::TimedOut) {
            report.status = ExchangeStatus::TimedOut;
            return report;
        }
        if (connected == ConnectResult::Connected) {
            report.port = port;
            break;
        }
        socket.reset();
    }
    if (report.port == 0)
        return report;

    switch (sendWhole(socket.get(), request, deadline)) {
    case StepResult::Done:
        break;
    case StepResult::Failed:
        ::shutdown(socket.get(), SHUT_RDWR);
        report.status = ExchangeStatus::SendFailed;
        return report;
    case StepResult::TimedOut:
        report.status = ExchangeStatus::TimedOut;
        return report;
    }

    if (drainReply(socket.get(), replyPiece, deadline, replyComplete, report.replyBytes) ==
        StepResult::TimedOut) {
        report.status = ExchangeStatus::TimedOut;
        return report;
    }
    ::shutdown(socket.get(), SHUT_RDWR);
    report.status = ExchangeStatus::Delivered;
    return report;
}

}  // namespace zek::platform
