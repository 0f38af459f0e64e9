// The command menu's captions, keys and hints as the key settings make them.
#include "ui/FunctionKeys.h"

#include <gtest/gtest.h>

using namespace zek;

TEST(FunctionKeys, DefaultsAreF10F11F12WithTheirHints) {
    const ui::FunctionKeyTexts keys = ui::functionKeyTexts(settings::Settings{});
    EXPECT_EQ(keys.ret.caption, "戻る(&R)");
    EXPECT_TRUE(keys.ret.shortcut.isEmpty()) << "the Return command stays on Esc";
    EXPECT_EQ(keys.tag.caption, "ｴﾃﾞｨﾀｰに返す(&E)");
    EXPECT_EQ(keys.smc.caption, "ｺﾝﾊﾟｲﾙ実行(&S)");
    EXPECT_EQ(keys.run.caption, "ﾌﾟﾚｲﾔｰ起動(&P)");
    EXPECT_EQ(keys.tag.shortcut, QKeySequence(Qt::Key_F10));
    EXPECT_EQ(keys.smc.shortcut, QKeySequence(Qt::Key_F11));
    EXPECT_EQ(keys.run.shortcut, QKeySequence(Qt::Key_F12));
    EXPECT_EQ(keys.tag.hint, "F10 : ｴﾃﾞｨﾀｰに返す");
    EXPECT_EQ(keys.smc.hint, "F11 : ｺﾝﾊﾟｲﾙ実行");
    EXPECT_EQ(keys.run.hint, "F12 : ﾌﾟﾚｲﾔｰ起動");
}

TEST(FunctionKeys, ThirteenIsKeyF13NamedEsc) {
    settings::Settings s;
    s.menutag = 1;
    s.menusmc = 13;
    s.menurunplayer = 9;
    const ui::FunctionKeyTexts keys = ui::functionKeyTexts(s);
    EXPECT_EQ(keys.smc.shortcut, QKeySequence(Qt::Key_F13));
    EXPECT_EQ(keys.smc.hint, "ESC : ｺﾝﾊﾟｲﾙ実行");
    EXPECT_EQ(keys.tag.shortcut, QKeySequence(Qt::Key_F1));
    EXPECT_EQ(keys.tag.hint, "F1 : ｴﾃﾞｨﾀｰに返す");
    EXPECT_EQ(keys.run.hint, "F9 : ﾌﾟﾚｲﾔｰ起動");
}
