// SendSstp against a local server that answers at once, and with no server
// present, next to a raw connect/send/recv round trip on the same server.
#include "support/NetNamespace.h"
#include "notify/Sstp.h"
#include "notify/SstpScripts.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr quint16 kPort = 11000;
constexpr char kReply[] = "SSTP/1.4 200 OK\r\nCharset: Shift_JIS\r\n\r\n";

// A mascot stand-in: reads one request, answers, closes; until told to stop.
class AnsweringServer {
public:
    bool start() {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(kPort);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listen_, 64) != 0)
            return false;
        thread_ = std::thread([this] { run(); });
        return true;
    }
    ~AnsweringServer() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (listen_ >= 0)
            ::close(listen_);
    }

private:
    void run() {
        while (!stop_) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int client = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            QByteArray request;
            char buffer[4096];
            while (!request.endsWith("\r\n\r\n")) {
                const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                request.append(buffer, n);
            }
            ::send(client, kReply, sizeof kReply - 1, MSG_NOSIGNAL);
            ::close(client);
        }
    }
    int listen_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The same exchange with plain blocking calls and nothing of ours.
bool rawRoundTrip(const QByteArray& request) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
              ::send(fd, request.constData(), request.size(), MSG_NOSIGNAL) == request.size();
    char buffer[200];
    while (ok && ::recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    return ok;
}

struct Figures {
    double medianUs;
    double p90Us;
    int failures;
};

Figures measure(int rounds, const std::function<bool()>& once) {
    std::vector<double> times;
    times.reserve(static_cast<size_t>(rounds));
    int failures = 0;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        if (!once())
            ++failures;
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times[times.size() * 9 / 10], failures};
}

void print(const char* name, const Figures& f, const Figures& baseline, double limitUs) {
    std::printf("%-42s median %9.1f us  p90 %9.1f us  x%7.2f of baseline  failures %d  %s\n", name,
                f.medianUs, f.p90Us, f.medianUs / baseline.medianUs, f.failures,
                f.medianUs <= limitUs ? "within limit" : "OVER LIMIT");
}

}  // namespace

int main() {
    using namespace zek::notify;
    QTemporaryDir home;
    ::setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    const QByteArray folder = home.path().toLocal8Bit() + "/.ninix";
    ::mkdir(folder.constData(), 0700);
    const QByteArray lockPath = folder + "/.lock";

    QString why;
    if (!zek::test::enterPrivateNetwork(&why)) {
        std::printf("sstp_bench: %s; nothing measured\n", qPrintable(why));
        return 0;
    }
    AnsweringServer server;
    if (!server.start()) {
        std::printf("sstp_bench: port %u is in use by another program; nothing measured\n", kPort);
        return 0;
    }
    const int lock = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ::flock(lock, LOCK_EX);

    const QString script = SstpScript(SstpEvent::CompileSucceeded);
    const QByteArray request = BuildSstpRequest(SstpSender, script, "0");
    constexpr int kRounds = 500;
    measure(50, [&] { return rawRoundTrip(request); });  // warm-up
    const Figures raw = measure(kRounds, [&] { return rawRoundTrip(request); });
    const Figures sent = measure(kRounds, [&] { return SendSstp(SstpSender, script, "0"); });

    // The marker file exists but nobody holds it: the /proc/locks look-up.
    ::close(lock);
    const Figures unlocked = measure(kRounds * 4, [&] { return !SendSstp(SstpSender, script, "0"); });
    // No marker file at all: one stat.
    ::unlink(lockPath.constData());
    const Figures absent = measure(kRounds * 4, [&] { return !SendSstp(SstpSender, script, "0"); });

    std::printf("baseline: raw connect/send/recv round trip  median %9.1f us  p90 %9.1f us  failures %d\n",
                raw.medianUs, raw.p90Us, raw.failures);
    print("SendSstp, server answers at once", sent, raw, 5000);
    print("SendSstp, marker file not locked", unlocked, raw, 1000);
    print("SendSstp, no marker file", absent, raw, 1000);
    return 0;
}
