#include "settings/SettingsStore.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <gtest/gtest.h>

using zek::settings::Settings;
using zek::settings::SettingsStore;
using zek::test::IsolatedHome;
using zek::test::readFile;
using zek::test::writeFile;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    IsolatedHome home;
    SettingsStore store{home.programDir()};

    QString zekFile() const { return home.configHome() + "/Talmo/ZEK.conf"; }
    void writeZek(const QByteArray& ini) { ASSERT_TRUE(writeFile(zekFile(), ini)); }
    Settings loaded(bool* found = nullptr) {
        Settings s;
        const bool f = store.load(s);
        if (found)
            *found = f;
        return s;
    }
};

TEST_F(SettingsTest, FreshUserGetsTheTableDefaults) {
    bool found = true;
    const Settings s = loaded(&found);
    EXPECT_FALSE(found);
    EXPECT_EQ(s.left, 0);
    EXPECT_EQ(s.top, 0);
    EXPECT_EQ(s.width, 513);
    EXPECT_EQ(s.height, 368);
    EXPECT_EQ(s.compiler, 0);
    EXPECT_EQ(s.option0, "-pc -ps");
    EXPECT_EQ(s.auto_, 1);
    EXPECT_EQ(s.show, 1);
    EXPECT_EQ(s.extr, 1);
    EXPECT_EQ(s.sstp, 1);
    EXPECT_EQ(s.next + s.quit + s.date + s.mini + s.snap + s.stay + s.ooji + s.updt + s.tray + s.rsiz +
                  s.errf + s.wall + s.cent + s.size + s.rand + s.fext + s.emin + s.wave + s.func + s.copy,
              0);
    EXPECT_EQ(s.timerexit, 15);
    EXPECT_EQ(s.timerwallpaper, 60);
    EXPECT_EQ(s.menutag, 10);
    EXPECT_EQ(s.menusmc, 11);
    EXPECT_EQ(s.menurunplayer, 12);
    EXPECT_EQ(s.menureturn, 13);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(s.compilerPath(i).isEmpty()) << "no bundled compiler in an empty program folder";
    EXPECT_TRUE(s.execplayer.isEmpty());
    EXPECT_EQ(s.play, 1) << "no outside player: the built-in one plays";
    EXPECT_TRUE(s.smcinclude.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(zekFile())) << "load never creates the store";
}

TEST_F(SettingsTest, SpiceEntryGivesCompilerAndIncludeUntilAStoredValueWins) {
    writeFile(home.configHome() + "/BEXLY/SPICE.conf", "[Exec]\nSMC=/opt/spice/SMC.EXE\n");
    Settings s = loaded();
    EXPECT_EQ(s.execsmc, "/opt/spice/SMC.EXE");
    EXPECT_EQ(s.smcinclude, "/opt/spice/SMI");

    s.execsmc.clear();
    store.save(s);
    const Settings again = loaded();
    EXPECT_TRUE(again.execsmc.isEmpty()) << "a stored empty value wins over the lookup";
    EXPECT_EQ(again.smcinclude, "/opt/spice/SMI");
}

TEST_F(SettingsTest, PlayerLookupsAndWhichWins) {
    // The desktop's default handler alone: xdg-open with no parameters.
    writeFile(home.configHome() + "/mimeapps.list", "[Default Applications]\naudio/midi=timidity.desktop;\n");
    writeFile(home.dataHome() + "/applications/timidity.desktop", "[Desktop Entry]\nName=t\n");
    const QString opener = QStandardPaths::findExecutable("xdg-open");
    Settings s = loaded();
    if (!opener.isEmpty()) {
        EXPECT_EQ(s.execplayer, opener);
        EXPECT_TRUE(s.parmplayer.isEmpty());
    }
    // The maker's player entry wins over the desktop default.
    writeFile(home.configHome() + "/TALMO/MIDI-PLAYER.conf", "[General]\nEXEC=/opt/player/mplay\n");
    s = loaded();
    EXPECT_EQ(s.execplayer, "/opt/player/mplay");
    EXPECT_EQ(s.parmplayer, "/1");
    EXPECT_EQ(s.play, 0) << "an outside player found: it stays the default";
}

TEST_F(SettingsTest, AnEmptyPlayerEntryLeavesItsParameterOutOfTheDesktopHandler) {
    const QString opener = QStandardPaths::findExecutable("xdg-open");
    if (opener.isEmpty())
        GTEST_SKIP() << "xdg-open is not installed (scripts/setup.sh installs it)";
    writeFile(home.configHome() + "/mimeapps.list", "[Default Applications]\naudio/midi=timidity.desktop;\n");
    writeFile(home.dataHome() + "/applications/timidity.desktop", "[Desktop Entry]\nName=t\n");
    writeFile(home.configHome() + "/TALMO/MIDI-PLAYER.conf", "[General]\nEXEC=\n");
    const Settings s = loaded();
    EXPECT_EQ(s.execplayer, opener);
    EXPECT_EQ(s.parmplayer, "");
}

TEST_F(SettingsTest, DefaultNamedButNotInstalledIsNoDefault) {
    writeFile(home.configHome() + "/mimeapps.list", "[Default Applications]\naudio/midi=gone.desktop\n");
    EXPECT_TRUE(loaded().execplayer.isEmpty());
}

TEST_F(SettingsTest, BundledCompilerFillsEmptyPathsOnly) {
    writeFile(home.programDir() + "/zekmml", "#!/bin/sh\n");
    writeFile(home.programDir() + "/libzekmml.so", "lib");
    Settings s = loaded();
    EXPECT_EQ(s.execsmc, home.programDir() + "/zekmml");
    EXPECT_EQ(s.execmml2mid, home.programDir() + "/zekmml");
    EXPECT_EQ(s.execcsakura, home.programDir() + "/zekmml");
    EXPECT_EQ(s.execdsakura, home.programDir() + "/libzekmml.so");

    writeZek("[General]\nleft=1\nexecmml2mid=/usr/bin/mine\n");
    s = loaded();
    EXPECT_EQ(s.execmml2mid, "/usr/bin/mine");
    EXPECT_EQ(s.execcsakura, home.programDir() + "/zekmml");
}

struct NormCase {
    const char* stored;
    const char* field;
    int expected;
};

class NormalisationTest : public SettingsTest, public ::testing::WithParamInterface<NormCase> {};

TEST_P(NormalisationTest, LoadsAsTheTableSays) {
    const NormCase& c = GetParam();
    writeZek(QByteArray("[General]\nleft=3\n") + c.stored + "\n");
    const Settings s = loaded();
    for (const auto& f : zek::settings::settingsFields()) {
        if (QString::fromLatin1(f.name) == c.field) {
            EXPECT_EQ(s.*f.integer, c.expected) << c.stored;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, NormalisationTest,
                         ::testing::Values(NormCase{"auto=5", "auto", 1}, NormCase{"auto=0", "auto", 0},
                                           NormCase{"wall=-2", "wall", 1}, NormCase{"fext=2", "fext", 2},
                                           NormCase{"fext=7", "fext", 7}, NormCase{"menutag=0", "menutag", 10},
                                           NormCase{"menutag=14", "menutag", 10},
                                           NormCase{"menutag=99", "menutag", 10},
                                           NormCase{"menutag=13", "menutag", 13},
                                           NormCase{"menusmc=-1", "menusmc", 11},
                                           NormCase{"menurunplayer=3", "menurunplayer", 3},
                                           NormCase{"menureturn=5", "menureturn", 13},
                                           NormCase{"compiler=7", "compiler", 0},
                                           NormCase{"compiler=-1", "compiler", 0},
                                           NormCase{"compiler=3", "compiler", 3},
                                           NormCase{"timerexit=abc", "timerexit", 15},
                                           NormCase{"width=12x", "width", 513},
                                           NormCase{"timerexit=0", "timerexit", 0},
                                           NormCase{"timerwallpaper=4294967296", "timerwallpaper", 60}));

TEST_F(SettingsTest, LeftMissingReadsTheRestButIsAFirstRun) {
    writeZek("[General]\ntop=40\nexeceditor=/usr/bin/vi\n");
    bool found = true;
    const Settings s = loaded(&found);
    EXPECT_FALSE(found);
    EXPECT_EQ(s.top, 40);
    EXPECT_EQ(s.execeditor, "/usr/bin/vi");
}

TEST_F(SettingsTest, OldOptionValueMigratesAndIsDeletedOnSave) {
    writeZek("[General]\nleft=0\noption=-pc\n");
    Settings s = loaded();
    EXPECT_EQ(s.option0, "-pc");
    store.save(s);
    QSettings raw(zekFile(), QSettings::IniFormat);
    EXPECT_FALSE(raw.contains("option"));
    EXPECT_EQ(raw.value("option0").toString(), "-pc");

    writeZek("[General]\nleft=0\noption=-old\noption0=-ps\n");
    EXPECT_EQ(loaded().option0, "-ps") << "a stored option0 wins over the old value";
}

TEST_F(SettingsTest, SaveWritesEveryValueAndRoundTrips) {
    Settings s;
    s.left = -20;
    s.compiler = 2;
    s.option2 = "-x \"quoted, with comma\"";
    s.execeditor = "/opt/エディタ/bin/ed itor";
    s.lastfile0 = "/m/曲.mml";
    s.lastfile9 = "/m/last.mml";
    s.quit = 1;
    s.menureturn = 5;
    store.save(s);
    const QByteArray text = readFile(zekFile());
    for (const auto& f : zek::settings::settingsFields())
        EXPECT_TRUE(text.contains(QByteArray("\n") + f.name + "=")) << f.name;
    EXPECT_TRUE(text.contains("\nmenureturn=13\n") || text.contains("\nmenureturn=5\n"));

    Settings back;
    back.sourceStamp = 77;
    const bool found = store.load(back);
    EXPECT_TRUE(found);
    EXPECT_EQ(back.menureturn, 13) << "menureturn is never read back";
    back.menureturn = 5;
    EXPECT_TRUE(back.samePersistent(s));
    EXPECT_EQ(back.sourceStamp, 77) << "run-time fields survive a reload";
}

TEST_F(SettingsTest, HandEditedTextsComeBackExactly) {
    // Each line is followed by another value, which must be read too.
    const QStringList texts = {
        "/p/a,b.bmp", "/p/a, b.bmp", "/p/a ,b", "a,,b", "a,",        // commas the reader splits
        "-x \"a b\"", "\"a b\"", "-x \"quoted, with comma\"",         // quotes of the user's own
        "\"a b\", -y  c", "C:\\dir\\file.bmp", "\\x41 \\n",          // backslashes the reader unescapes
        "C:\\dir\\",                                                  // one the reader takes for a line break
        "x ;not a comment", "曲 \"名\"",
    };
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        writeZek("[General]\nleft=1\nwallpaper=" + text.toUtf8() + "\ntop=5\nwavenormal=/w/n.wav\n");
        Settings s = loaded();
        EXPECT_EQ(s.wallpaper, text);
        EXPECT_EQ(s.top, 5);
        EXPECT_EQ(s.wavenormal, "/w/n.wav");
        store.save(s);
        EXPECT_EQ(loaded().wallpaper, text) << "after a save";
    }
    // A line just as ZEK writes it is read as ZEK wrote it.
    writeZek("[General]\nleft=1\nwallpaper=say \\\"hi\\\"\nwavenormal=\"a,b\"\n");
    EXPECT_EQ(loaded().wallpaper, "say \"hi\"");
    EXPECT_EQ(loaded().wavenormal, "a,b");
}

TEST_F(SettingsTest, TextsZekWroteComeBackAsSaved) {
    const QStringList texts = {
        "-x \"a b\"", "C:\\dir\\", "\\x41", "a\tb", " lead", "trail ", "a,b", "a;b", "k=v", "\"q\"",
        "@at", "@@x", "@Variant(x)", QString("a") + QChar(1) + "bc", QString("a") + QChar(0) + "1",
        "曲, 名", "😀", "",
    };
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        Settings s;
        s.wallpaper = text;
        store.save(s);
        EXPECT_EQ(loaded().wallpaper, text);
    }
}

TEST_F(SettingsTest, DamagedStoreGivesDefaultsAndIsKeptAside) {
    static const char kBinary[] = "\x7f\x45\x4c\x46\x02\x01\x01\x00\x00 left=5\n\x9f";
    const QByteArray damaged[] = {
        QByteArray("\x01\x02[General\nleft=5\n\xff\xfe=3\n[x\n"),       // cannot be parsed
        QByteArray::fromRawData(kBinary, sizeof kBinary - 1),           // binary garbage
        QByteArray("[General]\nleft=5\nwallpaper=\x82\xa0.bmp\n"),     // not UTF-8
    };
    for (const QByteArray& bytes : damaged) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        IsolatedHome fresh;
        SettingsStore freshStore{fresh.programDir()};
        const QString file = fresh.configHome() + "/Talmo/ZEK.conf";
        writeFile(file, bytes);
        Settings s;
        EXPECT_FALSE(freshStore.load(s));
        EXPECT_EQ(s.left, 0);
        s.left = 9;
        freshStore.save(s);
        Settings again;
        freshStore.load(again);
        EXPECT_EQ(again.left, 9);
        const QStringList aside = QDir(fresh.configHome() + "/Talmo").entryList({"ZEK.conf.broken-*"});
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(readFile(fresh.configHome() + "/Talmo/" + aside[0]), bytes);
    }
}

TEST_F(SettingsTest, ASecondDamagedStoreWithinTheSameSecondIsKeptToo) {
    for (int i = 0; i < 3; ++i) {
        writeZek("\x01" + QByteArray::number(i));
        loaded();
    }
    EXPECT_EQ(QDir(home.configHome() + "/Talmo").entryList({"ZEK.conf.broken-*"}).size(), 3);
}

TEST_F(SettingsTest, UnusableFolderGivesDefaultsAndSaveWritesNothing) {
    // A plain file where the folder belongs: unusable even for root, unlike chmod.
    ASSERT_TRUE(writeFile(home.configHome() + "/Talmo", "not a folder"));
    bool found = true;
    Settings s = loaded(&found);
    EXPECT_FALSE(found);
    EXPECT_EQ(s.left, 0);
    s.left = 4;
    store.save(s);
    EXPECT_EQ(readFile(home.configHome() + "/Talmo"), "not a folder");
}

}  // namespace
