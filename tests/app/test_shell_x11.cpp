// The real zek on a private X desktop, installed with its shortcut library:
// the settings dialog's tab "機能" makes the desktop launcher and the
// association by keyboard, and a source then opened from the desktop is
// handed to the running zek, which compiles it.
#include "platform/XdgAssociation.h"
#include "settings/FileAssociation.h"
#include "support/DesktopTools.h"
#include "support/XServer.h"
#include "support/ZekProcess.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>

using namespace zek;
using namespace zek::test;

namespace {

// Presses keys in the dialog, then answers the question that follows with Yes.
void pressAndConfirm(const XServer& x, const QString& key, unsigned long dialog) {
    x.run("xdotool", {"key", key});
    ASSERT_NE(x.waitForActive("詳細設定", dialog), 0u) << "the question over the dialog";
    x.run("xdotool", {"key", "Return"});
    ASSERT_EQ(x.waitForActive("詳細設定"), dialog);
}

TEST(ShellX11, TheDialogMakesTheLauncherAndTheAssociationThatOpenSourcesInZek) {
    XServer x;
    if (!x.ok())
        GTEST_SKIP() << x.skipReason().toStdString();
    IsolatedHome home;
    const QString zek = installZek(home);
    ASSERT_TRUE(QFile::copy(ZEK_BIN_DIR "/libzeririzu.so", home.programDir() + "/libzeririzu.so"));
    QDir().mkpath(home.home() + "/Desktop");
    writeSettings(home, "show=1\nexecsmc=" ZEK_BIN_DIR "/zekmml\n");
    RunningZek running(zek, home, x.environment());
    ASSERT_TRUE(running.waitReady());
    ASSERT_NE(x.waitForActive("ZEK - MMLコンパイラ支援ツール"), 0u);

    x.run("xdotool", {"key", "--delay", "100", "alt+i", "e"});  // 設定(&I), 詳細設定(&E)
    const unsigned long dialog = x.waitForActive("詳細設定");
    ASSERT_NE(dialog, 0u);
    x.run("xdotool", {"key", "--delay", "50", "Right", "Right", "Right"});  // the tab bar to "機能"
    if (const QString dir = qEnvironmentVariable("ZEK_SCREENSHOT_DIR"); !dir.isEmpty())
        x.screenshot(dir + "/settings_status_tab.png");

    pressAndConfirm(x, "alt+d", dialog);
    const QString launcher = home.home() + "/Desktop/ZEK.desktop";
    ASSERT_TRUE(waitForFile(launcher, 10000));
    EXPECT_TRUE(readFile(launcher).contains("\nExec=" + QFile::encodeName(zek) + " %f\n"));

    pressAndConfirm(x, "alt+e", dialog);  // association with "ZEK", the stored choice
    const QString type = settings::ownMimeType(settings::associationKind(0));
    ASSERT_TRUE(waitFor(
        [&] { return runTool("xdg-mime", {"query", "default", type}, desktopToolEnvironment(home)) ==
                     platform::openEntryId(type); },
        20000));
    x.run("xdotool", {"key", "Escape"});
    ASSERT_NE(x.waitForActive("ZEK - MMLコンパイラ支援ツール"), 0u);

    // Opened from the desktop: a second zek hands the file to the running one.
    const QString song = home.path("songs/a song.smc");
    ASSERT_TRUE(writeFile(song, "t120 l4 cdefg\n"));
    QProcessEnvironment env = desktopToolEnvironment(home);
    env.insert("DISPLAY", x.display());
    runTool("gio", {"open", song}, env);
    EXPECT_TRUE(waitForFile(home.path("songs/a song.mid"), 30000));

    running.signal(SIGTERM);
    EXPECT_EQ(running.waitExit(), 0);
}

}  // namespace
