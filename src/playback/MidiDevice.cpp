#include "playback/MidiDevice.h"

#include <QFile>

#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <mutex>

namespace zek::playback {

struct MidiDevice::Engine : AudioSource {
    MidiSong song;
    std::unique_ptr<Synth> owner;
    fluid_synth_t* synth = nullptr;
    std::unique_ptr<AudioStream> stream;
    double rate = 44100;
    uint64_t lengthFrames = 0;
    int64_t lengthMs = 0;

    // The cursor and the synthesiser are shared by the audio thread and the
    // caller; the caller holds the lock only for a stop or a seek.
    std::mutex mutex;
    bool playing = false;
    size_t next = 0;                  // the first event not yet sent
    std::atomic<uint64_t> frame{0};   // frames played since the start of the song

    ~Engine() override { stream.reset(); }  // the audio thread ends before the synthesiser goes

    uint64_t frameAt(uint32_t tick) const { return uint64_t(song.tempo.msAt(tick) * rate / 1000.0); }

    void send(const MidiSong::Event& ev) {
        const int channel = ev.status() & 0x0F;
        switch (ev.status() & 0xF0) {
        case 0x80:
            fluid_synth_noteoff(synth, channel, ev.data1());
            break;
        case 0x90:
            if (ev.data2() > 0)
                fluid_synth_noteon(synth, channel, ev.data1(), ev.data2());
            else
                fluid_synth_noteoff(synth, channel, ev.data1());
            break;
        case 0xA0:
            fluid_synth_key_pressure(synth, channel, ev.data1(), ev.data2());
            break;
        case 0xB0:
            fluid_synth_cc(synth, channel, ev.data1(), ev.data2());
            break;
        case 0xC0:
            fluid_synth_program_change(synth, channel, ev.data1());
            break;
        case 0xD0:
            fluid_synth_channel_pressure(synth, channel, ev.data1());
            break;
        case 0xE0:
            fluid_synth_pitch_bend(synth, channel, ev.data1() | ev.data2() << 7);
            break;
        case 0xF0: {
            const std::string& data = song.sysex[ev.sysexIndex()];
            fluid_synth_sysex(synth, data.data(), int(data.size()), nullptr, nullptr, nullptr, 0);
            break;
        }
        }
    }

    // Runs on the audio thread: sends every event when its frame comes and
    // synthesises the stretches between them.
    void render(int frames, float* left, float* right) override {
        std::lock_guard lock(mutex);
        if (!playing)
            return;
        uint64_t f = frame.load(std::memory_order_relaxed);
        for (int done = 0; done < frames;) {
            uint64_t nextFrame = std::numeric_limits<uint64_t>::max();
            while (next < song.events.size()) {
                nextFrame = frameAt(song.events[next].tick);
                if (nextFrame > f)
                    break;
                send(song.events[next++]);
                nextFrame = std::numeric_limits<uint64_t>::max();
            }
            const int chunk = int(std::min<uint64_t>(uint64_t(frames - done), nextFrame - f));
            float* out[2] = {left + done, right + done};
            float* fx[4] = {out[0], out[1], out[0], out[1]};  // reverb and chorus mixed in
            fluid_synth_process(synth, chunk, 4, fx, 2, out);
            done += chunk;
            f += uint64_t(chunk);
            frame.store(f, std::memory_order_release);
        }
    }
};

MidiDevice::MidiDevice(QString soundFont) : soundFont_(std::move(soundFont)) {}

MidiDevice::~MidiDevice() = default;

QString MidiDevice::defaultSoundFont() {
    // FluidSynth's own default first (a distribution may point it at an SF3
    // file), then the system's usual General MIDI soundfont.
    QString configured;
    FluidErrors errors;
    if (fluid_settings_t* settings = new_fluid_settings()) {
        char* path = nullptr;
        if (fluid_settings_getstr_default(settings, "synth.default-soundfont", &path) == FLUID_OK && path)
            configured = QFile::decodeName(path);
        delete_fluid_settings(settings);
    }
    for (const QString& candidate : {configured, QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2")})
        if (!candidate.isEmpty() && QFile::exists(candidate))
            return candidate;
    return configured;
}

QString MidiDevice::soundFont() const { return soundFont_.isEmpty() ? defaultSoundFont() : soundFont_; }

void MidiDevice::prepare() {
    if (!engine_)
        pool_.prepare(soundFont());
}

void MidiDevice::open(const QString& file) {
    close();
    open(loadMidiSong(QFile::encodeName(file).toStdString()));
}

void MidiDevice::open(MidiSong song) {
    close();
    auto engine = std::make_unique<Engine>();
    engine->song = std::move(song);
    engine->owner = pool_.take(soundFont());
    engine->synth = engine->owner->synth;
    engine->rate = engine->owner->rate;
    engine->lengthMs = engine->song.lengthMs();
    engine->lengthFrames = engine->frameAt(engine->song.lengthTicks);
    try {
        engine->stream = std::make_unique<AudioStream>(engine->rate, *engine);
    } catch (const DeviceError&) {
        pool_.give(std::move(engine->owner));
        throw;
    }
    engine_ = std::move(engine);
}

void MidiDevice::close() {
    if (!engine_)
        return;
    engine_->stream.reset();
    pool_.give(std::move(engine_->owner));
    engine_.reset();
}

MidiDevice::Engine& MidiDevice::opened() const {
    if (!engine_)
        throw DeviceError("the MIDI device is not open");
    return *engine_;
}

void MidiDevice::play() {
    Engine& e = opened();
    std::lock_guard lock(e.mutex);
    e.playing = true;
}

void MidiDevice::stop() {
    Engine& e = opened();
    std::lock_guard lock(e.mutex);
    e.playing = false;
    fluid_synth_all_sounds_off(e.synth, -1);
}

void MidiDevice::seek(int64_t ms) {
    Engine& e = opened();
    ms = std::clamp<int64_t>(ms, 0, e.lengthMs);
    const uint64_t target = ms >= e.lengthMs ? e.lengthFrames : uint64_t(double(ms) * e.rate / 1000.0);
    std::lock_guard lock(e.mutex);
    e.playing = false;
    // Back to the state at the start of the song, then every program,
    // controller, bend and system-exclusive message before the target again:
    // each channel sounds as it would have there, and no note is left on.
    e.owner->silence();
    fluid_synth_system_reset(e.synth);
    for (uint32_t index : e.song.stateEvents) {
        const MidiSong::Event& ev = e.song.events[index];
        if (e.frameAt(ev.tick) >= target)
            break;
        e.send(ev);
    }
    const auto first = std::partition_point(e.song.events.begin(), e.song.events.end(),
                                            [&](const MidiSong::Event& ev) { return e.frameAt(ev.tick) < target; });
    e.next = size_t(first - e.song.events.begin());
    e.frame.store(target, std::memory_order_release);
}

int64_t MidiDevice::length() const { return opened().lengthMs; }

int64_t MidiDevice::position() const {
    if (!engine_)
        return 0;
    const Engine& e = *engine_;
    const uint64_t f = e.frame.load(std::memory_order_acquire);
    if (f >= e.lengthFrames)
        return e.lengthMs;
    return std::min(int64_t(double(f) * 1000.0 / e.rate), e.lengthMs);
}

}  // namespace zek::playback
