#include "platform/ChildProcess.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using zek::platform::ChildProcess;
using zek::platform::SpawnFailure;
using std::chrono::milliseconds;

namespace {

bool noChildrenLeft() {
    return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

QByteArray readAll(ChildProcess& child) {
    QByteArray out;
    char buffer[4096];
    while (!child.outputEnded()) {
        const auto r = child.read(buffer, sizeof buffer);
        if (r.status == ChildProcess::ReadResult::Status::Data)
            out.append(buffer, r.size);
        else if (r.status == ChildProcess::ReadResult::Status::NothingYet)
            child.waitForActivity(milliseconds(50));
    }
    return out;
}

void waitExit(ChildProcess& child) {
    while (!child.hasExited())
        child.waitForActivity(milliseconds(50));
}

TEST(ChildProcess, GetsExactlyItsEnvironmentPipesAndNothingElseOfOurs) {
    // A descriptor without close-on-exec must still not reach the child.
    const int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 3);
    const QString script = QStringLiteral(
        "test -p /dev/stdin && echo stdin-pipe; "
        "test -e /proc/$$/fd/%1 && echo leaked; "
        "echo err >&2; "
        "tr '\\000' '\\n' < /proc/$$/environ; "
        "test \"$(cut -d' ' -f5 /proc/$$/stat)\" = $$ && echo own-group").arg(leaky);
    {
        ChildProcess child;
        ASSERT_FALSE(child.start("/bin/sh", {"-c", script}, {"ONLY=this one", "SECOND="}).has_value());
        const QByteArray out = readAll(child);
        waitExit(child);
        EXPECT_EQ(child.exitCode(), 0);
        EXPECT_EQ(out, QByteArray("stdin-pipe\nerr\nONLY=this one\nSECOND=\nown-group\n"));
    }
    ::close(leaky);
    EXPECT_TRUE(noChildrenLeft());
}

TEST(ChildProcess, ReportsExitByASignal) {
    ChildProcess child;
    ASSERT_FALSE(child.start("/bin/sh", {"-c", "kill -9 $$"}, {}).has_value());
    waitExit(child);
    EXPECT_EQ(child.exitCode(), 128 + 9);
}

TEST(ChildProcess, ARunningChildIsStoppedAndReapedWhenDropped) {
    int pid = -1;
    {
        ChildProcess child;
        ASSERT_FALSE(child.start("/bin/sleep", {"1000"}, {}).has_value());
        pid = child.pid();
    }
    EXPECT_TRUE(noChildrenLeft());
    EXPECT_EQ(::kill(pid, 0), -1);
}

TEST(ChildProcess, AChildThatCannotBeWaitedForIsNotLetLoose) {
    // Leave exactly four free descriptors: both pipes fit, the pidfd does not.
    std::optional<SpawnFailure> failure;
    {
        zek::test::DescriptorLimit limit(4);
        ASSERT_TRUE(limit.ok());
        ChildProcess child;
        failure = child.start("/bin/sleep", {"1000"}, {});
    }
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->stage, SpawnFailure::Stage::Wait);
    EXPECT_EQ(failure->code, EMFILE);
    EXPECT_TRUE(noChildrenLeft());
}

}  // namespace
