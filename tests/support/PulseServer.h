#pragma once
// A private sound server for tests that listen to what ZEK plays: PulseAudio
// with one null sink ("zeksink") on a socket in a folder of its own, and
// recordings of that sink's monitor made with parec. Nothing is heard and no
// sound server of the machine is touched; several test programs can each run
// their own at once. Everything stops when the objects go.
#include "support/TestEnv.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <vector>

namespace zek::test {

class PulseServer {
public:
    PulseServer();
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    bool ok() const { return skipReason_.isEmpty(); }
    QString skipReason() const { return skipReason_; }
    QString address() const;  // "unix:<socket>"

    // Makes this process (and the children it starts) play to this server.
    void use(ScopedEnv& env) const;
    QProcessEnvironment environment(QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;

private:
    void startPacing();

    QTemporaryDir dir_;
    std::unique_ptr<QProcess> daemon_;
    std::unique_ptr<QProcess> pacing_;
    QString skipReason_;
};

// Leaves this process without any audio output: the sound-server address
// leads nowhere and ALSA's default device names a card that does not exist.
void useNoAudioOutput(ScopedEnv& env, const QString& folder);

// Records the null sink's monitor: 44.1 kHz, 16-bit, stereo, in real time.
class PulseRecording {
public:
    static constexpr int kRate = 44100;

    explicit PulseRecording(const PulseServer& server);
    ~PulseRecording();
    bool ok() const { return ok_; }

    int64_t frames() const;  // recorded so far
    bool waitForFrames(int64_t frames, int timeoutMs);
    static int64_t framesFor(int ms) { return int64_t(ms) * kRate / 1000; }

    // Interleaved samples of [from, to) (clipped to what has been recorded).
    std::vector<int16_t> samples(int64_t from, int64_t to) const;
    // Root mean square of [from, to); channel 0 left, 1 right, -1 both.
    double rms(int64_t from, int64_t to, int channel = -1) const;
    // The first frame at or after `from` that starts a 10 ms stretch louder
    // than `threshold`; -1 when there is none in what has been recorded.
    int64_t firstLoudFrame(int64_t from, double threshold) const;
    // The first frame at or after `from` that starts `length` frames quieter
    // than `threshold` (in 10 ms stretches); -1 when there is none yet.
    int64_t firstQuietFrame(int64_t from, double threshold, int64_t length) const;

private:
    QString file_;
    std::unique_ptr<QProcess> parec_;
    bool ok_ = false;
};

}  // namespace zek::test
