// The player's state machine with the real devices on a private sound
// server: start, stop, end of play, the seek bar, the failure path, the
// cues, and StartPlayer with the built-in and an outside player.
#include "SoundFixtures.h"
#include "notify/SstpScripts.h"
#include "playback/Playback.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace zek;
using namespace zek::test;
using playback::DeviceError;
using playback::Playback;
using playback::PlaybackHost;

namespace {

// How far a device's position may run ahead of the clock: the output's buffer.
constexpr int64_t kAhead = 400;

struct RecordingHost : PlaybackHost {
    bool ready = true;
    QString midi;
    QString temp;
    QStringList memo{"earlier output"};
    QStringList scripts;
    QStringList warnings;
    int returns = 0;
    bool barEnabled = false;
    int maximum = -1, largeChange = -1, smallChange = -1, bar = 0;
    bool stopGlyph = false;

    bool settingsReady() const override { return ready; }
    QString midiText() const override { return midi; }
    QString tempFolder() const override { return temp; }
    void clearOutput(bool) override { memo.clear(); }
    void appendOutputLine(const QString& line) override { memo << line; }
    void sendSstp(const QString& script) override { scripts << script; }
    void showWarning(const QString& text) override { warnings << text; }
    void forceReturnWindowToFront() override { ++returns; }
    void setSeekBarEnabled(bool enabled) override { barEnabled = enabled; }
    void setSeekBarRange(int max, int large, int small) override {
        maximum = max;
        largeChange = large;
        smallChange = small;
    }
    int seekBarPosition() const override { return bar; }
    void setSeekBarPosition(int position) override { bar = position; }
    void setRunGlyph(bool stop) override { stopGlyph = stop; }
};

class PlaybackTest : public SoundTest {
protected:
    settings::Settings settings;
    RecordingHost host;
    Playback player{settings, host};

    void SetUp() override {
        SoundTest::SetUp();
        settings.play = 1;
        settings.sstp = 1;
        host.temp = home.path("tmp/ZEKTEMP/");
        QDir().mkpath(host.temp);
    }
    // Runs the 100 ms tick until `done` holds.
    template <class F>
    bool tickUntil(F done, int timeoutMs = 10000) {
        return waitFor([&] {
            player.PlayTick();
            return done();
        }, timeoutMs);
    }
    void expectIdle() {
        EXPECT_EQ(player.playState(), 0);
        EXPECT_FALSE(player.mplMain().isOpen());
        EXPECT_FALSE(host.barEnabled);
        EXPECT_FALSE(host.stopGlyph);
    }
};

TEST_F(PlaybackTest, PlaysAndStopsItselfAtTheEnd) {
    player.StartBuiltinPlay(writeTone(path("short.mid"), 1500));
    EXPECT_EQ(player.playState(), 2);
    EXPECT_TRUE(host.barEnabled);
    EXPECT_TRUE(host.stopGlyph);
    EXPECT_EQ(host.memo, QStringList{"earlier output"});
    ASSERT_TRUE(tickUntil([&] { return player.playState() == 0; }));
    expectIdle();
    EXPECT_GT(host.bar, 0) << "the bar keeps its last position";
    EXPECT_LE(host.bar, 150);
}

TEST_F(PlaybackTest, ScalesTheSeekBarToTheLength) {
    struct Case {
        uint32_t ms;
        int maximum, large, small;
    };
    for (const Case c : {Case{3000, 300, 75, 7}, Case{300, 30, 7, 0}, Case{30, 3, 0, 0}, Case{0, 0, 0, 0}}) {
        SCOPED_TRACE(c.ms);
        player.StartBuiltinPlay(writeTone(path("len.mid"), c.ms));
        EXPECT_EQ(player.playState(), 2);
        EXPECT_EQ(host.maximum, c.maximum);
        EXPECT_EQ(host.largeChange, c.large);
        EXPECT_EQ(host.smallChange, c.small);
    }
    // A song of length 0 never ends by itself; the run command stops it.
    QThread::msleep(300);
    for (int i = 0; i < 5; ++i)
        player.PlayTick();
    EXPECT_EQ(player.playState(), 2);
    player.RunCommand();
    expectIdle();
}

TEST_F(PlaybackTest, StartingWhilePlayingRestartsFromTheBeginning) {
    player.StartBuiltinPlay(writeTone(path("a.mid"), 5000));
    ASSERT_TRUE(tickUntil([&] { return player.mplMain().position() >= 1000; }));
    EXPECT_GE(host.bar, 90);
    QElapsedTimer clock;
    clock.start();
    player.StartBuiltinPlay(writeTone(path("b.mid"), 4000));
    EXPECT_EQ(player.playState(), 2);
    EXPECT_LT(player.mplMain().position(), clock.elapsed() + kAhead) << "from the start, not from 1 s on";
    EXPECT_EQ(player.mplMain().length(), 4000);
}

TEST_F(PlaybackTest, TheRunCommandStopsAPlayAndNeverRestartsIt) {
    host.midi = writeTone(path("song.mid"), 8000);
    PulseRecording rec(server);
    ASSERT_TRUE(rec.ok());
    const int64_t start = rec.frames();
    player.RunCommand();
    EXPECT_EQ(player.playState(), 2);
    ASSERT_GE(waitForSound(rec, start), 0) << "nothing was heard";
    player.RunCommand();
    expectIdle();
    // Silence for good, long before the 8 s tone would have ended.
    const int64_t quiet = waitForQuiet(rec, rec.frames(), 1000);
    ASSERT_GE(quiet, 0) << "still heard after the stop";
    EXPECT_LT(loudMs(rec, start, quiet), 4000);
}

TEST_F(PlaybackTest, AMissingFileChangesNothing) {
    player.StartBuiltinPlay(path("missing.mid"));
    player.StartBuiltinPlay(home.root());  // a folder is no file either
    expectIdle();
    EXPECT_EQ(host.memo, QStringList{"earlier output"});
    EXPECT_TRUE(host.scripts.isEmpty());
}

TEST_F(PlaybackTest, AFailedOpenPlaysTheErrorCueTellsTheMascotAndSaysSo) {
    settings.wave = 1;
    player.PrepareWave(0, writeSine(path("normal.wav"), 500));
    player.PrepareWave(1, writeSine(path("error.wav"), 500));
    struct Case {
        const char* name;
        QString file;
        bool noOutput;
    };
    writeDamagedSong(path("corrupt.mid"));
    writeFile(path("empty.mid"), {});
    writeLargeSong(path("large.mid"), 2u << 20);
    QFile::resize(path("large.mid"), QFileInfo(path("large.mid")).size() - 5);
    const QString good = writeTone(path("good.mid"), 1000);
    for (const Case& c : {Case{"corrupt", path("corrupt.mid"), false}, Case{"empty", path("empty.mid"), false},
                          Case{"large and corrupt", path("large.mid"), false}, Case{"no audio output", good, true}}) {
        SCOPED_TRACE(c.name);
        ScopedEnv env;
        if (c.noOutput)
            useNoAudioOutput(env, home.root());
        player.cue(1).stop();
        host.memo = {"earlier output"};
        host.scripts.clear();
        player.StartBuiltinPlay(c.file);
        ASSERT_TRUE(tickUntil([&] { return player.playState() == 0; }));  // a large file fails at a tick
        expectIdle();
        EXPECT_EQ(host.memo, QStringList{"演奏に失敗しました。"});
        EXPECT_EQ(host.scripts, QStringList{notify::SstpScript(notify::SstpEvent::PlaybackFailed)});
        if (!c.noOutput) {
            EXPECT_TRUE(player.cue(1).isPlaying());
            EXPECT_FALSE(player.cue(0).isPlaying());
        }
    }
    // Without the mascot setting nothing is sent.
    settings.sstp = 0;
    host.scripts.clear();
    player.StartBuiltinPlay(path("corrupt.mid"));
    EXPECT_TRUE(host.scripts.isEmpty());
    EXPECT_EQ(host.memo, QStringList{"演奏に失敗しました。"});
}

TEST_F(PlaybackTest, ASongWithoutNotesPlaysSilentlyToItsEnd) {
    PulseRecording rec(server);
    ASSERT_TRUE(rec.ok());
    const int64_t start = rec.frames();
    QElapsedTimer clock;
    clock.start();
    player.StartBuiltinPlay(writeSong(path("silent.mid"), {{0, 0xC0, 80}, {0, 0xB0, 7, 100}}, 800));
    EXPECT_EQ(player.playState(), 2);
    EXPECT_EQ(host.maximum, 80);
    ASSERT_TRUE(tickUntil([&] { return player.playState() == 0; }));
    EXPECT_GE(clock.elapsed(), 800 - kAhead) << "it ends at its length, not before";
    expectIdle();
    EXPECT_EQ(host.memo, QStringList{"earlier output"});
    ASSERT_TRUE(rec.waitForFrames(start + PulseRecording::framesFor(800), 10000));
    EXPECT_LT(rec.rms(start, rec.frames()), kSilence);
}

TEST_F(PlaybackTest, ALargeFileIsReadWhileTheTickGoesOn) {
    const QString large = path("large.mid");
    const int64_t length = writeLargeSong(large, 2u << 20);
    player.StartBuiltinPlay(large);
    EXPECT_EQ(player.playState(), 1) << "read on a thread of its own";
    EXPECT_FALSE(player.mplMain().isOpen());
    EXPECT_FALSE(host.barEnabled);
    ASSERT_TRUE(tickUntil([&] { return player.playState() == 2; }));
    EXPECT_EQ(player.mplMain().length(), length);
    EXPECT_TRUE(host.barEnabled);
    EXPECT_TRUE(host.stopGlyph);
    ASSERT_TRUE(tickUntil([&] { return host.bar >= 20; }));

    // A start, a missing file and the shutdown each drop a start still reading.
    player.StartBuiltinPlay(large);
    ASSERT_EQ(player.playState(), 1);
    player.StartBuiltinPlay(writeTone(path("short.mid"), 3000));
    EXPECT_EQ(player.playState(), 2);
    EXPECT_EQ(player.mplMain().length(), 3000);
    player.StartBuiltinPlay(large);
    player.StartBuiltinPlay(path("missing.mid"));
    for (int i = 0; i < 5; ++i)
        player.PlayTick();
    expectIdle();
    player.StartBuiltinPlay(large);
    player.CloseDevices();
    player.PlayTick();
    expectIdle();
}

TEST_F(PlaybackTest, DraggingHoldsTheBarAndTheReleaseSeeksThere) {
    player.StartBuiltinPlay(writeTone(path("song.mid"), 8000));
    ASSERT_TRUE(tickUntil([&] { return host.bar >= 20; }));
    player.ScrollEvent(playback::scTrack);
    EXPECT_TRUE(player.seekDragging());
    host.bar = 600;  // the user drags the thumb to 6 s
    const int64_t dragged = player.mplMain().position();
    ASSERT_TRUE(tickUntil([&] { return player.mplMain().position() >= dragged + 300; }))
        << "dragging does not interrupt the play";
    EXPECT_EQ(host.bar, 600) << "the tick leaves a dragged bar alone";
    EXPECT_LT(player.mplMain().position(), 6000) << "nor does it seek before the release";
    player.ScrollEvent(playback::scPosition);
    QElapsedTimer clock;
    clock.start();
    player.ScrollEvent(playback::scEndScroll);
    EXPECT_FALSE(player.seekDragging());
    EXPECT_GE(player.mplMain().position(), 6000);
    EXPECT_LT(player.mplMain().position(), 6000 + clock.elapsed() + kAhead);
    ASSERT_TRUE(tickUntil([&] { return player.mplMain().position() >= 6200; }));
    EXPECT_EQ(player.playState(), 2);
    EXPECT_GE(host.bar, 620);
}

TEST_F(PlaybackTest, CuesFollowTheWaveSetting) {
    // Off: nothing is opened or played, whatever the paths hold.
    player.PrepareWave(0, path("missing.wav"));
    player.PlayWave(0);
    EXPECT_FALSE(player.cue(0).isOpen());

    settings.wave = 1;
    writeFile(path("text.wav"), "not a wave");
    EXPECT_THROW(player.PrepareWave(0, path("text.wav")), DeviceError);
    EXPECT_FALSE(player.cue(0).isOpen());
    player.PlayWave(0);  // a cue that cannot sound stops nothing

    player.PrepareWave(0, writeSine(path("ok.wav"), 3000));
    player.PlayWave(0);
    ASSERT_TRUE(waitFor([&] { return player.cue(0).position() >= 200; }, 10000));
    const int64_t at = player.cue(0).position();
    player.PlayWave(0);  // still playing: continues
    EXPECT_GE(player.cue(0).position(), at);
    EXPECT_TRUE(player.cue(0).isPlaying());
}

// --- StartPlayer ------------------------------------------------------------------

class StartPlayerTest : public PlaybackTest {
protected:
    QString record = home.path("launch.rec");
    QString song;

    void SetUp() override {
        PlaybackTest::SetUp();
        song = writeTone(path("work dir/my song.mid"), 2000);
        host.midi = song;
        settings.play = 0;
        settings.execplayer = fixture("compilers/record-launch.sh");
        home.env().set("ZEK_LAUNCH_RECORD", QFile::encodeName(record));
    }
    // The outside player's arguments after its own name.
    QStringList launched() {
        if (!waitForFile(record, 10000))
            return {"(not started)"};
        QStringList args = QString::fromUtf8(readFile(record)).split(QChar(0));
        args.removeLast();
        args.removeFirst();
        QFile::remove(record);
        return args;
    }
};

TEST_F(StartPlayerTest, StartsTheOutsidePlayerWithTheFileAsOneArgument) {
    struct Case {
        int copy;
        QString parameters;
        QStringList expected;
    };
    const QString copy = host.temp + "my song.mid";
    const Case cases[] = {
        {0, "", {song}},
        {0, "/play /close", {"/play", "/close", song}},
        {1, "-q", {"-q", copy}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parameters.toStdString());
        settings.copy = c.copy;
        settings.parmplayer = c.parameters;
        player.StartPlayer();
        EXPECT_EQ(launched(), c.expected);
        EXPECT_TRUE(host.warnings.isEmpty());
    }
    EXPECT_EQ(readFile(copy), readFile(song));
    EXPECT_EQ(host.returns, 3) << "show 1 brings the recorded window forward first";
    settings.show = 0;
    player.StartPlayer();
    launched();
    EXPECT_EQ(host.returns, 3);
}

TEST_F(StartPlayerTest, SaysWhenThePlayerIsMissingOrCannotStart) {
    const QString broken = home.path("broken-player");
    writeFile(broken, "#!/nonexistent/interpreter\n");
    QFile::setPermissions(broken, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    struct Case {
        QString player;
        QString message;
    };
    for (const Case& c : {Case{path("no-player"), "ﾌﾟﾚｲﾔｰのﾊﾟｽが登録されていません。"},
                          Case{"sh", "ﾌﾟﾚｲﾔｰのﾊﾟｽが登録されていません。"},
                          Case{home.root(), "ﾌﾟﾚｲﾔｰのﾊﾟｽが登録されていません。"},
                          Case{broken, "ﾌﾟﾚｲﾔｰの起動に失敗しました。"}}) {
        SCOPED_TRACE(c.player.toStdString());
        host.warnings.clear();
        settings.execplayer = c.player;
        player.StartPlayer();
        EXPECT_EQ(host.warnings, QStringList{c.message});
    }
    EXPECT_FALSE(QFile::exists(record));
}

TEST_F(StartPlayerTest, DoesNothingBeforeTheSettingsAreReady) {
    host.ready = false;
    settings.copy = 1;
    player.StartPlayer();
    settings.play = 1;
    player.StartPlayer();
    EXPECT_EQ(player.playState(), 0);
    EXPECT_FALSE(QFile::exists(host.temp + "my song.mid"));
    EXPECT_FALSE(waitForFile(record, 300));
    EXPECT_TRUE(host.warnings.isEmpty());
}

TEST_F(StartPlayerTest, OnlyAPlainFileIsCopied) {
    // A pipe as the MIDI file: opening it to copy would wait for a writer.
    const QString pipe = path("work dir/pipe.mid");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    // Should it be opened all the same, a writer comes by and ends the wait,
    // so that the test fails instead of hanging.
    std::atomic<bool> done{false}, opened{false};
    std::thread writer([&] {
        while (!done) {
            const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                opened = true;
                ::close(fd);
            }
            QThread::msleep(50);
        }
    });
    host.midi = pipe;
    settings.play = 1;
    settings.copy = 1;
    writeTone(host.temp + "pipe.mid", 1500);  // the copy of an earlier run
    player.StartPlayer();
    done = true;
    writer.join();
    EXPECT_FALSE(opened) << "the pipe was opened";
    // No copy was made: the player is given what the copy already holds.
    EXPECT_EQ(player.playState(), 2);
    EXPECT_EQ(player.mplMain().length(), 1500);
}

TEST_F(StartPlayerTest, ABuiltInPlayOfACopyIsReplacedByTheNextCopy) {
    settings.play = 1;
    settings.copy = 1;
    writeTone(song, 4000);
    player.StartPlayer();
    EXPECT_EQ(player.playState(), 2);
    EXPECT_EQ(player.mplMain().length(), 4000);
    ASSERT_TRUE(tickUntil([&] { return player.mplMain().position() >= 1000; }));
    // A new compile result, requested while the copy plays.
    writeTone(song, 3000);
    QElapsedTimer clock;
    clock.start();
    player.StartPlayer();
    EXPECT_EQ(player.playState(), 2);
    EXPECT_EQ(player.mplMain().length(), 3000);
    EXPECT_LT(player.mplMain().position(), clock.elapsed() + kAhead) << "from the start";
    EXPECT_EQ(readFile(host.temp + "my song.mid"), readFile(song));
    // With copy 0 the compiler's output itself is played.
    settings.copy = 0;
    writeTone(song, 2500);
    player.StartPlayer();
    EXPECT_EQ(player.mplMain().length(), 2500);
}

}  // namespace
