#include "playback/AudioOutput.h"

#include <fluidsynth.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace zek::playback {
namespace {

thread_local std::vector<std::string>* currentMessages = nullptr;

// Errors go to the capture of the calling thread, else to stderr as
// FluidSynth's own handler would put them; warnings and chatter are dropped
// (a failed real-time priority is no concern of the user's).
void logToCapture(int level, const char* message, void*) {
    if (level > FLUID_ERR || !message)
        return;
    if (currentMessages) {
        currentMessages->emplace_back(message);
        return;
    }
    std::fprintf(stderr, "fluidsynth: %s\n", message);
}

void installLogFunctions() {
    static std::once_flag once;
    std::call_once(once, [] {
        fluid_set_log_function(FLUID_PANIC, logToCapture, nullptr);
        fluid_set_log_function(FLUID_ERR, logToCapture, nullptr);
        fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
        fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
        fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    });
}

// The outputs tried in this order: the desktop's sound server first.
constexpr const char* kDrivers[] = {"pulseaudio", "alsa"};

// One period: long enough for a loaded machine to keep the output fed (a
// stream that wakes every 1.5 ms, FluidSynth's default, starves there), short
// enough that a start or a seek is heard at once.
constexpr int kPeriodFrames = 1024;
constexpr int kPeriods = 2;  // ALSA: the buffer holds two periods

int renderInto(void* data, int len, int, float*[], int nout, float* out[]) {
    if (nout < 2 || len <= 0)
        return FLUID_OK;
    // Not every FluidSynth driver hands over silent buffers.
    std::memset(out[0], 0, sizeof(float) * size_t(len));
    std::memset(out[1], 0, sizeof(float) * size_t(len));
    static_cast<AudioSource*>(data)->render(len, out[0], out[1]);
    return FLUID_OK;
}

}  // namespace

FluidErrors::FluidErrors() : outer_(currentMessages) {
    installLogFunctions();
    currentMessages = &messages_;
}

FluidErrors::~FluidErrors() { currentMessages = outer_; }

std::string FluidErrors::text(const std::string& fallback) const {
    if (messages_.empty())
        return fallback;
    std::string all;
    for (const std::string& m : messages_) {
        if (!all.empty())
            all += "; ";
        all += m;
    }
    return all;
}

struct AudioStream::Driver {
    fluid_settings_t* settings = nullptr;
    fluid_audio_driver_t* driver = nullptr;
    ~Driver() {
        if (driver)
            delete_fluid_audio_driver(driver);
        if (settings)
            delete_fluid_settings(settings);
    }
};

AudioStream::AudioStream(double sampleRate, AudioSource& source) : driver_(std::make_unique<Driver>()), rate_(sampleRate) {
    FluidErrors errors;
    driver_->settings = new_fluid_settings();
    if (!driver_->settings)
        throw DeviceError(errors.text("cannot create the audio settings"));
    if (fluid_settings_setnum(driver_->settings, "synth.sample-rate", sampleRate) != FLUID_OK)
        throw DeviceError(errors.text("unsupported sample rate"));
    fluid_settings_setint(driver_->settings, "audio.period-size", kPeriodFrames);
    fluid_settings_setint(driver_->settings, "audio.periods", kPeriods);
    for (const char* name : kDrivers) {
        if (fluid_settings_setstr(driver_->settings, "audio.driver", name) != FLUID_OK)
            continue;  // not built into this FluidSynth
        driver_->driver = new_fluid_audio_driver2(driver_->settings, renderInto, &source);
        if (driver_->driver)
            return;
    }
    throw DeviceError(errors.text("no audio output could be opened"));
}

AudioStream::~AudioStream() = default;

}  // namespace zek::playback
