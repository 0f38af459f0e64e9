#pragma once
// Loading a soundfont takes longer than anything else in starting a play, so
// a synthesiser with its soundfont loaded is kept after a play ends, and can
// be loaded ahead on a thread of its own, for the next play to take at once.
#include <QString>

#include <fluidsynth/types.h>

#include <cstdint>
#include <future>
#include <memory>
#include <string>


namespace zek::playback {

struct Synth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    double rate = 44100;
    QString soundFont;
    int64_t soundFontStamp = 0;  // modification time and size of the file at load
    int64_t soundFontSize = 0;

    Synth() = default;
    ~Synth();
    Synth(const Synth&) = delete;
    Synth& operator=(const Synth&) = delete;

    // Throws DeviceError with FluidSynth's words.
    static std::unique_ptr<Synth> load(const QString& soundFont);
    // Loaded from this file, and the file has not changed since.
    bool matches(const QString& soundFont) const;
    // Every voice off at once.
    void silence();
    // As freshly made: no voice sounds, every channel at its defaults, no
    // reverb or chorus tail left from the last play.
    void reset();
};

class SynthPool {
public:
    SynthPool() = default;
    ~SynthPool();  // waits for a load under way
    SynthPool(const SynthPool&) = delete;
    SynthPool& operator=(const SynthPool&) = delete;

    // Starts loading in the background unless a synthesiser for this
    // soundfont is kept or loading already.
    void prepare(const QString& soundFont);
    // The kept or prepared synthesiser when it fits, else a fresh one.
    // Throws DeviceError.
    std::unique_ptr<Synth> take(const QString& soundFont);
    // Keeps a synthesiser that a play no longer uses.
    void give(std::unique_ptr<Synth> synth);

private:
    struct Loaded {
        std::unique_ptr<Synth> synth;
        std::string error;
    };
    std::unique_ptr<Synth> spare_;
    std::future<Loaded> pending_;
    QString pendingFont_;
};

}  // namespace zek::playback
