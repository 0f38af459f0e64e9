#include "playback/SynthPool.h"

#include "playback/AudioOutput.h"

#include <QFile>
#include <QFileInfo>

#include <fluidsynth.h>

#include <vector>

namespace zek::playback {
namespace {

std::pair<int64_t, int64_t> stampOf(const QString& file) {
    const QFileInfo info(file);
    return {info.lastModified().toMSecsSinceEpoch(), info.size()};
}

}  // namespace

Synth::~Synth() {
    if (synth)
        delete_fluid_synth(synth);
    if (settings)
        delete_fluid_settings(settings);
}

std::unique_ptr<Synth> Synth::load(const QString& soundFont) {
    FluidErrors errors;
    auto s = std::make_unique<Synth>();
    s->soundFont = soundFont;
    std::tie(s->soundFontStamp, s->soundFontSize) = stampOf(soundFont);
    s->settings = new_fluid_settings();
    if (!s->settings)
        throw DeviceError(errors.text("cannot create the synthesizer's settings"));
    fluid_settings_getnum(s->settings, "synth.sample-rate", &s->rate);
    s->synth = new_fluid_synth(s->settings);
    if (!s->synth)
        throw DeviceError(errors.text("cannot create the synthesizer"));
    if (soundFont.isEmpty())
        throw DeviceError("no soundfont: FluidSynth names no default soundfont");
    if (fluid_synth_sfload(s->synth, QFile::encodeName(soundFont).constData(), 1) == FLUID_FAILED)
        throw DeviceError(errors.text("cannot load the soundfont " + QFile::encodeName(soundFont).toStdString()));
    return s;
}

bool Synth::matches(const QString& file) const {
    return file == soundFont && stampOf(file) == std::pair(soundFontStamp, soundFontSize);
}

void Synth::silence() {
    fluid_synth_all_sounds_off(synth, -1);
    // FluidSynth ends switched-off voices only when it next runs, and a reset
    // before that leaves them fading out with the channels' new state (a
    // note cut by a seek was heard at the pan of the new place): run them
    // out now, unheard.
    float left[64] = {}, right[64] = {};
    float* out[2] = {left, right};
    float* fx[4] = {left, right, left, right};
    for (int i = 0; i < 64 && fluid_synth_get_active_voice_count(synth) > 0; ++i)
        fluid_synth_process(synth, 64, 4, fx, 2, out);
}

void Synth::reset() {
    silence();
    fluid_synth_system_reset(synth);
    // Reverb and chorus still ring with the end of the last play: let them
    // ring out unheard.
    std::vector<float> left(4096), right(4096);
    float* out[2] = {left.data(), right.data()};
    float* fx[4] = {out[0], out[1], out[0], out[1]};
    for (int frames = 0; frames < int(rate); frames += 4096)
        fluid_synth_process(synth, 4096, 4, fx, 2, out);
}

SynthPool::~SynthPool() {
    if (pending_.valid())
        pending_.wait();
}

void SynthPool::prepare(const QString& soundFont) {
    if (pending_.valid() || (spare_ && spare_->matches(soundFont)))
        return;
    pendingFont_ = soundFont;
    pending_ = std::async(std::launch::async, [soundFont] {
        try {
            return Loaded{Synth::load(soundFont), {}};
        } catch (const DeviceError& e) {
            return Loaded{nullptr, e.what()};
        }
    });
}

std::unique_ptr<Synth> SynthPool::take(const QString& soundFont) {
    if (pending_.valid()) {
        Loaded loaded = pending_.get();
        if (loaded.synth && loaded.synth->matches(soundFont))
            return std::move(loaded.synth);
        if (!loaded.synth && pendingFont_ == soundFont)
            throw DeviceError(loaded.error);
    }
    if (spare_ && spare_->matches(soundFont))
        return std::move(spare_);
    spare_.reset();
    return Synth::load(soundFont);
}

void SynthPool::give(std::unique_ptr<Synth> synth) {
    if (!synth)
        return;
    synth->reset();
    spare_ = std::move(synth);
}

}  // namespace zek::playback
