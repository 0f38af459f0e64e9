// The real zek on a private X desktop (Xvfb + openbox): its window maps with
// the exact caption and takes the focus.
#include "support/TestEnv.h"
#include "support/XServer.h"
#include "support/ZekProcess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
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

TEST(X11Desktop, AFirstStartLeavesOutANameItCannotTakeAndSaysWhy) {
    XServer x;
    if (!x.ok())
        GTEST_SKIP() << x.skipReason().toStdString();
    struct Case {
        const char* what;
        QByteArray name;  // relative to the work folder
        const char* line;
    };
    const Case cases[] = {
        {"a name of 300 bytes", "deep/" + QByteArray(290, 'a') + ".mml", "file name longer than 255 bytes, left out"},
        {"a Shift-JIS name", "\x83\x54\x83\x93.mml", "file name is not valid UTF-8 (rename it to UTF-8), left out"},
    };
    for (const Case& c : cases) {
        IsolatedHome home;
        const QString work = home.path("work");
        QDir().mkpath(work);
        writeFile(QFile::decodeName(QFile::encodeName(work) + "/\x83\x54\x83\x93.mml"), "c");
        writeSettings(home, "auto=1\nshow=1\noption0=record\nexecsmc=" +
                                fixture("compilers/fake-compiler.sh").toUtf8() + "\n");
        QProcess zek;
        zek.setProcessEnvironment(x.environment());
        zek.setWorkingDirectory(work);
        startWithRawArguments(zek, installZek(home), {c.name});
        ASSERT_TRUE(zek.waitForStarted());
        ASSERT_TRUE(waitFor([&] { return blockHeld(home.runtimeDir()); }, 15000)) << c.what << ": it starts";
        // The main window and the message box over it share the caption.
        EXPECT_TRUE(waitFor(
            [&] {
                const QString found = x.run("xdotool", {"search", "--onlyvisible", "--name",
                                                        "^ZEK - MMLコンパイラ支援ツール$"}).trimmed();
                return found.split('\n', Qt::SkipEmptyParts).size() == 2;
            },
            15000))
            << c.what << ": a message box says why";
        EXPECT_FALSE(QFile::exists(work + "/argv.rec")) << c.what << ": nothing is compiled";
        ::kill(static_cast<pid_t>(zek.processId()), SIGTERM);
        ASSERT_TRUE(zek.waitForFinished(15000));
        EXPECT_EQ(zek.exitCode(), 0);
        EXPECT_TRUE(zek.readAllStandardError().contains(c.line)) << c.what;
    }
}

namespace {

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
        const unsigned long first = x.waitForActive("MMLコンパイラ選択");
        ASSERT_NE(first, 0u) << "the first-run dialog takes the focus";
        shoot(x, "first_run");
        // The list first, then SPICE, then MML2MID.
        x.run("xdotool", {"key", "--delay", "50", "Tab", "Tab", "space"});
        const unsigned long question = x.waitForActive("MMLコンパイラ選択", first);
        ASSERT_NE(question, 0u) << "the confirmation";
        shoot(x, "first_run_question");
        x.run("xdotool", {"key", "Return"});

        ASSERT_NE(x.waitForActive("詳細設定"), 0u) << "the settings dialog follows";
        shoot(x, "settings_dialog");
        // Tab bar, compiler button, compiler path, editor button, editor path.
        x.run("xdotool", {"key", "--delay", "50", "Tab", "Tab", "Tab", "Tab"});
        x.run("xdotool", {"type", "--delay", "20", editor});
        x.run("xdotool", {"key", "Return"});
        ASSERT_TRUE(waitFor([&] { return readFile(store).contains("execeditor=" + editor.toUtf8()); }, 20000))
            << readFile(store).constData();
        EXPECT_TRUE(readFile(store).contains("\ncompiler=1\n"));
        ASSERT_NE(x.waitForActive("ZEK - MMLコンパイラ支援ツール"), 0u);
        running.signal(SIGTERM);
        EXPECT_EQ(running.waitExit(), 0);
    }
    const QByteArray saved = readFile(store);
    EXPECT_TRUE(saved.contains("\ncompiler=1\n")) << saved.constData();
    EXPECT_TRUE(saved.contains("execeditor=" + editor.toUtf8()));

    RunningZek again(zek, home, x.environment());
    ASSERT_TRUE(again.waitReady());
    ASSERT_NE(x.waitForActive("ZEK - MMLコンパイラ支援ツール"), 0u);
    shoot(x, "main_window");
    // The first paint has run; a first-run dialog would be up at once.
    QThread::msleep(1500);
    EXPECT_TRUE(x.run("xdotool", {"search", "--onlyvisible", "--name", "^MMLコンパイラ選択$"}).trimmed().isEmpty());
    again.signal(SIGTERM);
    EXPECT_EQ(again.waitExit(), 0);
}
