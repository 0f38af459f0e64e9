// SendSstp against real TCP servers on loopback, and the bounded exchange
// underneath it against servers that stall or break off.
#include "SstpTestServer.h"
#include "notify/Sstp.h"
#include "notify/SstpScripts.h"
#include "platform/LoopbackExchange.h"
#include "platform/MascotPresence.h"
#include "support/NetNamespace.h"
#include "support/TestEnv.h"

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

namespace zek::notify {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::PresenceMarker;
using test::ServerBehaviour;
using test::SstpTestServer;

// The fixed ports are used only in a network of the test's own; where none
// can be made (not root) those tests skip.
#define ENTER_PRIVATE_NETWORK_OR_SKIP()                       \
    do {                                                      \
        QString why_;                                         \
        if (!test::enterPrivateNetwork(&why_))                \
            GTEST_SKIP() << why_.toStdString();               \
    } while (0)

QByteArray notifyFixture(const char* name) {
    return test::readFile(QString(NOTIFY_FIXTURES_DIR "/") + name);
}

bool sendCompileSucceeded() {
    return SendSstp(SstpSender, SstpScript(SstpEvent::CompileSucceeded), "0");
}

class SendSstpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ENTER_PRIVATE_NETWORK_OR_SKIP();
        ASSERT_TRUE(mascot_.ok());
    }
    test::IsolatedHome home_;
    PresenceMarker mascot_;
};

TEST_F(SendSstpTest, SendsTheExactRequestToPort11000) {
    SstpTestServer server;
    QString why;
    ASSERT_TRUE(server.listen(11000, &why)) << why.toStdString();
    server.start(ServerBehaviour::ReplyAndClose);
    SstpCleanup();  // sending does not depend on the started flag
    EXPECT_TRUE(sendCompileSucceeded());
    ASSERT_TRUE(server.waitForConnections(1));
    EXPECT_EQ(server.received(), notifyFixture("request_compile_succeeded.bin"));
}

TEST_F(SendSstpTest, FallsBackTo9801WhenPort11000Refuses) {
    test::RefusedPort refused;
    SstpTestServer server;
    QString why;
    ASSERT_TRUE(refused.reserve(11000, &why)) << why.toStdString();
    ASSERT_TRUE(server.listen(9801, &why)) << why.toStdString();
    server.start(ServerBehaviour::ReplyAndClose);
    EXPECT_TRUE(sendCompileSucceeded());
    ASSERT_TRUE(server.waitForConnections(1));
    EXPECT_EQ(server.received(), notifyFixture("request_compile_succeeded.bin"));
}

TEST_F(SendSstpTest, FalseWhenBothPortsRefuse) {
    test::RefusedPort first, second;
    QString why;
    ASSERT_TRUE(first.reserve(11000, &why)) << why.toStdString();
    ASSERT_TRUE(second.reserve(9801, &why)) << why.toStdString();
    EXPECT_FALSE(sendCompileSucceeded());
}

TEST_F(SendSstpTest, CharacterWithoutCp932FormIsSentAsReplacement) {
    SstpTestServer server;
    QString why;
    ASSERT_TRUE(server.listen(11000, &why)) << why.toStdString();
    server.start(ServerBehaviour::ReplyAndClose);
    EXPECT_TRUE(SendSstp(SstpSender, QString::fromUtf8("\\h\\s0A\xED\x95\x9C" "B"), "0"));
    ASSERT_TRUE(server.waitForConnections(1));
    EXPECT_TRUE(server.received().contains("\r\nScript: \\h\\s0A?B\\e\r\nOption: 0\r\n\r\n"))
        << server.received().toStdString();
}

TEST_F(SendSstpTest, ServerThatNeverClosesCostsTheTimeLimitOnly) {
    SstpTestServer server;
    QString why;
    ASSERT_TRUE(server.listen(11000, &why)) << why.toStdString();
    server.start(ServerBehaviour::HoldWithoutReply);
    const auto start = Clock::now();
    EXPECT_FALSE(sendCompileSucceeded());
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, SstpTimeLimit - 20ms);
    EXPECT_LT(elapsed, SstpTimeLimit + 1s);
    EXPECT_EQ(server.received(), notifyFixture("request_compile_succeeded.bin"));
}

TEST_F(SendSstpTest, ServerThatAnswersAndNeverClosesIsDoneAtTheEndOfTheReplyHeader) {
    SstpTestServer server;
    QString why;
    ASSERT_TRUE(server.listen(11000, &why)) << why.toStdString();
    server.start(ServerBehaviour::ReplyThenHold, "SSTP/1.4 200 OK\r\nCharset: Shift_JIS\r\n\r\n");
    const auto start = Clock::now();
    EXPECT_TRUE(sendCompileSucceeded());
    const auto elapsed = Clock::now() - start;
    // Typically well under a millisecond; the bound only has to tell it
    // apart from waiting out the time limit on a loaded machine.
    EXPECT_LT(elapsed, SstpTimeLimit / 3);
    ASSERT_TRUE(server.waitForConnections(1)) << "the client closed its side";
    EXPECT_EQ(server.received(), notifyFixture("request_compile_succeeded.bin"));
}

TEST(SstpReplyScanner, CompleteAtTheFirstEmptyLineAfterTheStatusLine) {
    struct Case {
        std::vector<QByteArray> pieces;
        bool complete;
    };
    const std::vector<Case> cases = {
        {{"SSTP/1.4 200 OK\r\n\r\n"}, true},
        {{"SSTP/1.4 200 OK\r\nCharset: Shift_JIS\r\n\r\n"}, true},
        {{"SSTP/1.1 204 No Content\n\n"}, true},
        {{"SSTP/1.4 200 OK\r", "\n", "\r", "\n"}, true},
        {{"SSTP/1.4 200 OK\r\n", "Script: \\h\r\n", "\r\n"}, true},
        {{"SSTP/1.4 200 OK\r\n"}, false},
        {{"SSTP/1.4 200 OK\r\nCharset: Shift_JIS\r\n"}, false},
        {{"SSTP/1.4 200 OK\r\n\r"}, false},
        {{"\r\n"}, false},
        {{QByteArray(4096, 'r')}, false},
    };
    for (const Case& c : cases) {
        SstpReplyScanner scanner;
        bool complete = false;
        QByteArray all;
        for (const QByteArray& piece : c.pieces) {
            complete = scanner.feed(std::span<const char>(piece.constData(), static_cast<size_t>(piece.size())));
            all += piece;
        }
        EXPECT_EQ(complete, c.complete) << all.toStdString();
    }
}

TEST(SendSstpWithoutServer, NothingIsSentEvenWithAListener) {
    ENTER_PRIVATE_NETWORK_OR_SKIP();
    // With a listener on both ports, only the missing marker keeps the
    // request back; the listeners never accept, so any connect would wait
    // in their queues.
    for (const auto lock : {std::optional<PresenceMarker::Lock>{},
                            std::optional(PresenceMarker::Lock::None),
                            std::optional(PresenceMarker::Lock::Shared)}) {
        test::IsolatedHome home;
        std::unique_ptr<PresenceMarker> marker;
        if (lock)
            marker = std::make_unique<PresenceMarker>(*lock);
        SstpTestServer first, second;
        QString why;
        ASSERT_TRUE(first.listen(11000, &why)) << why.toStdString();
        ASSERT_TRUE(second.listen(9801, &why)) << why.toStdString();
        EXPECT_FALSE(sendCompileSucceeded());
        EXPECT_FALSE(first.hasPendingConnection());
        EXPECT_FALSE(second.hasPendingConnection());
    }
}

TEST(SstpStartupFlag, StartupSetsAndCleanupClears) {
    EXPECT_TRUE(SstpStartup());
    EXPECT_TRUE(SstpStarted());
    SstpCleanup();
    EXPECT_FALSE(SstpStarted());
}

// ---- the exchange itself, on a free port ------------------------------------

platform::ExchangeReport exchange(const SstpTestServer& server, const QByteArray& request,
                                  std::chrono::milliseconds budget) {
    const std::array<quint16, 1> ports = {server.port()};
    return platform::exchangeOverLoopback(request, ports, budget, SstpReplyPiece);
}

QByteArray smallRequest() {
    return BuildSstpRequest(SstpSender, SstpScript(SstpEvent::CompileSucceeded), "0");
}

TEST(LoopbackExchange, ReadsAReplyOfAnySizeWhole) {
    for (const int size : {0, 1, 199, 200, 201, 1000, 100000}) {
        // Any bytes at all: the reply is read, never parsed.
        QByteArray reply(size, '\0');
        for (int i = 0; i < size; ++i)
            reply[i] = static_cast<char>(i * 37);
        SstpTestServer server;
        QString why;
        ASSERT_TRUE(server.listen(0, &why)) << why.toStdString();
        server.start(ServerBehaviour::ReplyAndClose, reply);
        const platform::ExchangeReport report = exchange(server, smallRequest(), SstpTimeLimit);
        EXPECT_EQ(report.status, platform::ExchangeStatus::Delivered) << size;
        EXPECT_EQ(report.replyBytes, size);
        EXPECT_EQ(report.port, server.port());
    }
}

TEST(LoopbackExchange, PeersThatStallOrBreakOffAreBounded) {
    constexpr auto budget = 300ms;
    const QByteArray huge(16 * 1024 * 1024, 'x');  // more than both socket buffers hold
    struct Case {
        const char* name;
        ServerBehaviour behaviour;
        bool hugeRequest;
        platform::ExchangeStatus expected;
    };
    const Case cases[] = {
        {"never answers", ServerBehaviour::HoldWithoutReply, false,
         platform::ExchangeStatus::TimedOut},
        {"answers, never closes", ServerBehaviour::ReplyThenHold, false,
         platform::ExchangeStatus::TimedOut},
        {"answers without end", ServerBehaviour::StreamForever, false,
         platform::ExchangeStatus::TimedOut},
        {"never reads", ServerBehaviour::NeverRead, true, platform::ExchangeStatus::TimedOut},
        {"resets after the request", ServerBehaviour::ResetAfterRequest, false,
         platform::ExchangeStatus::Delivered},
        {"closes before reading", ServerBehaviour::CloseAtOnce, false,
         platform::ExchangeStatus::Delivered},
        // A send into a closed connection must fail, not raise SIGPIPE.
        {"closes before reading a long request", ServerBehaviour::CloseAtOnce, true,
         platform::ExchangeStatus::SendFailed},
    };
    for (const Case& c : cases) {
        SstpTestServer server;
        QString why;
        ASSERT_TRUE(server.listen(0, &why)) << why.toStdString();
        server.start(c.behaviour, QByteArray(4096, 'r'));
        const auto start = Clock::now();
        const platform::ExchangeReport report =
            exchange(server, c.hugeRequest ? huge : smallRequest(), budget);
        const auto elapsed = Clock::now() - start;
        EXPECT_EQ(report.status, c.expected) << c.name;
        if (c.expected == platform::ExchangeStatus::TimedOut) {
            EXPECT_GE(elapsed, budget - 5ms) << c.name;
        }
        EXPECT_LT(elapsed, budget + 1s) << c.name;
    }
}

}  // namespace
}  // namespace zek::notify
