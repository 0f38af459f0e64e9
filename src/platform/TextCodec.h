#pragma once
// Text at the edges: Shift-JIS (CP932) bytes for the mascot and for compilers
// that print it; UTF-8 everywhere else.
#include <QByteArray>
#include <QString>

#include <optional>

namespace zek::platform {

// Encodes text as CP932. A character that CP932 cannot hold becomes "?",
// so a text is never dropped whole.
QByteArray encodeCp932(const QString& text);

// Decodes CP932 bytes; an invalid sequence becomes U+FFFD.
QString decodeCp932(const QByteArray& bytes);

// One line of compiler output: UTF-8 when it is valid UTF-8, else CP932.
QString decodeOutputLine(const QByteArray& bytes);

bool isValidUtf8(const char* data, qsizetype size);

// A file name as text, when that text leads back to exactly the file
// system's bytes (Qt's file functions spell names in UTF-8). Nullopt for a
// name in another encoding, such as Shift-JIS from an old archive: a QString
// cannot carry it, and opening the decoded text would miss the file.
std::optional<QString> exactFileName(const QByteArray& bytes);

}  // namespace zek::platform
