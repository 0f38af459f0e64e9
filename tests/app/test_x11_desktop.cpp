// The real zek on a private X desktop (Xvfb + openbox): its window maps with
// the exact caption and takes the focus.
#include "support/TestEnv.h"
#include "support/XServer.h"
#include "support/ZekProcess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

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
