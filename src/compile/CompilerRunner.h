#pragma once
// Runs the current compiler on the current job: a console compiler as a child
// process with its output shown line by line under the time limit, or the
// in-process library with its banner.
#include "compile/CompileOutcome.h"
#include "platform/ChildProcess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>

namespace zek::compile {

class CompilerLibrary;

// What the runner needs of the main window. The host applies the message rule
// (drops a warning while a message box is already showing) and decides how
// lines reach the memo.
class RunnerHost {
public:
    virtual ~RunnerHost() = default;
    virtual void appendOutputLine(const QString& line) = 0;
    virtual QString caption() const = 0;
    virtual void setCaption(const QString& caption) = 0;
    virtual void showWarning(const QString& text) = 0;
    // Called often while the runner waits (at least every ~50 ms, and after a
    // batch of lines): the host repaints and lets the window system know it is
    // alive, but handles no user input and runs no timer tick.
    virtual void keepAlive() = 0;
};

enum CompilerKindIndex { kSpice = 0, kMml2mid = 1, kCSakura = 2, kDSakura = 3 };

struct CompilerRun {
    int kind = kSpice;       // 0 SPICE, 1 MML2MID, 2 cSakura (child process), 3 dSakura (library)
    QString compilerPath;    // the kind's path setting
    QString source, midi, option;  // texts of edtFnameSmc, edtFnameMid, edtOption
    QString smcInclude;      // setting smcinclude
    int timerExit = 15;      // setting timerexit, seconds
    // When RunCompile started. The limit has passed once timerExit seconds
    // have gone by since, on a clock that a change of the time of day leaves alone.
    std::chrono::steady_clock::time_point startTime;
    QString programFolder;   // ZEK's program folder (the library path returns the cwd here)
};

// Messages of the runner, shown through RunnerHost::showWarning.
inline const QString kStartFailedMessage = QStringLiteral("ｺﾝﾊﾟｲﾗの起動に失敗しました。\nｴﾗｰｺｰﾄﾞ:");
inline const QString kOpenFailedMessage = QStringLiteral("ｺﾝﾊﾟｲﾗのｵｰﾌﾟﾝに失敗しました。\nｴﾗｰｺｰﾄﾞ:");
// Followed by a line break and the file name.
inline const QString kSourceUnreadableMessage = QStringLiteral("ｿｰｽﾌｧｲﾙの読み込みに失敗しました。");
// Followed by a line break and the loader's error text.
inline const QString kLibraryLoadFailedMessage = QStringLiteral("ｺﾝﾊﾟｲﾗのﾗｲﾌﾞﾗﾘを読み込めませんでした。");

inline const QString kRunningSuffix = QStringLiteral(" - ｺﾝﾊﾟｲﾙ中");
inline const QString kDrainingSuffix = QStringLiteral(" - 後処理中");

// At the end of a run, what is left of the compiler and everything it started
// gets SIGTERM, and SIGKILL this much later.
inline constexpr std::chrono::milliseconds kTerminateGrace{300};

// argv after the program: the option text split into words as a shell splits
// them, then the source (when not empty), then the MIDI name (when both are set).
QStringList compilerArguments(const CompilerRun& run);
// The child's whole environment: SMC_INCLUDE for SPICE, nothing for the others.
QStringList compilerEnvironment(const CompilerRun& run);

// std::nullopt: the compiler was not started (any message has been shown).
std::optional<CompileOutcome> RunCompiler(const CompilerRun& run, RunnerHost& host, CompilerLibrary& lib);

// Cuts compiler output into lines: a line feed ends a line, a carriage return
// is dropped wherever it stands, any other byte belongs to the line. A line
// longer than kMaxLineBytes is handed on cut, as soon as it is that long:
// its first bytes, with room for the "…" (three bytes of UTF-8) that ends a
// cut line as it ends one the memo cuts. The rest of it, up to its line feed,
// is dropped, so memory stays bounded whatever a compiler prints.
class OutputLineSplitter {
public:
    static constexpr qsizetype kMaxLineBytes = platform::kMaxOutputLineBytes;
    static constexpr qsizetype kCutLineBytes = kMaxLineBytes - 3;

    // onLine(const char* data, qsizetype size, bool cut) for every line
    // completed (or cut) by `data`.
    template <typename OnLine>
    void feed(const char* data, qsizetype size, OnLine&& onLine) {
        const char* p = data;
        const char* const end = data + size;
        // One look for CRs in the whole block spares a look in every line.
        const bool anyCr = std::memchr(data, '\r', static_cast<size_t>(size)) != nullptr;
        while (p < end) {
            const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            const char* segmentEnd = lf ? lf : end;
            if (dropping_) {
                dropping_ = !lf;
            } else if (lf && pending_.isEmpty() && lf - p <= kMaxLineBytes &&
                       (!anyCr || !std::memchr(p, '\r', static_cast<size_t>(lf - p)))) {
                onLine(p, lf - p, false);  // the common case: a whole line inside one read
            } else {
                appendWithoutCr(p, segmentEnd);
                if (pending_.size() > kMaxLineBytes) {
                    onLine(pending_.constData(), cutLength(), true);
                    pending_.resize(0);
                    dropping_ = !lf;
                } else if (lf) {
                    onLine(pending_.constData(), pending_.size(), false);
                    pending_.resize(0);
                }
            }
            if (!lf)
                break;
            p = lf + 1;
        }
    }

    // The bytes after the last line feed, as a last line (nothing when empty).
    template <typename OnLine>
    void finish(OnLine&& onLine) {
        if (!pending_.isEmpty())
            onLine(pending_.constData(), pending_.size(), false);
        pending_.clear();
        dropping_ = false;
    }

private:
    // Keeps at most one byte past kMaxLineBytes: enough to know the line is too long.
    void appendWithoutCr(const char* from, const char* to) {
        while (from < to && pending_.size() <= kMaxLineBytes) {
            const auto* cr = static_cast<const char*>(std::memchr(from, '\r', static_cast<size_t>(to - from)));
            const char* stop = std::min(cr ? cr : to, from + (kMaxLineBytes + 1 - pending_.size()));
            // A long line gets its room at once, not by doubling past it.
            if (const qsizetype want = pending_.size() + (stop - from); want > pending_.capacity() && want > (1 << 20))
                pending_.reserve(kMaxLineBytes + 1);
            pending_.append(from, stop - from);
            from = stop == cr ? cr + 1 : stop;
        }
    }

    // kCutLineBytes, less the start of a UTF-8 character cut through.
    qsizetype cutLength() const {
        qsizetype n = kCutLineBytes;
        for (int back = 0; back < 3 && (static_cast<unsigned char>(pending_[n]) & 0xC0) == 0x80; ++back)
            --n;
        return (static_cast<unsigned char>(pending_[n]) & 0xC0) == 0x80 ? kCutLineBytes : n;
    }

    QByteArray pending_;
    bool dropping_ = false;  // the rest of a cut line
};

}  // namespace zek::compile
