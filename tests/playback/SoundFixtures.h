#pragma once
// Small MIDI and wave files for the playback tests, made on the spot. In the
// MIDI files one tick is one millisecond (1000 ticks per quarter note at
// 60 beats per minute), so event times read as times.
#include "mml/SmfWriter.h"
#include "support/PulseServer.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QString>
#include <QThread>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace zek::test {

struct MidiEv {
    uint32_t ms;
    uint8_t status;
    uint8_t d1;
    uint8_t d2 = 0;
};

inline QString writeSong(const QString& path, const std::vector<MidiEv>& events, uint32_t endMs) {
    mml::TrackEncoder conductor;
    conductor.meta(0, 0x51, std::string_view("\x0F\x42\x40", 3));  // 1,000,000 us per quarter
    conductor.endOfTrack(0);
    mml::TrackEncoder music;
    for (const MidiEv& e : events) {
        if ((e.status & 0xF0) == 0xC0 || (e.status & 0xF0) == 0xD0)
            music.channel1(e.ms, e.status, e.d1);
        else
            music.channel2(e.ms, e.status, e.d1, e.d2);
    }
    music.endOfTrack(endMs);
    mml::SmfImage image;
    image.division = 1000;
    image.tracks = {conductor.bytes(), music.bytes()};
    const std::vector<uint8_t> bytes = image.toBytes();
    writeFile(path, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    return path;
}

// One long square-lead A on channel 1 from 0 to `ms`, ending there.
inline QString writeTone(const QString& path, uint32_t ms) {
    return writeSong(path, {{0, 0xC0, 80}, {0, 0x90, 69, 110}, {ms, 0x80, 69, 0}}, ms);
}

// About `bytes` of short notes in `tracks` tracks that all sound from the
// start to the end, as a large file written in one go. One tick is half a
// millisecond (the default tempo). Returns the length in milliseconds.
inline int64_t writeLargeSong(const QString& path, size_t bytes, int tracks = 1) {
    mml::SmfImage image;
    image.format = tracks > 1 ? 1 : 0;
    image.division = 1000;
    uint32_t tick = 0;
    for (int t = 0; t < tracks; ++t) {
        mml::TrackEncoder track;
        const uint8_t noteOn = uint8_t(0x90 | (t & 0x0F));
        for (tick = 0; track.bytes().size() < bytes / size_t(tracks); tick += 2) {
            track.channel2(tick, noteOn, 60 + tick % 12, 64);
            track.channel2(tick + 1, noteOn, 60 + tick % 12, 0);
        }
        track.endOfTrack(tick);
        image.tracks.push_back(std::move(track.bytes()));
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) ||
        !image.write([&](const uint8_t* p, size_t n) { return f.write(reinterpret_cast<const char*>(p), qint64(n)) == qint64(n); }))
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return std::llround(tick * 0.5);
}

// A song whose last track breaks off in the middle.
inline QString writeDamagedSong(const QString& path) {
    QByteArray bytes = readFile(writeTone(path, 1000));
    bytes.chop(5);
    writeFile(path, bytes);
    return path;
}

// A mono 16-bit sine wave of `ms` milliseconds.
inline QString writeSine(const QString& path, int ms, int rate = 44100, double hz = 660) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    std::vector<float> samples(size_t(rate) * size_t(ms) / 1000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = float(0.5 * std::sin(2 * M_PI * hz * double(i) / rate));
    sf_writef_float(f, samples.data(), sf_count_t(samples.size()));
    sf_close(f);
    return path;
}

// A test with its own home and its own sound server, which this process plays to.
class SoundTest : public ::testing::Test {
protected:
    IsolatedHome home;
    PulseServer server;

    void SetUp() override {
        if (!server.ok())
            GTEST_SKIP() << server.skipReason().toStdString();
        server.use(home.env());
    }
    QString path(const QString& name) const { return home.path(name); }
};

// Louder than any rounding noise, far below the songs and cues played.
inline constexpr double kSilence = 30;
inline constexpr double kSound = 300;

// What a recording holds, told by outcomes rather than by times: a loaded
// machine may record late, or starve the output so that a stretch of
// silence comes in the middle of a sound, but it cannot make a sound louder,
// longer or earlier than it was played.

// The recording from `from` in 10 ms stretches: the first frame of each and
// the loudness (RMS) of its left and right channel.
struct Stretch {
    int64_t frame;
    double left, right;
    double both() const { return std::sqrt((left * left + right * right) / 2); }
};

inline std::vector<Stretch> stretches(const PulseRecording& rec, int64_t from, int64_t to) {
    const int64_t step = PulseRecording::framesFor(10);
    from = std::max<int64_t>(from, 0);
    const std::vector<int16_t> s = rec.samples(from, to);
    std::vector<Stretch> out;
    for (size_t at = 0; at + 2 * size_t(step) <= s.size(); at += 2 * size_t(step)) {
        double l = 0, r = 0;
        for (size_t i = at; i < at + 2 * size_t(step); i += 2) {
            l += double(s[i]) * s[i];
            r += double(s[i + 1]) * s[i + 1];
        }
        out.push_back({from + int64_t(at / 2), std::sqrt(l / double(step)), std::sqrt(r / double(step))});
    }
    return out;
}

// How many milliseconds of [from, to) are louder than kSound.
inline int64_t loudMs(const PulseRecording& rec, int64_t from, int64_t to) {
    const auto all = stretches(rec, from, to);
    return 10 * std::count_if(all.begin(), all.end(), [](const Stretch& s) { return s.both() > kSound; });
}

// Waits until the recording holds a first stretch at or after `from` for
// which `found` holds, and `thenMs` more after it; returns its first frame,
// or -1 when none came within `timeoutMs`.
template <class F>
int64_t waitForStretch(const PulseRecording& rec, int64_t from, F found, int thenMs = 0, int timeoutMs = 20000) {
    int64_t frame = -1;
    const bool came = waitFor(
        [&] {
            QThread::msleep(50);  // each look reads the recording again
            const auto all = stretches(rec, from, rec.frames());
            const auto it = std::find_if(all.begin(), all.end(), found);
            frame = it == all.end() ? -1 : it->frame;
            return frame >= 0 && rec.frames() >= frame + PulseRecording::framesFor(thenMs);
        },
        timeoutMs);
    return came ? frame : -1;
}

// The first sound at or after `from`, with `thenMs` recorded after it.
inline int64_t waitForSound(const PulseRecording& rec, int64_t from, int thenMs = 0) {
    return waitForStretch(rec, from, [](const Stretch& s) { return s.both() > kSound; }, thenMs);
}

// The first stretch of `ms` silence at or after `from`: the recording has
// gone quiet.
inline int64_t waitForQuiet(const PulseRecording& rec, int64_t from, int ms) {
    int64_t frame = -1;
    waitFor(
        [&] {
            QThread::msleep(50);  // each look reads the recording again
            frame = rec.firstQuietFrame(from, kSilence, PulseRecording::framesFor(ms));
            return frame >= 0;
        },
        20000);
    return frame;
}

}  // namespace zek::test
