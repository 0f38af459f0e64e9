#pragma once
// A real TCP server on 127.0.0.1 that plays the mascot's part in tests: it
// records what a client sent and then answers, stalls or breaks off as told.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace zek::test {

enum class ServerBehaviour {
    ReplyAndClose,      // read the request, send the reply, close
    ReplyThenHold,      // read the request, send the reply, never close (until the client does)
    HoldWithoutReply,   // read the request, never answer, never close (until the client does)
    NeverRead,          // accept, read nothing, keep the connection open
    CloseAtOnce,        // accept and close before reading anything
    ResetAfterRequest,  // read the request, then reset the connection
    StreamForever,      // read the request, then send reply bytes without end
};

class SstpTestServer {
public:
    SstpTestServer() = default;
    SstpTestServer(const SstpTestServer&) = delete;
    SstpTestServer& operator=(const SstpTestServer&) = delete;
    ~SstpTestServer();

    // Binds 127.0.0.1:`port` (0 picks a free port) and listens. On failure
    // `error` says why. A fixed port is bound only after the test entered a
    // network of its own (support/NetNamespace.h), never on the host's.
    bool listen(quint16 port, QString* error);
    quint16 port() const { return port_; }

    // Serves every connection with `behaviour` on a thread until destroyed.
    void start(ServerBehaviour behaviour, QByteArray reply = "SSTP/1.4 200 OK\r\n\r\n");

    // Waits until `count` connections have been served (their requests
    // recorded), at most `limit`. False on time-out.
    bool waitForConnections(int count, std::chrono::milliseconds limit = std::chrono::seconds(5));

    // Everything all connections sent so far.
    QByteArray received() const;
    int connections() const { return served_.load(); }
    // ReplyThenHold: how long each client kept the connection open after
    // the reply had been sent.
    std::vector<std::chrono::milliseconds> keptOpenAfterReply() const;

    // True when a connection waits to be accepted (for a server never started).
    bool hasPendingConnection();

private:
    void run();
    void serve(int client);
    bool readRequest(int client);
    void holdUntilStopped();
    void holdUntilClientLeaves(int client);

    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    quint16 port_ = 0;
    ServerBehaviour behaviour_ = ServerBehaviour::ReplyAndClose;
    QByteArray reply_;
    std::thread thread_;
    mutable std::mutex mutex_;
    QByteArray received_;
    std::vector<std::chrono::milliseconds> keptOpen_;
    std::atomic<int> served_{0};
};

// Binds 127.0.0.1:`port` without listening, so that a connect there is
// refused and no other program can take the port during the test.
class RefusedPort {
public:
    bool reserve(quint16 port, QString* error);
    ~RefusedPort();

private:
    int fd_ = -1;
};

// The mascot server's presence marker: $HOME/.ninix/.lock with a flock held
// for the marker's life.
class PresenceMarker {
public:
    enum class Lock { None, Shared, Exclusive };
    explicit PresenceMarker(Lock lock = Lock::Exclusive, const char* name = ".lock");
    PresenceMarker(const PresenceMarker&) = delete;
    PresenceMarker& operator=(const PresenceMarker&) = delete;
    ~PresenceMarker();
    bool ok() const { return fd_ >= 0; }
    QByteArray path() const { return path_; }

private:
    QByteArray path_;
    int fd_ = -1;
};

}  // namespace zek::test
