#pragma once
// The command menu's captions, function keys and tool-button hints, as the
// key settings (1..12 = F1..F12, 13 = Esc) make them.
#include "settings/Settings.h"

#include <QKeySequence>
#include <QString>

#include <array>

namespace zek::ui {

// Key names for the hints, indexed by key value - 1.
inline constexpr std::array<const char*, 13> KeyNames = {"F1", "F2",  "F3",  "F4",  "F5",  "F6", "F7",
                                                         "F8", "F9", "F10", "F11", "F12", "ESC"};

// KeyNames[value - 1]. A value outside 1..13, which the settings never load,
// is taken as the nearest valid one here and in functionKeyTexts.
QString keyName(int value);

struct CommandKey {
    QString caption;        // the menu item's caption
    QKeySequence shortcut;  // empty for "戻る", which stays on Esc
    QString hint;           // the tool button's hint; empty for "戻る"
};

struct FunctionKeyTexts {
    CommandKey ret;  // mnuRet
    CommandKey tag;  // mnuTag, sbtTag
    CommandKey smc;  // mnuSmc, sbtSmc
    CommandKey run;  // mnuRun, sbtRun
};

// The value n becomes the key "Fn" (13 thus F13, while its hint says "ESC").
FunctionKeyTexts functionKeyTexts(const settings::Settings& settings);

}  // namespace zek::ui
