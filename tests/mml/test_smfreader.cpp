// The Standard MIDI file reader on hand-made files: running status, the
// tempo map and length in milliseconds, SMPTE time, and malformed files.
#include <gtest/gtest.h>

#include "MmlTestSupport.h"

using namespace zek;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes header(uint16_t format, uint16_t tracks, uint16_t division) {
    return {'M', 'T', 'h', 'd', 0, 0, 0, 6, uint8_t(format >> 8), uint8_t(format), uint8_t(tracks >> 8),
            uint8_t(tracks), uint8_t(division >> 8), uint8_t(division)};
}

Bytes chunk(const char* id, const Bytes& data) {
    Bytes out{uint8_t(id[0]), uint8_t(id[1]), uint8_t(id[2]), uint8_t(id[3])};
    const uint32_t n = uint32_t(data.size());
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(n >> shift));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Conductor: tempo 120 at 0, tempo 240 at 960, end at 960. Music: running
// status note-on/note-on-0, an 0x80 note-off, a program change, end at 1920.
Bytes sampleFile() {
    const Bytes conductor = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
                             0x87, 0x40, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90,
                             0x00, 0xFF, 0x2F, 0x00};
    const Bytes music = {0x00, 0x91, 60, 100,       // note on ch2
                         0x83, 0x60, 60, 0,         // +480, running status: note off by velocity 0
                         0x00, 0x81, 62, 64,        // 0x80 note-off kind
                         0x00, 0xC1, 5,             // program change, one data byte
                         0x8E, 0x00, 0xFF, 0x2F, 0x00};  // end 1792 ticks later
    return cat({header(1, 2, 480), chunk("MTrk", conductor), chunk("XTRA", {1, 2, 3}), chunk("MTrk", music)});
}

TEST(SmfReader, ReadsEventsWithRunningStatus) {
    mml::SmfReadResult read = mml::readSmf(sampleFile());
    ASSERT_TRUE(read.file) << read.error;
    const mml::SmfFile& f = *read.file;
    EXPECT_EQ(f.format, 1);
    ASSERT_EQ(f.tracks.size(), 2u);  // the unknown chunk is skipped
    EXPECT_EQ(mmltest::joined(mmltest::eventsOf(f.tracks[1])), "0 ch2 on 60 100, 480 ch2 off 60, 480 ch2 off 62, 480 ch2 prog 5");
    EXPECT_TRUE(f.tracks[1].hasEndOfTrack);
    EXPECT_EQ(f.tracks[1].endTick, 480u + 1792u);
    EXPECT_EQ(f.lengthTicks, 2272u);
}

TEST(SmfReader, TempoMapGivesMilliseconds) {
    mml::SmfReadResult read = mml::readSmf(sampleFile());
    ASSERT_TRUE(read.file);
    const mml::TempoMap& map = read.file->tempoMap;
    ASSERT_EQ(map.points().size(), 2u);
    EXPECT_DOUBLE_EQ(map.msAt(480), 500.0);
    EXPECT_DOUBLE_EQ(map.msAt(960), 1000.0);
    EXPECT_DOUBLE_EQ(map.msAt(1440), 1250.0);  // 240 bpm after tick 960
    EXPECT_EQ(map.tickAt(1250.0), 1440u);
    EXPECT_EQ(map.tickAt(250.0), 240u);
    EXPECT_EQ(map.tickAt(-5), 0u);
    EXPECT_DOUBLE_EQ(read.file->lengthMs(), 1000.0 + (2272 - 960) * 250.0 / 480.0);
}

TEST(SmfReader, DefaultTempoAndSmpteDivision) {
    const Bytes track = chunk("MTrk", {0x8F, 0x00, 0xFF, 0x2F, 0x00});  // end at 1920
    mml::SmfReadResult plain = mml::readSmf(cat({header(0, 1, 480), track}));
    ASSERT_TRUE(plain.file);
    EXPECT_DOUBLE_EQ(plain.file->lengthMs(), 2000.0);  // 120 bpm without tempo events

    // -25 frames per second, 40 ticks per frame: 1000 ticks per second.
    mml::SmfReadResult smpte = mml::readSmf(cat({header(0, 1, 0xE728), track}));
    ASSERT_TRUE(smpte.file);
    EXPECT_DOUBLE_EQ(smpte.file->lengthMs(), 1920.0);
}

TEST(SmfReader, RefusesMalformedFilesWithAReason) {
    const Bytes end = {0x00, 0xFF, 0x2F, 0x00};
    struct Case {
        Bytes bytes;
        const char* reason;
    };
    const Case cases[] = {
        {{}, "no MThd header"},
        {Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 0, 1, 0xE0}, "no MThd header"},
        {cat({header(3, 1, 480), chunk("MTrk", end)}), "unknown MIDI file format 3"},
        {cat({header(1, 1, 0), chunk("MTrk", end)}), "division of 0"},
        {cat({header(1, 2, 480), chunk("MTrk", end)}), "holds 1 of 2 declared tracks"},
        {cat({header(1, 1, 480), Bytes{'M', 'T', 'r', 'k', 0, 0, 1, 0, 0}}), "runs past the end of the file"},
        {cat({header(1, 1, 480), chunk("MTrk", {0x00, 60, 100})}), "no running status"},
        {cat({header(1, 1, 480), chunk("MTrk", {0xFF, 0xFF, 0xFF, 0xFF, 0x7F})}), "longer than 4 bytes"},
        {cat({header(1, 1, 480), chunk("MTrk", {0x00, 0x90, 60})}), "truncated channel message"},
        {cat({header(1, 1, 480), chunk("MTrk", {0x00, 0xFF, 0x01, 0x10, 'a'})}), "past the end of the track"},
        {cat({header(1, 1, 480), chunk("MTrk", {0x00, 0x90, 0x80, 0x10})}), "data byte above 127"},
    };
    for (const Case& c : cases) {
        mml::SmfReadResult read = mml::readSmf(c.bytes);
        EXPECT_FALSE(read.file);
        EXPECT_NE(read.error.find(c.reason), std::string::npos) << read.error;
    }
    // A last track without its end-of-track event is still read.
    mml::SmfReadResult lenient = mml::readSmf(cat({header(1, 1, 480), chunk("MTrk", {0x00, 0x90, 60, 1, 0x60, 60, 0})}));
    ASSERT_TRUE(lenient.file) << lenient.error;
    EXPECT_FALSE(lenient.file->tracks[0].hasEndOfTrack);
    EXPECT_EQ(lenient.file->lengthTicks, 96u);
}

TEST(SmfReader, ReadsFilesFromDisk) {
    mmltest::TempDir dir;
    const Bytes bytes = sampleFile();
    mmltest::writeText(dir / "a.mid", std::string(bytes.begin(), bytes.end()));
    mml::SmfReadResult read = mml::readSmfFile(dir / "a.mid");
    ASSERT_TRUE(read.file) << read.error;
    EXPECT_EQ(read.file->tracks.size(), 2u);
    EXPECT_NE(mml::readSmfFile(dir / "missing.mid").error.find("cannot open"), std::string::npos);
}

}  // namespace
