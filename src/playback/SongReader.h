#pragma once
// Reads a MIDI file on a thread of its own, so that the window and its tick
// go on while a large file is read. A read that is no longer wanted finishes
// unseen.
#include "playback/MidiSong.h"

#include <QString>

#include <future>
#include <vector>

namespace zek::playback {

class SongReader {
public:
    SongReader() = default;
    ~SongReader();  // waits for the reads still under way
    SongReader(const SongReader&) = delete;
    SongReader& operator=(const SongReader&) = delete;

    void start(const QString& file);  // drops a read under way
    void drop();
    bool ready() const;  // a read has been started and has finished
    // The song of a finished read; throws DeviceError with the reader's words.
    MidiSong take();

private:
    std::future<MidiSong> current_;
    std::vector<std::future<MidiSong>> dropped_;
};

}  // namespace zek::playback
