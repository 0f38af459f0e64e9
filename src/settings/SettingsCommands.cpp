#include "settings/SettingsCommands.h"

#include <exception>

namespace zek::settings {
namespace {

bool functionKeysDiffer(const Settings& a, const Settings& b) {
    return a.menutag != b.menutag || a.menusmc != b.menusmc || a.menurunplayer != b.menurunplayer ||
           a.menureturn != b.menureturn;
}

}  // namespace

void ApplySettings(const Settings& s, bool changesOnly, const Settings& previous, ApplyHost& host) {
    const QString& option = s.option(s.compiler);
    if (!changesOnly || host.optionText() != option)
        host.setOptionText(option);
    if (!changesOnly || s.stay != previous.stay)
        host.setTopmost(s.stay == 1);
    bool loaded = false;
    // Switching the wallpaper on loads it too: nothing was loaded while it was off.
    if (s.wall == 1 && (!changesOnly || s.wallpaper != previous.wallpaper || previous.wall != 1)) {
        host.buildWallpaperList();
        loaded = host.loadWallpaper();
    }
    if (s.wall == 1 && (loaded || !changesOnly || s.cent != previous.cent || s.size != previous.size))
        host.layoutWallpaper(s.cent == 1, s.size == 1);
    if (!changesOnly || functionKeysDiffer(s, previous))
        host.applyFunctionKeys();
    if (s.wave == 1) {
        host.prepareWave(0, s.wavenormal);
        host.prepareWave(1, s.waveerror);
    }
    host.checkCompilerMenu(s.compiler);
    if (s.compiler == 3)
        host.stageIncludeFolder();
}

SettingsCommands::SettingsCommands(Settings& settings, SettingsStore store, SettingsHost& host)
    : settings_(settings), store_(std::move(store)), host_(host) {}

void SettingsCommands::apply(bool changesOnly, const Settings& previous) {
    // The error ends apply only: the rest of the command (saving, the
    // settings dialog where the user can mend the cause) still follows.
    try {
        ApplySettings(settings_, changesOnly, previous, host_);
    } catch (const std::exception& e) {
        host_.showError(QString::fromLocal8Bit(e.what()));
    }
}

void SettingsCommands::firstRun() {
    const int chosen = host_.runFirstRunDialog();
    if (chosen != -1)
        settings_.compiler = chosen;
    takeNewCompiler();
}

void SettingsCommands::switchCompiler(int kind, const QString& name) {
    // A click on a menu item may have moved its mark; the marks follow `compiler`.
    host_.checkCompilerMenu(settings_.compiler);
    if (kind == settings_.compiler)
        return;
    const QString question = QStringLiteral("コンパイラを ") + name + QStringLiteral(" に変更します。\nよろしいですか？");
    if (host_.askQuestion(question) != kAnswerYes)
        return;
    settings_.compiler = kind;
    takeNewCompiler();
}

void SettingsCommands::takeNewCompiler() {
    const Settings copy = settings_;
    apply(true, copy);
    store_.save(settings_);
    openSettings();
}

void SettingsCommands::openSettings() {
    const Settings before = settings_;
    host_.runSettingsDialog();
    store_.load(settings_);
    // The dialog neither shows nor changes the recent files; those this
    // window added since its last save would be lost with the stored list.
    for (int i = 0; i < kRecentFiles; ++i)
        settings_.lastfile(i) = before.lastfile(i);
    apply(true, before);
}

}  // namespace zek::settings
