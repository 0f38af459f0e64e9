#include "compile/CompilerRunner.h"

#include "compile/CompilerLibrary.h"
#include "platform/ChildProcess.h"
#include "platform/ShellWords.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <utility>
#include <vector>

namespace zek::compile {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Longest wait between two looks at the clock, the child and the host.
constexpr milliseconds kWaitSlice{25};
// Between two keepAlive calls while output streams in.
constexpr milliseconds kKeepAliveEvery{10};
// One burst of reading before the limit and the child are looked at again:
// so many bytes, or so much time, whichever comes first, so that the limit
// holds however fast a compiler prints and however slowly lines are taken.
constexpr qsizetype kBurstBytes = qsizetype(4) << 20;
constexpr milliseconds kBurstTime{50};
constexpr qsizetype kReadChunk = qsizetype(256) << 10;
constexpr int kLinesPerClockLook = 64;

// Reads the child's output, cuts it into lines for the host and keeps the
// host alive while it waits.
class OutputPump {
public:
    OutputPump(platform::ChildProcess& child, RunnerHost& host) : child_(child), host_(host), chunk_(kReadChunk) {}

    // One round: read what is there; when nothing was there, wait a little.
    void step() {
        if (readBurst() == 0 && !(child_.outputEnded() && child_.hasExited()))
            child_.waitForActivity(kWaitSlice);
        keepAliveNow(false);
    }

    void finish() {
        splitter_.finish([this](const char* p, qsizetype n, bool cut) { deliver(p, n, cut); });
        keepAliveNow(true);
    }

    void keepAliveNow(bool force) {
        const auto now = Clock::now();
        if (force || now - lastKeepAlive_ >= kKeepAliveEvery) {
            host_.keepAlive();
            lastKeepAlive_ = now;
        }
    }

private:
    qsizetype readBurst() {
        qsizetype total = 0;
        const auto start = Clock::now();
        while (total < kBurstBytes && Clock::now() - start < kBurstTime) {
            const auto r = child_.read(chunk_.data(), static_cast<qsizetype>(chunk_.size()));
            if (r.status != platform::ChildProcess::ReadResult::Status::Data)
                break;
            chunkEnd_ = chunk_.data() + r.size;
            chunkAscii_ = isAscii(chunk_.data(), r.size);
            splitter_.feed(chunk_.data(), r.size, [this](const char* p, qsizetype n, bool cut) { deliver(p, n, cut); });
            chunkAscii_ = false;
            total += r.size;
        }
        return total;
    }

    void deliver(const char* p, qsizetype n, bool cut) {
        // Most compiler output is plain ASCII: no UTF-8/CP932 decision needed.
        const bool inAsciiChunk = chunkAscii_ && p >= chunk_.data() && p + n <= chunkEnd_;
        if (inAsciiChunk || isAscii(p, n))
            line_ = QLatin1String(p, n);  // reuses the line's storage unless the host kept a copy of it
        else
            line_ = platform::decodeOutputLine(QByteArray::fromRawData(p, n));
        if (cut)
            line_.append(u'…');
        host_.appendOutputLine(line_);
        // A host that is slow to take lines still gets its keepAlive in a long burst.
        if (++linesSinceClockLook_ >= kLinesPerClockLook) {
            linesSinceClockLook_ = 0;
            keepAliveNow(false);
        }
    }

    static bool isAscii(const char* p, qsizetype n) {
        constexpr quint64 high = 0x8080808080808080ULL;
        qsizetype i = 0;
        for (; i + 8 <= n; i += 8) {
            quint64 word;
            std::memcpy(&word, p + i, sizeof word);
            if (word & high)
                return false;
        }
        for (; i < n; ++i) {
            if (static_cast<unsigned char>(p[i]) & 0x80)
                return false;
        }
        return true;
    }

    platform::ChildProcess& child_;
    RunnerHost& host_;
    std::vector<char> chunk_;
    const char* chunkEnd_ = nullptr;
    bool chunkAscii_ = false;  // the whole block just read is ASCII
    int linesSinceClockLook_ = 0;
    QString line_;
    OutputLineSplitter splitter_;
    Clock::time_point lastKeepAlive_ = Clock::now();
};

bool limitPassed(const CompilerRun& run) {
    return Clock::now() - run.startTime >= std::chrono::seconds(run.timerExit);
}

std::optional<CompileOutcome> runChildProcess(const CompilerRun& run, RunnerHost& host) {
    platform::ChildProcess child;
    if (auto failure = child.start(run.compilerPath, compilerArguments(run), compilerEnvironment(run))) {
        using Stage = platform::SpawnFailure::Stage;
        if (failure->stage == Stage::Start)
            host.showWarning(kStartFailedMessage + QString::number(failure->code));
        else if (failure->stage == Stage::Wait)
            host.showWarning(kOpenFailedMessage + QString::number(failure->code));
        return std::nullopt;
    }

    const QString savedCaption = host.caption();
    host.setCaption(savedCaption + kRunningSuffix);
    OutputPump pump(child, host);
    CompileOutcome outcome;

    // Phase 1: the child runs.
    while (!child.hasExited()) {
        if (limitPassed(run)) {
            outcome.timedOut = true;
            break;
        }
        pump.step();
    }
    outcome.exitCode = child.hasExited() ? child.exitCode() : -1;
    child.closeInput();
    host.setCaption(savedCaption + kDrainingSuffix);

    // Phase 2: what the child (or anything it left behind) still has to say.
    while (!outcome.timedOut && !child.outputEnded()) {
        if (limitPassed(run)) {
            outcome.timedOut = true;
            break;
        }
        pump.step();
    }
    pump.finish();

    // Whatever is left is stopped: a compiler past its limit, so that it
    // cannot write the MIDI file later or pile up with the next compile, and
    // what a compiler that ended left behind, so that nothing it started
    // outlives its run.
    child.stopAll(kTerminateGrace, [&pump] { pump.keepAliveNow(true); });
    host.setCaption(savedCaption);
    return outcome;
}

// The process's current folder, put back to `folder` on every path out.
class CurrentFolderReset {
public:
    explicit CurrentFolderReset(QString folder) : folder_(std::move(folder)) {}
    CurrentFolderReset(const CurrentFolderReset&) = delete;
    CurrentFolderReset& operator=(const CurrentFolderReset&) = delete;
    ~CurrentFolderReset() {
        if (!folder_.isEmpty())
            QDir::setCurrent(folder_);
    }

private:
    QString folder_;
};

QString absoluteOrEmpty(const QString& path) {
    return path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
}

std::optional<CompileOutcome> runLibrary(const CompilerRun& run, RunnerHost& host, CompilerLibrary& lib) {
    // Names typed relative to ZEK's folder keep meaning the same files after
    // the change of folder below.
    const QString source = absoluteOrEmpty(run.source);
    const QString midi = absoluteOrEmpty(run.midi);
    const QString libraryPath = absoluteOrEmpty(run.compilerPath);

    CurrentFolderReset reset(run.programFolder);
    QDir::setCurrent(QFileInfo(libraryPath).absolutePath());

    QFile file(source);
    if (source.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        host.showWarning(kSourceUnreadableMessage + u'\n' + run.source);
        return std::nullopt;
    }
    const QByteArray sourceText = file.readAll();  // QByteArray keeps a NUL after its data
    if (file.error() != QFileDevice::NoError) {
        host.showWarning(kSourceUnreadableMessage + u'\n' + run.source);
        return std::nullopt;
    }
    file.close();

    if (!lib.bind(libraryPath, run.programFolder)) {
        host.showWarning(kLibraryLoadFailedMessage + u'\n' + lib.errorText());
        return std::nullopt;
    }

    CompilerLibrary::Buffer buffer{};
    CompileOutcome outcome{false, -1};
    lib.getVerInfo(buffer);
    const QString version = platform::decodeOutputLine(QByteArray(buffer));
    host.appendOutputLine(QStringLiteral("dSakura ---------------------------------"));
    host.appendOutputLine(QStringLiteral("           in-process compiler via ZEK"));
    host.appendOutputLine(QStringLiteral("-----------------------------------------"));
    host.appendOutputLine(QStringLiteral("    Compiler Ver.") + version);
    host.appendOutputLine(QStringLiteral("--------------------------------- dSakura"));
    host.appendOutputLine(QString());
    host.appendOutputLine(QStringLiteral("Compile Start ..."));
    host.keepAlive();

    if (lib.mmlToMidi(sourceText.constData(), QFile::encodeName(midi), buffer))
        outcome.exitCode = 0;
    host.appendOutputLine(outcome.exitCode == 0 ? QStringLiteral("ok.")
                                                : platform::decodeOutputLine(QByteArray(buffer)));
    return outcome;
}

}  // namespace

QStringList compilerArguments(const CompilerRun& run) {
    QStringList args = platform::splitShellWords(run.option);
    if (!run.source.isEmpty()) {
        args.append(run.source);
        if (!run.midi.isEmpty())
            args.append(run.midi);
    }
    return args;
}

QStringList compilerEnvironment(const CompilerRun& run) {
    if (run.kind == kSpice)
        return {QStringLiteral("SMC_INCLUDE=") + run.smcInclude};
    return {};
}

std::optional<CompileOutcome> RunCompiler(const CompilerRun& run, RunnerHost& host, CompilerLibrary& lib) {
    if (run.kind == kDSakura)
        return runLibrary(run, host, lib);
    return runChildProcess(run, host);
}

}  // namespace zek::compile
