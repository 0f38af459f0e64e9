// The running zek, asked to play a damaged MIDI file, sounds its error cue
// and tells the mascot that the play failed.
#include "SoundFixtures.h"
#include "SstpTestServer.h"
#include "notify/SstpScripts.h"
#include "platform/TextCodec.h"
#include "support/NetNamespace.h"
#include "support/ZekProcess.h"

#include <csignal>

using namespace zek;
using namespace zek::test;

namespace {

using PlaybackMascot = SoundTest;

TEST_F(PlaybackMascot, AFailedPlaySoundsTheErrorCueAndTellsTheMascot) {
    QString why;
    if (!enterPrivateNetwork(&why))
        GTEST_SKIP() << why.toStdString();
    SstpTestServer mascot;
    ASSERT_TRUE(mascot.listen(11000, &why)) << why.toStdString();
    mascot.start(ServerBehaviour::ReplyAndClose);
    PresenceMarker marker;
    ASSERT_TRUE(marker.ok());

    const QString zek = installZek(home);
    writeDamagedSong(path("work/song.mid"));
    writeSettings(home, "sstp=1\nauto=0\nplay=1\nwave=1\nwavenormal=" +
                            QFile::encodeName(writeSine(path("normal.wav"), 200)) + "\nwaveerror=" +
                            QFile::encodeName(writeSine(path("error.wav"), 700, 44100, 440)) + "\n");
    RunningZek running(zek, home, server.environment(offscreenEnvironment()),
                       {path("work/song.mml"), path("work/song.mid")});
    ASSERT_TRUE(running.waitReady());
    ASSERT_TRUE(mascot.waitForConnections(1));  // the greeting
    const int greeting = mascot.received().size();

    PulseRecording rec(server);
    ASSERT_TRUE(rec.ok());
    const int64_t before = rec.frames();
    EXPECT_EQ(runZek(zek, {"/PLAY"}).exitCode, 1);
    ASSERT_TRUE(mascot.waitForConnections(2, std::chrono::seconds(10)));
    EXPECT_TRUE(mascot.received().mid(greeting).contains(
        platform::encodeCp932(notify::SstpScript(notify::SstpEvent::PlaybackFailed) + "\\e")));
    EXPECT_GE(waitForSound(rec, before), 0) << "the error cue was not heard";

    running.signal(SIGTERM);
    EXPECT_EQ(running.waitExit(), 0);
}

}  // namespace
