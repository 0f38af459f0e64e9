#pragma once
// A RunnerHost that writes down everything the runner tells it.
#include "compile/CompilerRunner.h"

#include <gtest/gtest.h>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <vector>

namespace zek::test {

class RecordingHost : public compile::RunnerHost {
public:
    using Clock = std::chrono::steady_clock;

    void appendOutputLine(const QString& line) override {
        lines.append(line);
        lineTimes.push_back(Clock::now());
    }
    QString caption() const override { return current; }
    void setCaption(const QString& caption) override {
        current = caption;
        captions.append(caption);
    }
    void showWarning(const QString& text) override { warnings.append(text); }
    void keepAlive() override { keepAlives.push_back(Clock::now()); }

    // Longest stretch between `from`, the keepAlive calls and `to`.
    std::chrono::milliseconds longestSilence(Clock::time_point from, Clock::time_point to) const {
        Clock::duration longest{};
        Clock::time_point last = from;
        for (auto t : keepAlives) {
            longest = std::max(longest, t - last);
            last = t;
        }
        longest = std::max(longest, to - last);
        return std::chrono::duration_cast<std::chrono::milliseconds>(longest);
    }

    QString current = QStringLiteral("ZEK - song.mml");
    QStringList lines;
    std::vector<Clock::time_point> lineTimes;
    QStringList captions;
    QStringList warnings;
    std::vector<Clock::time_point> keepAlives;
};

// The runner never leaves its host without a keepAlive for long: one that
// blocked until the child ended or the limit passed would be silent for the
// whole wait, and call it far less often than once per 100 ms on average.
// It calls it every 25 ms or so; the bounds are loose on purpose, as a loaded
// machine may stall the test process itself for a while.
inline void expectKeptAlive(const RecordingHost& host, RecordingHost::Clock::time_point from,
                            RecordingHost::Clock::time_point to) {
    using std::chrono::milliseconds;
    EXPECT_LT(host.longestSilence(from, to), milliseconds(1500));
    const auto waited = std::chrono::duration_cast<milliseconds>(to - from);
    EXPECT_GE(static_cast<qint64>(host.keepAlives.size()), waited.count() / 100);
}

inline compile::CompilerRun makeRun(int kind, const QString& compiler, int timerExit = 30) {
    compile::CompilerRun run;
    run.kind = kind;
    run.compilerPath = compiler;
    run.timerExit = timerExit;
    run.startTime = std::chrono::steady_clock::now();
    return run;
}

}  // namespace zek::test
