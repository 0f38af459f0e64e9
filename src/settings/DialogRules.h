#pragma once
// The settings dialog's rules, free of widgets: the option words and how the
// option text and its check boxes follow each other, the conversions between
// settings and controls, and the player parameter rule.
#include <QList>
#include <QString>
#include <QStringList>

namespace zek::settings {

// The option check boxes a compiler kind offers.
enum class OptionGroup { None, Spice, Mml2mid };

// The group's option words in its fixed order ("-pc", "-ps", "-v" for SPICE).
QStringList optionWords(OptionGroup group);

// For each of the group's words whether the text holds it: a plain substring
// test with ASCII letters compared in lower case ("-PCX" holds "-pc").
QList<bool> wordsInText(OptionGroup group, const QString& text);

// The ticked words, lower case, in the group's order, one blank apart.
QString rebuiltOptionText(OptionGroup group, const QList<bool>& ticked);

// The boxes and the text after the text changed to `text` while the boxes
// showed `boxes`: the boxes show which words the text holds; when that moved
// a box, the text becomes the rebuilt one, otherwise it stays as typed.
struct OptionView {
    QList<bool> boxes;
    QString text;
};
OptionView afterOptionTextChange(OptionGroup group, const QString& text, const QList<bool>& boxes);

// Function-key combo boxes: the item for a stored value (-1 = none, when the
// box has no such item), and the value for a selected item (0 = none).
int functionKeyIndex(int value, int itemCount);
int functionKeyValue(int index);

// An output folder as stored: a non-empty one ends in "/".
QString withTrailingSeparator(const QString& folder);

// The player's parameters after the user chose `player`: the desktop's media
// player gets "/play /close" into an empty box, and loses exactly that text
// when another player is chosen; anything else is left alone.
QString playerParametersAfterChoice(const QString& parameters, const QString& player);

}  // namespace zek::settings
