#include "app/CommandLine.h"
#include "app/SharedHandoffBlock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace zek::app;

namespace {

QList<QByteArray> words(const std::vector<const char*>& list) {
    QList<QByteArray> out;
    for (const char* w : list)
        out << QByteArray(w);
    return out;
}

struct Block {
    SharedHandoffBlock raw;
    HandoffBlock view{&raw};
    Block() {
        std::memset(&raw, 0xAB, sizeof raw);  // garbage, to see what initialise clears
        view.initialise(0x1234);
    }
    const unsigned char* bytes() const { return reinterpret_cast<const unsigned char*>(&raw); }
};

TEST(HandoffBlockLayout, FieldsSitAtTheirOffsets) {
    Block b;
    for (int i = 0; i < 520; ++i)
        ASSERT_EQ(b.bytes()[i], 0) << "byte " << i << " after initialise";
    EXPECT_EQ(b.bytes()[520], 0x34);
    EXPECT_EQ(b.bytes()[521], 0x12);
    b.view.setCommand(0x01020304);
    b.view.setCompileRequest(true);
    b.view.setPlayRequest(true);
    b.view.setMinimizeRequest(true);
    b.view.setFnameSmc("S");
    b.view.setFnameMid("M");
    EXPECT_EQ(b.bytes()[0], 0x04);  // little-endian
    EXPECT_EQ(b.bytes()[3], 0x01);
    EXPECT_EQ(b.bytes()[4], 1);
    EXPECT_EQ(b.bytes()[5], 1);
    EXPECT_EQ(b.bytes()[6], 0);
    EXPECT_EQ(b.bytes()[7], 1);
    EXPECT_EQ(b.bytes()[8], 'S');
    EXPECT_EQ(b.bytes()[264], 'M');
}

TEST(HandoffBlockLayout, PathsAreNulTerminatedAndClearedWhole) {
    Block b;
    b.view.setFnameSmc(QByteArray(255, 'x'));
    EXPECT_EQ(b.raw.fnameSmc[254], 'x');
    EXPECT_EQ(b.raw.fnameSmc[255], 0);
    EXPECT_EQ(b.view.fnameSmc().size(), 255);
    b.view.setFnameSmc("/short");
    for (int i = 6; i < 256; ++i)
        ASSERT_EQ(b.raw.fnameSmc[i], 0) << i;
    b.view.setFnameSmc("/m/曲.mml");
    EXPECT_EQ(b.view.fnameSmc(), QStringLiteral("/m/曲.mml"));
}

TEST(HandoffBlockLayout, AnUnterminatedPathIsReadNoFurtherThanItsField) {
    Block b;
    std::memset(b.raw.fnameSmc, 'a', 256);
    EXPECT_EQ(b.view.fnameSmc().size(), 255);
}

struct GrammarRow {
    std::vector<const char*> args;
    bool minimize;
    const char* smc;  // nullptr: not written
    const char* mid;
    unsigned command;
    bool compile;
    bool play;
};

class Grammar : public ::testing::TestWithParam<GrammarRow> {};

TEST_P(Grammar, WritesWhatTheTableSays) {
    const GrammarRow& row = GetParam();
    const ParsedCommandLine parsed = parseCommandLine(words(row.args), "/cwd");
    ASSERT_FALSE(parsed.refused);
    ASSERT_TRUE(parsed.request);
    const HandoffRequest& r = *parsed.request;
    EXPECT_EQ(r.minimize, row.minimize);
    EXPECT_EQ(r.fnameSmc.has_value(), row.smc != nullptr);
    if (row.smc) {
        EXPECT_EQ(*r.fnameSmc, QByteArray(row.smc));
    }
    EXPECT_EQ(r.fnameMid.has_value(), row.mid != nullptr);
    if (row.mid) {
        EXPECT_EQ(*r.fnameMid, QByteArray(row.mid));
    }
    EXPECT_EQ(r.command, row.command);
    EXPECT_EQ(r.compileRequest, row.compile);
    EXPECT_EQ(r.playRequest, row.play);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Grammar,
    ::testing::Values(
        GrammarRow{{"/MIN", "/m/a.mml"}, true, nullptr, nullptr, 0, false, false},
        GrammarRow{{"/min"}, true, nullptr, nullptr, 0, false, false},
        GrammarRow{{"/E", "/m/a.mml"}, false, "/m/a.mml", "", 1, false, false},
        GrammarRow{{"/e"}, false, "", "", 1, false, false},
        GrammarRow{{"/A", "/m/a.mml", "ignored"}, false, "/m/a.mml", "", 2, false, false},
        GrammarRow{{"/Play"}, false, nullptr, nullptr, 0, false, true},
        GrammarRow{{"/PLAY", "/m/a.mml"}, false, "/m/a.mml", "", 0, true, true},
        GrammarRow{{"/play", "/m/a.mml", "/o/b.mid"}, false, "/m/a.mml", "/o/b.mid", 0, true, true},
        GrammarRow{{"/m/a.mml"}, false, "/m/a.mml", "", 0, true, false},
        GrammarRow{{"/m/a.mml", "/o/b.mid", "x"}, false, "/m/a.mml", "/o/b.mid", 0, true, false},
        // The running instance may sit in another folder: names are made absolute.
        GrammarRow{{"song.mml", "out/s.mid"}, false, "/cwd/song.mml", "/cwd/out/s.mid", 0, true, false},
        GrammarRow{{"/X"}, false, "/X", "", 0, true, false}));

TEST(GrammarWrite, PathsAreWrittenAndClearedThenTheRequest) {
    Block b;
    b.view.setFnameMid("/stale.mid");
    writeRequest(b.view, *parseCommandLine(words({"/m/a.mml"}), "/").request);
    EXPECT_EQ(b.view.fnameSmc(), "/m/a.mml");
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(b.raw.fnameMid[i], 0) << "a cleared path has all 256 bytes zero";
    EXPECT_TRUE(b.view.compileRequest());
    EXPECT_FALSE(b.view.playRequest());
    EXPECT_EQ(b.view.command(), 0u);
}

TEST(GrammarWrite, PlayAloneTouchesNoPath) {
    Block b;
    b.view.setFnameSmc("/keep.mml");
    writeRequest(b.view, *parseCommandLine(words({"/PLAY"}), "/").request);
    EXPECT_EQ(b.view.fnameSmc(), "/keep.mml");
    EXPECT_TRUE(b.view.playRequest());
    EXPECT_FALSE(b.view.compileRequest());
}

TEST(GrammarLimits, NoArgumentsIsNoRequest) {
    const ParsedCommandLine parsed = parseCommandLine({}, "/");
    EXPECT_FALSE(parsed.request);
    EXPECT_FALSE(parsed.refused);
}

TEST(GrammarLimits, ANameOver255BytesOrNotUtf8IsRefusedWithTheRequestThatNamesIt) {
    using Fault = RefusedName::Fault;
    const QByteArray fits = "/" + QByteArray(254, 'a');
    const QByteArray tooLong = "/" + QByteArray(255, 'a');
    const QByteArray shiftJis = "/m/\x83\x54\x83\x93.mml";  // "サン" in Shift-JIS
    EXPECT_TRUE(parseCommandLine({fits}, "/").request);
    EXPECT_TRUE(parseCommandLine({"/m/曲.mml"}, "/").request);
    const struct {
        QList<QByteArray> args;
        QByteArray currentDir;
        Fault fault;
        QByteArray name;
    } cases[] = {
        {{tooLong}, "/", Fault::TooLong, tooLong},
        {{"/E", tooLong}, "/", Fault::TooLong, tooLong},
        {{"/m/a.mml", tooLong}, "/", Fault::TooLong, tooLong},
        // A relative name that grows past the limit once made absolute.
        {{QByteArray(250, 'r')}, "/some/folder", Fault::TooLong, "/some/folder/" + QByteArray(250, 'r')},
        {{shiftJis}, "/", Fault::NotUtf8, shiftJis},
        {{"/PLAY", "/m/a.mml", shiftJis}, "/", Fault::NotUtf8, shiftJis},
        // A plain name typed in a folder whose own name is Shift-JIS.
        {{"a.mml"}, "/\x8a\x79", Fault::NotUtf8, "/\x8a\x79/a.mml"},
    };
    for (const auto& c : cases) {
        const ParsedCommandLine parsed = parseCommandLine(c.args, c.currentDir);
        EXPECT_FALSE(parsed.request) << c.name.toStdString();
        ASSERT_TRUE(parsed.refused) << c.name.toStdString();
        EXPECT_EQ(parsed.refused->fault, c.fault);
        EXPECT_EQ(parsed.refused->name, c.name);
    }
    // /MIN ignores the rest, however long.
    EXPECT_TRUE(parseCommandLine({"/MIN", tooLong}, "/").request);
    // A name that never passes the block has no length limit.
    EXPECT_FALSE(checkFileName(tooLong + tooLong, -1));
    EXPECT_TRUE(checkFileName(shiftJis, -1));
}

TEST(GrammarLimits, ARefusalSaysWhyAndWhatBecameOfTheRequest) {
    const RefusedName tooLong{RefusedName::Fault::TooLong, "/long.mml"};
    const RefusedName shiftJis{RefusedName::Fault::NotUtf8, "/\x83\x54.mml"};
    EXPECT_EQ(refusedNameLine(tooLong, true), "zek: file name longer than 255 bytes, left out: /long.mml");
    EXPECT_EQ(refusedNameLine(tooLong, false),
              "zek: file name longer than 255 bytes, nothing handed over: /long.mml");
    EXPECT_EQ(refusedNameLine(shiftJis, false),
              "zek: file name is not valid UTF-8 (rename it to UTF-8), nothing handed over: /\uFFFDT.mml");
    EXPECT_EQ(refusedNameMessage(tooLong), "ﾌｧｲﾙ名が255ﾊﾞｲﾄを超えるため、開きませんでした。\n/long.mml");
    EXPECT_TRUE(refusedNameMessage(shiftJis).startsWith("ﾌｧｲﾙ名の文字ｺｰﾄﾞがUTF-8ではないため"));
}

}  // namespace
