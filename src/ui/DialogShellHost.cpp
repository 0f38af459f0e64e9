#include "ui/DialogShellHost.h"

#include "ui/Untmsg.h"

#include <QWidget>

namespace zek::ui {

bool DialogShellHost::confirm(const QString& question) {
    return ShowMessageBox(dialog_, question, kMbIconWarning | kMbYesNo, dialog_->windowTitle()) == kIdYes;
}

void DialogShellHost::showError(const QString& text) {
    ShowMessageBox(dialog_, text, kMbIconError | kMbOk, dialog_->windowTitle());
}

}  // namespace zek::ui
