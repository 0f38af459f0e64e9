// The built-in player against FluidSynth's own player, both on one private
// sound server, same song, same soundfont, same run:
//   CPU of the zek process while it plays, against the fluidsynth program;
//   from StartBuiltinPlay to the first sound heard, against starting the
//   fluidsynth program (which loads the soundfont and plays at once);
//   a seek until the new place is heard, against fluid_player_seek.
#include "mml/SmfReader.h"
#include "playback/MidiDevice.h"
#include "playback/Playback.h"
#include "playback/SoundFixtures.h"
#include "support/PulseServer.h"
#include "support/TestEnv.h"
#include "support/ZekProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <fluidsynth.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <vector>

using namespace zek;
using namespace zek::test;

namespace {

constexpr double kOnset = 1;  // RMS over 10 ms above which a stretch is not silent
// After a stop FluidSynth's player still rings with reverb (about 5); a seek's
// sound is taken from above that.
constexpr double kSeekOnset = 30;

struct Host : playback::PlaybackHost {
    int bar = 0;
    bool settingsReady() const override { return true; }
    QString midiText() const override { return {}; }
    QString tempFolder() const override { return {}; }
    void clearOutput(bool) override {}
    void appendOutputLine(const QString& line) override { std::printf("memo: %s\n", qPrintable(line)); }
    void sendSstp(const QString&) override {}
    void showWarning(const QString&) override {}
    void forceReturnWindowToFront() override {}
    void setSeekBarEnabled(bool) override {}
    void setSeekBarRange(int, int, int) override {}
    int seekBarPosition() const override { return bar; }
    void setSeekBarPosition(int) override {}
    void setRunGlyph(bool) override {}
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Milliseconds from `mark` to the first sound after it, or -1.
double msToSound(PulseRecording& rec, int64_t mark, int waitMs = 3000, double onsetLevel = kOnset) {
    rec.waitForFrames(mark + PulseRecording::framesFor(waitMs), waitMs + 10000);
    const int64_t onset = rec.firstLoudFrame(mark, onsetLevel);
    return onset < 0 ? -1 : double(onset - mark) * 1000.0 / PulseRecording::kRate;
}

// CPU seconds (user + system) of a process so far.
double cpuSeconds(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(::sysconf(_SC_CLK_TCK));
}

// Share of one core a process uses over `ms`.
double cpuShare(qint64 pid, int ms) {
    QElapsedTimer t;
    const double before = cpuSeconds(pid);
    t.start();
    QThread::msleep(ms);
    return (cpuSeconds(pid) - before) / (double(t.elapsed()) / 1000.0);
}

QStringList fluidsynthArgs(const QString& soundFont, const QString& song) {
    return {QStringLiteral("-ni"), QStringLiteral("-a"), QStringLiteral("pulseaudio"), soundFont, song};
}

void stopProcess(QProcess& p) {
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished();
    }
}

void ratio(const char* what, double ours, double baseline, const char* unit) {
    std::printf("%-44s zek %8.2f %s   fluidsynth %8.2f %s   ratio %.2f\n", what, ours, unit, baseline, unit,
                baseline > 0 ? ours / baseline : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: playback_bench <program folder>\n");
        return 2;
    }
    // Absolute: ZEK is started in a folder of its own.
    const QString bin = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    IsolatedHome home;
    PulseServer server;
    if (!server.ok()) {
        std::printf("skipped: %s\n", qPrintable(server.skipReason()));
        return 0;
    }
    server.use(home.env());
    const QString soundFont = playback::MidiDevice::defaultSoundFont();
    const QString source = home.path("ode-to-joy.mml");
    const QString song = home.path("ode-to-joy.mid");
    QFile::copy(QStringLiteral(ZEK_EXAMPLES_DIR "/ode-to-joy.mml"), source);
    QProcess compile;
    compile.start(bin + QStringLiteral("/zekmml"), {source, song});
    if (!compile.waitForFinished(60000) || compile.exitCode() != 0) {
        std::fprintf(stderr, "cannot compile the example song\n");
        return 1;
    }
    const auto smf = mml::readSmfFile(song.toStdString());
    std::printf("song: examples/ode-to-joy.mml, %.1f s; soundfont %s; %ld cores, load %s\n", smf.file->lengthMs() / 1000,
                qPrintable(soundFont), ::sysconf(_SC_NPROCESSORS_ONLN),
                readFile(QStringLiteral("/proc/loadavg")).left(14).constData());

    PulseRecording rec(server);
    if (!rec.ok()) {
        std::fprintf(stderr, "cannot record the sound server\n");
        return 1;
    }

    // --- From the play command to the first sound -------------------------------
    // As in ZEK: the first tick has loaded the soundfont ahead; a later play
    // reuses the synthesiser of the one before.
    settings::Settings settings;
    settings.play = 1;
    Host host;
    playback::Playback player(settings, host);
    player.PlayTick();
    QThread::msleep(1500);
    std::vector<double> ours, theirs, startCall;
    for (int i = 0; i < 6; ++i) {
        QThread::msleep(400);
        int64_t mark = rec.frames();
        QElapsedTimer call;
        call.start();
        player.StartBuiltinPlay(song);
        startCall.push_back(double(call.nsecsElapsed()) / 1e6);
        ours.push_back(msToSound(rec, mark, 1500));
        player.StopPlay();

        QThread::msleep(400);
        QProcess cli;
        cli.setStandardOutputFile(QProcess::nullDevice());
        cli.setStandardErrorFile(QProcess::nullDevice());
        mark = rec.frames();
        cli.start(QStringLiteral("fluidsynth"), fluidsynthArgs(soundFont, song));
        theirs.push_back(msToSound(rec, mark, 1500));
        stopProcess(cli);
    }
    ratio("first play to first sound", ours[0], theirs[0], "ms");
    std::printf("  (the recorder hands its samples over every 10 ms: figures are good to about that; 0 means\n"
                "  the sound came within the recorder's own delay)\n");
    ratio("later plays to first sound (median of 5)", median({ours.begin() + 1, ours.end()}),
          median({theirs.begin() + 1, theirs.end()}), "ms");
    std::printf("%-44s zek %8.2f ms (median), %.2f ms (longest)\n", "  of which StartBuiltinPlay on the GUI thread",
                median(startCall), *std::max_element(startCall.begin(), startCall.end()));
    {
        // Without the soundfont loaded ahead (a device of its own).
        playback::Playback cold(settings, host);
        QThread::msleep(400);
        const int64_t mark = rec.frames();
        cold.StartBuiltinPlay(song);
        std::printf("%-44s zek %8.2f ms\n", "  a play that must load the soundfont first", msToSound(rec, mark, 1500));
        cold.StopPlay();
    }

    // --- A seek, until the new place is heard ------------------------------------------
    // From silence (the device stopped), so that the recording shows when the
    // new place comes in; the output runs on all the while, so the output's
    // buffer delays it as it would a seek while playing. Each target is the
    // time of a note, so the sound starts there at once.
    std::vector<uint32_t> noteTicks;
    for (const auto& track : smf.file->tracks)
        for (const auto& ev : track.events)
            if (ev.isNoteOn())
                noteTicks.push_back(ev.tick);
    std::sort(noteTicks.begin(), noteTicks.end());
    // The bar counts 10 ms: a seek lands up to 10 ms before its note.
    std::vector<double> noteMs;  // the first note at or after each of these times
    for (int ms : {30000, 8000, 52000, 15000, 40000, 3000, 60000, 22000, 11000, 47000}) {
        const auto at = std::lower_bound(noteTicks.begin(), noteTicks.end(), smf.file->tempoMap.tickAt(ms));
        if (at != noteTicks.end())
            noteMs.push_back(smf.file->tempoMap.msAt(*at));
    }
    std::vector<double> callMs, seekMs;
    player.StartBuiltinPlay(song);
    for (double note : noteMs) {
        player.mplMain().stop();
        QThread::msleep(500);
        host.bar = int(note / 10);
        const int64_t mark = rec.frames();
        QElapsedTimer t;
        t.start();
        player.ScrollEvent(playback::scEndScroll);
        callMs.push_back(double(t.nsecsElapsed()) / 1e6);
        seekMs.push_back(msToSound(rec, mark, 1500, kSeekOnset) - (note - host.bar * 10));
    }
    player.StopPlay();
    std::vector<double> fluidSeekMs;
    {
        fluid_settings_t* fs = new_fluid_settings();
        fluid_synth_t* synth = new_fluid_synth(fs);
        fluid_synth_sfload(synth, QFile::encodeName(soundFont).constData(), 1);
        fluid_settings_setstr(fs, "audio.driver", "pulseaudio");
        fluid_audio_driver_t* driver = new_fluid_audio_driver(fs, synth);
        fluid_player_t* fp = new_fluid_player(synth);
        fluid_player_add(fp, QFile::encodeName(song).constData());
        fluid_player_play(fp);
        QThread::msleep(300);
        for (double note : noteMs) {
            fluid_player_stop(fp);
            fluid_synth_all_sounds_off(synth, -1);
            QThread::msleep(500);
            const int bar = int(note / 10);
            const int64_t mark = rec.frames();
            fluid_player_seek(fp, int(smf.file->tempoMap.tickAt(bar * 10)));
            fluid_player_play(fp);
            fluidSeekMs.push_back(msToSound(rec, mark, 1500, kSeekOnset) - (note - bar * 10));
        }
        fluid_player_stop(fp);
        delete_fluid_player(fp);
        delete_fluid_audio_driver(driver);
        delete_fluid_synth(synth);
        delete_fluid_settings(fs);
    }
    ratio("seek to the new place heard (median of 10)", median(seekMs), median(fluidSeekMs), "ms");
    std::printf("%-44s zek %8.2f ms (longest)   fluidsynth %8.2f ms (longest)\n", "",
                *std::max_element(seekMs.begin(), seekMs.end()), *std::max_element(fluidSeekMs.begin(), fluidSeekMs.end()));
    std::printf("%-44s zek %8.2f ms (median), %.2f ms (longest)\n", "  of which the seek call on the GUI thread",
                median(callMs), *std::max_element(callMs.begin(), callMs.end()));

    // --- A 50 MB file: what its start costs the window ---------------------------------
    {
        const QString large = home.path("large.mid");
        writeLargeSong(large, 50u << 20, 8);
        QThread::msleep(400);
        auto msOf = [](const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; };
        const int64_t mark = rec.frames();
        QElapsedTimer start;
        start.start();
        player.StartBuiltinPlay(large);
        const double callMs = msOf(start);
        double longestTick = 0;
        while (player.playState() == 1 && start.elapsed() < 60000) {
            QThread::msleep(100);  // the window's tick
            QElapsedTimer tick;
            tick.start();
            player.PlayTick();
            longestTick = std::max(longestTick, msOf(tick));
        }
        const double heard = msToSound(rec, mark, int(start.elapsed()) + 1500);
        QElapsedTimer stop;
        stop.start();
        player.StopPlay();
        std::printf("50 MB file (8 tracks): StartBuiltinPlay %.2f ms, longest tick %.2f ms, StopPlay %.2f ms on the\n"
                    "  GUI thread; first sound after %.0f ms\n",
                    callMs, longestTick, msOf(stop), heard);
    }

    // --- CPU while playing -------------------------------------------------------------
    const int window = 10000;
    writeSettings(home, "compiler=1\nplay=1\nnext=1\nshow=0\n");
    double zekCpu = -1;
    {
        const int64_t mark = rec.frames();
        RunningZek running(bin + QStringLiteral("/zek"), home, server.environment(offscreenEnvironment()), {source});
        if (msToSound(rec, mark, 8000) >= 0) {
            QThread::msleep(1000);
            zekCpu = cpuShare(running.pid(), window);
        }
        running.signal(SIGTERM);
        running.waitExit();
    }
    double cliCpu = -1;
    {
        QThread::msleep(500);
        const int64_t mark = rec.frames();
        QProcess cli;
        cli.setStandardOutputFile(QProcess::nullDevice());
        cli.setStandardErrorFile(QProcess::nullDevice());
        cli.start(QStringLiteral("fluidsynth"), fluidsynthArgs(soundFont, song));
        if (msToSound(rec, mark, 3000) >= 0) {
            QThread::msleep(1000);
            cliCpu = cpuShare(cli.processId(), window);
        }
        stopProcess(cli);
    }
    ratio("CPU while playing (share of one core, 10 s)", zekCpu * 100, cliCpu * 100, "%");
    return 0;
}
