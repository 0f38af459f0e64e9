#pragma once
// Encodes events straight into track chunk bytes (delta times, running
// status), so a song costs a few bytes per event and no event list.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace zek::mml {

class TrackEncoder {
public:
    // Events must come in non-decreasing tick order.
    void channel2(uint32_t tick, uint8_t status, uint8_t d1, uint8_t d2);
    void channel1(uint32_t tick, uint8_t status, uint8_t d1);
    void meta(uint32_t tick, uint8_t type, std::string_view data);
    void sysex(uint32_t tick, uint8_t status, std::string_view data);
    void endOfTrack(uint32_t tick);

    uint32_t lastTick() const { return last_; }
    size_t eventCount() const { return events_; }
    std::vector<uint8_t>& bytes() { return bytes_; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    void delta(uint32_t tick);
    void vlq(uint32_t value);

    std::vector<uint8_t> bytes_;
    uint32_t last_ = 0;
    uint8_t running_ = 0;
    size_t events_ = 0;
};

// A whole Standard MIDI file as its header fields and track chunk data.
struct SmfImage {
    uint16_t format = 1;
    uint16_t division = 480;
    std::vector<std::vector<uint8_t>> tracks;  // chunk data without "MTrk" and length

    size_t byteSize() const;
    // Hands the file's bytes to sink in order, piece by piece; stops and
    // returns false as soon as sink does.
    bool write(const std::function<bool(const uint8_t*, size_t)>& sink) const;
    std::vector<uint8_t> toBytes() const;
};

}  // namespace zek::mml
