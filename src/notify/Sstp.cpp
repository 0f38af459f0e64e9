#include "notify/Sstp.h"

#include "platform/LoopbackExchange.h"
#include "platform/MascotPresence.h"
#include "platform/TextCodec.h"

#include <atomic>

namespace zek::notify {
namespace {

std::atomic<bool> socketLayerStarted{false};

void appendLine(QByteArray& request, const QByteArray& line) {
    request += line;
    request += "\r\n";
}

}  // namespace

bool SstpStartup() {
    socketLayerStarted.store(true);
    return true;
}

void SstpCleanup() {
    socketLayerStarted.store(false);
}

bool SstpStarted() {
    return socketLayerStarted.load();
}

bool SstpServerPresent() {
    return platform::mascotServerPresent();
}

QByteArray BuildSstpRequest(const QString& sender, const QString& script, const QString& option) {
    QByteArray request;
    appendLine(request, "SEND SSTP/1.0");
    appendLine(request, "Sender: " + platform::encodeCp932(sender));
    appendLine(request, "Script: " + platform::encodeCp932(script) + "\\e");
    if (!option.isEmpty())
        appendLine(request, "Option: " + platform::encodeCp932(option));
    appendLine(request, QByteArray());
    return request;
}

bool SstpReplyScanner::feed(std::span<const char> piece) {
    for (const char c : piece) {
        if (complete_)
            break;
        if (c == '\n') {
            complete_ = statusLineSeen_ && lineEmpty_;
            statusLineSeen_ = true;
            lineEmpty_ = true;
        } else if (c != '\r') {
            lineEmpty_ = false;
        }
    }
    return complete_;
}

bool SendSstp(const QString& sender, const QString& script, const QString& option) {
    if (!SstpServerPresent())
        return false;
    SstpReplyScanner reply;
    const auto replyComplete = [&reply](std::span<const char> piece) { return reply.feed(piece); };
    const platform::ExchangeReport report = platform::exchangeOverLoopback(
        BuildSstpRequest(sender, script, option), SstpPorts, SstpTimeLimit, SstpReplyPiece, replyComplete);
    return report.status == platform::ExchangeStatus::Delivered;
}

}  // namespace zek::notify
