#include "ui/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace zek::ui {
namespace {

// Fixed-pitch first for the window font, proportional first for dialogs.
QStringList candidates(const QString& designName) {
    if (designName == kGothicFont)
        return {"IPAGothic", "IPAexGothic", "TakaoGothic", "VL Gothic", "Noto Sans Mono CJK JP",
                "Noto Sans CJK JP", "Droid Sans Fallback"};
    if (designName == kPGothicFont)
        return {"IPAPGothic", "IPAexGothic", "TakaoPGothic", "VL PGothic", "Noto Sans CJK JP", "IPAGothic",
                "Droid Sans Fallback"};
    return {};
}

QStringList installed(const QStringList& preferred) {
    const QStringList families = QFontDatabase::families();
    QStringList found;
    for (const QString& name : preferred)
        if (families.contains(name, Qt::CaseInsensitive))
            found << name;
    return found;
}

}  // namespace

void installFontSubstitutions() {
    for (const QString& design : {kGothicFont, kPGothicFont}) {
        const QStringList found = installed(candidates(design));
        if (!found.isEmpty())
            QFont::insertSubstitutions(design, found);
    }
}

QString installedFamily(const QString& designName) {
    const QStringList found = installed(candidates(designName));
    return found.isEmpty() ? designName : found.front();
}

QFont designFont(const QString& designName, int pixelSize) {
    QFont font(installedFamily(designName));
    font.setPixelSize(pixelSize);
    // At the design sizes, hinting pulls the IPA faces' period down onto the
    // comma's shape ("sakura,mid" for "sakura.mid"); unhinted outlines keep
    // the two apart and Japanese just as legible.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

}  // namespace zek::ui
