// Small sources and the MIDI events they must give, read back with our reader.
#include <gtest/gtest.h>

#include "MmlTestSupport.h"

using namespace zek;
using namespace zek::mmltest;

namespace {

struct EventCase {
    const char* name;
    const char* source;
    const char* events;  // track 1 (the first music track), joined with ", "
};

// Defaults: o4, l4 (480 ticks), v100, q90 (a quarter sounds 432 ticks).
const EventCase kEventCases[] = {
    {"note", "c", "0 on 60 100, 432 off 60"},
    {"accidentals", "l8 c+d#e-", "0 on 61 100, 216 off 61, 240 on 63 100, 456 off 63, 480 on 63 100, 696 off 63"},
    {"octaves", "o5c o0c >c <c", "0 on 72 100, 432 off 72, 480 on 12 100, 912 off 12, 960 on 24 100, 1392 off 24, "
                                 "1440 on 12 100, 1872 off 12"},
    {"lengths and dots", "q100 c1 c2. c16..", "0 on 60 100, 1920 off 60, 1920 on 60 100, 3360 off 60, 3360 on 60 100, 3570 off 60"},
    {"odd length rounds", "q100 c7 c", "0 on 60 100, 274 off 60, 274 on 60 100, 754 off 60"},
    {"default length takes dots", "l4 c. l8 c", "0 on 60 100, 648 off 60, 720 on 60 100, 936 off 60"},
    {"tick lengths", "c%100 l%60 c", "0 on 60 100, 90 off 60, 100 on 60 100, 154 off 60"},
    {"extension and tie share one gate", "c4^8 c4&c8", "0 on 60 100, 648 off 60, 720 on 60 100, 1368 off 60"},
    {"slur sounds full length", "c4&d4", "0 on 60 100, 480 off 60, 480 on 62 100, 912 off 62"},
    {"tie across blanks and comments", "c4 & /* held */ c4", "0 on 60 100, 864 off 60"},
    {"rests", "r8 c r c", "240 on 60 100, 672 off 60, 1200 on 60 100, 1632 off 60"},
    {"rest extension", "r4^4 c", "960 on 60 100, 1392 off 60"},
    {"gate", "q50 c q100 c", "0 on 60 100, 240 off 60, 480 on 60 100, 960 off 60"},
    {"velocity and steps", "v64c (c )20c v+10c v-5c", "0 on 60 64, 432 off 60, 480 on 60 56, 912 off 60, 960 on 60 76, 1392 off 60, "
                                                     "1440 on 60 86, 1872 off 60, 1920 on 60 81, 2352 off 60"},
    {"velocity steps clamp", "v120 )20 c v10 ( c v3 ( c", "0 on 60 127, 432 off 60, 480 on 60 2, 912 off 60"},
    {"v0 notes are silent but take time", "v0 c v90 c", "480 on 60 90, 912 off 60"},
    {"program", "@1 c @128", "0 prog 0, 0 on 60 100, 432 off 60, 480 prog 127"},
    {"controllers", "volume100 pan 64 expression 90 sustain127 modulation 3 reverb 40 chorus 20 y91,5 bend -8192 c",
     "0 cc 7 100, 0 cc 10 64, 0 cc 11 90, 0 cc 64 127, 0 cc 1 3, 0 cc 91 40, 0 cc 93 20, 0 cc 91 5, 0 bend -8192, "
     "0 on 60 100, 432 off 60"},
    {"controller after a note ends it first", "q100 c sustain0", "0 on 60 100, 480 off 60, 480 cc 64 0"},
    {"transpose", "k2 c transpose -14 c", "0 on 62 100, 432 off 62, 480 on 46 100, 912 off 46"},
    {"key numbers ignore octave and transpose", "o7 k5 n36,8 n38", "0 on 36 100, 216 off 36, 240 on 38 100, 672 off 38"},
    {"upper case commands", "O5 L8 C V50 D", "0 on 72 100, 216 off 72, 240 on 74 50, 456 off 74"},
    {"comments", "c // d\n; e\n/* f\n g */ g", "0 on 60 100, 432 off 60, 480 on 67 100, 912 off 67"},
    {"track name", "name \"Lead\" c", "0 meta3 Lead, 0 on 60 100, 432 off 60"},
    {"escaped quote in a name", "name \"a \\\"b\\\" \\\\\" c", "0 meta3 a \"b\" \\, 0 on 60 100, 432 off 60"},
    {"words glued to notes", "cdtrack1e", "0 on 60 100, 432 off 60, 480 on 62 100, 912 off 62, 960 on 64 100, 1392 off 64"},
    {"utf-8 byte order mark", "\xEF\xBB\xBF" "c", "0 on 60 100, 432 off 60"},
    {"windows line ends", "name \"x\"\r\n  #text \"t\"\r\nc\r\n", "0 meta3 x, 0 on 60 100, 432 off 60"},
};

class Events : public ::testing::TestWithParam<EventCase> {};

TEST_P(Events, GiveTheirMidiEvents) {
    const EventCase& c = GetParam();
    mml::CompileResult result = compileText(c.source);
    ASSERT_TRUE(result.ok) << diagnosticsText(result);
    EXPECT_EQ(diagnosticsText(result), "");
    mml::SmfFile file = readBack(result);
    ASSERT_GE(file.tracks.size(), 2u);
    EXPECT_EQ(joined(eventsOf(file.tracks[1])), c.events);
}

INSTANTIATE_TEST_SUITE_P(Table, Events, ::testing::ValuesIn(kEventCases), [](const auto& info) {
    std::string name;
    for (const char* p = info.param.name; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
});

// Note-ons only, as "tick:key", for the loop cases.
std::string onsets(const mml::CompileResult& result, size_t track = 1) {
    std::vector<std::string> out;
    const mml::SmfFile file = readBack(result);
    for (const auto& ev : file.tracks.at(track).events)
        if (ev.isNoteOn()) out.push_back(std::to_string(ev.tick) + ":" + std::to_string(ev.data1));
    return joined(out);
}

struct LoopCase {
    const char* source;
    const char* onsets;
};

const LoopCase kLoopCases[] = {
    {"l8 [c d | e]3 f", "0:60, 240:62, 480:64, 720:60, 960:62, 1200:64, 1440:60, 1680:62, 1920:65"},
    {"l8 [c]", "0:60, 240:60"},  // the count defaults to 2
    {"l8 [c | d]1 e", "0:60, 240:64"},
    {"l8 [c [d]2 ]2", "0:60, 240:62, 480:62, 720:60, 960:62, 1200:62"},
    {"l8 [c [d | e]2 | f]2 g", "0:60, 240:62, 480:64, 720:62, 960:65, 1200:60, 1440:62, 1680:64, 1920:62, 2160:67"},
    {"l8 [c | name \"]|\" d]2 e", "0:60, 240:62, 480:60, 720:64"},
    {"l8 [o5 c | /* ] */ d]2", "0:72, 240:74, 480:72"},
    {"l8 [c >]3", "0:60, 240:72, 480:84"},
};

TEST(Loops, RepeatWithLastTimeBreak) {
    for (const LoopCase& c : kLoopCases) {
        mml::CompileResult result = compileText(c.source);
        ASSERT_TRUE(result.ok) << c.source << "\n" << diagnosticsText(result);
        EXPECT_EQ(onsets(result), c.onsets) << c.source;
    }
}

TEST(Tracks, KeepTheirOwnStateAndChannels) {
    mml::CompileResult result = compileText("o5 l8 c track 2 c track 10 c track 1 c channel 3 d track 17 e");
    ASSERT_TRUE(result.ok) << diagnosticsText(result);
    mml::SmfFile file = readBack(result);
    ASSERT_EQ(file.tracks.size(), 5u);  // conductor, 1, 2, 10, 17
    EXPECT_EQ(joined(eventsOf(file.tracks[1])), "0 on 72 100, 216 off 72, 240 on 72 100, 456 off 72, 480 ch3 on 74 100, 696 ch3 off 74");
    EXPECT_EQ(joined(eventsOf(file.tracks[2])), "0 ch2 on 60 100, 432 ch2 off 60");
    EXPECT_EQ(joined(eventsOf(file.tracks[3])), "0 ch10 on 60 100, 432 ch10 off 60");
    EXPECT_EQ(joined(eventsOf(file.tracks[4])), "0 on 64 100, 432 off 64");  // track 17 wraps to channel 1
    ASSERT_EQ(result.tracks.size(), 4u);
    EXPECT_EQ(result.tracks[0].endTick, 720u);
    EXPECT_EQ(result.tracks[2].number, 10);
    EXPECT_EQ(file.lengthTicks, 720u);
    EXPECT_EQ(file.tracks[1].endTick, 720u);
    EXPECT_EQ(file.tracks[2].endTick, 480u);
}

TEST(Conductor, HoldsTitleCopyrightTextsAndEveryTempoChange) {
    mml::CompileResult result = compileText(
        "#title \"Song\"\n#copyright \"(c) me\"\n#text \"one\"\nt90 c t150 c\ntrack 2 r2 r8 t60 c");
    ASSERT_TRUE(result.ok) << diagnosticsText(result);
    mml::SmfFile file = readBack(result);
    EXPECT_EQ(joined(eventsOf(file.tracks[0])),
              "0 meta3 Song, 0 meta2 (c) me, 0 meta1 one, 0 tempo 666667, 480 tempo 400000, 1200 tempo 1000000");
    // 480 ticks at 90 bpm, 720 at 150, 480 at 60
    EXPECT_NEAR(file.lengthMs(), 480 / 480.0 * 666.667 + 720 / 480.0 * 400 + 1000, 0.01);
    EXPECT_NEAR(result.lengthMs, file.lengthMs(), 0.01);
    EXPECT_EQ(file.tracks[0].endTick, file.lengthTicks);
}

TEST(Conductor, DefaultTempoWhenNoneIsGiven) {
    mml::CompileResult result = compileText("c");
    mml::SmfFile file = readBack(result);
    EXPECT_EQ(joined(eventsOf(file.tracks[0])), "0 tempo 500000");
    EXPECT_EQ(file.format, 1);
    EXPECT_EQ(file.division, 480);
}

TEST(Options, SwapOctaveArrowsAndVelocitySteps) {
    mml::CompileOptions swapped;
    swapped.swapOctaveArrows = true;
    swapped.swapVelocitySteps = true;
    mml::CompileResult result = compileText("c > c ) c ( ( c", swapped);
    ASSERT_TRUE(result.ok) << diagnosticsText(result);
    EXPECT_EQ(onsets(result), "0:60, 480:48, 960:48, 1440:48");
    std::vector<int> velocities;
    const mml::SmfFile file = readBack(result);
    for (const auto& ev : file.tracks[1].events)
        if (ev.isNoteOn()) velocities.push_back(ev.data2);
    EXPECT_EQ(velocities, (std::vector<int>{100, 100, 92, 108}));
}

TEST(Options, Format0MergesAllTracksInTimeOrder) {
    mml::CompileOptions options;
    options.format0 = true;
    mml::CompileResult result = compileText("#title \"T\"\nl8 c d t60 e\ntrack 2 l4 g a", options);
    ASSERT_TRUE(result.ok) << diagnosticsText(result);
    mml::SmfFile file = readBack(result);
    EXPECT_EQ(file.format, 0);
    ASSERT_EQ(file.tracks.size(), 1u);
    EXPECT_EQ(joined(eventsOf(file.tracks[0])),
              "0 meta3 T, 0 tempo 500000, 0 on 60 100, 0 ch2 on 67 100, 216 off 60, 240 on 62 100, 432 ch2 off 67, "
              "456 off 62, 480 tempo 1000000, 480 on 64 100, 480 ch2 on 69 100, 696 off 64, 912 ch2 off 69");
    EXPECT_EQ(file.tracks[0].endTick, 960u);
    EXPECT_TRUE(file.tracks[0].hasEndOfTrack);
}

TEST(Text, QuotedBytesAreWrittenUnchanged) {
    // UTF-8 stays UTF-8; Shift-JIS stays Shift-JIS, and its second byte 0x5C
    // ("表" is 95 5C) does not escape the closing quote.
    mml::CompileResult utf8 = compileText("#title \"\xE8\xA1\xA8\xE9\xA1\x8C\"\nc");
    ASSERT_TRUE(utf8.ok) << diagnosticsText(utf8);
    EXPECT_EQ(readBack(utf8).tracks[0].events[0].payload, "\xE8\xA1\xA8\xE9\xA1\x8C");

    mml::CompileResult sjis = compileText("#title \"\x95\x5C\"\nname \"\x83\x5C\x83\x74\x83\x67\" c");
    ASSERT_TRUE(sjis.ok) << diagnosticsText(sjis);
    EXPECT_EQ(readBack(sjis).tracks[0].events[0].payload, "\x95\x5C");
    EXPECT_EQ(readBack(sjis).tracks[1].events[0].payload, "\x83\x5C\x83\x74\x83\x67");

    // Told that the text is not Shift-JIS, the same byte 0x5C escapes the quote,
    // so the text runs to the end of the line unclosed.
    mml::CompileOptions notSjis;
    notSjis.textNotShiftJis = true;
    mml::CompileResult single = compileText("#title \"\x95\x5C\"\nc", notSjis);
    EXPECT_FALSE(single.ok);
    EXPECT_NE(diagnosticsText(single).find("1:8: text is not closed"), std::string::npos) << diagnosticsText(single);
}

TEST(Text, ShiftJisSecondBytesInStrayTextAreNotCommands) {
    // "ア" in Shift-JIS is 83 41: its second byte must not become note 'a'.
    mml::CompileResult result = compileText("c \x83\x41 d");
    EXPECT_EQ(result.errors, 1u);
    EXPECT_EQ(diagnosticsText(result), "1:3: unexpected '\xE3\x82\xA2' (U+30A2) (text belongs in comments or quotes)\n");
}

TEST(Text, NonAsciiCharactersAreNamedWithTheirCodePoint) {
    struct Case {
        std::string source;
        std::string diagnostic;
    };
    const std::vector<Case> cases = {
        // A full-width letter, in UTF-8 and in Shift-JIS (82 83): named in UTF-8 with a hint.
        {"c \xEF\xBD\x83", "1:3: unexpected full-width '\xEF\xBD\x83' (U+FF43) (commands are half-width: 'c')\n"},
        {"c \x82\x83", "1:3: unexpected full-width '\xEF\xBD\x83' (U+FF43) (commands are half-width: 'c')\n"},
        {"c \xE3\x81\x82", "1:3: unexpected '\xE3\x81\x82' (U+3042) (text belongs in comments or quotes)\n"},
        {"c \xC3\xA9", "1:3: unexpected '\xC3\xA9' (U+00E9) (text belongs in comments or quotes)\n"},
        {"c \xF0\x9F\x8E\xB5", "1:3: unexpected '\xF0\x9F\x8E\xB5' (U+1F3B5) (text belongs in comments or quotes)\n"},
        // Half-width katakana, one Shift-JIS byte.
        {"c \xB1", "1:3: unexpected '\xEF\xBD\xB1' (U+FF71) (text belongs in comments or quotes)\n"},
        // A Shift-JIS lead byte without its second byte stays a byte.
        {"c \x83", "1:3: unexpected byte 0x83 (text belongs in comments or quotes)\n"},
    };
    for (const Case& c : cases) {
        const mml::CompileResult result = compileText(c.source);
        EXPECT_EQ(diagnosticsText(result), c.diagnostic) << c.source;
    }
}

TEST(Text, AnIdeographicSpaceIsABlank) {
    // U+3000 in UTF-8 (E3 80 80) and in Shift-JIS (81 40, never valid UTF-8),
    // between commands, between a command and its number, before a directive.
    const std::string sources[] = {
        "t\xE3\x80\x80" "120\xE3\x80\x80" "c\xE3\x80\x80" "d",
        "\xE3\x80\x80#title \"x\"\nc d",
        "t\x81\x40" "120\x81\x40" "c\x81\x40" "d",
        "\x81\x40#title \"\x83\x41\"\nc d",
    };
    for (const std::string& source : sources) {
        const mml::CompileResult result = compileText(source);
        EXPECT_TRUE(result.ok) << source << "\n" << diagnosticsText(result);
    }
}

}  // namespace
