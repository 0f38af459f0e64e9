#pragma once
// What shell integration needs of the dialog that started it: its message
// boxes, owned by that dialog and titled with its caption.
#include <QString>

namespace zek::settings {

class ShellHost {
public:
    virtual ~ShellHost() = default;
    // A warning with Yes and No buttons; true only when the answer is Yes.
    virtual bool confirm(const QString& question) = 0;
    // An error notice with an OK button.
    virtual void showError(const QString& text) = 0;
};

}  // namespace zek::settings
