// runner_bench [lines]: the runner reading `cat` of N lines of 60 bytes
// against a plain read loop on a pipe from the same `cat`; then the time from
// calling RunCompiler to the child's start.
#include "compile/CompilerLibrary.h"
#include "compile/CompilerRunner.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

long long nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

class CountingHost : public zek::compile::RunnerHost {
public:
    void appendOutputLine(const QString& line) override {
        ++lines;
        chars += line.size();
        if (first.isEmpty())
            first = line;
    }
    QString caption() const override { return QStringLiteral("bench"); }
    void setCaption(const QString&) override {}
    void showWarning(const QString& text) override { std::fprintf(stderr, "warning: %s\n", qPrintable(text)); }
    void keepAlive() override {}
    long long lines = 0;
    long long chars = 0;
    QString first;
};

// `cat file` into a pipe, drained by the simplest read loop. Returns ms.
// `pipeBytes` > 0 enlarges the pipe as the runner does.
double plainPipe(const char* file, long long& bytes, int pipeBytes = 0) {
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    if (pipeBytes > 0)
        fcntl(fds[0], F_SETPIPE_SZ, pipeBytes);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const long long t0 = nowNs();
    pid_t pid = -1;
    char* argv[] = {const_cast<char*>("/bin/cat"), const_cast<char*>(file), nullptr};
    posix_spawn(&pid, "/bin/cat", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    static char buffer[65536];
    bytes = 0;
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        bytes += n;
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return static_cast<double>(nowNs() - t0) / 1e6;
}

double throughRunner(const QString& file, long long& lines) {
    CountingHost host;
    zek::compile::CompilerLibrary lib;
    zek::compile::CompilerRun run;
    run.kind = zek::compile::kMml2mid;
    run.compilerPath = QStringLiteral("/bin/cat");
    run.source = file;
    run.timerExit = 600;
    run.startTime = std::chrono::steady_clock::now();
    const long long t0 = nowNs();
    zek::compile::RunCompiler(run, host, lib);
    const double ms = static_cast<double>(nowNs() - t0) / 1e6;
    lines = host.lines;
    return ms;
}

double startOverhead() {
    CountingHost host;
    zek::compile::CompilerLibrary lib;
    zek::compile::CompilerRun run;
    run.kind = zek::compile::kMml2mid;
    run.compilerPath = QStringLiteral(RUNNER_STAMP);
    run.timerExit = 600;
    run.startTime = std::chrono::steady_clock::now();
    const long long t0 = nowNs();
    zek::compile::RunCompiler(run, host, lib);
    return static_cast<double>(host.first.toLongLong() - t0) / 1e6;
}

// The same measure for a bare posix_spawn of the stamp program into a pipe.
double bareStart() {
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    char* argv[] = {const_cast<char*>(RUNNER_STAMP), nullptr};
    char* envp[] = {nullptr};
    const long long t0 = nowNs();
    pid_t pid = -1;
    posix_spawn(&pid, RUNNER_STAMP, &actions, nullptr, argv, envp);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char text[64] = {};
    ssize_t got = 0, n;
    while (got < static_cast<ssize_t>(sizeof text) - 1 && (n = read(fds[0], text + got, sizeof text - 1 - got)) > 0)
        got += n;
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return static_cast<double>(std::atoll(text) - t0) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const long long lineCount = argc > 1 ? std::atoll(argv[1]) : 1000000;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("output.txt"));
    {
        QByteArray line(59, 'm');
        line.append('\n');
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly))
            return 1;
        QByteArray block;
        for (int i = 0; i < 1000; ++i)
            block.append(line);
        for (long long i = 0; i < lineCount / 1000; ++i)
            out.write(block);
    }
    const QByteArray fileName = QFile::encodeName(file);

    std::vector<double> plain, plainWide, runner;
    long long bytes = 0, lines = 0;
    for (int round = 0; round < 9; ++round) {
        plain.push_back(plainPipe(fileName.constData(), bytes));
        plainWide.push_back(plainPipe(fileName.constData(), bytes, 1 << 20));
        runner.push_back(throughRunner(file, lines));
    }
    const double p = median(plain), w = median(plainWide), r = median(runner);
    std::printf("output: %lld lines (%lld bytes), medians of %zu rounds\n", lines, bytes, plain.size());
    std::printf("  plain pipe read loop            %8.1f ms\n", p);
    std::printf("  plain loop, 1 MiB pipe          %8.1f ms\n", w);
    std::printf("  runner (split, decode, host)    %8.1f ms\n", r);
    std::printf("  ratio runner/plain              %8.2f (target <= 2)\n", r / p);
    std::printf("  ratio runner/plain 1 MiB pipe   %8.2f\n", r / w);

    std::vector<double> overhead, bare;
    for (int i = 0; i < 51; ++i) {
        overhead.push_back(startOverhead());
        bare.push_back(bareStart());
    }
    std::sort(overhead.begin(), overhead.end());
    std::printf("start: call to the child's first instruction\n");
    std::printf("  bare posix_spawn       median %6.2f ms\n", median(bare));
    std::printf("  RunCompiler            median %6.2f ms, p90 %6.2f ms, max %6.2f ms (target median <= 10 ms)\n",
                median(overhead), overhead[overhead.size() * 9 / 10], overhead.back());
    std::printf("  ratio RunCompiler/bare %8.2f\n", median(overhead) / median(bare));
    return 0;
}
