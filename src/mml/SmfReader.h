#pragma once
// A small, strict reader for Standard MIDI files: tracks with absolute-tick
// events, the tempo map and the file's length in milliseconds. Plain C++ so
// that the compiler's tests and the built-in player share one reader.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zek::mml {

struct SmfEvent {
    uint32_t tick = 0;     // absolute, from the start of the track
    uint8_t status = 0;    // 0x80..0xEF channel message, 0xF0/0xF7 sysex, 0xFF meta
    uint8_t metaType = 0;  // meta events only
    uint8_t data1 = 0;     // channel messages: first data byte
    uint8_t data2 = 0;     // channel messages: second data byte (0 if none)
    std::string payload;   // meta and sysex data

    bool isMeta() const { return status == 0xFF; }
    bool isChannel() const { return status >= 0x80 && status < 0xF0; }
    uint8_t kind() const { return status & 0xF0; }
    int channel() const { return (status & 0x0F) + 1; }  // 1..16
    // A note-on with velocity 0 is a note-off, as the standard allows.
    bool isNoteOn() const { return kind() == 0x90 && data2 > 0; }
    bool isNoteOff() const { return kind() == 0x80 || (kind() == 0x90 && data2 == 0); }
    bool isTempo() const { return isMeta() && metaType == 0x51 && payload.size() == 3; }
    uint32_t tempo() const;  // microseconds per quarter note (isTempo() only)
    int pitchBend() const { return (data1 | (data2 << 7)) - 8192; }
};

struct SmfTrack {
    std::vector<SmfEvent> events;
    uint32_t endTick = 0;        // tick of the end-of-track event, or of the last event
    bool hasEndOfTrack = false;
};

struct TempoPoint {
    uint32_t tick;
    uint32_t usPerQuarter;
};

// Converts between ticks and milliseconds. Without tempo events the MIDI
// default of 120 beats per minute holds; SMPTE divisions ignore tempo.
class TempoMap {
public:
    TempoMap() = default;
    TempoMap(int16_t division, std::vector<TempoPoint> points);

    double msAt(uint32_t tick) const;
    uint32_t tickAt(double ms) const;
    const std::vector<TempoPoint>& points() const { return points_; }

private:
    struct Segment {
        uint32_t tick;
        double ms;            // time at the segment's first tick
        double msPerTick;
    };
    std::vector<TempoPoint> points_;
    std::vector<Segment> segments_{{0, 0.0, 500.0 / 480.0}};
};

struct SmfFile {
    int format = 1;
    int16_t division = 480;      // ticks per quarter note, or negative: SMPTE
    std::vector<SmfTrack> tracks;
    TempoMap tempoMap;
    uint32_t lengthTicks = 0;    // the latest end of any track

    double lengthMs() const { return tempoMap.msAt(lengthTicks); }
};

struct SmfReadResult {
    std::optional<SmfFile> file;
    std::string error;           // set when file is empty
};

SmfReadResult readSmf(std::span<const uint8_t> bytes);
SmfReadResult readSmfFile(const std::string& path);

struct SmfHeader {
    int format = 1;
    int16_t division = 480;
    uint16_t declaredTracks = 0;
};

// Receives the events of a file in file order without the reader storing
// them, so that a large file costs only what the receiver keeps.
class SmfVisitor {
public:
    virtual ~SmfVisitor() = default;
    virtual void header(const SmfHeader&) {}
    virtual void beginTrack(size_t /*index*/) {}
    // Every event of the track, its end-of-track event included (the last
    // one passed; anything after it in the chunk is ignored).
    virtual void event(const SmfEvent& ev) = 0;
};

// Checks and walks a whole file as readSmf does; returns the error text, or
// an empty text when the file was read whole.
std::string walkSmf(std::span<const uint8_t> bytes, SmfVisitor& visitor);
std::string walkSmfFile(const std::string& path, SmfVisitor& visitor);

// Walks the events of one track chunk's data without storing them; the
// compiler's format-0 merge and readSmf share it.
class SmfTrackCursor {
public:
    explicit SmfTrackCursor(std::span<const uint8_t> data) : data_(data) {}

    // Reads the next event into ev (payload filled for meta and sysex).
    // Returns false at the end of the data or on a malformed event; then
    // error() tells which (empty at a clean end).
    bool next(SmfEvent& ev);
    const std::string& error() const { return error_; }
    bool atEnd() const { return pos_ >= data_.size(); }

private:
    bool readVlq(uint32_t& value);
    bool fail(const char* message);

    std::span<const uint8_t> data_;
    size_t pos_ = 0;
    uint32_t tick_ = 0;
    uint8_t running_ = 0;
    std::string error_;
};

}  // namespace zek::mml
