#include "app/MainSettingsHost.h"

#include "app/Untmain.h"
#include "compile/Staging.h"
#include "settings/Untfirst.h"
#include "settings/Untinit.h"
#include "ui/Wallpaper.h"
#include "ui/Untmsg.h"

#include <QAction>
#include <QLineEdit>

namespace zek::app {

QString MainSettingsHost::optionText() const { return main_.edtOption->text(); }
void MainSettingsHost::setOptionText(const QString& text) { main_.edtOption->setText(text); }
void MainSettingsHost::setTopmost(bool on) { main_.setTopmost(on); }

void MainSettingsHost::buildWallpaperList() { main_.wallpaper().BuildWallpaperList(); }
bool MainSettingsHost::loadWallpaper() { return main_.wallpaper().LoadWallpaper(); }
void MainSettingsHost::layoutWallpaper(bool centre, bool stretch) { main_.wallpaper().setLayout(centre, stretch); }

void MainSettingsHost::applyFunctionKeys() { main_.ApplyFunctionKeys(); }
// A cue file that cannot be opened throws on: it ends apply at this step, and
// apply's caller shows it.
void MainSettingsHost::prepareWave(int which, const QString& path) { main_.PrepareWave(which, path); }

void MainSettingsHost::checkCompilerMenu(int kind) {
    for (size_t i = 0; i < main_.mnuCompilers.size(); ++i)
        main_.mnuCompilers[i]->setChecked(static_cast<int>(i) == kind);
}

void MainSettingsHost::stageIncludeFolder() {
    compile::StageIncludeFolder(main_.settings, main_.programFolder(), main_.compilerLibrary());
}

int MainSettingsHost::askQuestion(const QString& text) {
    return ui::ShowMessageBox(&main_, text, ui::kMbIconQuestion | ui::kMbYesNo, main_.windowTitle());
}

int MainSettingsHost::runFirstRunDialog() {
    settings::TfrmFirst dialog(&main_, main_.chosenCompiler, main_.programFolder());
    dialog.exec();
    return main_.chosenCompiler;
}

void MainSettingsHost::runSettingsDialog() {
    settings::TfrmInit dialog(&main_, settings::SettingsStore(main_.programFolder()));
    dialog.setShortcutPaths(main_.shortcutSendTo, main_.shortcutDesktop);
    dialog.exec();
}

void MainSettingsHost::showError(const QString& text) { ui::ShowApplicationError(&main_, text); }

}  // namespace zek::app
