// The running instance greets the mascot at start-up and says goodbye after
// it has saved its settings. The server answers as the Linux mascot does and
// never closes the connection itself.
#include "SstpTestServer.h"
#include "notify/Sstp.h"
#include "notify/SstpScripts.h"
#include "platform/TextCodec.h"
#include "support/NetNamespace.h"
#include "support/TestEnv.h"
#include "support/ZekProcess.h"

#include <QFile>
#include <gtest/gtest.h>

#include <csignal>

using namespace zek;
using namespace zek::test;

namespace {

class MascotGreeting : public ::testing::Test {
protected:
    IsolatedHome home;
    QString zek = installZek(home);
    SstpTestServer server;

    void SetUp() override {
        QString why;
        if (!enterPrivateNetwork(&why))
            GTEST_SKIP() << why.toStdString();
        ASSERT_TRUE(server.listen(11000, &why)) << why.toStdString();
        server.start(ServerBehaviour::ReplyThenHold);
    }
    void settingsWith(const QByteArray& sstp) {
        writeFile(home.configHome() + "/Talmo/ZEK.conf", "[General]\nleft=10\n" + sstp + "\n");
    }
};

TEST_F(MascotGreeting, GreetsAtStartAndSaysGoodbyeAfterSaving) {
    PresenceMarker marker;
    ASSERT_TRUE(marker.ok());
    settingsWith("sstp=1");
    RunningZek running(zek, home);
    ASSERT_TRUE(running.waitReady());
    ASSERT_TRUE(server.waitForConnections(1));
    const QByteArray greeting = server.received();
    EXPECT_TRUE(greeting.startsWith("SEND SSTP/1.0\r\nSender: " + platform::encodeCp932(notify::SstpSender)));
    EXPECT_TRUE(greeting.contains(platform::encodeCp932("の起動を確認しました。")));
    EXPECT_TRUE(greeting.endsWith("\\e\r\nOption: 0\r\n\r\n"));

    running.signal(SIGTERM);
    ASSERT_TRUE(server.waitForConnections(2));
    // The goodbye is sent only after the settings were saved whole.
    EXPECT_TRUE(readFile(home.configHome() + "/Talmo/ZEK.conf").contains("\nmenureturn=13\n"));
    EXPECT_TRUE(server.received().mid(greeting.size()).contains(
        platform::encodeCp932(notify::SstpScript(notify::SstpEvent::Exit))));
    EXPECT_EQ(running.waitExit(), 0);
    // Each exchange ended with the reply, not with the three-second limit.
    ASSERT_EQ(server.keptOpenAfterReply().size(), 2u);
    for (const auto kept : server.keptOpenAfterReply())
        EXPECT_LT(kept, notify::SstpTimeLimit / 3);
}

TEST_F(MascotGreeting, NothingIsSentWhenTurnedOff) {
    PresenceMarker marker;
    settingsWith("sstp=0");
    RunningZek running(zek, home);
    ASSERT_TRUE(running.waitReady());
    running.signal(SIGTERM);
    EXPECT_EQ(running.waitExit(), 0);
    EXPECT_EQ(server.connections(), 0);
}

}  // namespace
