// The wallpaper's state machine, driven by a test clock and a foreground
// answer that the test sets, with real picture files.
#include "support/TestEnv.h"
#include "ui/Wallpaper.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace zek;
using namespace zek::test;

namespace {

class TestHost : public ui::WallpaperHost {
public:
    QDateTime clock = QDateTime(QDate(2024, 5, 1), QTime(12, 0, 0));
    bool ours = true;
    bool compileRequest = false;
    bool shown = false;
    QImage picture;

    QDateTime now() const override { return clock; }
    bool foregroundIsOurs() const override { return ours; }
    bool compileRequested() const override { return compileRequest; }
    bool pictureShown() const override { return shown; }
    void showPicture(bool on) override { shown = on; }
    void setPicture(const QImage& p) override { picture = p; }
    void setPictureLayout(bool, bool) override {}
    void advance(int seconds) { clock = clock.addSecs(seconds); }
};

QString picture(const char* name) { return fixture(QStringLiteral("pictures/") + name); }

struct WallpaperTest : ::testing::Test {
    IsolatedHome home;
    settings::Settings settings;
    TestHost host;
    ui::Wallpaper wallpaper{settings, host};

    void SetUp() override {
        settings.wall = 1;
        settings.wallpaper = picture("rgb-baseline.jpg");
        settings.timerwallpaper = 60;
    }
    // Runs the tick once a second for `seconds` seconds.
    void tickFor(int seconds) {
        for (int i = 0; i < seconds; ++i) {
            host.advance(1);
            wallpaper.WallpaperTick();
        }
    }
    // With timer 0, one tick with another window in front shows the picture.
    void showAtOnce() {
        settings.timerwallpaper = 0;
        host.ours = false;
        wallpaper.WallpaperTick();
        ASSERT_TRUE(host.shown);
    }
    QString copyInto(const QString& folder, const char* fixtureName, const QString& name) {
        QDir().mkpath(folder);
        const QString to = folder + "/" + name;
        EXPECT_TRUE(QFile::copy(picture(fixtureName), to));
        return to;
    }
};

TEST_F(WallpaperTest, IdleTimeCountsFromTheFirstDepartureAcrossAVisitWithoutCompile) {
    ASSERT_TRUE(wallpaper.LoadWallpaper());

    host.ours = false;  // leave for 40 s
    wallpaper.WallpaperTick();
    EXPECT_TRUE(wallpaper.idleCounting());
    const qint64 departed = wallpaper.idleStart();
    tickFor(40);
    EXPECT_FALSE(host.shown);

    host.ours = true;  // back for 30 s: timing is left as it is
    tickFor(30);
    EXPECT_FALSE(host.shown);
    EXPECT_TRUE(wallpaper.idleCounting());
    EXPECT_EQ(wallpaper.idleStart(), departed);

    host.ours = false;  // leave again: 70 s since the first departure
    wallpaper.WallpaperTick();
    EXPECT_TRUE(host.shown);

    host.ours = true;  // coming back shows the memo and stops timing
    wallpaper.WallpaperTick();
    EXPECT_FALSE(host.shown);
    EXPECT_FALSE(wallpaper.idleCounting());
}

TEST_F(WallpaperTest, ShowsAfterExactlyTheTimerAndAtOnceWithTimerZero) {
    host.ours = false;
    wallpaper.WallpaperTick();
    tickFor(59);
    EXPECT_FALSE(host.shown);
    tickFor(1);
    EXPECT_TRUE(host.shown);

    settings.timerwallpaper = 0;
    host.ours = true;
    wallpaper.WallpaperTick();
    ASSERT_FALSE(host.shown);
    host.ours = false;
    wallpaper.WallpaperTick();  // the very first tick with another window in front
    EXPECT_TRUE(host.shown);
}

TEST_F(WallpaperTest, ACompileRequestOrTheSourceWatchHidesThePicture) {
    showAtOnce();
    host.compileRequest = true;
    wallpaper.WallpaperTick();
    EXPECT_FALSE(host.shown);
    EXPECT_FALSE(wallpaper.idleCounting());

    host.compileRequest = false;
    wallpaper.WallpaperTick();
    ASSERT_TRUE(host.shown);
    wallpaper.showMemo();  // the source watch, before it compiles
    EXPECT_FALSE(host.shown);
    EXPECT_FALSE(wallpaper.idleCounting());
}

TEST_F(WallpaperTest, ACompileRestartsARunningIdlePeriod) {
    wallpaper.restartIdleTimer();  // not timing: nothing starts
    EXPECT_FALSE(wallpaper.idleCounting());

    host.ours = false;
    wallpaper.WallpaperTick();
    tickFor(50);
    wallpaper.restartIdleTimer();
    EXPECT_EQ(wallpaper.idleStart(), host.clock.toSecsSinceEpoch());
    tickFor(59);
    EXPECT_FALSE(host.shown);
    tickFor(1);
    EXPECT_TRUE(host.shown);
}

TEST_F(WallpaperTest, SwitchedOffItGivesTheMemoBackOnTheNextTick) {
    showAtOnce();
    settings.wall = 0;
    wallpaper.WallpaperTick();
    EXPECT_FALSE(host.shown);
    EXPECT_FALSE(wallpaper.idleCounting());
    wallpaper.WallpaperTick();  // stays off
    EXPECT_FALSE(host.shown);
}

TEST_F(WallpaperTest, CandidatesShareTheExtensionInAnyCaseAndThePickFollowsTheSecond) {
    const QString folder = home.path("pics");
    settings.wallpaper = copyInto(folder, "rgb-baseline.jpg", "a.jpg");
    copyInto(folder, "grey.jpg", "b.JPG");
    copyInto(folder, "rgb.png", "c.png");
    copyInto(folder, "rgb-baseline.jpg", "d.jpeg");
    QDir().mkpath(folder + "/e.jpg");  // a folder is no candidate
    settings.rand = 1;

    wallpaper.BuildWallpaperList();
    EXPECT_EQ(wallpaper.wallpaperList(), QStringList({folder + "/a.jpg", folder + "/b.JPG"}));
    EXPECT_EQ(settings.wallpaperCount, 2);

    host.clock.setTime(QTime(12, 0, 31));  // 31 mod 2 = 1: b.JPG, the grey one
    ASSERT_TRUE(wallpaper.LoadWallpaper());
    EXPECT_EQ(qRed(host.picture.pixel(2, 2)), qGreen(host.picture.pixel(2, 2)));
    host.clock.setTime(QTime(12, 0, 30));
    ASSERT_TRUE(wallpaper.LoadWallpaper());
    EXPECT_GT(qRed(host.picture.pixel(2, 2)), 200);
    EXPECT_LT(qBlue(host.picture.pixel(2, 2)), 60);
}

TEST_F(WallpaperTest, OneCandidateOrAnUnreadableFolderUsesTheConfiguredPicture) {
    settings.rand = 1;
    settings.wallpaper = copyInto(home.path("one"), "rgb-baseline.jpg", "only.jpg");
    wallpaper.BuildWallpaperList();
    EXPECT_EQ(settings.wallpaperCount, 1);
    EXPECT_TRUE(wallpaper.LoadWallpaper());

    settings.wallpaper = home.path("missing-folder/x.jpg");
    wallpaper.BuildWallpaperList();
    EXPECT_EQ(settings.wallpaperCount, 0);
    EXPECT_FALSE(wallpaper.LoadWallpaper());
    EXPECT_EQ(settings.wall, 0);
}

TEST_F(WallpaperTest, APickThatFailsToLoadTurnsTheWallpaperOffWithoutShowingIt) {
    const QString folder = home.path("pics");
    settings.wallpaper = copyInto(folder, "rgb-baseline.jpg", "a.jpg");
    const QString second = copyInto(folder, "rgb-baseline.jpg", "b.jpg");
    settings.rand = 1;
    settings.timerwallpaper = 0;
    wallpaper.BuildWallpaperList();
    ASSERT_TRUE(wallpaper.LoadWallpaper());
    QFile::remove(second);  // deleted after start-up

    host.clock.setTime(QTime(12, 0, 1));  // picks b.jpg
    host.ours = false;
    wallpaper.WallpaperTick();
    EXPECT_EQ(settings.wall, 0);
    EXPECT_FALSE(host.shown);
}

}  // namespace
