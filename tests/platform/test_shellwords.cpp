#include "platform/ShellWords.h"

#include <gtest/gtest.h>

using zek::platform::splitShellWords;

namespace {

struct Case {
    const char* text;
    QStringList words;
};

TEST(ShellWords, SplitsAsAShellDoesWithoutExpanding) {
    const std::vector<Case> cases = {
        {"", {}},
        {"   \t ", {}},
        {"-pc -ps", {"-pc", "-ps"}},
        {"  a\t\tb \n c  ", {"a", "b", "c"}},
        {"-I \"inc dir\" 'x y'", {"-I", "inc dir", "x y"}},
        {"a\"b c\"d'e f'g", {"ab cde fg"}},
        {"\"\" ''", {"", ""}},
        {"'it''s'", {"its"}},
        {"'a \\\" b'", {"a \\\" b"}},                 // nothing is special in single quotes
        {"\"a \\\" \\\\ \\$ \\x\"", {"a \" \\ $ \\x"}},  // only $ ` " \\ are escaped in double quotes
        {"a\\ b \\'c\\\"", {"a b", "'c\""}},
        {"a\\\nb", {"ab"}},                           // line continuation
        {"$HOME ~ *.mml `id` $(id) ; | &", {"$HOME", "~", "*.mml", "`id`", "$(id)", ";", "|", "&"}},
        {"\"open quote to end", {"open quote to end"}},
        {"'open single", {"open single"}},
        {"trailing\\", {"trailing\\"}},
        {"日本語 \"ﾌｧｲﾙ 名\"", {"日本語", "ﾌｧｲﾙ 名"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitShellWords(QString::fromUtf8(c.text)), c.words) << c.text;
}

}  // namespace
