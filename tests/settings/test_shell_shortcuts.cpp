// The shortcut toggles with the real libzeririzu.so: questions, files on
// disk, error notices, and a launcher that really starts the program.
#include "support/DesktopTools.h"
#include "platform/ShortcutLibrary.h"
#include "settings/ShellShortcuts.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace zek;
using namespace zek::test;
using settings::ShortcutPlace;

namespace {

const QString kLibrary = QStringLiteral(ZEK_BIN_DIR "/libzeririzu.so");

struct Place {
    ShortcutPlace place;
    QString name;  // as the questions name it
};
const Place kPlaces[] = {{ShortcutPlace::SendTo, QStringLiteral("「送る」")},
                         {ShortcutPlace::Desktop, QStringLiteral("「ﾃﾞｽｸﾄｯﾌﾟ」")}};

QString createQuestion(const Place& p) { return p.name + "にZEKのｼｮｰﾄｶｯﾄを作成します。\nよろしいですか？"; }
QString deleteQuestion(const Place& p) { return p.name + "のZEKのｼｮｰﾄｶｯﾄを削除します。\nよろしいですか？"; }

struct ShortcutTest : ::testing::Test {
    IsolatedHome home;
    platform::ShortcutLibrary library{kLibrary};
    ScriptedHost host;
    QString program = home.programDir() + "/zek";

    QString pathOf(ShortcutPlace place) {
        return place == ShortcutPlace::SendTo ? settings::SendToShortcutPath() : settings::DesktopShortcutPath();
    }
    void press(ShortcutPlace place, QList<bool> answers) {
        host.answers = std::move(answers);
        settings::ToggleShortcut(place, pathOf(place), program, host, library);
    }
};

TEST_F(ShortcutTest, PathsLieInTheUsersApplicationsAndDesktopFolders) {
    EXPECT_EQ(settings::SendToShortcutPath(), home.dataHome() + "/applications/ZEK.desktop");
    EXPECT_EQ(settings::DesktopShortcutPath(), home.home() + "/Desktop/ZEK.desktop");
}

TEST_F(ShortcutTest, CreateDeleteCreateAgainDecidesFromTheDiskEachTime) {
    QDir().mkpath(home.home() + "/Desktop");
    for (const Place& p : kPlaces) {
        SCOPED_TRACE(p.name.toStdString());
        const QString path = pathOf(p.place);
        host.questions.clear();

        press(p.place, {true});
        ASSERT_TRUE(QFileInfo(path).isFile());
        EXPECT_TRUE(QFileInfo(path).isExecutable());
        const QString entry = QString::fromUtf8(readFile(path));
        EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
        EXPECT_TRUE(entry.contains("\nExec=" + program + " %f\n")) << entry.toStdString();

        press(p.place, {true});
        EXPECT_FALSE(QFileInfo::exists(path));

        press(p.place, {false});
        EXPECT_FALSE(QFileInfo::exists(path));

        EXPECT_EQ(host.questions, QStringList({createQuestion(p), deleteQuestion(p), createQuestion(p)}));
        EXPECT_TRUE(host.errors.isEmpty());
    }
}

TEST_F(ShortcutTest, AnyFileOfThatNameOffersDeletionAndNoKeepsIt) {
    const QString path = pathOf(ShortcutPlace::Desktop);
    ASSERT_TRUE(writeFile(path, "whatever it is\n"));
    press(ShortcutPlace::Desktop, {false});
    EXPECT_EQ(host.questions, QStringList({deleteQuestion(kPlaces[1])}));
    EXPECT_EQ(readFile(path), QByteArray("whatever it is\n"));
}

TEST_F(ShortcutTest, AFolderOfThatNameIsNoShortcutAndIsLeftAlone) {
    const QString path = pathOf(ShortcutPlace::SendTo);
    ASSERT_TRUE(writeFile(path + "/inside.txt", "kept"));
    press(ShortcutPlace::SendTo, {true});
    EXPECT_EQ(host.questions, QStringList({createQuestion(kPlaces[0])}));
    EXPECT_EQ(host.errors, QStringList({settings::ShortcutNotCreatedMessage(path)}));
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(readFile(path + "/inside.txt"), QByteArray("kept"));
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"ZEK.desktop"}));  // no temporary file left behind
}

TEST_F(ShortcutTest, AMissingDesktopFolderIsReportedNotMadeUp) {
    press(ShortcutPlace::Desktop, {true});
    EXPECT_EQ(host.errors, QStringList({settings::ShortcutNotCreatedMessage(pathOf(ShortcutPlace::Desktop))}));
    EXPECT_FALSE(QFileInfo::exists(home.home() + "/Desktop"));

    // The applications folder is the user's own list and is simply made.
    ASSERT_FALSE(QFileInfo::exists(home.dataHome() + "/applications"));
    press(ShortcutPlace::SendTo, {true});
    EXPECT_TRUE(QFileInfo(pathOf(ShortcutPlace::SendTo)).isFile());
    EXPECT_EQ(host.errors.size(), 1);
}

TEST_F(ShortcutTest, ALibraryThatCannotBeLoadedOrLacksTheFunctionGivesTheNotice) {
    for (const QString& lib : {home.programDir() + "/libzeririzu.so", QStringLiteral(ZEK_BIN_DIR "/libzekmml.so")}) {
        SCOPED_TRACE(lib.toStdString());
        platform::ShortcutLibrary other(lib);
        host.errors.clear();
        host.answers = {true};
        settings::ToggleShortcut(ShortcutPlace::SendTo, pathOf(ShortcutPlace::SendTo), program, host, other);
        EXPECT_EQ(host.errors, QStringList({QStringLiteral("ZERIRIZU.DLLが見つかりません。")}));
        EXPECT_FALSE(QFileInfo::exists(pathOf(ShortcutPlace::SendTo)));
    }
}

TEST_F(ShortcutTest, TheLauncherStartsTheProgramWithTheFilesHandedToIt) {
    // Blanks, a dollar sign and quotes in the program's path.
    program = home.path("my programs/$zek \"100\"/zek");
    ASSERT_TRUE(installRecorder(program));
    press(ShortcutPlace::SendTo, {true});
    ASSERT_TRUE(QFileInfo(pathOf(ShortcutPlace::SendTo)).isFile());

    const QString record = home.path("launch.rec");
    const QString song = home.path("songs/a song.mml");
    ASSERT_TRUE(writeFile(song, "cde\n"));
    runTool("gio", {"launch", pathOf(ShortcutPlace::SendTo), song}, desktopToolEnvironment(home, record));
    ASSERT_TRUE(waitForFile(record, 20000));
    EXPECT_EQ(recordedArgv(record), QStringList({program, song}));
}

}  // namespace
