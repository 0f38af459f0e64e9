// The real zek on a private X desktop (Xvfb + openbox): its window maps with
// the exact caption and takes the focus.
#include "support/TestEnv.h"
#include "support/XServer.h"
#include "support/ZekProcess.h"

#include <gtest/gtest.h>

#include <QThread>

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

namespace {

// The active window once it carries `caption` (and is not `other`), or 0.
unsigned long waitForActive(const XServer& x, const QString& caption, unsigned long other = 0) {
    unsigned long found = 0;
    waitFor(
        [&] {
            const unsigned long active = x.activeWindow();
            if (active == 0 || active == other)
                return false;
            if (x.run("xdotool", {"getwindowname", QString::number(active)}).trimmed() != caption)
                return false;
            found = active;
            return true;
        },
        20000);
    return found;
}

// Screenshots for looking at, when ZEK_SCREENSHOT_DIR names a folder.
void shoot(const XServer& x, const char* name) {
    const QString dir = qEnvironmentVariable("ZEK_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        x.screenshot(dir + "/" + name + ".png");
}

}  // namespace

// A new user, keyboard only: the compiler choice, then the settings dialog
// where the editor is entered; the next start asks nothing.
TEST(X11Desktop, FirstRunByKeyboardChoosesTheCompilerAndStoresTheEditor) {
    XServer x;
    if (!x.ok())
        GTEST_SKIP() << x.skipReason().toStdString();
    IsolatedHome home;
    const QString zek = installZek(home);
    const QString store = home.configHome() + "/Talmo/ZEK.conf";
    const QString editor = home.path("bin/my editor");
    {
        RunningZek running(zek, home, x.environment());
        ASSERT_TRUE(running.waitReady());
        const unsigned long first = waitForActive(x, "MMLコンパイラ選択");
        ASSERT_NE(first, 0u) << "the first-run dialog takes the focus";
        shoot(x, "first_run");
        // The list first, then SPICE, then MML2MID.
        x.run("xdotool", {"key", "--delay", "50", "Tab", "Tab", "space"});
        const unsigned long question = waitForActive(x, "MMLコンパイラ選択", first);
        ASSERT_NE(question, 0u) << "the confirmation";
        shoot(x, "first_run_question");
        x.run("xdotool", {"key", "Return"});

        ASSERT_NE(waitForActive(x, "詳細設定"), 0u) << "the settings dialog follows";
        shoot(x, "settings_dialog");
        // Tab bar, compiler button, compiler path, editor button, editor path.
        x.run("xdotool", {"key", "--delay", "50", "Tab", "Tab", "Tab", "Tab"});
        x.run("xdotool", {"type", "--delay", "20", editor});
        x.run("xdotool", {"key", "Return"});
        ASSERT_TRUE(waitFor([&] { return readFile(store).contains("execeditor=" + editor.toUtf8()); }, 20000))
            << readFile(store).constData();
        EXPECT_TRUE(readFile(store).contains("\ncompiler=1\n"));
        ASSERT_NE(waitForActive(x, "ZEK - MMLコンパイラ支援ツール"), 0u);
        running.signal(SIGTERM);
        EXPECT_EQ(running.waitExit(), 0);
    }
    const QByteArray saved = readFile(store);
    EXPECT_TRUE(saved.contains("\ncompiler=1\n")) << saved.constData();
    EXPECT_TRUE(saved.contains("execeditor=" + editor.toUtf8()));

    RunningZek again(zek, home, x.environment());
    ASSERT_TRUE(again.waitReady());
    ASSERT_NE(waitForActive(x, "ZEK - MMLコンパイラ支援ツール"), 0u);
    shoot(x, "main_window");
    // The first paint has run; a first-run dialog would be up at once.
    QThread::msleep(1500);
    EXPECT_TRUE(x.run("xdotool", {"search", "--onlyvisible", "--name", "^MMLコンパイラ選択$"}).trimmed().isEmpty());
    again.signal(SIGTERM);
    EXPECT_EQ(again.waitExit(), 0);
}
