#pragma once
// Shell integration's questions and notices as message boxes of the dialog
// that asks: owned by it and titled with its caption.
#include "settings/ShellHost.h"

class QWidget;

namespace zek::ui {

class DialogShellHost final : public settings::ShellHost {
public:
    explicit DialogShellHost(QWidget* dialog) : dialog_(dialog) {}
    bool confirm(const QString& question) override;  // warning, Yes/No (0x34)
    void showError(const QString& text) override;    // error, OK (0x10)

private:
    QWidget* dialog_;
};

}  // namespace zek::ui
