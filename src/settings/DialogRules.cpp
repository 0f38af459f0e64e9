#include "settings/DialogRules.h"

#include "settings/AsciiCase.h"

namespace zek::settings {
namespace {

const QString kMediaPlayerParameters = QStringLiteral("/play /close");

bool isMediaPlayer(const QString& path) {
    const QString name = path.mid(path.lastIndexOf('/') + 1);
    return name.compare(QStringLiteral("mplayer.exe"), Qt::CaseInsensitive) == 0 ||
           name.compare(QStringLiteral("mplay32.exe"), Qt::CaseInsensitive) == 0;
}

}  // namespace

QStringList optionWords(OptionGroup group) {
    switch (group) {
    case OptionGroup::Spice:
        return {QStringLiteral("-pc"), QStringLiteral("-ps"), QStringLiteral("-v")};
    case OptionGroup::Mml2mid:
        return {QStringLiteral("-f"), QStringLiteral("-x"), QStringLiteral("-v"), QStringLiteral("-m"),
                QStringLiteral("-w")};
    case OptionGroup::None:
        break;
    }
    return {};
}

QList<bool> wordsInText(OptionGroup group, const QString& text) {
    const QString lower = asciiLower(text);  // the words are ASCII: no other letter can become one
    QList<bool> found;
    for (const QString& word : optionWords(group))
        found << lower.contains(word);
    return found;
}

QString rebuiltOptionText(OptionGroup group, const QList<bool>& ticked) {
    const QStringList words = optionWords(group);
    QStringList chosen;
    for (qsizetype i = 0; i < words.size() && i < ticked.size(); ++i)
        if (ticked[i])
            chosen << words[i];
    return chosen.join(' ');
}

OptionView afterOptionTextChange(OptionGroup group, const QString& text, const QList<bool>& boxes) {
    OptionView view{wordsInText(group, text), text};
    if (view.boxes != boxes)
        view.text = rebuiltOptionText(group, view.boxes);
    return view;
}

int functionKeyIndex(int value, int itemCount) { return (value >= 1 && value <= itemCount) ? value - 1 : -1; }

int functionKeyValue(int index) { return index < 0 ? 0 : index + 1; }

QString withTrailingSeparator(const QString& folder) {
    return (folder.isEmpty() || folder.endsWith('/')) ? folder : folder + '/';
}

QString playerParametersAfterChoice(const QString& parameters, const QString& player) {
    if (parameters.isEmpty())
        return isMediaPlayer(player) ? kMediaPlayerParameters : parameters;
    if (parameters == kMediaPlayerParameters && !isMediaPlayer(player))
        return QString();
    return parameters;
}

}  // namespace zek::settings
