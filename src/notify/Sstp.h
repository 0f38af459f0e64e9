#pragma once
// The SSTP client that greets the desktop mascot: one request per message,
// sent to the mascot server on the loopback address. A missing server is
// normal and silent; callers ignore the result.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>
#include <chrono>
#include <span>

namespace zek::notify {

// The ports tried in this order.
inline constexpr std::array<quint16, 2> SstpPorts = {11000, 9801};

// The reply is read in pieces of at most this many bytes.
inline constexpr int SstpReplyPiece = 200;

// Connect, send and reading the reply together give up after this long.
// SendSstp runs on the GUI thread at every compile, so a server that accepts
// and then never answers or never closes must not freeze the window. A local
// server that replies only after showing one of our short balloons needs a
// second or two; three seconds leaves room for that while still being a
// pause the user can sit through. The reply is never used, so giving up
// loses nothing but the answer.
inline constexpr std::chrono::milliseconds SstpTimeLimit{3000};

// Linux has no socket library to start, so these only keep the process-wide
// started flag with the usual call order: SstpStartup once at start-up (sets
// the flag, returns true), SstpCleanup at shutdown after the last message
// (clears it). SendSstp does not depend on the flag.
bool SstpStartup();
void SstpCleanup();
bool SstpStarted();

// True while the mascot server runs (its lock file is held).
bool SstpServerPresent();

// The request bytes, CP932, each line closed by CR LF:
//   SEND SSTP/1.0 / Sender: <sender> / Script: <script>\e / Option: <option>
// (the option line only when `option` is not empty) and an empty line.
// A character that CP932 cannot hold is sent as "?".
QByteArray BuildSstpRequest(const QString& sender, const QString& script, const QString& option);

// Follows a reply as it arrives: it is complete once its header block has
// ended, at the first empty line after the status line (lines end with CR LF
// or a bare LF). Mascot servers on Linux answer and keep the connection
// open, so waiting for the close alone would cost every message the whole
// time limit.
class SstpReplyScanner {
public:
    // True once the reply is complete (also for every later call).
    bool feed(std::span<const char> piece);

private:
    bool lineEmpty_ = true;
    bool statusLineSeen_ = false;
    bool complete_ = false;
};

// Sends one request and reads the reply until its header block has ended or
// the server closes, whichever comes first. True when
// the request was sent whole and the exchange ended within SstpTimeLimit;
// false when no server is present, no socket could be made, both ports
// refused, the send failed or the time limit ran out.
bool SendSstp(const QString& sender, const QString& script, const QString& option);

}  // namespace zek::notify
