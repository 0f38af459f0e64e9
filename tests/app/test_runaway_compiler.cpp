// The real zek against compilers that misbehave: one that prints without
// end, ones that leave helpers behind, and zek itself killed mid-compile.
#include "platform/ChildProcess.h"
#include "support/TestEnv.h"
#include "support/XServer.h"
#include "support/ZekProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>

using namespace zek::test;

namespace {

// The peak memory of a running process, in MiB.
qint64 peakMemoryMiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toLongLong() / 1024;
    return -1;
}

// The most memory zek may take during a flood, in MiB. It needs about 120
// (about 400 built with sanitizers); collecting a line without end cost it
// over 1 GB, and an unbounded memo over 4 GB.
constexpr qint64 kMostMiBDuringAFlood = 768;

// An isolated home with a song and zek set up to compile it with the fake
// compiler. (A private X desktop, where one is needed, is started before it:
// openbox needs the real XDG folders.)
struct Scene {
    IsolatedHome home;
    QString zek = installZek(home);
    QString work = home.path("work");
    QString song = work + "/song.smc";

    Scene() {
        QDir().mkpath(work);
        writeFile(song, "c d e");
        home.env().set("ZEK_LAUNCH_RECORD", QFile::encodeName(home.path("editor.rec")));
    }

    void useCompiler(const char* mode, int timerExit) {
        writeSettings(home, "execsmc=" + fixture("compilers/fake-compiler.sh").toUtf8() + "\noption0=" + mode +
                                "\ntimerexit=" + QByteArray::number(timerExit) +
                                "\nexeceditor=" + fixture("compilers/record-launch.sh").toUtf8() + "\nshow=0\n");
    }

    qint64 recordedPid(const char* name) const { return readFile(work + '/' + name).trimmed().toLongLong(); }

    RunningZek& start(const char* mode, int timerExit, const QProcessEnvironment& env = offscreenEnvironment()) {
        useCompiler(mode, timerExit);
        running = std::make_unique<RunningZek>(zek, home, env, QStringList(), work);
        EXPECT_TRUE(running->waitReady());
        return *running;
    }
    std::unique_ptr<RunningZek> running;

    // Hands a compile of the song to the running instance and waits until
    // the compiler has written its pid (and, with `helpers`, those of the
    // helpers it detaches).
    qint64 compileAndWaitForTheCompiler(bool helpers = false) {
        EXPECT_EQ(runZek(zek, {song}, work).exitCode, 1);
        EXPECT_TRUE(waitFor(
            [&] {
                return recordedPid("child.pid") > 0 &&
                       (!helpers || (recordedPid("helper.pid") > 0 && recordedPid("daemon.pid") > 0));
            },
            10000));
        return recordedPid("child.pid");
    }

    void expectHelpersGone() const {
        for (const char* name : {"helper.pid", "daemon.pid"})
            EXPECT_TRUE(waitFor([&] { return processGone(recordedPid(name)); }, 5000)) << name;
    }

    // Waits for the compiler to be stopped by the time limit, then checks
    // how long that took and how much memory zek needed meanwhile.
    void expectStoppedInTimeWithBoundedMemory(int limit) {
        const qint64 compiler = compileAndWaitForTheCompiler();
        ASSERT_GT(compiler, 0);
        QElapsedTimer sinceStart;
        sinceStart.start();
        ASSERT_TRUE(waitFor([&] { return processGone(compiler); }, 30000));
        // The limit is checked while the output keeps coming. (Before that
        // was so, a flood ran on for seconds past it.)
        EXPECT_LT(sinceStart.elapsed(), (limit + 4) * 1000);
        EXPECT_LT(peakMemoryMiB(running->pid()), kMostMiBDuringAFlood);
    }

    // F10 hands the memo to the editor as the log: its lines, without line ends.
    QList<QByteArray> logLines(const XServer& x, qsizetype& size) const {
        QString window;
        EXPECT_TRUE(waitFor(
            [&] {
                window = x.run("xdotool", {"search", "--onlyvisible", "--name", "^ZEK - MMLコンパイラ支援ツール$"})
                             .section('\n', 0, 0);
                return !window.isEmpty();
            },
            10000));
        x.run("xdotool", {"windowfocus", "--sync", window, "key", "F10"});
        EXPECT_TRUE(waitForFile(home.path("editor.rec"), 10000));
        const QByteArray log = readFile(home.programDir() + "/SPICE.ERR");
        size = log.size();
        QList<QByteArray> lines = log.split('\n');
        lines.removeLast();  // after the last line end
        for (QByteArray& l : lines)
            if (l.endsWith('\r'))
                l.chop(1);
        return lines;
    }
};

const QByteArray kTimedOutLine = QStringLiteral("強制中断ﾀｲﾏｰにてｺﾝﾊﾟｲﾙを中止しました。").toUtf8();

TEST(RunawayCompiler, AFloodStopsInTimeAndLeavesABoundedMemoAndLog) {
    XServer x;
    if (!x.ok())
        GTEST_SKIP() << x.skipReason().toStdString();
    Scene s;
    RunningZek& running = s.start("floodlines", 5, x.environment());
    // The output is far more than the memo keeps.
    s.expectStoppedInTimeWithBoundedMemory(5);

    qsizetype size = 0;
    const QList<QByteArray> lines = s.logLines(x, size);
    EXPECT_LE(size, (qint64(64) << 20) + (qint64(4) << 20));
    ASSERT_GT(lines.size(), 3);
    EXPECT_TRUE(lines.front().startsWith("song.mml:1:1: error: no such command")) << "the first error is kept";
    const auto isMarker = [](const QByteArray& l) { return l.startsWith("… ") && l.endsWith(" 行省略 …"); };
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), isMarker), 1)
        << "one line says where lines were left out (the log has " << size << " bytes)";
    EXPECT_EQ(lines.back(), kTimedOutLine);
    EXPECT_TRUE(lines[lines.size() - 2].startsWith("song.mml:1:1: error:")) << "the newest output is kept";

    running.signal(SIGTERM);
    EXPECT_EQ(running.waitExit(), 0);
}

TEST(RunawayCompiler, AFloodWithoutLineFeedsIsOneCutLineAndBoundedMemory) {
    XServer x;
    if (!x.ok())
        GTEST_SKIP() << x.skipReason().toStdString();
    Scene s;
    RunningZek& running = s.start("floodnolf", 5, x.environment());
    s.expectStoppedInTimeWithBoundedMemory(5);

    qsizetype size = 0;
    const QList<QByteArray> lines = s.logLines(x, size);
    ASSERT_EQ(lines.size(), 2) << "the log has " << size << " bytes";
    EXPECT_TRUE(lines.front().startsWith("song.mml:1:1: error: no line feedsong.mml:1:1:"));
    EXPECT_TRUE(lines.front().endsWith("…"));
    EXPECT_EQ(lines.front().size(), zek::platform::kMaxOutputLineBytes) << "cut where the memo cuts a line";
    EXPECT_EQ(lines.back(), kTimedOutLine);

    running.signal(SIGTERM);
    EXPECT_EQ(running.waitExit(), 0);
}

TEST(RunawayCompiler, WhatItDetachedGoesWithItAtTheTimeOut) {
    Scene s;
    RunningZek& running = s.start("setsid", 2);
    const qint64 compiler = s.compileAndWaitForTheCompiler(true);
    ASSERT_TRUE(waitFor([&] { return processGone(compiler); }, 15000));
    s.expectHelpersGone();
    running.signal(SIGTERM);
    EXPECT_EQ(running.waitExit(), 0);
}

TEST(RunawayCompiler, WhatItDetachedGoesWithItWhenItEndsByItself) {
    Scene s;
    RunningZek& running = s.start("detach", 600);
    EXPECT_EQ(runZek(s.zek, {s.song}, s.work).exitCode, 1);
    ASSERT_TRUE(waitFor([&] { return s.recordedPid("helper.pid") > 0; }, 10000));
    EXPECT_TRUE(waitFor([&] { return processGone(s.recordedPid("helper.pid")); }, 5000));
    running.signal(SIGTERM);
    EXPECT_EQ(running.waitExit(), 0);
}

TEST(RunawayCompiler, TheCompilerAndItsHelpersDieWithZek) {
    Scene s;
    RunningZek& running = s.start("setsid", 600);
    const qint64 compiler = s.compileAndWaitForTheCompiler(true);
    running.signal(SIGKILL);
    running.waitExit();
    EXPECT_TRUE(waitFor([&] { return processGone(compiler); }, 5000));
    s.expectHelpersGone();
}

}  // namespace
