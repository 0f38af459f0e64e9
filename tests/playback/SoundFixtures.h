#pragma once
// Small MIDI and wave files for the playback tests, made on the spot. In the
// MIDI files one tick is one millisecond (1000 ticks per quarter note at
// 60 beats per minute), so event times read as times.
#include "mml/SmfWriter.h"
#include "support/PulseServer.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <sndfile.h>

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

}  // namespace zek::test
