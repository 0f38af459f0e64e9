// End-to-end: the real zek binary as running instance and as second instance.
#include "app/SharedHandoffBlock.h"
#include "platform/SharedBlockFile.h"
#include "support/TestEnv.h"
#include "support/ZekProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>

#include <arpa/inet.h>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zek::test;
using zek::app::HandoffBlock;
using zek::app::SharedHandoffBlock;
using zek::platform::SharedBlockFile;

namespace {

Finished runZekWithRawArguments(const QString& zek, const QList<QByteArray>& args) {
    QProcess p;
    p.setProcessEnvironment(offscreenEnvironment());
    startWithRawArguments(p, zek, args);
    Finished f;
    if (p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit)
        f.exitCode = p.exitCode();
    f.stdErr = p.readAllStandardError();
    return f;
}

// True when the process has the file open.
bool hasOpen(qint64 pid, const QString& path) {
    const QByteArray wanted = QFile::encodeName(QFileInfo(path).canonicalFilePath());
    const QString dir = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString& fd : QDir(dir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[4096];
        const ssize_t n = ::readlink(QFile::encodeName(dir + "/" + fd).constData(), target, sizeof target);
        if (n > 0 && QByteArray(target, n) == wanted)
            return true;
    }
    return false;
}

// A TCP port on loopback that accepts connections (the kernel completes
// them) and never answers: an X server that does not respond.
class SilentListener {
public:
    SilentListener(int firstPort, int lastPort) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        for (int port = firstPort; fd_ >= 0 && port <= lastPort; ++port) {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(static_cast<uint16_t>(port));
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd_, 8) == 0) {
                port_ = port;
                return;
            }
        }
    }
    ~SilentListener() { close(); }
    bool ok() const { return port_ > 0; }
    int port() const { return port_; }
    void close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    // True once a client has connected (and is waiting to be accepted).
    bool connected() const {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, 0) == 1;
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

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

TEST_F(SecondInstance, ANameOver255BytesOrNotUtf8IsRefusedWithAReason) {
    const QByteArray before = raw();
    Finished f = runZek(zek, {"/" + QString(300, 'a') + ".mml"});
    EXPECT_EQ(f.exitCode, 1);
    EXPECT_TRUE(f.stdErr.startsWith("zek: file name longer than 255 bytes, nothing handed over: /aaa"))
        << f.stdErr.constData();
    // A Shift-JIS name, unpacked from an old archive: it exists, but its
    // bytes cannot pass through the window's text boxes unchanged.
    const QByteArray shiftJis = QFile::encodeName(home.root()) + "/\x83\x54\x83\x93.mml";
    writeFile(QFile::decodeName(shiftJis), "c");
    f = runZekWithRawArguments(zek, {shiftJis});
    EXPECT_EQ(f.exitCode, 1);
    EXPECT_TRUE(f.stdErr.contains("not valid UTF-8")) << f.stdErr.constData();
    EXPECT_TRUE(f.stdErr.contains("nothing handed over")) << f.stdErr.constData();
    EXPECT_EQ(raw(), before);
}

TEST_F(SecondInstance, HelpAndVersionAnswerOnStdoutAndTouchNoInstance) {
    const QByteArray before = raw();
    Finished f = runZek(zek, {"--help"});
    EXPECT_EQ(f.exitCode, 0);
    EXPECT_TRUE(f.stdOut.contains("zek /PLAY [source [midi]]")) << f.stdOut.constData();
    EXPECT_TRUE(f.stdErr.isEmpty());
    f = runZek(zek, {"--version"});
    EXPECT_EQ(f.exitCode, 0);
    EXPECT_EQ(f.stdOut, "zek 1.58\n");
    EXPECT_EQ(raw(), before);
    // With no instance at all, neither makes one nor leaves a block behind.
    IsolatedHome other;
    EXPECT_EQ(runZek(installZek(other), {"--version"}).exitCode, 0);
    EXPECT_TRUE(QDir(other.runtimeDir()).isEmpty());
}

TEST_F(SecondInstance, AStuckLockHolderHoldsUpAStartForAboutTwoSecondsOnly) {
    const QString lock = home.runtimeDir() + "/TALMO.ZEK.lock";
    const int fd = ::open(QFile::encodeName(lock).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);  // a stray holder: this test
    QElapsedTimer clock;
    clock.start();
    const Finished f = runZek(zek, {"/m/a.mml"}, QString(), 30000);
    EXPECT_EQ(f.exitCode, 1);
    EXPECT_GE(clock.elapsed(), 1500) << "the start waits a while for a holder that lets go";
    EXPECT_TRUE(f.stdErr.contains(QStringLiteral("%1 is still held by process %2").arg(lock).arg(::getpid()).toUtf8()))
        << f.stdErr.constData();

    // A termination signal during the wait ends the start at once. On a
    // loaded machine the start may reach its time limit before the signal
    // lands; that attempt proves nothing, and another is made.
    bool endedBySignal = false;
    for (int attempt = 0; attempt < 5 && !endedBySignal; ++attempt) {
        QProcess waiting;
        waiting.setProcessEnvironment(offscreenEnvironment());
        waiting.start(zek, {"/m/a.mml"});
        ASSERT_TRUE(waiting.waitForStarted());
        ASSERT_TRUE(waitFor([&] { return hasOpen(waiting.processId(), lock); }, 10000));
        ::kill(static_cast<pid_t>(waiting.processId()), SIGTERM);
        ASSERT_TRUE(waiting.waitForFinished(10000)) << "a signal during the wait is not held back";
        endedBySignal = waiting.exitStatus() == QProcess::CrashExit;
        if (!endedBySignal) {
            ASSERT_TRUE(waiting.readAllStandardError().contains("still held")) << "only the time limit may come first";
        }
    }
    EXPECT_TRUE(endedBySignal);
    ::close(fd);
    EXPECT_FALSE(block->compileRequest());
}

TEST_F(SecondInstance, ASecondInstanceAsksTheXServerNothingWhileItHoldsTheLock) {
    // An X server that accepts and never answers: the first start hangs on
    // it, a later start still gets through.
    SilentListener silentX(6100, 6999);
    ASSERT_TRUE(silentX.ok());
    QProcessEnvironment env = offscreenEnvironment();
    env.insert("DISPLAY", QStringLiteral("127.0.0.1:%1").arg(silentX.port() - 6000));
    QProcess stuck;
    stuck.setProcessEnvironment(env);
    stuck.start(zek, {"/m/stuck.mml"});
    ASSERT_TRUE(stuck.waitForStarted());
    ASSERT_TRUE(waitFor([&] { return silentX.connected(); }, 10000)) << "the stuck start asks the X server";

    const Finished f = runZek(zek, {"/m/next.mml"});
    EXPECT_EQ(f.exitCode, 1) << f.stdErr.constData();
    EXPECT_EQ(block->fnameSmc(), "/m/next.mml");
    EXPECT_TRUE(block->compileRequest());
    EXPECT_EQ(stuck.state(), QProcess::Running);
    stuck.kill();
    stuck.waitForFinished();
}

class NoDesktop : public ::testing::Test {
protected:
    IsolatedHome home;
    QString zek = installZek(home);
};

TEST_F(NoDesktop, AFirstStartSaysItNeedsADesktopAndExitsWithOne) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    Finished f = runZek(zek, {}, QString(), 10000, env);
    EXPECT_EQ(f.exitCode, 1);
    EXPECT_TRUE(f.stdErr.contains("zek: needs a graphical desktop")) << f.stdErr.constData();

    // A display that is named but cannot be reached.
    SilentListener closed(6100, 6999);
    ASSERT_TRUE(closed.ok());
    const int port = closed.port();
    closed.close();
    env.insert("DISPLAY", QStringLiteral("127.0.0.1:%1").arg(port - 6000));
    f = runZek(zek, {}, QString(), 10000, env);
    EXPECT_EQ(f.exitCode, 1);
    EXPECT_TRUE(f.stdErr.contains("zek: needs a graphical desktop")) << f.stdErr.constData();
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

TEST_F(RunningInstance, ADeletedOrReplacedBlockFileIsMadeAgainSoOneInstanceHolds) {
    RunningZek first(zek, home, {}, work);
    ASSERT_TRUE(first.waitReady());
    const QString block = home.runtimeDir() + "/TALMO.ZEK";
    writeFile(work + "/song.smc", "c");
    for (const bool replace : {false, true}) {
        QFile::remove(work + "/argv.rec");
        QFile::remove(block);  // a /tmp cleaner
        if (replace) {
            writeFile(block, QByteArray(524, '\0'));
            ::chmod(QFile::encodeName(block).constData(), 0600);
        }
        ASSERT_TRUE(waitFor([&] { return blockHeld(home.runtimeDir()); }, 10000)) << replace;
        const Finished f = runZek(zek, {work + "/song.smc"});
        EXPECT_EQ(f.exitCode, 1) << "a later start is a second instance";
        EXPECT_TRUE(waitFor([&] { return QFile::exists(work + "/argv.rec"); }, 10000))
            << "and the running one takes its hand-off";
    }
    first.signal(SIGTERM);
    EXPECT_EQ(first.waitExit(), 0);
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
