// Apply and the commands around it, against a recording stand-in for the
// main window and a real store in an isolated home.
#include "settings/SettingsCommands.h"
#include "support/TestEnv.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

using namespace zek::settings;
using zek::test::IsolatedHome;

namespace {

class RecordingHost : public SettingsHost {
public:
    QStringList calls;
    QString option;
    int answer = kAnswerYes;
    int chosen = -1;
    QString failingWave;                  // prepareWave throws for this path
    std::function<void()> settingsDialog;  // what the user does in the dialog

    QString optionText() const override { return option; }
    void setOptionText(const QString& text) override {
        option = text;
        calls << "option " + text;
    }
    void setTopmost(bool on) override { calls << QStringLiteral("topmost %1").arg(on); }
    void buildWallpaperList() override { calls << "wallpaper list"; }
    bool loadWallpaper() override {
        calls << "wallpaper load";
        return true;
    }
    void layoutWallpaper(bool centre, bool stretch) override {
        calls << QStringLiteral("wallpaper layout %1 %2").arg(centre).arg(stretch);
    }
    void applyFunctionKeys() override { calls << "keys"; }
    void prepareWave(int which, const QString& path) override {
        calls << QStringLiteral("wave %1 %2").arg(which).arg(path);
        if (!failingWave.isEmpty() && path == failingWave)
            throw std::runtime_error("cannot open the wave file");
    }
    void checkCompilerMenu(int kind) override { calls << QStringLiteral("menu %1").arg(kind); }
    void stageIncludeFolder() override { calls << "stage"; }
    int askQuestion(const QString& text) override {
        calls << "ask " + text;
        return answer;
    }
    int runFirstRunDialog() override {
        calls << "first-run dialog";
        return chosen;
    }
    void runSettingsDialog() override {
        calls << "settings dialog";
        if (settingsDialog)
            settingsDialog();
    }
    void showError(const QString& text) override { calls << "error " + text; }
};

class SettingsCommandsTest : public ::testing::Test {
protected:
    IsolatedHome home;
    SettingsStore store{home.programDir()};
    Settings settings;
    RecordingHost host;
    SettingsCommands commands{settings, store, host};

    Settings stored() {
        Settings s;
        store.load(s);
        return s;
    }
};

TEST_F(SettingsCommandsTest, CreationRunsEveryStepInOrder) {
    settings.wall = 1;
    settings.wallpaper = "/p/a.bmp";
    settings.cent = 1;
    settings.wave = 1;
    settings.wavenormal = "/w/ok.wav";
    settings.waveerror = "/w/ng.wav";
    settings.compiler = 3;
    settings.option3 = "x";
    ApplySettings(settings, false, Settings{}, host);
    EXPECT_EQ(host.calls, (QStringList{"option x", "topmost 0", "wallpaper list", "wallpaper load",
                                       "wallpaper layout 1 0", "keys", "wave 0 /w/ok.wav", "wave 1 /w/ng.wav",
                                       "menu 3", "stage"}));
}

TEST_F(SettingsCommandsTest, ChangesOnlyTouchesWhatDiffers) {
    Settings previous = settings;
    host.option = settings.option0;
    ApplySettings(settings, true, previous, host);
    EXPECT_EQ(host.calls, QStringList{"menu 0"}) << "nothing differs: no z-order, keys or option change";

    host.calls.clear();
    settings.stay = 1;
    settings.menurunplayer = 5;
    ApplySettings(settings, true, previous, host);
    EXPECT_EQ(host.calls, (QStringList{"topmost 1", "keys", "menu 0"}));

    // Wallpaper: a new picture is loaded and laid out; a layout change alone
    // only lays out; the sounds and the staging run every time.
    host.calls.clear();
    previous = settings;
    settings.wall = previous.wall = 1;
    settings.wallpaper = "/p/new.jpg";
    settings.wave = 1;
    settings.compiler = previous.compiler = 3;
    host.option = settings.option3;
    ApplySettings(settings, true, previous, host);
    EXPECT_EQ(host.calls, (QStringList{"wallpaper list", "wallpaper load", "wallpaper layout 0 0", "wave 0 ",
                                       "wave 1 ", "menu 3", "stage"}));
    host.calls.clear();
    previous = settings;
    settings.size = 1;
    ApplySettings(settings, true, previous, host);
    EXPECT_EQ(host.calls, (QStringList{"wallpaper layout 0 1", "wave 0 ", "wave 1 ", "menu 3", "stage"}));

    // Switched on with the same picture: nothing was loaded while it was off.
    host.calls.clear();
    previous = settings;
    previous.wall = 0;
    ApplySettings(settings, true, previous, host);
    EXPECT_EQ(host.calls, (QStringList{"wallpaper list", "wallpaper load", "wallpaper layout 0 1", "wave 0 ",
                                       "wave 1 ", "menu 3", "stage"}));
}

TEST_F(SettingsCommandsTest, AnErrorEndsApplyAtItsStepAndIsShown) {
    settings.wave = 1;
    settings.wavenormal = "/w/broken.wav";
    settings.waveerror = "/w/ok.wav";
    settings.compiler = 3;
    host.failingWave = "/w/broken.wav";
    EXPECT_THROW(ApplySettings(settings, false, settings, host), std::runtime_error);
    EXPECT_EQ(host.calls.back(), "wave 0 /w/broken.wav") << "no later step ran";

    host.calls.clear();
    commands.apply(false, settings);
    const qsizetype failed = host.calls.indexOf("wave 0 /w/broken.wav");
    ASSERT_GE(failed, 0);
    EXPECT_EQ(host.calls.mid(failed + 1), QStringList{"error cannot open the wave file"})
        << "the other cue, the compiler menu and the staging wait for the next apply";
}

TEST_F(SettingsCommandsTest, FirstRunTakesTheChoiceSavesAndOpensTheSettings) {
    host.chosen = 1;
    host.option = settings.option0;  // the window shows SPICE's option text
    Settings inDialog;
    host.settingsDialog = [&] { inDialog = stored(); };
    commands.firstRun();
    EXPECT_EQ(settings.compiler, 1);
    EXPECT_EQ(host.calls.first(), "first-run dialog");
    EXPECT_TRUE(host.calls.contains("option ")) << "edtOption shows option1, empty by default";
    EXPECT_TRUE(host.calls.contains("menu 1"));
    EXPECT_EQ(inDialog.compiler, 1) << "saved before the settings dialog opens";
    Settings again;
    EXPECT_TRUE(store.load(again)) << "the next start is no first run";
}

TEST_F(SettingsCommandsTest, FirstRunWithoutAChoiceKeepsTheCompilerAndGoesOn) {
    settings.compiler = 2;
    commands.firstRun();
    EXPECT_EQ(settings.compiler, 2);
    EXPECT_TRUE(host.calls.contains("settings dialog"));
    EXPECT_EQ(stored().compiler, 2);
}

TEST_F(SettingsCommandsTest, FirstRunStillSavesAndOpensTheSettingsAfterAnApplyError) {
    settings.wave = 1;
    settings.wavenormal = host.failingWave = "/w/broken.wav";
    host.chosen = 0;
    commands.firstRun();
    EXPECT_TRUE(host.calls.contains("error cannot open the wave file"));
    EXPECT_TRUE(host.calls.contains("settings dialog")) << "where the user can mend the cause";
    Settings again;
    EXPECT_TRUE(store.load(again));
}

TEST_F(SettingsCommandsTest, SwitchingCompilers) {
    commands.switchCompiler(0, "SPICE");
    EXPECT_EQ(host.calls, QStringList{"menu 0"}) << "the checked compiler asks nothing";
    Settings none;
    EXPECT_FALSE(store.load(none)) << "and saves nothing";

    host.calls.clear();
    host.answer = 7;
    commands.switchCompiler(3, "dSakura");
    EXPECT_EQ(host.calls, (QStringList{"menu 0", "ask コンパイラを dSakura に変更します。\nよろしいですか？"}));
    EXPECT_EQ(settings.compiler, 0);

    host.calls.clear();
    host.answer = kAnswerYes;
    commands.switchCompiler(3, "dSakura");
    EXPECT_EQ(settings.compiler, 3);
    EXPECT_EQ(stored().compiler, 3);
    EXPECT_TRUE(host.calls.contains("settings dialog"));
    EXPECT_GE(host.calls.count("stage"), 2) << "staged at the switch and again after the dialog";
}

TEST_F(SettingsCommandsTest, OpenSettingsReloadsKeepsRecentFilesAndAppliesTheChanges) {
    store.save(settings);
    settings.lastfile0 = "/songs/new.mml";  // added since the last save
    settings.sourceStamp = 1234;
    host.settingsDialog = [&] {
        Settings s = stored();
        s.stay = 1;
        s.execeditor = "/usr/bin/mousepad";
        store.save(s);
    };
    commands.openSettings();
    EXPECT_EQ(settings.execeditor, "/usr/bin/mousepad");
    EXPECT_EQ(settings.lastfile0, "/songs/new.mml");
    EXPECT_EQ(settings.sourceStamp, 1234) << "run-time fields survive the reload";
    EXPECT_TRUE(host.calls.contains("topmost 1"));
    EXPECT_FALSE(host.calls.contains("keys"));
}

}  // namespace
