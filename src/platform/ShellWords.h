#pragma once
// Splits a parameter text into words the way a POSIX shell does, without
// running a shell: nothing in the text is ever expanded or executed.
#include <QString>
#include <QStringList>

namespace zek::platform {

// Blanks (space, tab, line breaks) separate words. Single quotes keep
// everything literal up to the next single quote. Double quotes group; inside
// them a backslash escapes only $ ` " \ and a line break. Outside quotes a
// backslash makes the next character literal, and backslash + line break is
// removed. Quoted parts next to each other form one word ("" is an empty word).
// $, *, ~ and the like stay as they are.
// An unclosed quote runs to the end of the text, and a lone trailing backslash
// is kept, so a slip in a settings text still gives the words the user meant.
QStringList splitShellWords(const QString& text);

}  // namespace zek::platform
