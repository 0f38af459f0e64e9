// The request bytes, the script table and the clock-based variant choice.
#include "notify/RandomInRange.h"
#include "notify/Sstp.h"
#include "notify/SstpScripts.h"
#include "platform/TextCodec.h"
#include "support/TestEnv.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace zek::notify {
namespace {

QByteArray notifyFixture(const char* name) {
    return test::readFile(QString(NOTIFY_FIXTURES_DIR "/") + name);
}

struct RequestCase {
    const char* name;
    SstpEvent event;
    const char* option;
    const char* fixture;
};

void PrintTo(const RequestCase& c, std::ostream* os) {
    *os << c.name;
}

class SstpRequestBytes : public ::testing::TestWithParam<RequestCase> {};

// The fixtures were written by hand (printf | iconv -t CP932) from the
// protocol's rules, not by this code.
TEST_P(SstpRequestBytes, MatchFixture) {
    const RequestCase& c = GetParam();
    const QByteArray expected = notifyFixture(c.fixture);
    ASSERT_FALSE(expected.isEmpty()) << c.fixture;
    EXPECT_EQ(BuildSstpRequest(SstpSender, SstpScript(c.event), c.option), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, SstpRequestBytes,
    ::testing::Values(
        RequestCase{"WithOption", SstpEvent::CompileSucceeded, "0",
                    "request_compile_succeeded.bin"},
        RequestCase{"EmptyOptionLeavesLineOut", SstpEvent::Compiling, "", "request_no_option.bin"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SstpRequest, UnmappableCharacterBecomesReplacement) {
    // Hangul has no CP932 form; the text around it must survive.
    const QByteArray request = BuildSstpRequest("a", QString::fromUtf8("A\xED\x95\x9C" "B"), "0");
    EXPECT_TRUE(request.contains("\r\nScript: A?B\\e\r\n")) << request.toStdString();
}

TEST(SstpScripts, TableMatchesFixtureAndFitsCp932) {
    // scripts.txt holds the texts as plain UTF-8, one per line in event order,
    // so a backslash in it is a backslash and nothing is escaped.
    const QStringList expected =
        QString::fromUtf8(notifyFixture("scripts.txt")).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(expected.size(), SstpEventCount);
    for (int i = 0; i < SstpEventCount; ++i) {
        const QString script = SstpScript(static_cast<SstpEvent>(i));
        EXPECT_EQ(script, expected[i]) << "event " << i;
        EXPECT_FALSE(script.contains('\n') || script.contains('\r')) << "event " << i;
        // Every character must have a CP932 form, or the mascot would show "?".
        EXPECT_EQ(platform::decodeCp932(platform::encodeCp932(script)), script) << "event " << i;
    }
    EXPECT_EQ(platform::decodeCp932(platform::encodeCp932(SstpSender)), QString(SstpSender));
}

TEST(SstpScripts, VariantsFollowTheRoll) {
    const SstpEvent startup[] = {SstpEvent::Startup1, SstpEvent::Startup2, SstpEvent::Startup3,
                                 SstpEvent::Startup3, SstpEvent::Startup3};
    for (int roll = 1; roll <= 5; ++roll)
        EXPECT_EQ(StartupEvent(roll), startup[roll - 1]) << roll;
    EXPECT_EQ(CompileFailedEvent(1), SstpEvent::CompileFailed1);
    EXPECT_EQ(CompileFailedEvent(2), SstpEvent::CompileFailed2);
    for (int roll = 3; roll <= 10; ++roll)
        EXPECT_EQ(CompileFailedEvent(roll), SstpEvent::CompileFailed3) << roll;
}

TEST(RandomInRange, SecondsSinceMidnightModuloRange) {
    struct Case {
        int low, high;
        QTime time;
        int expected;
    };
    const Case cases[] = {
        {1, 5, QTime(0, 0, 7), 3},
        {1, 10, QTime(0, 0, 7), 8},
        {1, 5, QTime(0, 0, 7, 999), 3},   // milliseconds are dropped, not rounded
        {1, 5, QTime(0, 0, 0), 1},
        {1, 5, QTime(23, 59, 59), 5},     // 86399 mod 5 = 4
        {1, 10, QTime(12, 0, 3), 4},      // 43203 mod 10 = 3
        {7, 7, QTime(10, 11, 12), 7},
        {5, 1, QTime(0, 0, 7), 5},        // empty range: no division by zero
    };
    for (const Case& c : cases)
        EXPECT_EQ(RandomInRange(c.low, c.high, c.time), c.expected)
            << c.low << ".." << c.high << " at " << c.time.toString("HH:mm:ss.zzz").toStdString();
}

}  // namespace
}  // namespace zek::notify
