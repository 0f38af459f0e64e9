// End-to-end: the real zek binary as running instance and as second instance.
#include "app/SharedHandoffBlock.h"
#include "platform/SharedBlockFile.h"
#include "support/TestEnv.h"
#include "support/ZekProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/stat.h>

using namespace zek::test;
using zek::app::HandoffBlock;
using zek::app::SharedHandoffBlock;
using zek::platform::SharedBlockFile;

namespace {

QStringList nulSeparated(const QByteArray& bytes) {
    QStringList out;
    for (const QByteArray& part : bytes.split('\0'))
        out << QString::fromUtf8(part);
    if (!out.isEmpty() && out.back().isEmpty())
        out.pop_back();
    return out;
}

class SecondInstance : public ::testing::Test {
protected:
    IsolatedHome home;
    QString zek = installZek(home);
    std::unique_ptr<SharedBlockFile> file;
    std::unique_ptr<HandoffBlock> block;

    // The test plays the running instance: it holds the block's lock.
    void SetUp() override {
        QString why;
        file = SharedBlockFile::open(home.runtimeDir(), "TALMO.ZEK", sizeof(SharedHandoffBlock), &why);
        ASSERT_TRUE(file) << why.toStdString();
        ASSERT_EQ(file->role(), SharedBlockFile::Role::Owner);
        block = std::make_unique<HandoffBlock>(static_cast<SharedHandoffBlock*>(file->data()));
        block->initialise(77);
        file->releaseGuard();
    }
    QByteArray raw() const { return QByteArray(static_cast<const char*>(file->data()), 524); }
};

TEST_F(SecondInstance, WritesItsRequestAndExitsWithOne) {
    const Finished f = runZek(zek, {"/m/a.mml", "/o/b.mid"});
    EXPECT_EQ(f.exitCode, 1);
    EXPECT_EQ(block->fnameSmc(), "/m/a.mml");
    EXPECT_EQ(block->fnameMid(), "/o/b.mid");
    EXPECT_TRUE(block->compileRequest());
    EXPECT_EQ(block->command(), 0u);
    EXPECT_EQ(block->hwndReturn(), 0u) << "the foreground window (none without a display)";
}

TEST_F(SecondInstance, NoArgumentsOrMinChangeNothing) {
    const QByteArray before = raw();
    EXPECT_EQ(runZek(zek, {}).exitCode, 1);
    EXPECT_EQ(runZek(zek, {"/MIN", "/m/a.mml"}).exitCode, 1);
    EXPECT_EQ(raw(), before);
}

TEST_F(SecondInstance, BusyBlockDropsTheRequestButAPendingPlayDoesNot) {
    block->setCompileRequest(true);
    block->setFnameSmc("/pending.mml");
    const QByteArray before = raw();
    EXPECT_EQ(runZek(zek, {"/E", "/other.mml"}).exitCode, 1);
    EXPECT_EQ(raw(), before) << "a pending compile request makes the block busy";

    block->setCompileRequest(false);
    block->setPlayRequest(true);
    EXPECT_EQ(runZek(zek, {"/e"}).exitCode, 1);
    EXPECT_EQ(block->command(), 1u) << "a pending play request plays no part in the busy test";
    EXPECT_EQ(block->fnameSmc(), "");
}

TEST_F(SecondInstance, RelativeNamesArriveAbsolute) {
    QDir().mkpath(home.path("work"));
    EXPECT_EQ(runZek(zek, {"song.mml"}, home.path("work")).exitCode, 1);
    EXPECT_EQ(block->fnameSmc(), QFileInfo(home.path("work")).canonicalFilePath() + "/song.mml");
}

TEST_F(SecondInstance, AnArgumentOver255BytesIsRefusedWithAReason) {
    const QByteArray before = raw();
    const Finished f = runZek(zek, {"/" + QString(300, 'a') + ".mml"});
    EXPECT_EQ(f.exitCode, 1);
    EXPECT_TRUE(f.stdErr.contains("255")) << f.stdErr.constData();
    EXPECT_EQ(raw(), before);
}

class BlockFile : public ::testing::Test {
protected:
    IsolatedHome home;
    QString zek = installZek(home);
};

TEST_F(BlockFile, WrongSizeOrForeignModeIsRefused) {
    const QString path = home.runtimeDir() + "/TALMO.ZEK";
    writeFile(path, QByteArray(100, '\0'));
    ::chmod(QFile::encodeName(path).constData(), 0600);
    Finished f = runZek(zek, {"/m/a.mml"});
    EXPECT_EQ(f.exitCode, 1);
    EXPECT_TRUE(f.stdErr.contains("wrong size")) << f.stdErr.constData();

    writeFile(path, QByteArray(524, '\0'));
    ::chmod(QFile::encodeName(path).constData(), 0644);
    f = runZek(zek, {"/m/a.mml"});
    EXPECT_EQ(f.exitCode, 1);
    EXPECT_TRUE(f.stdErr.contains("foreign permissions")) << f.stdErr.constData();
    EXPECT_EQ(readFile(path), QByteArray(524, '\0'));
}

class RunningInstance : public ::testing::Test {
protected:
    IsolatedHome home;
    QString zek = installZek(home);
    QString compiler = fixture("compilers/fake-compiler.sh");
    QString editor = fixture("compilers/record-launch.sh");
    QString work = home.path("work");

    void SetUp() override {
        QDir().mkpath(work);
        home.env().set("ZEK_LAUNCH_RECORD", QFile::encodeName(home.path("editor.rec")));
        writeSettings(home, "execsmc=" + compiler.toUtf8() + "\noption0=record\nexeceditor=" + editor.toUtf8() +
                                "\nshow=0\n");
    }
};

TEST_F(RunningInstance, HandedOffCompileRunsTheCompiler) {
    RunningZek first(zek, home, {}, work);
    ASSERT_TRUE(first.waitReady());
    writeFile(work + "/song.smc", "c d e");
    EXPECT_EQ(runZek(zek, {"song.smc"}, work).exitCode, 1);
    ASSERT_TRUE(waitFor([&] { return QFile::exists(work + "/argv.rec"); }, 5000));
    const QString source = QFileInfo(work).canonicalFilePath() + "/song.smc";
    EXPECT_EQ(nulSeparated(readFile(work + "/argv.rec")),
              (QStringList{compiler, "record", source, QFileInfo(work).canonicalFilePath() + "/song.mid"}));
    first.signal(SIGTERM);
    EXPECT_EQ(first.waitExit(), 0);
}

TEST_F(RunningInstance, HandedOffEditRequestOpensTheFileAsOneArgument) {
    RunningZek first(zek, home, {}, work);
    ASSERT_TRUE(first.waitReady());
    const QString file = home.path("my songs/曲 1.mml");
    EXPECT_EQ(runZek(zek, {"/E", file}).exitCode, 1);
    ASSERT_TRUE(waitFor([&] { return QFile::exists(home.path("editor.rec")); }, 5000));
    EXPECT_EQ(nulSeparated(readFile(home.path("editor.rec"))), (QStringList{editor, file}));
    first.signal(SIGTERM);
    EXPECT_EQ(first.waitExit(), 0);
}

TEST_F(RunningInstance, ACrashedInstanceDoesNotBlockTheNextStart) {
    {
        RunningZek crashed(zek, home);
        ASSERT_TRUE(crashed.waitReady());
        crashed.signal(SIGKILL);
        crashed.waitExit();
    }
    ASSERT_TRUE(QFile::exists(home.runtimeDir() + "/TALMO.ZEK")) << "the block file stays behind";
    RunningZek next(zek, home, {}, work);
    ASSERT_TRUE(next.waitReady()) << "the next start runs as the instance";
    writeFile(work + "/song.smc", "c");
    EXPECT_EQ(runZek(zek, {work + "/song.smc"}).exitCode, 1);
    EXPECT_TRUE(waitFor([&] { return QFile::exists(work + "/argv.rec"); }, 5000)) << "and takes hand-offs";
    next.signal(SIGTERM);
    EXPECT_EQ(next.waitExit(), 0);
}

TEST_F(RunningInstance, TwoFirstInstancesStartedTogetherLeaveOneRunning) {
    RunningZek a(zek, home);
    RunningZek b(zek, home);
    ASSERT_TRUE(waitFor([&] { return blockHeld(home.runtimeDir()); }, 10000));
    ASSERT_TRUE(waitFor([&] {
        return a.process().state() == QProcess::NotRunning || b.process().state() == QProcess::NotRunning;
    }, 10000));
    RunningZek& loser = a.process().state() == QProcess::NotRunning ? a : b;
    RunningZek& winner = &loser == &a ? b : a;
    EXPECT_EQ(loser.waitExit(), 1);
    EXPECT_EQ(winner.process().state(), QProcess::Running);
    winner.signal(SIGTERM);
    EXPECT_EQ(winner.waitExit(), 0);
}

TEST_F(RunningInstance, TerminationClosesTheWindowAndSavesEverySetting) {
    for (int sig : {SIGTERM, SIGINT}) {
        QFile::remove(home.configHome() + "/Talmo/ZEK.conf");
        writeSettings(home, "timerexit=7\n");
        RunningZek first(zek, home);
        ASSERT_TRUE(first.waitReady());
        first.signal(sig);
        EXPECT_EQ(first.waitExit(), 0) << sig;
        const QByteArray stored = readFile(home.configHome() + "/Talmo/ZEK.conf");
        EXPECT_TRUE(stored.contains("\ntimerexit=7\n")) << stored.constData();
        EXPECT_TRUE(stored.contains("\nmenureturn=13\n"));
        EXPECT_TRUE(stored.contains("\nlastfile9=\n"));
    }
}

}  // namespace
