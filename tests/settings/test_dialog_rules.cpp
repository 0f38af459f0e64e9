// The settings dialog's rules without a window: the option text and its
// boxes, the conversions and the player parameter rule.
#include "settings/DialogRules.h"

#include <gtest/gtest.h>

using namespace zek::settings;

namespace {

struct OptionCase {
    const char* name;
    OptionGroup group;
    QList<bool> before;
    const char* text;
    QList<bool> boxes;
    const char* shown;
};

TEST(OptionText, BoxesFollowTheTextAndAMovedBoxRebuildsIt) {
    const QList<bool> spiceNone{false, false, false};
    const QList<bool> mmlNone{false, false, false, false, false};
    const OptionCase cases[] = {
        {"stored -pc -ps", OptionGroup::Spice, spiceNone, "-pc -ps", {true, true, false}, "-pc -ps"},
        {"upper case", OptionGroup::Spice, spiceNone, "-PS", {false, true, false}, "-ps"},
        {"unknown word dropped", OptionGroup::Spice, spiceNone, "-pc -q", {true, false, false}, "-pc"},
        {"only unknown words", OptionGroup::Spice, spiceNone, "-q", spiceNone, "-q"},
        {"typing -pc -p", OptionGroup::Spice, {true, false, false}, "-pc -p", {true, false, false}, "-pc -p"},
        {"typing -pc -ps", OptionGroup::Spice, {true, false, false}, "-pc -ps", {true, true, false}, "-pc -ps"},
        {"substring counts", OptionGroup::Spice, spiceNone, "-pcx", {true, false, false}, "-pc"},
        {"tabs, repeats, mixed case", OptionGroup::Spice, spiceNone, "\t-PS\t-pc -Pc  -ps ", {true, true, false},
         "-pc -ps"},
        {"full-width letters are no words", OptionGroup::Spice, spiceNone, "－ＰＣ ｰps", spiceNone, "－ＰＣ ｰps"},
        {"mml2mid order", OptionGroup::Mml2mid, mmlNone, "-w -f", {true, false, false, false, true}, "-f -w"},
        {"mml2mid -v", OptionGroup::Mml2mid, mmlNone, "-v", {false, false, true, false, false}, "-v"},
        {"no group: as typed", OptionGroup::None, {}, "-PS  -w\t", {}, "-PS  -w\t"},
    };
    for (const OptionCase& c : cases) {
        SCOPED_TRACE(c.name);
        const OptionView view = afterOptionTextChange(c.group, QString::fromUtf8(c.text), c.before);
        EXPECT_EQ(view.boxes, c.boxes);
        EXPECT_EQ(view.text, QString::fromUtf8(c.shown));
    }
}

TEST(OptionText, AClickLeavesTheBoxesRebuiltText) {
    // -pc -q opens as -pc with chkPC ticked; ticking chkPS then gives "-pc -ps".
    const OptionView opened = afterOptionTextChange(OptionGroup::Spice, "-pc -q", {false, false, false});
    QList<bool> boxes = opened.boxes;
    boxes[1] = true;
    EXPECT_EQ(rebuiltOptionText(OptionGroup::Spice, boxes), "-pc -ps");
    EXPECT_EQ(rebuiltOptionText(OptionGroup::Mml2mid, {false, true, false, true, false}), "-x -m");
    EXPECT_EQ(rebuiltOptionText(OptionGroup::Spice, {false, false, false}), "");
}

TEST(Conversions, FunctionKeysAndOutputFolder) {
    EXPECT_EQ(functionKeyIndex(10, 12), 9);
    EXPECT_EQ(functionKeyIndex(13, 12), -1) << "F1..F12 only: ESC has no item";
    EXPECT_EQ(functionKeyIndex(13, 13), 12);
    EXPECT_EQ(functionKeyIndex(0, 12), -1);
    EXPECT_EQ(functionKeyValue(-1), 0);
    EXPECT_EQ(functionKeyValue(0), 1);
    EXPECT_EQ(functionKeyValue(12), 13);

    EXPECT_EQ(withTrailingSeparator(""), "");
    EXPECT_EQ(withTrailingSeparator("/out"), "/out/");
    EXPECT_EQ(withTrailingSeparator("/out/"), "/out/");
    EXPECT_EQ(withTrailingSeparator("/曲ソ"), "/曲ソ/") << "a trailing double-byte character is no separator";
}

TEST(PlayerParameters, FollowTheChosenPlayer) {
    struct Case {
        const char* before;
        const char* player;
        const char* after;
    };
    const Case cases[] = {
        {"", "/opt/w/MPLAY32.EXE", "/play /close"},
        {"", "/x/mplayer.exe", "/play /close"},
        {"", "/usr/bin/mplayer", ""},
        {"", "/usr/bin/timidity", ""},
        {"/play /close", "/usr/bin/timidity", ""},
        {"/play /close", "/y/Mplayer.Exe", "/play /close"},
        {"/play", "/usr/bin/timidity", "/play"},
        {"-iA", "/x/mplay32.exe", "-iA"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(playerParametersAfterChoice(c.before, c.player), c.after) << c.before << " " << c.player;
}

}  // namespace
