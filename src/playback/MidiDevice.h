#pragma once
// The MIDI sequencer device of the built-in player (mplMain): FluidSynth
// synthesises the song on its audio thread; this class only hands it the
// events in time. Times are milliseconds from the start of the song, taken
// from the file's tempo map.
#include "playback/AudioOutput.h"
#include "playback/MidiSong.h"
#include "playback/SynthPool.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace zek::playback {

class MidiDevice {
public:
    // An empty soundfont path means FluidSynth's default soundfont.
    explicit MidiDevice(QString soundFont = {});
    ~MidiDevice();
    MidiDevice(const MidiDevice&) = delete;
    MidiDevice& operator=(const MidiDevice&) = delete;

    // Loads the file, the soundfont (unless kept from the last play) and
    // opens the audio output, stopped at position 0; an open device is
    // closed first. Throws DeviceError (the device then is closed).
    void open(const QString& file);
    // The same with a song read beforehand (loadMidiSong).
    void open(MidiSong song);
    void close();  // nothing when not open
    bool isOpen() const { return engine_ != nullptr; }

    // These throw DeviceError when the device is not open.
    void play();               // from the current position
    void stop();               // keeps the position; sounding notes end at once
    void seek(int64_t ms);     // stops, then moves; channels get the state of that moment
    int64_t length() const;

    // The position, at most the length; 0 when not open.
    int64_t position() const;

    // Loads the soundfont ahead, on a thread of its own, so that the next
    // open starts at once. Nothing while open.
    void prepare();

    // FluidSynth's default soundfont on this system.
    static QString defaultSoundFont();

private:
    struct Engine;
    Engine& opened() const;
    QString soundFont() const;

    QString soundFont_;
    SynthPool pool_;  // destroyed after the engine: a closing play gives its synthesiser back
    std::unique_ptr<Engine> engine_;
};

}  // namespace zek::playback
