// Faulty sources: every error with its line, column and a clear message;
// several in one run; hostile input within bounded time and memory.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>

#include "MmlTestSupport.h"

using namespace zek;
using namespace zek::mmltest;

namespace {

struct ErrorCase {
    const char* source;
    const char* first;  // the first diagnostic, as "line:col: message"
};

const ErrorCase kErrorCases[] = {
    {"c h", "1:3: unknown command 'h'"},
    {"c\nd\n  x", "3:3: unknown command 'x'"},
    {"o10 c", "1:2: 'o' (octave) value 10 is out of range (0 to 9)"},
    {"c200", "1:2: length 200 is out of range (1 to 192, or %ticks)"},
    {"c%0", "1:3: tick length out of range (1 to 268435455)"},
    {"c1.........", "1:2: more than 8 dots on one length"},
    {"l c", "1:1: 'l' needs a length (1 to 192, or %ticks)"},
    {"t3 c", "1:2: 't' (tempo) value 3 is out of range (4 to 999)"},
    {"v128 c", "1:2: 'v' (velocity) value 128 is out of range (0 to 127)"},
    {"@0 c", "1:2: '@' (program) value 0 is out of range (1 to 128)"},
    {"q0 c", "1:2: 'q' (gate, percent of the length) value 0 is out of range (1 to 100)"},
    {"k49 c", "1:2: 'k' (transpose) value 49 is out of range (-48 to 48)"},
    {"o 99999999999999 c", "1:3: 'o' (octave) value is far too large (0 to 9)"},
    {"track 65 c", "1:7: track value 65 is out of range (1 to 64)"},
    {"channel 0 c", "1:9: channel value 0 is out of range (1 to 16)"},
    {"pan 128 c", "1:5: pan value 128 is out of range (0 to 127)"},
    {"y7 100 c", "1:4: 'y' needs a comma and a value: y7,100"},
    {"o9 b", "1:4: note out of range: key 131 (MIDI keys are 0 to 127; check o, <, > and k)"},
    {"o9 c > c", "1:6: octave above 9 (the range is o0 to o9)"},
    {"c8 4", "1:4: a number without a command before it"},
    {"[c d", "1:1: '[' is never closed with ']' in this file"},
    {"c ]", "1:3: ']' without a matching '['"},
    {"c |", "1:3: '|' outside a loop"},
    {"[c | d | e]", "1:8: a loop may hold only one '|'"},
    {"[c]70000", "1:4: loop count 70000 is out of range (1 to 65535); the loop plays once"},
    {"c & r", "1:5: '&' must be followed by a note, found 'r'"},
    {"c &", "1:3: '&' at the end of the song has no note to tie to"},
    {"& c", "1:1: '&' must follow a note"},
    {"^8 c", "1:1: '^' must follow a note or a rest"},
    {"#tittle \"x\"\nc", "1:1: unknown directive '#tittle' (known: #include, #title, #copyright, #text)"},
    {"c #title \"x\"", "1:3: '#' starts a directive only at the beginning of a line (sharps follow the note: c#)"},
    {"#title abc\nc", "1:8: expected a text in double quotes, found 'a'"},
    {"#title \"abc\nc", "1:8: text is not closed with '\"' on its line"},
    {"#title \"a\" c", "1:12: unexpected 'c' after #title \"...\""},
    {"c \"stray\" d", "1:3: a text in quotes belongs after #title, #copyright, #text, #include or name"},
    {"c /* d", "1:3: comment '/*' is not closed with '*/'"},
    {"c / d", "1:3: unknown command '/'"},
    {"c\x01", "1:2: unknown command byte 0x01"},
    {"#include \"x.mml\"\nc", "1:1: cannot include \"x.mml\": includes are not available here"},
    {"", "1:1: the source has no notes or rests: nothing to write"},
    {"  // only a comment\n", "1:1: the source has no notes or rests: nothing to write"},
};

TEST(Errors, NameLineColumnAndCause) {
    for (const ErrorCase& c : kErrorCases) {
        const std::string source = c.source;
        mml::CompileResult result = compileText(source);
        EXPECT_FALSE(result.ok) << source;
        ASSERT_FALSE(result.diagnostics.empty()) << source;
        EXPECT_EQ(lines(diagnosticsText(result)).front(), c.first) << "source: " << source;
        EXPECT_TRUE(result.midi.tracks.empty()) << source;
    }
}

TEST(Errors, NulByteInsideTheText) {
    // The console program reads files that may hold NUL bytes.
    mml::CompileResult result = compileText(std::string("c\0d", 3));
    EXPECT_EQ(diagnosticsText(result), "1:2: unknown command byte 0x00\n");
}

TEST(Errors, SeveralAreReportedInOneRun) {
    mml::CompileResult result = compileText("c h\nd v200\n[e\nf o12 g");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(diagnosticsText(result),
              "1:3: unknown command 'h'\n"
              "2:4: 'v' (velocity) value 200 is out of range (0 to 127)\n"
              "4:4: 'o' (octave) value 12 is out of range (0 to 9)\n"
              "3:1: '[' is never closed with ']' in this file\n");
    EXPECT_EQ(result.errors, 4u);
}

TEST(Errors, StopAfterTheBound) {
    std::string source;
    for (int i = 0; i < 50; ++i) source += "c h\n";
    mml::CompileResult result = compileText(source);
    EXPECT_EQ(result.diagnostics.size(), 21u);
    EXPECT_EQ(result.diagnostics[19].line, 20u);
    EXPECT_EQ(result.diagnostics.back().message, "too many errors; stopping");
}

TEST(Errors, InALoopAreReportedOnce) {
    mml::CompileResult result = compileText("[c h]3");
    EXPECT_EQ(diagnosticsText(result), "1:4: unknown command 'h'\n");
}

TEST(Errors, AsWarningsStillGiveAFile) {
    mml::CompileOptions options;
    options.errorsAsWarnings = true;
    mml::CompileResult result = compileText("c h d o12 e", options);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.errors, 0u);
    EXPECT_EQ(result.warnings, 2u);
    EXPECT_EQ(diagnosticsText(result),
              "1:3: warning: unknown command 'h'\n1:8: warning: 'o' (octave) value 12 is out of range (0 to 9)\n");
    EXPECT_EQ(result.noteCount, 3u);
}

TEST(Errors, LimitsStayErrorsEvenAsWarnings) {
    mml::CompileOptions options;
    options.errorsAsWarnings = true;
    mml::CompileResult result = compileText("l%268435455 c c", options);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(diagnosticsText(result), "1:15: track 1 is longer than 268435455 ticks, the most a MIDI file can hold\n");
}

// Hostile inputs: each must end quickly with an error, never a crash.
struct HostileCase {
    const char* name;
    std::string source;
    const char* expected;  // part of the last diagnostic
};

std::vector<HostileCase> hostileCases() {
    std::vector<HostileCase> cases;
    cases.push_back({"billion repeats", "[c]1000000000", "loop count 1000000000 is out of range"});
    cases.push_back({"nested repeats", "[[[c%1]60000]60000]60000", "more than 4000000 MIDI events"});
    cases.push_back({"empty nested repeats", "[[[[[]65535]65535]65535]65535]65535 c", "loops and includes would read more than 64 MB"});
    cases.push_back({"state-only repeats", "[[[v+1]65535]65535]65535 c", "loops and includes would read more than 64 MB"});
    cases.push_back({"ten thousand deep", std::string(10000, '[') + "c" + std::string(10000, ']'), "too many errors"});
    cases.push_back({"ticks overflow by repeats", "[c1]65535 [c1]65535 [c1]65535", "longer than 268435455 ticks"});
    std::string longLine = "c" + std::string(10u << 20, ' ') + "h";
    cases.push_back({"10 MB line", longLine, "1:10485762: unknown command 'h'"});
    return cases;
}

TEST(Errors, HostileInputEndsQuicklyWithAClearError) {
    for (const HostileCase& c : hostileCases()) {
        const auto start = std::chrono::steady_clock::now();
        mml::CompileResult result = compileText(c.source);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_FALSE(result.ok) << c.name;
        ASSERT_FALSE(result.diagnostics.empty()) << c.name;
        const std::string last = lines(diagnosticsText(result)).back();
        EXPECT_NE(last.find(c.expected), std::string::npos) << c.name << ": " << last;
        EXPECT_LT(seconds, 10.0) << c.name;
    }
}

TEST(Errors, RandomBytesNeverCrash) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(size_t(rng() % 2000), '\0');
        for (char& b : bytes) b = char(rng() & 0xFF);
        mml::CompileResult result = compileText(bytes);
        for (const auto& d : result.diagnostics) {
            if (d.message == "too many errors; stopping") continue;
            EXPECT_GE(d.line, 1u);
            EXPECT_GE(d.column, 1u);
        }
        if (result.ok) {
            EXPECT_TRUE(mml::readSmf(result.midi.toBytes()).file.has_value());
        }
    }
}

// Includes from an in-memory table: name -> text; the name is the identity.
mml::IncludeLoader tableLoader(std::map<std::string, std::string> files) {
    return [files](const std::string& name, const std::string&) {
        mml::IncludeLookup lookup;
        auto it = files.find(name);
        if (it == files.end()) {
            lookup.error = "no such file";
            return lookup;
        }
        lookup.file = std::make_unique<mml::LoadedInclude>(mml::LoadedInclude{name, "", name, it->second});
        return lookup;
    };
}

TEST(Includes, TextIsReadInPlaceAndErrorsNameTheIncludedFile) {
    auto loader = tableLoader({{"bass.mml", "o3 c\n  h"}});
    mml::CompileResult result = compileText("l8 c\n#include \"bass.mml\"\nd", {}, loader);
    EXPECT_EQ(result.diagnostics.size(), 1u);
    ASSERT_FALSE(result.diagnostics.empty());
    EXPECT_EQ(mml::formatDiagnostic(result.diagnostics[0], "main.mml"), "bass.mml:2:3: error: unknown command 'h'");

    auto good = tableLoader({{"bass.mml", "o3 c"}});
    result = compileText("l8 c\n#include \"bass.mml\"\nd\n[\n#include \"bass.mml\"\n]2", {}, good);
    ASSERT_TRUE(result.ok) << diagnosticsText(result);
    std::vector<std::string> keys;
    const mml::SmfFile file = readBack(result);
    for (const auto& ev : file.tracks[1].events)
        if (ev.isNoteOn()) keys.push_back(std::to_string(ev.tick) + ":" + std::to_string(ev.data1));
    EXPECT_EQ(joined(keys), "0:60, 240:48, 480:50, 720:48, 960:48");
    EXPECT_EQ(result.includedFiles, std::vector<std::string>{"bass.mml"});
}

TEST(Includes, CyclesDepthAndMissingFilesAreErrors) {
    auto cycle = tableLoader({{"a.mml", "c\n#include \"b.mml\""}, {"b.mml", "d\n#include \"a.mml\""}});
    mml::CompileResult result = compileText("#include \"a.mml\"", {}, cycle);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(mml::formatDiagnostic(result.diagnostics.at(0), "main.mml"),
              "b.mml:2:1: error: #include cycle: \"a.mml\" is already being read");

    std::map<std::string, std::string> chain;
    for (int i = 0; i < 30; ++i) chain["f" + std::to_string(i)] = "c\n#include \"f" + std::to_string(i + 1) + "\"";
    result = compileText("#include \"f0\"", {}, tableLoader(chain));
    EXPECT_EQ(mml::formatDiagnostic(result.diagnostics.at(0), "main.mml"), "f15:2:1: error: #include nested more than 16 deep");

    result = compileText("c\n#include \"gone.mml\"", {}, cycle);
    EXPECT_EQ(diagnosticsText(result), "2:1: cannot include \"gone.mml\": no such file\n");
}

}  // namespace
