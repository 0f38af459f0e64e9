// The child-process path of the compiler runner, driven against fake
// compilers (tests/fixtures/compilers/fake-compiler.sh).
#include "compile/CompilerLibrary.h"
#include "compile/CompilerRunner.h"
#include "platform/TextCodec.h"
#include "support/TestEnv.h"
#include "test_runner_host.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>

using namespace zek;
using compile::CompileOutcome;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

bool noChildrenLeft() {
    return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

QStringList splitNul(const QByteArray& bytes) {
    QStringList out;
    if (bytes.isEmpty())
        return out;
    QByteArray body = bytes;
    if (body.endsWith('\0'))
        body.chop(1);
    for (const QByteArray& part : body.split('\0'))
        out.append(QString::fromUtf8(part));
    return out;
}

class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedCwd_ = QDir::currentPath();
        work_ = home_.path(QStringLiteral("work"));
        QDir().mkpath(work_);
        ASSERT_TRUE(QDir::setCurrent(work_));
        // A compiler path with a space and non-ASCII characters in it.
        compiler_ = install(home_.programDir() + QStringLiteral("/ｺﾝﾊﾟｲﾗ dir/fake compiler.sh"));
    }
    void TearDown() override { QDir::setCurrent(savedCwd_); }

    QString install(const QString& target, QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner |
                                                                      QFile::ExeOwner) {
        QDir().mkpath(QFileInfo(target).absolutePath());
        EXPECT_TRUE(test::writeFile(target, test::readFile(test::fixture("compilers/fake-compiler.sh"))));
        QFile::setPermissions(target, perms);
        return target;
    }

    std::optional<CompileOutcome> run(const compile::CompilerRun& r) { return compile::RunCompiler(r, host_, lib_); }

    qint64 recordedPid(const char* name) {
        return test::readFile(work_ + u'/' + QLatin1String(name)).trimmed().toLongLong();
    }

    void expectCaptionsOfOneRun() {
        const QString saved = QStringLiteral("ZEK - song.mml");
        EXPECT_EQ(host_.captions, (QStringList{saved + compile::kRunningSuffix, saved + compile::kDrainingSuffix, saved}));
    }

    test::IsolatedHome home_;
    QString savedCwd_;
    QString work_;
    QString compiler_;
    test::RecordingHost host_;
    compile::CompilerLibrary lib_;
};

struct ArgvCase {
    int kind;
    QString option;
    QString source;
    QString midi;
    QString smcInclude;
    QStringList expectedArgs;  // after argv[0]
    QStringList expectedEnv;
};

TEST_F(RunnerTest, PassesExactArgvAndEnvironmentPerKind) {
    const QString src = QStringLiteral("song one \"q\" 'x'.smc");
    const QString mid = QStringLiteral("out dir/song one.mid");
    const std::vector<ArgvCase> cases = {
        {0, "record -pc -ps", src, mid, "/inc:/more inc", {"record", "-pc", "-ps", src, mid}, {"SMC_INCLUDE=/inc:/more inc"}},
        // No source: the command ends after the options, the MIDI name is not passed either.
        {0, "record -pc -ps", "", mid, "", {"record", "-pc", "-ps"}, {"SMC_INCLUDE="}},
        {1, "record -I \"inc dir\" 'lit $HOME' \\* ~", "-leading.mml", "",  "/ignored",
         {"record", "-I", "inc dir", "lit $HOME", "*", "~", "-leading.mml"}, {}},
        {2, "record", "曲/ソング.mml", "曲/ソング.mid", "/ignored", {"record", "曲/ソング.mml", "曲/ソング.mid"}, {}},
    };
    for (const ArgvCase& c : cases) {
        SCOPED_TRACE(c.option.toStdString() + " / " + c.source.toStdString());
        QFile::remove(work_ + "/argv.rec");
        QFile::remove(work_ + "/env.rec");
        auto r = test::makeRun(c.kind, compiler_);
        r.option = c.option;
        r.source = c.source;
        r.midi = c.midi;
        r.smcInclude = c.smcInclude;
        const auto outcome = run(r);
        ASSERT_TRUE(outcome.has_value());
        EXPECT_FALSE(outcome->timedOut);
        EXPECT_EQ(outcome->exitCode, 0);
        // The child runs in ZEK's current folder: that is where it recorded.
        const QStringList argv = splitNul(test::readFile(work_ + "/argv.rec"));
        ASSERT_FALSE(argv.isEmpty());
        EXPECT_EQ(argv.front(), compiler_);
        EXPECT_EQ(argv.mid(1), c.expectedArgs);
        EXPECT_EQ(splitNul(test::readFile(work_ + "/env.rec")), c.expectedEnv);
    }
}

struct LinesCase {
    const char* mode;
    QStringList expected;
};

TEST_F(RunnerTest, CutsOutputIntoLines) {
    const std::vector<LinesCase> cases = {
        {"crlf", {"a", "b"}},
        {"lonecr", {"xy"}},
        {"nofinal", {"first", "last"}},  // the bytes after the last line feed are kept
        {"onlycr", {"one"}},
        {"long", {QString(5000, u'L')}},
        {"cp932", {QStringLiteral("アあ")}},
        {"utf8", {QStringLiteral("ア")}},
        {"binary", {platform::decodeOutputLine(QByteArray("\x01\x02\xff\xfe"))}},
    };
    for (const LinesCase& c : cases) {
        SCOPED_TRACE(c.mode);
        host_ = test::RecordingHost();
        auto r = test::makeRun(1, compiler_);
        r.option = QString::fromLatin1(c.mode);
        const auto outcome = run(r);
        ASSERT_TRUE(outcome.has_value());
        EXPECT_FALSE(outcome->timedOut);
        EXPECT_EQ(outcome->exitCode, 0);
        EXPECT_EQ(host_.lines, c.expected);
        expectCaptionsOfOneRun();
    }
}

TEST_F(RunnerTest, CutsALineLongerThanTheMemoKeepsWhereItIsRead) {
    // Cut at the memo's bound for one line, ending in "…" as the memo ends
    // one; the rest of it up to its line feed is dropped.
    const qsizetype most = platform::kMaxOutputLineBytes;
    const QString cut = QString(most - 3, u'x') + u'…';
    const std::vector<LinesCase> cases = {
        {"flood", {cut}},             // 50 MB without a line feed
        {"longthen", {cut, "next"}},  // 20 MB, a line feed, one more line
    };
    for (const LinesCase& c : cases) {
        SCOPED_TRACE(c.mode);
        host_ = test::RecordingHost();
        auto r = test::makeRun(1, compiler_, 60);
        r.option = QString::fromLatin1(c.mode);
        const auto outcome = run(r);
        ASSERT_TRUE(outcome.has_value());
        EXPECT_FALSE(outcome->timedOut);
        ASSERT_EQ(host_.lines.size(), c.expected.size());
        EXPECT_TRUE(host_.lines == c.expected) << "lines of " << host_.lines.front().size() << " characters";
        EXPECT_EQ(host_.lines.front().toUtf8().size(), most);
    }
}

TEST_F(RunnerTest, ReportsExitCodeAfterItsLines) {
    auto r = test::makeRun(2, compiler_);
    r.option = "exit3";
    const auto outcome = run(r);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_FALSE(outcome->timedOut);
    EXPECT_EQ(outcome->exitCode, 3);
    EXPECT_EQ(host_.lines, (QStringList{"one", "two"}));
    expectCaptionsOfOneRun();
    EXPECT_TRUE(noChildrenLeft());
}

TEST_F(RunnerTest, ShowsLinesAsTheyArriveAndKeepsTheHostAlive) {
    auto r = test::makeRun(1, compiler_);
    r.option = "slow";  // "early", a second's sleep, "late"
    const auto begin = Clock::now();
    const auto outcome = run(r);
    const auto end = Clock::now();
    ASSERT_TRUE(outcome.has_value());
    ASSERT_EQ(host_.lines, (QStringList{"early", "late"}));
    // Each line arrives when it is printed, not both at the end ...
    EXPECT_GE(host_.lineTimes[1] - host_.lineTimes[0], milliseconds(500));
    // ... and the host gets a keepAlive to show the first one well before the second.
    const auto after = std::find_if(host_.keepAlives.begin(), host_.keepAlives.end(),
                                    [&](auto t) { return t >= host_.lineTimes[0]; });
    ASSERT_NE(after, host_.keepAlives.end());
    EXPECT_LT(*after, host_.lineTimes[1]);
    test::expectKeptAlive(host_, begin, end);
}

struct TimeoutCase {
    const char* mode;
    QStringList lines;
    std::vector<const char*> pidFiles;
};

TEST_F(RunnerTest, StopsACompilerPastItsLimitWithEverythingItStarted) {
    const std::vector<TimeoutCase> cases = {
        {"hang", {}, {"child.pid", "grandchild.pid"}},              // silent, never ends
        {"stubborn", {}, {"child.pid", "grandchild.pid"}},          // ignores SIGTERM
        {"closeout", {}, {"child.pid"}},                            // closes its output, runs on
        {"holdpipe", {"before"}, {"grandchild.pid"}},               // exits, its child holds the pipe
        {"setsid", {}, {"child.pid", "helper.pid", "daemon.pid"}},  // helpers outside its group
        {"setsidhold", {"before"}, {"helper.pid"}},                 // exits, a setsid helper holds the pipe
    };
    const int limit = 2;
    for (const TimeoutCase& c : cases) {
        SCOPED_TRACE(c.mode);
        host_ = test::RecordingHost();
        for (const char* f : c.pidFiles)
            QFile::remove(work_ + u'/' + QLatin1String(f));
        auto r = test::makeRun(0, compiler_, limit);
        r.option = QString::fromLatin1(c.mode);
        const auto begin = Clock::now();
        const auto outcome = run(r);
        const auto end = Clock::now();
        ASSERT_TRUE(outcome.has_value());
        EXPECT_TRUE(outcome->timedOut);
        EXPECT_EQ(host_.lines, c.lines);
        // Not before the limit; and the fault this guards against ran on for
        // seconds past it, or never ended.
        EXPECT_GE(end - r.startTime, std::chrono::seconds(limit));
        EXPECT_LT(end - begin, std::chrono::seconds(limit + 4));
        test::expectKeptAlive(host_, begin, end);
        expectCaptionsOfOneRun();
        // Everything the compiler started is gone by the time the run returns.
        for (const char* f : c.pidFiles) {
            const qint64 pid = recordedPid(f);
            ASSERT_GT(pid, 0) << f;
            EXPECT_TRUE(test::processGone(pid)) << f << " " << pid;
        }
        EXPECT_TRUE(noChildrenLeft());
    }
}

TEST_F(RunnerTest, WhatACompilerThatEndedLeftRunningIsStopped) {
    QFile::remove(work_ + "/helper.pid");
    auto r = test::makeRun(0, compiler_);
    r.option = "detach";  // a setsid helper, not holding the output; exit 0
    const auto begin = Clock::now();
    const auto outcome = run(r);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_FALSE(outcome->timedOut);
    EXPECT_EQ(outcome->exitCode, 0);
    EXPECT_EQ(host_.lines, QStringList{"done"});
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(10)) << "no waiting for the limit";
    const qint64 helper = recordedPid("helper.pid");
    ASSERT_GT(helper, 0);
    EXPECT_TRUE(test::processGone(helper)) << helper;
    EXPECT_TRUE(noChildrenLeft());
}

// A host that takes its time over every line, as a memo under load may.
class SlowHost : public test::RecordingHost {
public:
    void appendOutputLine(const QString&) override {
        ++count;
        const auto until = Clock::now() + std::chrono::microseconds(20);
        while (Clock::now() < until) {
        }
    }
    qint64 count = 0;
};

TEST_F(RunnerTest, StopsAFloodingCompilerOnTimeHoweverSlowlyLinesAreTaken) {
    SlowHost host;
    auto r = test::makeRun(1, compiler_, 2);
    r.option = "floodshort";
    const auto begin = Clock::now();
    const auto outcome = compile::RunCompiler(r, host, lib_);
    const auto end = Clock::now();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->timedOut);
    EXPECT_LT(end - begin, std::chrono::seconds(2 + 4)) << "the limit is looked at while lines keep coming";
    EXPECT_GT(host.count, 1000);
    EXPECT_TRUE(noChildrenLeft());
}

TEST_F(RunnerTest, ZeroLimitTimesOutWithoutAnyLine) {
    auto r = test::makeRun(1, compiler_, 0);
    r.option = "nofinal";
    const auto begin = Clock::now();
    const auto outcome = run(r);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->timedOut);
    EXPECT_TRUE(host_.lines.isEmpty());
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(4));
    EXPECT_TRUE(noChildrenLeft());
}

TEST_F(RunnerTest, StartFailuresShowTheErrorCode) {
    const QString folder = work_ + "/a folder";
    QDir().mkpath(folder);
    const QString plain = install(work_ + "/not executable.sh", QFile::ReadOwner | QFile::WriteOwner);
    const QString orphan = work_ + "/no interpreter.sh";
    test::writeFile(orphan, "#!/nonexistent/interpreter\necho never\n");
    QFile::setPermissions(orphan, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const std::vector<std::pair<QString, int>> cases = {
        {folder, EACCES}, {plain, EACCES}, {orphan, ENOENT}, {work_ + "/missing", ENOENT}};
    for (const auto& [path, code] : cases) {
        SCOPED_TRACE(path.toStdString());
        host_ = test::RecordingHost();
        auto r = test::makeRun(0, path);
        r.source = "a.smc";
        EXPECT_FALSE(run(r).has_value());
        EXPECT_EQ(host_.warnings, QStringList{QStringLiteral("ｺﾝﾊﾟｲﾗの起動に失敗しました。\nｴﾗｰｺｰﾄﾞ:") + QString::number(code)});
        EXPECT_TRUE(host_.lines.isEmpty());
        EXPECT_TRUE(host_.captions.isEmpty());
        EXPECT_TRUE(noChildrenLeft());
    }
}

TEST_F(RunnerTest, AnOptionPastTheSystemsLimitForOneWordIsRefusedVisibly) {
    // Linux passes a single argument of at most 128 KiB to a program.
    auto r = test::makeRun(0, compiler_);
    r.option = "record " + QString(200000, u'o');
    r.source = "a.smc";
    EXPECT_FALSE(run(r).has_value());
    EXPECT_EQ(host_.warnings, QStringList{QStringLiteral("ｺﾝﾊﾟｲﾗの起動に失敗しました。\nｴﾗｰｺｰﾄﾞ:") + QString::number(E2BIG)});
    EXPECT_FALSE(QFile::exists(work_ + "/argv.rec"));
}

TEST_F(RunnerTest, AChildThatCannotBeOpenedForWaitingShowsTheOpenMessage) {
    // Four free descriptors: the two pipes fit, the handle to wait on does not.
    auto r = test::makeRun(1, compiler_);
    r.option = "hang";
    test::DescriptorLimit limit(4);
    ASSERT_TRUE(limit.ok());
    const auto outcome = run(r);
    limit.restore();
    EXPECT_FALSE(outcome.has_value());
    EXPECT_EQ(host_.warnings, QStringList{QStringLiteral("ｺﾝﾊﾟｲﾗのｵｰﾌﾟﾝに失敗しました。\nｴﾗｰｺｰﾄﾞ:") + QString::number(EMFILE)});
    EXPECT_TRUE(host_.captions.isEmpty());
    EXPECT_TRUE(noChildrenLeft());
}

struct SplitLine {
    QByteArray bytes;
    bool cut;
    bool operator==(const SplitLine&) const = default;
};

QList<SplitLine> split(const QByteArray& stream, qsizetype cutAt) {
    compile::OutputLineSplitter splitter;
    QList<SplitLine> lines;
    auto take = [&](const char* p, qsizetype n, bool cut) { lines.append({QByteArray(p, n), cut}); };
    splitter.feed(stream.constData(), cutAt, take);
    splitter.feed(stream.constData() + cutAt, stream.size() - cutAt, take);
    splitter.finish(take);
    return lines;
}

TEST(OutputLineSplitter, JoinsLinesAcrossReadsAndDropsCarriageReturns) {
    // Every split point of one byte stream gives the same lines.
    const QByteArray stream("a\r\nbc\rd\n\r\n\nlast\r");
    const QList<SplitLine> expected = {{"a", false}, {"bcd", false}, {"", false}, {"", false}, {"last", false}};
    for (qsizetype cut = 0; cut <= stream.size(); ++cut)
        EXPECT_TRUE(split(stream, cut) == expected) << "cut at " << cut;
}

TEST(OutputLineSplitter, CutsALongLineAtTheBoundWithoutSplittingACharacter) {
    using S = compile::OutputLineSplitter;
    const QByteArray kana("\xe3\x82\xa2");  // three bytes of UTF-8
    const QByteArray exact(S::kMaxLineBytes, 'x');
    // One x less than the bound leaves a character across the cut.
    const QByteArray across = QByteArray(S::kCutLineBytes - 1, 'x') + kana.repeated(4);
    const QByteArray withCrs = QByteArray(S::kCutLineBytes - 2, 'x') + "\r\r" + QByteArray(10, 'y');
    struct Case {
        const char* name;
        QByteArray stream;
        QList<SplitLine> expected;
    };
    const std::vector<Case> cases = {
        {"exactly the bound", exact + "\nnext\n", {{exact, false}, {"next", false}}},
        {"one byte more", exact + "x\nnext\n", {{exact.left(S::kCutLineBytes), true}, {"next", false}}},
        {"no line feed", exact + exact, {{exact.left(S::kCutLineBytes), true}}},
        {"a character across the cut", across + "\n", {{across.left(S::kCutLineBytes - 1), true}}},
        {"CRs before the cut", withCrs + "\nnext", {{QByteArray(S::kCutLineBytes - 2, 'x') + "yy", true}, {"next", false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (qsizetype at : {qsizetype(0), qsizetype(1) << 20, S::kCutLineBytes, c.stream.size() - 3}) {
            const QList<SplitLine> lines = split(c.stream, at);
            EXPECT_TRUE(lines == c.expected) << "read split at " << at << ", " << lines.size() << " lines";
        }
    }
}

}  // namespace
