#pragma once
// Lower case for ASCII letters only; every other letter (full-width, Greek,
// Cyrillic) keeps its case.
#include <QString>

namespace zek::settings {

QString asciiLower(const QString& text);

}  // namespace zek::settings
