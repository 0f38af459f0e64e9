// The devices heard through a private sound server: the MIDI sequencer
// (FluidSynth) and the wave cues (libsndfile), their clocks, seeks and
// failures to open.
#include "SoundFixtures.h"
#include "mml/SmfReader.h"
#include "playback/MidiDevice.h"
#include "playback/MidiSong.h"
#include "playback/WaveDevice.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

using namespace zek;
using namespace zek::test;
using playback::DeviceError;
using playback::MidiDevice;
using playback::WaveDevice;

namespace {

using MidiDeviceTest = SoundTest;

// Waits until the device has reached `ms`.
bool waitForPosition(const MidiDevice& device, int64_t ms, int timeoutMs = 10000) {
    QElapsedTimer t;
    t.start();
    while (device.position() < ms) {
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::msleep(5);
    }
    return true;
}

TEST_F(MidiDeviceTest, PlaysFollowsTheClockAndStopsIntoSilence) {
    MidiDevice device;
    device.open(writeTone(path("tone.mid"), 8000));
    EXPECT_EQ(device.length(), 8000);
    EXPECT_EQ(device.position(), 0);

    PulseRecording rec(server);
    ASSERT_TRUE(rec.ok());
    const int64_t start = rec.frames();
    QElapsedTimer clock;
    clock.start();
    device.play();
    ASSERT_TRUE(waitForPosition(device, 1000));
    // The position runs with the clock, at most the output's buffer ahead.
    const int64_t position = device.position();
    EXPECT_LT(position, clock.elapsed() + 400);

    device.stop();
    const int64_t stoppedAt = device.position();
    const int64_t stopFrame = rec.frames();
    QThread::msleep(300);
    EXPECT_EQ(device.position(), stoppedAt);
    // Heard: the tone for as long as the position ran, not on towards its 8 s,
    // then silence.
    const int64_t quiet = waitForQuiet(rec, stopFrame, 1000);
    ASSERT_GE(quiet, 0) << "the tone went on after the stop";
    EXPECT_GT(loudMs(rec, start, quiet), 300) << "nothing was heard";
    EXPECT_LT(loudMs(rec, start, quiet), stoppedAt + 300);
}

TEST_F(MidiDeviceTest, LengthIsTheTempoMapLength) {
    // 480 ticks per quarter: 960 ticks at 120 bpm, then 960 at 240 bpm.
    mml::TrackEncoder track;
    track.meta(0, 0x51, std::string_view("\x07\xA1\x20", 3));
    track.channel2(0, 0x90, 60, 100);
    track.meta(960, 0x51, std::string_view("\x03\xD0\x90", 3));
    track.channel2(1200, 0x80, 60, 0);
    track.endOfTrack(1920);
    mml::SmfImage image;
    image.format = 0;
    image.tracks = {track.bytes()};
    const auto bytes = image.toBytes();
    const QString file = path("tempo.mid");
    writeFile(file, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));

    MidiDevice device;
    device.open(file);
    EXPECT_EQ(device.length(), 1500);
    EXPECT_EQ(device.length(), std::llround(mml::readSmfFile(file.toStdString()).file->lengthMs()));
}

TEST_F(MidiDeviceTest, ReachesItsLengthAndStaysThere) {
    MidiDevice device;
    device.open(writeTone(path("short.mid"), 300));
    device.play();
    ASSERT_TRUE(waitForPosition(device, 300));
    QThread::msleep(200);
    EXPECT_EQ(device.position(), 300);
}

// Brightness of a stretch: the energy of the second difference against the
// energy of the signal, which weighs each harmonic by the fourth power of its
// number. A flute's near-sine A is dull, a square lead bright.
double brightness(const std::vector<int16_t>& s, int channel) {
    double diff = 0, all = 0;
    for (size_t i = 4 + size_t(channel); i < s.size(); i += 2) {
        const double d = double(s[i]) - 2.0 * s[i - 2] + s[i - 4];
        diff += d * d;
        all += double(s[i]) * s[i];
    }
    return all > 0 ? diff / all : 0;
}

TEST_F(MidiDeviceTest, SeekGivesEveryChannelItsStateThereAndLeavesNoNoteOn) {
    // Channel 1: square lead on the left, from 1000 flute on the right, from
    // 3000 square lead on the left again. Channel 2: full volume, from 1000
    // silent. Both play an A at 1500 and at 3500.
    const QString file = writeSong(path("states.mid"),
                                   {{0, 0xC0, 80},
                                    {0, 0xB0, 10, 0},
                                    {0, 0xB0, 7, 110},
                                    {0, 0xC1, 80},
                                    {0, 0xB1, 7, 127},
                                    {1000, 0xC0, 73},
                                    {1000, 0xB0, 10, 127},
                                    {1000, 0xB1, 7, 0},
                                    {1500, 0x90, 69, 110},
                                    {1500, 0x91, 69, 110},
                                    {2500, 0x80, 69, 0},
                                    {2500, 0x81, 69, 0},
                                    {3000, 0xC0, 80},
                                    {3000, 0xB0, 10, 0},
                                    {3000, 0xB1, 7, 127},
                                    {3500, 0x90, 69, 110},
                                    {3500, 0x91, 69, 110},
                                    {4500, 0x80, 69, 0},
                                    {4500, 0x81, 69, 0}},
                                   5000);
    MidiDevice device;
    device.open(file);
    PulseRecording rec(server);
    ASSERT_TRUE(rec.ok());

    // Into the second note (square lead, left), then back to 1200.
    const int64_t start = rec.frames();
    device.seek(3300);
    device.play();
    ASSERT_TRUE(waitForPosition(device, 3800));
    device.seek(1200);
    device.play();
    ASSERT_TRUE(waitForPosition(device, 2400));

    // The square lead sounded on the left before the seek.
    const int64_t square = waitForSound(rec, start, 300);
    ASSERT_GE(square, 0) << "nothing was heard before the seek";
    const auto squareSamples = rec.samples(square + PulseRecording::framesFor(100), square + PulseRecording::framesFor(300));
    EXPECT_GT(rec.rms(square, square + PulseRecording::framesFor(100), 0), kSound);

    // After the seek the flute comes in at 1500, on the right only (channel 2
    // is silent), ...
    const int64_t onset = waitForStretch(
        rec, square, [](const Stretch& s) { return s.right > kSound && s.right > 3 * s.left; }, 700);
    ASSERT_GE(onset, 0) << "no flute on the right after the seek";
    const int64_t from = onset + PulseRecording::framesFor(100);
    const int64_t to = onset + PulseRecording::framesFor(600);
    EXPECT_GT(rec.rms(from, to, 1), kSound);
    EXPECT_LT(rec.rms(from, to, 0), rec.rms(from, to, 1) / 10);
    // ... after silence: the seek cut the square lead and left no note on.
    EXPECT_LT(rec.rms(onset - PulseRecording::framesFor(150), onset - PulseRecording::framesFor(20)), kSilence);
    // And it is the flute: much duller than the square lead.
    EXPECT_LT(brightness(rec.samples(from, to), 1) * 5, brightness(squareSamples, 0));
}

TEST_F(MidiDeviceTest, TheSynthesiserKeptFromAPlayStartsTheNextOneFresh) {
    // The first song turns channel 1 to a flute on the right and holds a
    // note; the second sets nothing, so it must sound in the middle.
    const QString first = writeSong(path("first.mid"),
                                    {{0, 0xC0, 73}, {0, 0xB0, 10, 127}, {0, 0x90, 69, 110}, {3000, 0x80, 69, 0}}, 3000);
    const QString second = writeSong(path("second.mid"), {{0, 0x90, 69, 110}, {3000, 0x80, 69, 0}}, 3000);
    MidiDevice device;
    device.prepare();
    device.open(first);
    device.play();
    ASSERT_TRUE(waitForPosition(device, 500));
    device.close();
    PulseRecording rec(server);
    ASSERT_TRUE(rec.ok());
    const int64_t mark = rec.frames();
    device.open(second);
    device.play();
    const int64_t onset = waitForSound(rec, mark, 500);
    ASSERT_GE(onset, 0);
    const int64_t from = onset + PulseRecording::framesFor(100);
    const int64_t to = onset + PulseRecording::framesFor(500);
    const double left = rec.rms(from, to, 0);
    const double right = rec.rms(from, to, 1);
    EXPECT_GT(left, right / 2);
    EXPECT_GT(right, left / 2);
}

TEST_F(MidiDeviceTest, KeepsWhatItLoadedWhenTheFileIsReplaced) {
    const QString file = writeTone(path("song.mid"), 3000);
    MidiDevice device;
    device.open(file);
    device.play();
    ASSERT_TRUE(waitForPosition(device, 300));
    writeFile(file, "garbage");
    PulseRecording rec(server);
    ASSERT_TRUE(rec.ok());
    const int64_t at = rec.frames();
    ASSERT_TRUE(rec.waitForFrames(at + PulseRecording::framesFor(600), 10000));
    EXPECT_GT(rec.rms(at, at + PulseRecording::framesFor(600)), kSound);
    EXPECT_EQ(device.length(), 3000);
    ASSERT_TRUE(waitForPosition(device, 1000));
}

TEST_F(MidiDeviceTest, FailedOpensRaiseTheLibrarysWordsAndLeaveNothingOpen) {
    const QString good = writeTone(path("good.mid"), 1000);
    QByteArray truncated = readFile(good);
    truncated.chop(6);
    struct Case {
        const char* name;
        QString file;
        QString soundFont;
        bool noOutput;
    };
    const Case cases[] = {
        {"missing file", path("missing.mid"), {}, false},
        {"empty file", (writeFile(path("empty.mid"), {}), path("empty.mid")), {}, false},
        {"not MIDI", (writeFile(path("text.mid"), "MML text, not MIDI"), path("text.mid")), {}, false},
        {"truncated", (writeFile(path("cut.mid"), truncated), path("cut.mid")), {}, false},
        {"missing soundfont", good, path("none.sf2"), false},
        {"soundfont not a soundfont", good, (writeFile(path("bad.sf2"), "RIFF"), path("bad.sf2")), false},
        {"no audio output", good, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv env;
        if (c.noOutput)
            useNoAudioOutput(env, home.root());
        MidiDevice device(c.soundFont);
        device.prepare();  // a soundfont loaded ahead fails the same way
        try {
            device.open(c.file);
            ADD_FAILURE() << "opened";
        } catch (const DeviceError& e) {
            EXPECT_STRNE(e.what(), "");
            std::printf("%s: %s\n", c.name, e.what());
        }
        EXPECT_FALSE(device.isOpen());
        EXPECT_EQ(device.position(), 0);
        EXPECT_THROW(device.play(), DeviceError);
        EXPECT_THROW(device.length(), DeviceError);
    }
}

TEST_F(MidiDeviceTest, OpensALargeFileInReasonableTime) {
    // About 50 MB of notes in eight tracks, merged into one order at open.
    const QString file = path("large.mid");
    const int64_t length = writeLargeSong(file, 50u << 20, 8);
    QElapsedTimer t;
    t.start();
    MidiDevice device;
    device.open(file);
    std::printf("opened %lld bytes in %lld ms\n", static_cast<long long>(QFileInfo(file).size()),
                static_cast<long long>(t.elapsed()));
    EXPECT_LT(t.elapsed(), 30000);
    EXPECT_EQ(device.length(), length);
    t.restart();
    device.seek(device.length() / 2);
    device.play();
    EXPECT_LT(t.elapsed(), 5000);
}

TEST(MidiSongTest, MergesTheTracksInTimeKeepingTheirOrderAtTheSameTick) {
    // Three tracks, each on the channel of its number, whose events interleave.
    const std::vector<uint32_t> ticks[] = {{0, 10, 20}, {0, 5, 20}, {5, 10, 30}};
    mml::SmfImage image;
    for (uint8_t t = 0; t < 3; ++t) {
        mml::TrackEncoder track;
        for (uint32_t tick : ticks[t])
            track.channel2(tick, uint8_t(0xB0 | t), 7, 100);
        track.endOfTrack(30);
        image.tracks.push_back(track.bytes());
    }
    QTemporaryDir dir;
    const QString file = dir.filePath("tracks.mid");
    const auto bytes = image.toBytes();
    writeFile(file, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));

    const playback::MidiSong song = playback::loadMidiSong(file.toStdString());
    std::vector<std::pair<uint32_t, int>> order;
    for (const auto& ev : song.events)
        order.emplace_back(ev.tick, ev.status() & 0x0F);
    const std::vector<std::pair<uint32_t, int>> expected = {{0, 0},  {0, 1},  {5, 1},  {5, 2}, {10, 0},
                                                            {10, 2}, {20, 0}, {20, 1}, {30, 2}};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(song.stateEvents.size(), 9u);
}

using WaveDeviceTest = SoundTest;

TEST_F(WaveDeviceTest, ACueRewindsAfterItsEndAndGoesOnWhilePlaying) {
    WaveDevice cue;
    cue.open(writeSine(path("cue.wav"), 2000));
    EXPECT_EQ(cue.length(), 2000);
    PulseRecording rec(server);
    ASSERT_TRUE(rec.ok());
    const int64_t start = rec.frames();
    cue.play();
    ASSERT_TRUE(waitFor([&] { return cue.position() >= 300; }, 10000));
    const int64_t before = cue.position();
    cue.play();  // still playing: continues
    EXPECT_GE(cue.position(), before);
    ASSERT_TRUE(waitFor([&] { return !cue.isPlaying(); }, 20000));
    // One play of 2 s was heard, not one that started over at the second call.
    const int64_t onset = waitForSound(rec, start);
    ASSERT_GE(onset, 0);
    const int64_t quiet = waitForQuiet(rec, onset, 1000);
    ASSERT_GE(quiet, 0);
    EXPECT_GT(loudMs(rec, onset, quiet), 500);
    EXPECT_LT(loudMs(rec, onset, quiet), 2000 + 150);

    // At its end a play starts over.
    cue.play();
    EXPECT_TRUE(cue.isPlaying());
    EXPECT_LT(cue.position(), cue.length());
}

TEST_F(WaveDeviceTest, ReleasesItsOutputOnlyOnceTheCueHasSounded) {
    WaveDevice cue;
    cue.open(writeSine(path("cue.wav"), 300, 22050));
    cue.play();
    cue.releaseIdleOutput();
    EXPECT_TRUE(cue.isPlaying());
    QThread::msleep(800);
    cue.releaseIdleOutput();
    cue.play();
    EXPECT_TRUE(cue.isPlaying());
}

TEST_F(WaveDeviceTest, AFileThatIsNotASoundIsRefusedWithLibsndfilesWords) {
    writeFile(path("text.wav"), "this is not a wave file at all");
    for (const QString& file : {path("text.wav"), path("missing.wav")}) {
        WaveDevice cue;
        cue.open(writeSine(path("ok.wav"), 100));
        EXPECT_THROW(cue.open(file), DeviceError);
        EXPECT_FALSE(cue.isOpen());
        EXPECT_THROW(cue.play(), DeviceError);
    }
}

}  // namespace
