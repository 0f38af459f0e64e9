#pragma once
// Edit boxes that hold texts of any length.
class QLineEdit;

namespace zek::ui {

// Lifts QLineEdit's limit of 32,767 characters, so a long stored text or a
// long option text is shown, saved and handed on whole, never cut.
void liftLengthLimit(QLineEdit* edit);

}  // namespace zek::ui
