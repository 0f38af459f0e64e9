// The association writer against the user's XDG files, checked with the
// desktop's own tools: xdg-mime for the defaults, gio and xdg-open for
// opening a source file from the desktop.
#include "support/DesktopTools.h"
#include "platform/XdgAssociation.h"
#include "settings/FileAssociation.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace zek;
using namespace zek::test;

namespace {

const QString kSmcType = QStringLiteral("application/x-smcfile");
const QString kMmlType = QStringLiteral("application/x-mmlfile");

struct AssociationTest : ::testing::Test {
    IsolatedHome home;
    ScriptedHost host;
    QString program = home.programDir() + "/zek";

    void SetUp() override { ASSERT_TRUE(installRecorder(program)); }

    void associate(int kind, int choice, const QString& text, bool answer = true) {
        host.answers = {answer};
        settings::WriteAssociation(kind, choice, text, program, settings::SettingsStore(home.programDir()), host);
    }
    int storedFext() {
        settings::Settings s;
        settings::SettingsStore(home.programDir()).load(s);
        return s.fext;
    }
    QString defaultFor(const QString& type) {
        return runTool("xdg-mime", {"query", "default", type}, desktopToolEnvironment(home));
    }
    QString entryPath(const QString& type) {
        return home.dataHome() + "/applications/" + platform::openEntryId(type);
    }
    QString execOf(const QString& type) {
        for (const QString& line : QString::fromUtf8(readFile(entryPath(type))).split('\n'))
            if (line.startsWith("Exec="))
                return line.mid(5);
        return QString();
    }
    QString packageComment(const QString& type) {
        const QString xml = QString::fromUtf8(readFile(platform::mimePackagePath(type)));
        const qsizetype from = xml.indexOf("<comment>");
        return from < 0 ? QString() : xml.mid(from + 9, xml.indexOf("</comment>") - from - 9);
    }
    // Opens `file` from the desktop with `tool` and returns the argv the
    // started program saw.
    QStringList openWith(const QStringList& tool, const QString& file) {
        const QString record = home.path("open.rec");
        QFile::remove(record);
        QProcess opener;
        opener.setProcessEnvironment(desktopToolEnvironment(home, record));
        opener.start(tool.first(), tool.mid(1) << file);
        const bool recorded = waitForFile(record, 30000);
        opener.waitForFinished(30000);
        return recorded ? recordedArgv(record) : QStringList();
    }
};

TEST_F(AssociationTest, FreshSystemGetsOurOwnTypeAndOpensSourcesWithTheChosenSwitch) {
    associate(0, 1, QStringLiteral("ｴﾃﾞｨﾀｰ"));
    EXPECT_EQ(host.questions, QStringList({QStringLiteral("ｿｰｽﾌｧｲﾙ .smc を「ｴﾃﾞｨﾀｰ」と関連付けます。\nよろしいですか？")}));
    EXPECT_EQ(storedFext(), 1);
    EXPECT_EQ(packageComment(kSmcType), QStringLiteral("SPICE ｿｰｽﾌｧｲﾙ"));
    EXPECT_EQ(execOf(kSmcType), program + " /E %f");
    EXPECT_EQ(defaultFor(kSmcType), platform::openEntryId(kSmcType));
    EXPECT_EQ(platform::mimeTypeForExtension(".SMC"), kSmcType);  // the database knows it now

    const QString song = home.path("songs/my song.smc");
    ASSERT_TRUE(writeFile(song, "cde\n"));
    EXPECT_EQ(openWith({"gio", "open"}, song), QStringList({program, "/E", song}));
    EXPECT_EQ(openWith({"xdg-open"}, song), QStringList({program, "/E", song}));
}

TEST_F(AssociationTest, AnExtensionAlreadyTypedKeepsItsTypeAndDescription) {
    // A system database where ".smc" belongs to another type.
    const QString systemMime = home.path("sysdata/mime");
    const QByteArray other =
        "<?xml version=\"1.0\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"application/x-other\"><comment>Other</comment><glob pattern=\"*.smc\"/></mime-type>\n"
        "</mime-info>\n";
    ASSERT_TRUE(writeFile(systemMime + "/packages/other.xml", other));
    runTool("update-mime-database", {systemMime}, desktopToolEnvironment(home));
    ASSERT_EQ(platform::mimeTypeForExtension(".smc"), "application/x-other");

    associate(0, 0, QStringLiteral("ZEK"));
    EXPECT_FALSE(QFileInfo::exists(platform::mimePackagePath(kSmcType)));
    EXPECT_FALSE(QFileInfo::exists(home.dataHome() + "/mime/packages"));
    EXPECT_EQ(readFile(systemMime + "/packages/other.xml"), other);
    EXPECT_EQ(execOf("application/x-other"), program + " %f");
    EXPECT_EQ(defaultFor("application/x-other"), platform::openEntryId("application/x-other"));

    const QString song = home.path("a.smc");
    ASSERT_TRUE(writeFile(song, "cde\n"));
    EXPECT_EQ(openWith({"gio", "open"}, song), QStringList({program, song}));
}

TEST_F(AssociationTest, ALaterKindOrChoiceRewritesOnlyTheOpenCommandAndFext) {
    associate(1, 0, QStringLiteral("ZEK"));  // MML2MID creates the type
    const QByteArray package = readFile(platform::mimePackagePath(kMmlType));
    EXPECT_EQ(packageComment(kMmlType), QStringLiteral("MML2MID ｿｰｽﾌｧｲﾙ"));

    associate(2, 2, QStringLiteral("ZEK と ｴﾃﾞｨﾀｰ"));  // cSakura, both
    EXPECT_EQ(host.questions.last(), QStringLiteral("ｿｰｽﾌｧｲﾙ .mml を「ZEK と ｴﾃﾞｨﾀｰ」と関連付けます。\nよろしいですか？"));
    EXPECT_EQ(readFile(platform::mimePackagePath(kMmlType)), package);
    EXPECT_EQ(execOf(kMmlType), program + " /A %f");
    EXPECT_EQ(storedFext(), 2);
    EXPECT_EQ(defaultFor(kMmlType), platform::openEntryId(kMmlType));
    EXPECT_EQ(QString::fromUtf8(readFile(home.configHome() + "/mimeapps.list")).count(kMmlType + "="), 1);

    const QString song = home.path("b.MML");
    ASSERT_TRUE(writeFile(song, "cde\n"));
    EXPECT_EQ(openWith({"gio", "open"}, song), QStringList({program, "/A", song}));
}

TEST_F(AssociationTest, NoSelectionStoresMinusOneAndWritesEverythingButTheOpenCommand) {
    associate(0, 5, QString());
    EXPECT_EQ(host.questions, QStringList({QStringLiteral("ｿｰｽﾌｧｲﾙ .smc を「」と関連付けます。\nよろしいですか？")}));
    EXPECT_EQ(storedFext(), -1);
    EXPECT_TRUE(QFileInfo::exists(platform::mimePackagePath(kSmcType)));
    EXPECT_FALSE(QFileInfo::exists(entryPath(kSmcType)));
    EXPECT_FALSE(QFileInfo::exists(home.configHome() + "/mimeapps.list"));
}

TEST_F(AssociationTest, NoAnswerChangesNothing) {
    associate(0, 1, QStringLiteral("ｴﾃﾞｨﾀｰ"), false);
    EXPECT_EQ(host.questions.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(home.configHome() + "/Talmo/ZEK.conf"));
    EXPECT_TRUE(QDir(home.dataHome()).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(home.configHome() + "/mimeapps.list"));
}

TEST_F(AssociationTest, TheUsersOtherMimeappsEntriesStayByteForByte) {
    const QByteArray mine = "# my defaults\r\n"
                            "[Added Associations]\n"
                            "text/plain=vim.desktop;\n"
                            "\n"
                            "[Default Applications]\n"
                            "text/plain=vim.desktop;\n"
                            "application/x-smcfile=someone-else.desktop;\n"
                            "image/png=feh.desktop;\n"
                            "\n"
                            "[Removed Associations]\n"
                            "text/html=firefox.desktop;";
    const QString list = home.configHome() + "/mimeapps.list";
    ASSERT_TRUE(writeFile(list, mine));
    associate(0, 0, QStringLiteral("ZEK"));
    QByteArray expected = mine;
    expected.replace("application/x-smcfile=someone-else.desktop;",
                     "application/x-smcfile=" + platform::openEntryId(kSmcType).toUtf8() + ";");
    EXPECT_EQ(readFile(list), expected);

    // A type new to the list joins the end of the defaults group.
    associate(1, 0, QStringLiteral("ZEK"));
    expected.replace("image/png=feh.desktop;\n",
                     "image/png=feh.desktop;\napplication/x-mmlfile=" + platform::openEntryId(kMmlType).toUtf8() +
                         ";\n");
    EXPECT_EQ(readFile(list), expected);
}

TEST(MimeappsList, ADefaultsGroupIsAddedWhereThereIsNone) {
    EXPECT_EQ(platform::withDefaultApplication("", "a/b", "x.desktop"),
              QByteArray("[Default Applications]\na/b=x.desktop;\n"));
    EXPECT_EQ(platform::withDefaultApplication("[Added Associations]\nc/d=y.desktop;", "a/b", "x.desktop"),
              QByteArray("[Added Associations]\nc/d=y.desktop;\n[Default Applications]\na/b=x.desktop;\n"));
    EXPECT_EQ(platform::withDefaultApplication("[Default Applications]\r\na/b=old.desktop;\r\n", "a/b", "x.desktop"),
              QByteArray("[Default Applications]\r\na/b=x.desktop;\r\n"));
}

}  // namespace
