#pragma once
// Bringing the main window in line with the settings (apply), and the three
// commands that change them as a whole: the first-run compiler choice, the
// compiler switch and the open-settings command. The main window is reached
// only through SettingsHost.
#include "settings/Settings.h"
#include "settings/SettingsStore.h"

#include <QString>

namespace zek::settings {

// What apply changes in the main window.
class ApplyHost {
public:
    virtual ~ApplyHost() = default;
    virtual QString optionText() const = 0;  // the tool bar's option box
    virtual void setOptionText(const QString& text) = 0;
    virtual void setTopmost(bool on) = 0;
    // The wallpaper: the list of candidate pictures, then one of them loaded
    // (true when a picture was loaded), and its layout.
    virtual void buildWallpaperList() = 0;
    virtual bool loadWallpaper() = 0;
    virtual void layoutWallpaper(bool centre, bool stretch) = 0;
    virtual void applyFunctionKeys() = 0;
    // Opens a sound cue (0 success, 1 error); throws a std::exception when
    // the file cannot be opened.
    virtual void prepareWave(int which, const QString& path) = 0;
    virtual void checkCompilerMenu(int kind) = 0;  // the mark on the compiler's menu item
    virtual void stageIncludeFolder() = 0;
};

// The message-box result of a Yes answer.
inline constexpr int kAnswerYes = 6;

// What the commands need besides.
class SettingsHost : public ApplyHost {
public:
    // A Yes/No question over the main window, titled with its caption;
    // returns the message-box result (6 = Yes).
    virtual int askQuestion(const QString& text) = 0;
    // The first-run dialog, modal; the chosen kind, or -1 when none was chosen.
    virtual int runFirstRunDialog() = 0;
    // The settings dialog, modal; returns once it has closed.
    virtual void runSettingsDialog() = 0;
    // The application's standard error display.
    virtual void showError(const QString& text) = 0;
};

// The steps of apply. With `changesOnly`, a step that depends on settings runs
// only when they differ from `previous`. An error ends apply at its step and
// is thrown on to the caller.
void ApplySettings(const Settings& settings, bool changesOnly, const Settings& previous, ApplyHost& host);

class SettingsCommands {
public:
    SettingsCommands(Settings& settings, SettingsStore store, SettingsHost& host);

    // Apply; an error is shown through the standard error display and the
    // caller goes on.
    void apply(bool changesOnly, const Settings& previous);

    // The first-run hook: the compiler choice, then apply, save and the
    // settings dialog.
    void firstRun();

    // Makes `kind` the compiler after asking; `name` is the compiler's name
    // in the question. The current compiler asks nothing.
    void switchCompiler(int kind, const QString& name);

    // The settings dialog, then the stored settings reloaded and applied.
    void openSettings();

private:
    void takeNewCompiler();

    Settings& settings_;
    SettingsStore store_;
    SettingsHost& host_;
};

}  // namespace zek::settings
