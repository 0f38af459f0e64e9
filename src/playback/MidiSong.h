#pragma once
// A Standard MIDI file as the built-in player keeps it: every channel and
// system-exclusive event of all tracks in playing order, eight bytes each,
// with the tempo map and the length. Loaded whole at open, so a file that a
// compile rewrites while it plays changes nothing until the next open.
#include "mml/SmfReader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zek::playback {

struct MidiSong {
    struct Event {
        uint32_t tick;
        // Channel message: status | data1 << 8 | data2 << 16.
        // System exclusive: 0xF0 | (index into sysex) << 8.
        uint32_t message;
        uint8_t status() const { return uint8_t(message & 0xFF); }
        uint8_t data1() const { return uint8_t(message >> 8); }
        uint8_t data2() const { return uint8_t(message >> 16); }
        uint32_t sysexIndex() const { return message >> 8; }
        // Notes and key pressure concern sounding notes only; everything
        // else sets a channel's state, which a seek must restore.
        bool setsState() const;
    };

    std::vector<Event> events;
    std::vector<uint32_t> stateEvents;  // indexes of the events that set state, in order
    std::vector<std::string> sysex;     // payloads without the leading F0 and the closing F7
    mml::TempoMap tempo;
    uint32_t lengthTicks = 0;           // the latest end of any track

    // The length in whole milliseconds (rounded), as the device reports it.
    int64_t lengthMs() const;
};

// Reads and checks a whole file. Throws DeviceError with the reader's words.
MidiSong loadMidiSong(const std::string& path);

}  // namespace zek::playback
