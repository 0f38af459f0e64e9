// The console program as ZEK runs it: an empty environment (SMC_INCLUDE
// only for .smc sources), argv = [program, option words..., source, midi],
// stdout and stderr through one pipe.
#include <gtest/gtest.h>

#include <filesystem>

#include "MmlTestSupport.h"
#include "mml/Crc32.h"

using namespace zek;
using namespace zek::mmltest;
namespace fs = std::filesystem;

namespace {

const std::string kProgram = ZEKMML_PROGRAM;

ProcessResult zekmml(std::vector<std::string> args, std::vector<std::string> env = {}, const std::string& cwd = {}) {
    args.insert(args.begin(), kProgram);
    return runProcess(args, env, cwd);
}

mml::SmfFile readMidi(const std::string& path) {
    mml::SmfReadResult read = mml::readSmfFile(path);
    if (!read.file) throw std::runtime_error(path + ": " + read.error);
    return std::move(*read.file);
}

TEST(Cli, WritesTheSourceNameWithMidOnlyChangingTheFileName) {
    TempDir dir;
    fs::create_directories(dir.path() / "v1.0");
    writeText(dir / "v1.0/song", "#title \"S\"\nl8 cdef g2\n");
    ProcessResult r = zekmml({dir / "v1.0/song"});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "zekmml: wrote " + (dir / "v1.0/song.mid") + " (format 1, 1 track, 5 notes, 0:02.000)\n");
    EXPECT_EQ(readMidi(dir / "v1.0/song.mid").tracks.size(), 2u);

    writeText(dir / "tune.MML", "c");
    EXPECT_EQ(zekmml({dir / "tune.MML"}).exitCode, 0);
    EXPECT_TRUE(fs::exists(dir.path() / "tune.mid"));
}

TEST(Cli, CompileErrorsAreQuickfixLinesAndWriteNothing) {
    TempDir dir;
    writeText(dir / "bad.mml", "c d\n  h o12\n[c");
    writeText(dir / "bad.mid", "old");
    ProcessResult r = zekmml({"bad.mml", "bad.mid"}, {}, dir.path().string());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output,
              "bad.mml:2:3: error: unknown command 'h'\n"
              "bad.mml:2:6: error: 'o' (octave) value 12 is out of range (0 to 9)\n"
              "bad.mml:3:1: error: '[' is never closed with ']' in this file\n"
              "zekmml: 3 errors; no MIDI file written\n");
    EXPECT_EQ(readText(dir / "bad.mid"), "old");  // neither replaced nor half-written
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);  // no temporary left
}

TEST(Cli, ErrorsAsWarningsStillWriteTheFile) {
    TempDir dir;
    writeText(dir / "w.mml", "c h d");
    ProcessResult r = zekmml({"-w", dir / "w.mml", dir / "out.mid"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(lines(r.output).at(0), dir / "w.mml" + ":1:3: warning: unknown command 'h'");
    EXPECT_NE(r.output.find("2 notes, 0:01.000, 1 warning)"), std::string::npos) << r.output;
    EXPECT_TRUE(fs::exists(dir.path() / "out.mid"));
}

TEST(Cli, BadUsageExitsWith2) {
    TempDir dir;
    writeText(dir / "a.mml", "c");
    writeText(dir / "a.smc", "c");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"-q", dir / "a.mml"},
        {"-pc", dir / "a.mml"},          // an SMC option on an .mml source
        {"-f", dir / "a.smc"},           // an .mml option on an SMC source
        {dir / "a.mml", dir / "a.mid", dir / "b.mid"},
        {"", dir / "a.mid"},
    };
    for (const auto& args : cases) {
        ProcessResult r = zekmml(args);
        EXPECT_EQ(r.exitCode, 2) << joined(args);
        EXPECT_NE(r.output.find("usage: zekmml [options] source [midi]"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(dir.path() / "a.mid"));
    EXPECT_EQ(zekmml({dir / "missing.mml"}).output, dir / "missing.mml" + ": error: cannot read the source: no such file\n");
    EXPECT_EQ(zekmml({dir / "missing.mml"}).exitCode, 1);
}

TEST(Cli, SmcOptionsPrintClocksAndChecksum) {
    TempDir dir;
    writeText(dir / "s.SMC", "c1 track 2 c2");
    ProcessResult r = zekmml({"-pc", "-ps", dir / "s.SMC", dir / "s.mid"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::vector<std::string> out = lines(r.output);
    ASSERT_EQ(out.size(), 4u) << r.output;
    EXPECT_EQ(out[0], "track 1: 1920 clocks");
    EXPECT_EQ(out[1], "track 2: 960 clocks");
    const std::string bytes = readText(dir / "s.mid");
    char expected[64];
    std::snprintf(expected, sizeof expected, "checksum: %08X (CRC-32 of the MIDI file)",
                  unsigned(mml::crc32Update(0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())));
    EXPECT_EQ(out[2], expected);
    // The CRC itself is the standard one: "123456789" gives CBF43926.
    EXPECT_EQ(mml::crc32Update(0, reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926u);

    ProcessResult verbose = zekmml({"-v", dir / "s.SMC", dir / "s.mid"});
    EXPECT_EQ(verbose.exitCode, 0);
    EXPECT_NE(verbose.output.find("track 2: channel 2, 1 note"), std::string::npos) << verbose.output;
}

TEST(Cli, MmlOptionsFormat0AndSwappedOctaves) {
    TempDir dir;
    writeText(dir / "a.mml", "c > c\ntrack 2 e");
    ProcessResult r = zekmml({"-f", "-x", dir / "a.mml", dir / "a.mid"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    mml::SmfFile file = readMidi(dir / "a.mid");
    EXPECT_EQ(file.format, 0);
    ASSERT_EQ(file.tracks.size(), 1u);
    std::vector<int> keys;
    for (const auto& ev : file.tracks[0].events)
        if (ev.isNoteOn()) keys.push_back(ev.data1);
    EXPECT_EQ(keys, (std::vector<int>{60, 64, 48}));
}

TEST(Cli, IncludesFromTheSourceFolderThenSmcInclude) {
    TempDir dir;
    fs::create_directories(dir.path() / "song");
    fs::create_directories(dir.path() / "lib1");
    fs::create_directories(dir.path() / "lib2");
    writeText(dir / "song/main.smc", "#include \"local.smc\"\n#include \"shared.smc\"\n#include \"nested.smc\"\n");
    writeText(dir / "song/local.smc", "c");
    writeText(dir / "lib2/shared.smc", "d");
    writeText(dir / "lib1/nested.smc", "#include \"leaf.smc\"\n");
    writeText(dir / "lib1/leaf.smc", "e");        // found beside the file that includes it
    writeText(dir / "lib2/local.smc", "h");       // shadowed by the source's own folder
    const std::string env = "SMC_INCLUDE=" + (dir / "lib1") + "::" + (dir / "lib2");
    ProcessResult r = zekmml({"-v", dir / "song/main.smc"}, {env});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("included " + (dir / "lib1/leaf.smc")), std::string::npos) << r.output;
    std::vector<int> keys;
    const mml::SmfFile file = readMidi(dir / "song/main.mid");
    for (const auto& ev : file.tracks[1].events)
        if (ev.isNoteOn()) keys.push_back(ev.data1);
    EXPECT_EQ(keys, (std::vector<int>{60, 62, 64}));

    writeText(dir / "song/self.mml", "c\n#include \"self.mml\"\n");
    ProcessResult self = zekmml({dir / "song/self.mml"});
    EXPECT_EQ(self.exitCode, 1);
    EXPECT_EQ(lines(self.output).at(0),
              dir / "song/self.mml" + ":2:1: error: #include cycle: \"" + (dir / "song/self.mml") + "\" is already being read");

    ProcessResult missing = zekmml({dir / "song/main.smc"});  // no SMC_INCLUDE
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(lines(missing.output).at(0),
              dir / "song/main.smc" + ":2:1: error: cannot include \"shared.smc\": no such file (searched " +
                  (dir / "song") + ")");
}

TEST(Cli, RefusesToOverwriteTheSourceAndReportsUnwritableTargets) {
    TempDir dir;
    writeText(dir / "x.mml", "c");
    ProcessResult same = zekmml({dir / "x.mml", dir / "x.mml"});
    EXPECT_EQ(same.exitCode, 1);
    EXPECT_EQ(readText(dir / "x.mml"), "c");
    ProcessResult nowhere = zekmml({dir / "x.mml", dir / "no/such/folder/x.mid"});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_NE(nowhere.output.find("error: cannot create a file beside"), std::string::npos) << nowhere.output;
}

TEST(Cli, OutputIsAcceptedByAnIndependentReader) {
    if (!fs::exists("/usr/bin/mftext")) GTEST_SKIP() << "mftext (abcmidi) is not installed";
    TempDir dir;
    writeText(dir / "m.mml", "#title \"Tune\"\nt100 @41 o5 l8 c+ d4. r e&e\ntrack 10 n36,4 volume 90");
    ASSERT_EQ(zekmml({dir / "m.mml"}).exitCode, 0);
    ProcessResult text = runProcess({"/usr/bin/mftext", dir / "m.mid"});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_EQ(text.output,
              "Header format=1 ntrks=3 division=480\n"
              "Track start\n"
              "Time=0  Meta Text, type=0x03 (Sequence/Track Name)  leng=4\n"
              "     Text = <Tune>\n"
              "Time=0  Tempo, microseconds-per-MIDI-quarter-note=600000\n"
              "Time=1680  Meta event, end of track\n"
              "Track end\n"
              "Track start\n"
              "Time=0  Program, chan=1 program=40\n"
              "Time=0  Note on, chan=1 pitch=73 vol=100\n"
              "Time=216  Note on, chan=1 pitch=73 vol=0\n"
              "Time=240  Note on, chan=1 pitch=74 vol=100\n"
              "Time=888  Note on, chan=1 pitch=74 vol=0\n"
              "Time=1200  Note on, chan=1 pitch=76 vol=100\n"
              "Time=1632  Note on, chan=1 pitch=76 vol=0\n"
              "Time=1680  Meta event, end of track\n"
              "Track end\n"
              "Track start\n"
              "Time=0  Note on, chan=10 pitch=36 vol=100\n"
              "Time=432  Note on, chan=10 pitch=36 vol=0\n"
              "Time=480  Parameter, chan=10 c1=7 c2=90\n"
              "Time=480  Meta event, end of track\n"
              "Track end\n");
}

TEST(Cli, ExamplesCompileCleanly) {
    TempDir dir;
    int songs = 0;
    for (const auto& entry : fs::directory_iterator(ZEKMML_EXAMPLES_DIR)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".mml" && ext != ".smc") continue;
        if (entry.path().stem().string().rfind("inc-", 0) == 0) continue;  // include parts, not songs
        ++songs;
        const std::string midi = dir / (entry.path().stem().string() + ".mid");
        ProcessResult r = zekmml({entry.path().string(), midi});
        EXPECT_EQ(r.exitCode, 0) << entry.path() << "\n" << r.output;
        EXPECT_EQ(lines(r.output).size(), 1u) << "no warnings expected:\n" << r.output;
        mml::SmfFile file = readMidi(midi);
        EXPECT_GE(file.tracks.size(), 4u) << entry.path();
        EXPECT_GT(file.lengthMs(), 20000.0) << entry.path();
        if (fs::exists("/usr/bin/mftext")) {
            EXPECT_EQ(runProcess({"/usr/bin/mftext", midi}).exitCode, 0);
        }
    }
    EXPECT_GE(songs, 3);
}

}  // namespace
