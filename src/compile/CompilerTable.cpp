#include "compile/CompilerTable.h"

namespace zek::compile {
namespace {

const CompilerKindInfo kKinds[kCompilerKindCount] = {
    {QStringLiteral("SPICE"), QStringLiteral("SPICE"), QStringLiteral("SMC(&S)"),
     {QStringLiteral(".SMC"), QStringLiteral(".DSM")}, QStringLiteral("SMCﾌｧｲﾙ選択"),
     QStringLiteral("*.SMC;*.DSM"), QStringLiteral("SPICEｿｰｽﾌｧｲﾙではありません。"),
     QStringLiteral("SPICEｿｰｽﾌｧｲﾙ (*.SMC;*.DSM)|*.SMC;*.DSM"), QStringLiteral("SMC登録"),
     QStringLiteral("SMCｺﾝﾊﾟｲﾗ (*.EXE)|*.EXE"), false, settings::OptionGroup::Spice, true},
    {QStringLiteral("MML2MID"), QStringLiteral("MML2MID"), QStringLiteral("MML2MID(&M)"),
     {QStringLiteral(".MML")}, QStringLiteral("MMLﾌｧｲﾙ選択"), QStringLiteral("*.MML"),
     QStringLiteral("MML2MIDｿｰｽﾌｧｲﾙではありません。"), QStringLiteral("MML2MIDｿｰｽﾌｧｲﾙ (*.MML)|*.MML"),
     QStringLiteral("MML2MID登録"), QStringLiteral("MMLｺﾝﾊﾟｲﾗ (*.EXE)|*.EXE"), false,
     settings::OptionGroup::Mml2mid, false},
    {QStringLiteral("cSakura"), QStringLiteral("cSakura"), QStringLiteral("cSakura(&S)"),
     {QStringLiteral(".MML")}, QStringLiteral("MMLﾌｧｲﾙ選択"), QStringLiteral("*.MML"),
     QStringLiteral("cSakuraｿｰｽﾌｧｲﾙではありません。"), QStringLiteral("cSakuraｿｰｽﾌｧｲﾙ (*.MML)|*.MML"),
     QStringLiteral("cSakura登録"), QStringLiteral("MMLｺﾝﾊﾟｲﾗ (*.EXE)|*.EXE"), false,
     settings::OptionGroup::None, false},
    {QStringLiteral("dSakura"), QStringLiteral("dSakura"), QStringLiteral("dSakura(&S)"),
     {QStringLiteral(".MML")}, QStringLiteral("MMLﾌｧｲﾙ選択"), QStringLiteral("*.MML"),
     QStringLiteral("dSakuraｿｰｽﾌｧｲﾙではありません。"), QStringLiteral("dSakuraｿｰｽﾌｧｲﾙ (*.MML)|*.MML"),
     QStringLiteral("dSakura登録"), QStringLiteral("MMLｺﾝﾊﾟｲﾗ (*.DLL)|*.DLL"), true,
     settings::OptionGroup::None, false},
};

}  // namespace

const CompilerKindInfo& compilerKindInfo(int kind) {
    return kKinds[(kind >= 0 && kind < kCompilerKindCount) ? kind : 0];
}

}  // namespace zek::compile
