#pragma once
// One bounded request/reply exchange over loopback TCP.
#include <QByteArray>
#include <QtGlobal>

#include <chrono>
#include <functional>
#include <span>

namespace zek::platform {

// How one loopback exchange ended.
enum class ExchangeStatus {
    Delivered,   // sent whole; the reply was read until it was complete, the peer closed or failed
    NoSocket,    // no socket could be created
    Refused,     // no port accepted the connection
    SendFailed,  // the connection broke before the request was sent whole
    TimedOut,    // the time budget ran out (connect, send or reply)
};

struct ExchangeReport {
    ExchangeStatus status = ExchangeStatus::NoSocket;
    quint16 port = 0;         // the port that accepted, 0 when none did
    qint64 replyBytes = 0;    // bytes of reply read (the reply itself is dropped)
};

// Told each piece of the reply as it arrives; true once the reply is
// complete, so that a peer that answers and keeps the connection open does
// not cost the whole budget.
using ReplyComplete = std::function<bool(std::span<const char> piece)>;

// Connects to 127.0.0.1 on each port in turn until one accepts, sends
// `request` whole, then reads the reply in pieces of at most `replyPiece`
// bytes until `replyComplete` (when given) says it is complete, the peer
// closes or the connection fails; shuts down both ways and closes. Connect,
// send and the reply loop together never take longer than `budget`: a peer
// that stalls anywhere costs at most that much.
ExchangeReport exchangeOverLoopback(const QByteArray& request, std::span<const quint16> ports,
                                    std::chrono::milliseconds budget, int replyPiece,
                                    const ReplyComplete& replyComplete = {});

}  // namespace zek::platform
