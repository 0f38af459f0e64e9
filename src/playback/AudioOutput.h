#pragma once
// One audio stream on the desktop's sound server (PulseAudio, or PipeWire's
// PulseAudio service) or, when none answers, on ALSA's default device. The
// stream runs on FluidSynth's own audio thread, which asks its source for
// each period; nothing of it runs on the GUI thread.
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace zek::playback {

// A device that cannot do what was asked; the text is the device library's
// own words (FluidSynth, libsndfile, the MIDI reader).
class DeviceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a stream plays. render() runs on the audio thread with two buffers
// that are already silent.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual void render(int frames, float* left, float* right) = 0;
};

// Collects what FluidSynth reports as errors on this thread while it lives,
// so that a failed call can name the library's reason.
class FluidErrors {
public:
    FluidErrors();
    ~FluidErrors();
    FluidErrors(const FluidErrors&) = delete;
    FluidErrors& operator=(const FluidErrors&) = delete;
    // The collected messages, or `fallback` when FluidSynth said nothing.
    std::string text(const std::string& fallback) const;

private:
    std::vector<std::string> messages_;
    std::vector<std::string>* outer_;
};

class AudioStream {
public:
    // Opens the output at `sampleRate` frames per second and starts asking
    // `source`. Throws DeviceError when no output can be opened.
    AudioStream(double sampleRate, AudioSource& source);
    ~AudioStream();  // returns once the audio thread has stopped
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    double sampleRate() const { return rate_; }

    // The rates FluidSynth's output accepts.
    static constexpr double kMinRate = 8000;
    static constexpr double kMaxRate = 96000;

private:
    struct Driver;
    std::unique_ptr<Driver> driver_;
    double rate_;
};

}  // namespace zek::playback
