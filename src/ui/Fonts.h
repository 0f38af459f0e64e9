#pragma once
#include <QString>

namespace zek::ui {

// The window fonts carry their Japanese design names; these map them to an
// installed Japanese font so captions show real glyphs, not boxes.
inline const QString kGothicFont = QStringLiteral("ＭＳ ゴシック");
inline const QString kPGothicFont = QStringLiteral("ＭＳ Ｐゴシック");

// Call once after the QApplication exists.
void installFontSubstitutions();

}  // namespace zek::ui
