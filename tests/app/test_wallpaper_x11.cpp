// The wallpaper in the real zek on a private X desktop: once another window
// is active the picture covers the output area; activating ZEK brings the
// memo back.
#include "support/TestEnv.h"
#include "support/XServer.h"
#include "support/ZekProcess.h"

#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

using namespace zek::test;

namespace {

unsigned long findWindow(const XServer& x, const QString& namePattern) {
    unsigned long id = 0;
    waitFor(
        [&] {
            id = x.run("xdotool", {"search", "--onlyvisible", "--name", namePattern}).section('\n', 0, 0).toULong();
            return id != 0;
        },
        20000);
    return id;
}

// A shot of one window; null when it could not be taken.
QImage windowShot(const XServer& x, unsigned long window, const QString& png) {
    QFile::remove(png);
    x.run("import", {"-window", QString::number(window), png});
    return QImage(png);
}

bool isRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }
bool isBlue(QRgb c) { return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60; }

TEST(WallpaperX11, AnotherActiveWindowBringsThePictureAndZekActiveTheMemo) {
    XServer x;
    if (!x.ok())
        GTEST_SKIP() << x.skipReason().toStdString();
    IsolatedHome home;
    // 32 x 16, red left half and blue right half, stretched over the memo.
    const QString picture = fixture("pictures/rgb-baseline.jpg");
    writeSettings(home, "show=1\nwall=1\nsize=1\ntimerwallpaper=0\nwallpaper=" + picture.toUtf8() + "\n");
    RunningZek zek(installZek(home), home, x.environment());
    ASSERT_TRUE(zek.waitReady());
    const unsigned long zekWindow = findWindow(x, "^ZEK - MMLコンパイラ支援ツール$");
    ASSERT_NE(zekWindow, 0u);
    ASSERT_TRUE(waitFor([&] { return x.activeWindow() == zekWindow; }, 10000));

    QProcess other;
    other.setProcessEnvironment(x.environment());
    other.start("xmessage", {"-name", "zek-other", "-geometry", "+600+450", "another window"});
    const unsigned long otherWindow = findWindow(x, "^zek-other$");
    ASSERT_NE(otherWindow, 0u);
    x.run("xdotool", {"windowactivate", QString::number(otherWindow)});
    ASSERT_TRUE(waitFor([&] { return x.activeWindow() == otherWindow; }, 10000));

    // The memo's area is the lower part of the window; its bottom corners
    // show the picture's two halves once it is up.
    const QString shot = home.path("wallpaper.png");
    QImage image;
    auto pictureUp = [&] {
        image = windowShot(x, zekWindow, shot);
        return !image.isNull() && isRed(image.pixel(20, image.height() - 20)) &&
               isBlue(image.pixel(image.width() - 20, image.height() - 20));
    };
    EXPECT_TRUE(waitFor(pictureUp, 15000)) << "see " << shot.toStdString();
    if (const char* keep = std::getenv("ZEK_KEEP_SHOTS"))
        QFile::copy(shot, QString::fromLocal8Bit(keep) + "/wallpaper-up.png");

    x.run("xdotool", {"windowactivate", QString::number(zekWindow)});
    auto memoBack = [&] {
        image = windowShot(x, zekWindow, shot);
        return !image.isNull() && !isRed(image.pixel(20, image.height() - 20));
    };
    EXPECT_TRUE(waitFor(memoBack, 15000));
    if (const char* keep = std::getenv("ZEK_KEEP_SHOTS"))
        QFile::copy(shot, QString::fromLocal8Bit(keep) + "/wallpaper-memo.png");

    other.kill();
    other.waitForFinished(5000);
    zek.signal(SIGTERM);
    EXPECT_EQ(zek.waitExit(), 0);
}

}  // namespace
