// libzekmml.so through dlopen, called the way ZEK's in-process runner calls
// it: a zero-filled 256-byte buffer, GetVerInfo, then MMLtoMIDI.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "MmlTestSupport.h"

using namespace zek;
using namespace zek::mmltest;
namespace fs = std::filesystem;

namespace {

using GetVerInfoFn = void (*)(char*);
using MmlToMidiFn = unsigned char (*)(const char*, const char*, char*);

class Library : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = dlopen(ZEKMML_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        getVerInfo_ = reinterpret_cast<GetVerInfoFn>(dlsym(handle_, "GetVerInfo"));
        mmlToMidi_ = reinterpret_cast<MmlToMidiFn>(dlsym(handle_, "MMLtoMIDI"));
        ASSERT_NE(getVerInfo_, nullptr);
        ASSERT_NE(mmlToMidi_, nullptr);
    }
    void TearDown() override {
        if (handle_) dlclose(handle_);
    }

    // One run as ZEK makes it; returns the byte and leaves the buffer's text.
    unsigned char call(const std::string& source, const std::string& midi) {
        std::memset(buf_, 0, sizeof buf_);
        getVerInfo_(buf_);
        version_ = buf_;
        return mmlToMidi_(source.c_str(), midi.c_str(), buf_);
    }

    void* handle_ = nullptr;
    GetVerInfoFn getVerInfo_ = nullptr;
    MmlToMidiFn mmlToMidi_ = nullptr;
    char buf_[256];
    std::string version_;
};

TEST_F(Library, VersionTextStartsWithTheMajorDigit) {
    char buf[256];
    std::memset(buf, 0, sizeof buf);
    getVerInfo_(buf);
    EXPECT_STREQ(buf, "2.00 zekmml");
    EXPECT_EQ(buf[0], '2');
}

TEST_F(Library, CompilesAgainAndAgainWithoutCarryingState) {
    TempDir dir;
    ASSERT_EQ(call("#title \"First\"\nt90 o5 c d e", dir / "a.mid"), 1);
    EXPECT_EQ(version_, "2.00 zekmml");
    EXPECT_EQ(std::string(buf_), "2.00 zekmml");  // a success leaves the buffer alone
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(call("c", dir / "b.mid"), 1) << buf_;
        mml::SmfReadResult read = mml::readSmfFile(dir / "b.mid");
        ASSERT_TRUE(read.file) << read.error;
        // No title, default tempo and octave: nothing of the first call remains.
        EXPECT_EQ(joined(eventsOf(read.file->tracks[0])), "0 tempo 500000");
        EXPECT_EQ(joined(eventsOf(read.file->tracks[1])), "0 on 60 100, 432 off 60");
        ASSERT_EQ(call("c\n  h", dir / "c.mid"), 0);
    }
    EXPECT_FALSE(fs::exists(dir.path() / "c.mid"));
}

TEST_F(Library, FailureMessageNamesLineAndColumnWithinTheBuffer) {
    TempDir dir;
    EXPECT_EQ(call("c d\n  h\nv300", dir / "x.mid"), 0);
    EXPECT_STREQ(buf_, "line 2, column 3: unknown command 'h' (and 1 more error)");

    // A long include name makes a long message: it is cut at 255 bytes.
    const std::string longName(400, 'n');
    EXPECT_EQ(call("#include \"" + longName + "\"", dir / "x.mid"), 0);
    EXPECT_EQ(std::strlen(buf_), 255u);
    EXPECT_EQ(std::string(buf_).rfind("line 1, column 1: cannot include \"nnn", 0), 0u) << buf_;

    std::memset(buf_, 0, sizeof buf_);
    EXPECT_EQ(mmlToMidi_("c", "", buf_), 0);
    EXPECT_STREQ(buf_, "no MIDI file name given");
    EXPECT_EQ(mmlToMidi_(nullptr, (dir / "x.mid").c_str(), buf_), 0);
    EXPECT_FALSE(fs::exists(dir.path() / "x.mid"));
}

TEST_F(Library, ExportsOnlyItsTwoFunctions) {
    if (!fs::exists("/usr/bin/nm")) GTEST_SKIP() << "nm is not installed";
    ProcessResult nm = runProcess({"/usr/bin/nm", "-D", "--defined-only", ZEKMML_LIBRARY});
    ASSERT_EQ(nm.exitCode, 0);
    std::vector<std::string> names;
    for (const std::string& line : lines(nm.output)) names.push_back(line.substr(line.rfind(' ') + 1));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"GetVerInfo", "MMLtoMIDI"}));
}

// Include search: the current folder, its Include folder, the Include folder
// beside the host program, then the folder of the MIDI file. A stand-in host
// copied into a temporary folder plays ZEK.
TEST(LibraryIncludes, CurrentFolderItsIncludeThenBesideTheHost) {
    TempDir dir;
    fs::create_directories(dir.path() / "work/Include");
    fs::create_directories(dir.path() / "host/Include");
    fs::copy_file(ZEKMML_DLHOST, dir.path() / "host/dlhost");
    fs::permissions(dir.path() / "host/dlhost", fs::perms::owner_all);
    writeText(dir / "work/here.mml", "c");
    writeText(dir / "work/Include/staged.mml", "d");
    writeText(dir / "host/Include/beside.mml", "e");
    writeText(dir / "host/Include/here.mml", "h");  // shadowed by the current folder
    writeText(dir / "song.mml", "#include \"here.mml\"\n#include \"staged.mml\"\n#include \"beside.mml\"\n");
    ProcessResult r = runProcess({dir / "host/dlhost", ZEKMML_LIBRARY, dir / "song.mml", dir / "song.mid", "3"}, {},
                                 dir / "work");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(lines(r.output).at(0), "version: 2.00 zekmml");
    EXPECT_EQ(lines(r.output).at(2), "message: ok.");
    mml::SmfReadResult read = mml::readSmfFile(dir / "song.mid");
    ASSERT_TRUE(read.file);
    std::vector<int> keys;
    for (const auto& ev : read.file->tracks[1].events)
        if (ev.isNoteOn()) keys.push_back(ev.data1);
    EXPECT_EQ(keys, (std::vector<int>{60, 62, 64}));

    writeText(dir / "broken.mml", "#include \"staged.mml\"\n#include \"gone.mml\"\n");
    ProcessResult bad = runProcess({dir / "host/dlhost", ZEKMML_LIBRARY, dir / "broken.mml", dir / "b.mid"}, {},
                                   dir / "work");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(lines(bad.output).at(2),
              "message: line 2, column 1: cannot include \"gone.mml\": no such file (searched ., Include, " +
                  (dir / "host/Include") + ", " + dir.path().string() + ")");

    // An include beside the song (and its MIDI file) is found last.
    writeText(dir / "nearby.mml", "g");
    writeText(dir / "near.mml", "#include \"nearby.mml\"\n");
    ProcessResult near = runProcess({dir / "host/dlhost", ZEKMML_LIBRARY, dir / "near.mml", dir / "near.mid"}, {},
                                    dir / "work");
    EXPECT_EQ(near.exitCode, 0) << near.output;
}

}  // namespace
