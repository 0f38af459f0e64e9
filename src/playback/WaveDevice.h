#pragma once
// A sound-cue device (mplNormal, mplError): the whole sound file decoded at
// open by libsndfile, played on an audio stream of its own. It rewinds by
// itself: a play after the end starts again from the start, a play while it
// still sounds lets it go on.
#include "playback/AudioOutput.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace zek::playback {

class WaveDevice {
public:
    WaveDevice();
    ~WaveDevice();
    WaveDevice(const WaveDevice&) = delete;
    WaveDevice& operator=(const WaveDevice&) = delete;

    // Decodes the file; an open device is closed first. Throws DeviceError
    // with libsndfile's words (the device then is closed).
    void open(const QString& file);
    void close();
    bool isOpen() const { return sound_ != nullptr; }

    // Throw DeviceError when the device is not open, or (play) when no audio
    // output can be opened.
    void play();
    void stop();

    bool isPlaying() const;
    int64_t position() const;  // milliseconds; 0 when not open
    int64_t length() const;    // milliseconds; 0 when not open

    // Gives the audio stream of a cue that has finished back to the system;
    // the next play opens one again.
    void releaseIdleOutput();

private:
    struct Sound;
    std::unique_ptr<Sound> sound_;
};

}  // namespace zek::playback
