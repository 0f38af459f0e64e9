#include "ui/FunctionKeys.h"

#include <algorithm>

namespace zek::ui {
namespace {

int validKey(int value) { return std::clamp(value, 1, static_cast<int>(KeyNames.size())); }

CommandKey command(const QString& name, const QString& access, int value) {
    const int key = validKey(value);
    return {name + access, QKeySequence(QStringLiteral("F%1").arg(key)), keyName(key) + QStringLiteral(" : ") + name};
}

}  // namespace

QString keyName(int value) { return QString::fromLatin1(KeyNames[static_cast<size_t>(validKey(value) - 1)]); }

FunctionKeyTexts functionKeyTexts(const settings::Settings& s) {
    return {
        {QStringLiteral("戻る(&R)"), QKeySequence(), QString()},
        command(QStringLiteral("ｴﾃﾞｨﾀｰに返す"), QStringLiteral("(&E)"), s.menutag),
        command(QStringLiteral("ｺﾝﾊﾟｲﾙ実行"), QStringLiteral("(&S)"), s.menusmc),
        command(QStringLiteral("ﾌﾟﾚｲﾔｰ起動"), QStringLiteral("(&P)"), s.menurunplayer),
    };
}

}  // namespace zek::ui
