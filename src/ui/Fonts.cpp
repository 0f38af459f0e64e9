#include "ui/Fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace zek::ui {
namespace {

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
    // Fixed-pitch first for the window font, proportional first for dialogs.
    const QStringList gothic = installed({"IPAGothic", "IPAexGothic", "TakaoGothic", "VL Gothic",
                                          "Noto Sans Mono CJK JP", "Noto Sans CJK JP",
                                          "Droid Sans Fallback"});
    const QStringList pgothic = installed({"IPAPGothic", "IPAexGothic", "TakaoPGothic", "VL PGothic",
                                           "Noto Sans CJK JP", "IPAGothic", "Droid Sans Fallback"});
    if (!gothic.isEmpty())
        QFont::insertSubstitutions(kGothicFont, gothic);
    if (!pgothic.isEmpty())
        QFont::insertSubstitutions(kPGothicFont, pgothic);
}

}  // namespace zek::ui
