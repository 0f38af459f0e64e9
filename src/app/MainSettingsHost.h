#pragma once
// The main window as the settings commands see it.
#include "settings/SettingsCommands.h"

namespace zek::app {

class TfrmMain;

class MainSettingsHost final : public settings::SettingsHost {
public:
    explicit MainSettingsHost(TfrmMain& main) : main_(main) {}

    QString optionText() const override;
    void setOptionText(const QString& text) override;
    void setTopmost(bool on) override;
    void buildWallpaperList() override;
    bool loadWallpaper() override;
    void layoutWallpaper(bool centre, bool stretch) override;
    void applyFunctionKeys() override;
    void prepareWave(int which, const QString& path) override;
    void checkCompilerMenu(int kind) override;
    void stageIncludeFolder() override;

    int askQuestion(const QString& text) override;
    int runFirstRunDialog() override;
    void runSettingsDialog() override;
    void showError(const QString& text) override;

private:
    TfrmMain& main_;
};

}  // namespace zek::app
