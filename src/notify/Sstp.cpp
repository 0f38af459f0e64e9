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

bool SendSstp(const QString& sender, const QString& script, const QString& option) {
    if (!SstpServerPresent())
        return false;
    const platform::ExchangeReport report = platform::exchangeOverLoopback(
        BuildSstpRequest(sender, script, option), SstpPorts, SstpTimeLimit, SstpReplyPiece);
    return report.status == platform::ExchangeStatus::Delivered;
}

}  // namespace zek::notify
