// The real zek on a private X desktop (Xvfb + openbox): its window maps with
// the exact caption and takes the focus.
#include "support/TestEnv.h"
#include "support/XServer.h"
#include "support/ZekProcess.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace zek::test;

TEST(X11Desktop, MainWindowMapsWithItsCaptionAndTakesTheFocus) {
    XServer x;
    if (!x.ok())
        GTEST_SKIP() << x.skipReason().toStdString();
    IsolatedHome home;
    writeSettings(home, "show=1\n");
    const QString zek = installZek(home);
    RunningZek running(zek, home, x.environment());
    ASSERT_TRUE(running.waitReady());

    QString found;
    ASSERT_TRUE(waitFor(
        [&] {
            found = x.run("xdotool", {"search", "--onlyvisible", "--name", "^ZEK - MMLコンパイラ支援ツール$"}).trimmed();
            return !found.isEmpty();
        },
        15000));
    const unsigned long window = found.section('\n', 0, 0).toULong();
    EXPECT_TRUE(waitFor([&] { return x.activeWindow() == window; }, 10000));

    running.signal(SIGTERM);
    EXPECT_EQ(running.waitExit(), 0);
}
