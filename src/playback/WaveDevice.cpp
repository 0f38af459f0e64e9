#include "playback/WaveDevice.h"

#include <QFile>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace zek::playback {

struct WaveDevice::Sound : AudioSource {
    std::vector<float> samples;  // interleaved stereo
    double rate = 44100;
    size_t frames = 0;
    std::unique_ptr<AudioStream> stream;

    // Shared with the audio thread.
    mutable std::mutex mutex;
    size_t cursor = 0;          // the next frame to play
    bool playing = false;
    size_t silentAfterEnd = 0;  // frames of silence sent after the end

    ~Sound() override { stream.reset(); }

    void render(int count, float* left, float* right) override {
        std::lock_guard lock(mutex);
        if (!playing)
            return;
        int i = 0;
        for (; i < count && cursor < frames; ++i, ++cursor) {
            left[i] = samples[2 * cursor];
            right[i] = samples[2 * cursor + 1];
        }
        silentAfterEnd += size_t(count - i);
    }

    // The end has been played and the output has had time to sound it out.
    bool drained() const { return silentAfterEnd >= size_t(rate / 5); }
};

namespace {

// Linear interpolation to a rate the output accepts (rare: cues are
// recorded at ordinary rates).
std::vector<float> resampleStereo(const std::vector<float>& in, double from, double to) {
    const size_t inFrames = in.size() / 2;
    const size_t outFrames = size_t(double(inFrames) * to / from);
    std::vector<float> out(outFrames * 2);
    for (size_t i = 0; i < outFrames; ++i) {
        const double pos = double(i) * from / to;
        const size_t a = std::min(size_t(pos), inFrames - 1);
        const size_t b = std::min(a + 1, inFrames - 1);
        const float t = float(pos - double(a));
        for (int c = 0; c < 2; ++c)
            out[2 * i + c] = in[2 * a + c] * (1 - t) + in[2 * b + c] * t;
    }
    return out;
}

}  // namespace

WaveDevice::WaveDevice() = default;
WaveDevice::~WaveDevice() = default;

void WaveDevice::open(const QString& file) {
    close();
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(file).constData(), SFM_READ, &info);
    if (!f)
        throw DeviceError(QFile::encodeName(file).toStdString() + ": " + sf_strerror(nullptr));
    auto sound = std::make_unique<Sound>();
    const int channels = std::max(info.channels, 1);
    std::vector<float> block(size_t(channels) * 4096);
    for (;;) {
        const sf_count_t got = sf_readf_float(f, block.data(), 4096);
        if (got <= 0)
            break;
        for (sf_count_t i = 0; i < got; ++i) {
            const float* frame = &block[size_t(i) * size_t(channels)];
            sound->samples.push_back(frame[0]);
            sound->samples.push_back(channels > 1 ? frame[1] : frame[0]);
        }
    }
    const int error = sf_error(f);
    const std::string message = error ? sf_strerror(f) : std::string();
    sf_close(f);
    if (error)
        throw DeviceError(QFile::encodeName(file).toStdString() + ": " + message);
    sound->rate = info.samplerate;
    if (sound->rate < AudioStream::kMinRate || sound->rate > AudioStream::kMaxRate) {
        const double to = 48000;
        if (sound->rate > 0 && !sound->samples.empty())
            sound->samples = resampleStereo(sound->samples, sound->rate, to);
        sound->rate = to;
    }
    sound->frames = sound->samples.size() / 2;
    sound->cursor = sound->frames;  // at the end: the first play starts from the start
    sound_ = std::move(sound);
}

void WaveDevice::close() { sound_.reset(); }

void WaveDevice::play() {
    if (!sound_)
        throw DeviceError("the wave device is not open");
    Sound& s = *sound_;
    {
        std::lock_guard lock(s.mutex);
        if (s.playing && s.cursor < s.frames)
            return;  // still sounding: it goes on
        s.cursor = 0;
        s.silentAfterEnd = 0;
        s.playing = !!s.stream;
    }
    if (!s.stream) {
        s.stream = std::make_unique<AudioStream>(s.rate, s);
        std::lock_guard lock(s.mutex);
        s.playing = true;
    }
}

void WaveDevice::stop() {
    if (!sound_)
        throw DeviceError("the wave device is not open");
    std::lock_guard lock(sound_->mutex);
    sound_->playing = false;
}

bool WaveDevice::isPlaying() const {
    if (!sound_)
        return false;
    std::lock_guard lock(sound_->mutex);
    return sound_->playing && sound_->cursor < sound_->frames;
}

int64_t WaveDevice::position() const {
    if (!sound_)
        return 0;
    std::lock_guard lock(sound_->mutex);
    return int64_t(double(sound_->cursor) * 1000.0 / sound_->rate);
}

int64_t WaveDevice::length() const { return sound_ ? int64_t(double(sound_->frames) * 1000.0 / sound_->rate) : 0; }

void WaveDevice::releaseIdleOutput() {
    if (!sound_ || !sound_->stream)
        return;
    {
        std::lock_guard lock(sound_->mutex);
        if (sound_->playing && !sound_->drained())
            return;
        sound_->playing = false;
    }
    sound_->stream.reset();
}

}  // namespace zek::playback
