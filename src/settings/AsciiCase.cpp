#include "settings/AsciiCase.h"

namespace zek::settings {

QString asciiLower(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c >= 'A' && c <= 'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    return out;
}

}  // namespace zek::settings
