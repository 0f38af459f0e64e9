#pragma once
#include <QFont>
#include <QString>

namespace zek::ui {

// The window fonts carry their Japanese design names; these map them to an
// installed Japanese font so captions show real glyphs, not boxes.
inline const QString kGothicFont = QStringLiteral("ＭＳ ゴシック");
inline const QString kPGothicFont = QStringLiteral("ＭＳ Ｐゴシック");

// Call once after the QApplication exists: code that names a design font
// still gets the installed one through Qt's substitution table.
void installFontSubstitutions();

// The installed family a design name stands for (the design name itself when
// no Japanese font is installed).
QString installedFamily(const QString& designName);

// A font of the design face at a pixel size. It names the installed family
// directly: an unknown family name makes Qt search the whole font list for
// fallbacks at the first text layout, a large part of the start-up time.
QFont designFont(const QString& designName, int pixelSize);

}  // namespace zek::ui
