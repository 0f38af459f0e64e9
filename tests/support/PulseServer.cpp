#include "support/PulseServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <cmath>
#include <csignal>
#include <sys/prctl.h>
#include <sys/stat.h>

namespace zek::test {
namespace {

// Children die with the test, whatever ends it.
void dieWithParent(QProcess& p) {
    p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

void stop(QProcess& p) {
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

}  // namespace

PulseServer::PulseServer() {
    const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    const QString pactl = QStandardPaths::findExecutable(QStringLiteral("pactl"));
    if (pulseaudio.isEmpty() || pactl.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty()) {
        skipReason_ = QStringLiteral("needs pulseaudio and pulseaudio-utils (scripts/setup.sh installs them)");
        return;
    }
    if (!dir_.isValid()) {
        skipReason_ = QStringLiteral("no temporary folder for the sound server");
        return;
    }
    const QString run = dir_.path() + QStringLiteral("/run");
    QDir().mkpath(run);
    ::chmod(QFile::encodeName(run).constData(), 0700);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "PULSE_SERVER", "PULSE_SINK"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("HOME"), dir_.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), run + QStringLiteral("/pulse"));
    env.insert(QStringLiteral("PULSE_STATE_PATH"), dir_.path() + QStringLiteral("/state"));

    daemon_ = std::make_unique<QProcess>();
    daemon_->setProcessEnvironment(env);
    daemon_->setStandardOutputFile(QProcess::nullDevice());
    daemon_->setStandardErrorFile(dir_.path() + QStringLiteral("/pulseaudio.log"));
    dieWithParent(*daemon_);
    daemon_->start(pulseaudio,
                   {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                    QStringLiteral("--disallow-exit"), QStringLiteral("--use-pid-file=no"),
                    QStringLiteral("--realtime=no"), QStringLiteral("--high-priority=no"),
                    QStringLiteral("--log-target=stderr"), QStringLiteral("--log-level=error"), QStringLiteral("-L"),
                    QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") + dir_.path() +
                        QStringLiteral("/native"),
                    QStringLiteral("-L"), QStringLiteral("module-null-sink sink_name=zeksink rate=44100 channels=2")});
    if (!daemon_->waitForStarted(20000)) {
        skipReason_ = QStringLiteral("pulseaudio did not start");
        return;
    }
    // Ready once it answers; a loaded machine may take a while.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 30000 && daemon_->state() == QProcess::Running) {
        QProcess probe;
        probe.start(pactl, {QStringLiteral("-s"), address(), QStringLiteral("info")});
        if (probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0) {
            startPacing();
            return;
        }
        QThread::msleep(50);
    }
    skipReason_ = QStringLiteral("pulseaudio did not answer: ") +
                  QString::fromLocal8Bit(readFile(dir_.path() + QStringLiteral("/pulseaudio.log")));
}

PulseServer::~PulseServer() {
    if (pacing_)
        stop(*pacing_);
    if (daemon_)
        stop(*daemon_);
}

void PulseServer::startPacing() {
    // A null sink wakes as seldom as its listeners allow (up to every two
    // seconds) and then starves a stream with a short buffer. A listener
    // with a short latency makes it take the sound in real time, as a sound
    // card does.
    pacing_ = std::make_unique<QProcess>();
    pacing_->setStandardOutputFile(QProcess::nullDevice());
    pacing_->setStandardErrorFile(QProcess::nullDevice());
    dieWithParent(*pacing_);
    pacing_->start(QStringLiteral("parec"), {QStringLiteral("--server=") + address(),
                                             QStringLiteral("--device=zeksink.monitor"), QStringLiteral("--raw"),
                                             QStringLiteral("--latency-msec=10")});
    if (!pacing_->waitForStarted(20000)) {
        skipReason_ = QStringLiteral("parec did not start");
        return;
    }
    // The sink would finish the long sleep it began before the listener
    // came; a suspend and resume starts its clock afresh at the new pace.
    auto pactl = [this](const QStringList& args) {
        QProcess probe;
        probe.start(QStringLiteral("pactl"), QStringList{QStringLiteral("-s"), address()} + args);
        probe.waitForFinished(10000);
        return QString::fromLocal8Bit(probe.readAllStandardOutput());
    };
    pactl({QStringLiteral("suspend-sink"), QStringLiteral("zeksink"), QStringLiteral("1")});
    pactl({QStringLiteral("suspend-sink"), QStringLiteral("zeksink"), QStringLiteral("0")});
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000) {
        const QString out = pactl({QStringLiteral("list"), QStringLiteral("sinks")});
        const int at = out.indexOf(QStringLiteral("Latency: "));
        if (at >= 0 && out.mid(at + 9).section(' ', 0, 0).toLongLong() < 100000)
            return;
        QThread::msleep(50);
    }
    skipReason_ = QStringLiteral("the null sink did not take up the pace of its listener");
}

QString PulseServer::address() const { return QStringLiteral("unix:") + dir_.path() + QStringLiteral("/native"); }

void PulseServer::use(ScopedEnv& env) const {
    env.set("PULSE_SERVER", address().toLocal8Bit());
    env.unset("PULSE_SINK");
}

QProcessEnvironment PulseServer::environment(QProcessEnvironment base) const {
    base.insert(QStringLiteral("PULSE_SERVER"), address());
    base.remove(QStringLiteral("PULSE_SINK"));
    return base;
}

void useNoAudioOutput(ScopedEnv& env, const QString& folder) {
    const QString config = folder + QStringLiteral("/no-alsa.conf");
    writeFile(config, "pcm.!default { type hw card 99 }\n");
    env.set("PULSE_SERVER", QFile::encodeName(QStringLiteral("unix:") + folder + QStringLiteral("/no-server")));
    env.set("ALSA_CONFIG_PATH", QFile::encodeName(config));
}

PulseRecording::PulseRecording(const PulseServer& server) {
    static int serial = 0;
    file_ = QDir::tempPath() + QStringLiteral("/zek-recording-%1-%2.raw").arg(QCoreApplication::applicationPid()).arg(++serial);
    parec_ = std::make_unique<QProcess>();
    parec_->setStandardOutputFile(file_);
    parec_->setStandardErrorFile(QProcess::nullDevice());
    dieWithParent(*parec_);
    parec_->start(QStringLiteral("parec"),
                  {QStringLiteral("--server=") + server.address(), QStringLiteral("--device=zeksink.monitor"),
                   QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(kRate),
                   QStringLiteral("--channels=2"), QStringLiteral("--raw"), QStringLiteral("--latency-msec=10")});
    // Recording once the first samples have come.
    ok_ = parec_->waitForStarted(20000) && waitForFrames(1, 20000);
}

PulseRecording::~PulseRecording() {
    if (parec_)
        stop(*parec_);
    QFile::remove(file_);
}

int64_t PulseRecording::frames() const {
    struct stat st {};
    if (::stat(QFile::encodeName(file_).constData(), &st) != 0)
        return 0;
    return int64_t(st.st_size) / 4;
}

bool PulseRecording::waitForFrames(int64_t count, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (frames() < count) {
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::msleep(5);
    }
    return true;
}

std::vector<int16_t> PulseRecording::samples(int64_t from, int64_t to) const {
    to = std::min(to, frames());
    from = std::max<int64_t>(from, 0);
    if (to <= from)
        return {};
    QFile f(file_);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(from * 4))
        return {};
    const QByteArray bytes = f.read((to - from) * 4);
    std::vector<int16_t> out(size_t(bytes.size()) / 2);
    memcpy(out.data(), bytes.constData(), out.size() * 2);
    return out;
}

namespace {

double rmsOf(const int16_t* s, size_t count, int channel) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) {
        if (channel >= 0 && int(i % 2) != channel)
            continue;
        sum += double(s[i]) * s[i];
        ++n;
    }
    return n ? std::sqrt(sum / double(n)) : 0.0;
}

}  // namespace

double PulseRecording::rms(int64_t from, int64_t to, int channel) const {
    const std::vector<int16_t> s = samples(from, to);
    return rmsOf(s.data(), s.size(), channel);
}

int64_t PulseRecording::firstLoudFrame(int64_t from, double threshold) const {
    from = std::max<int64_t>(from, 0);
    const std::vector<int16_t> s = samples(from, frames());
    const size_t window = 2 * (kRate / 100);
    for (size_t at = 0; at + window <= s.size(); at += window / 2)
        if (rmsOf(s.data() + at, window, -1) > threshold)
            return from + int64_t(at / 2);
    return -1;
}

int64_t PulseRecording::firstQuietFrame(int64_t from, double threshold, int64_t length) const {
    from = std::max<int64_t>(from, 0);
    const std::vector<int16_t> s = samples(from, frames());
    const size_t window = 2 * (kRate / 100);
    size_t start = 0;
    for (size_t at = 0; at + window <= s.size(); at += window) {
        if (rmsOf(s.data() + at, window, -1) > threshold) {
            start = at + window;
            continue;
        }
        if (int64_t((at + window - start) / 2) >= length)
            return from + int64_t(start / 2);
    }
    return -1;
}

}  // namespace zek::test
