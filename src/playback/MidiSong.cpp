#include "playback/MidiSong.h"

#include "playback/AudioOutput.h"

#include <algorithm>
#include <cmath>

namespace zek::playback {
namespace {

class SongBuilder : public mml::SmfVisitor {
public:
    explicit SongBuilder(MidiSong& song) : song_(song) {}

    void header(const mml::SmfHeader& h) override { division_ = h.division; }
    void beginTrack(size_t) override { ++tracks_; }
    void event(const mml::SmfEvent& ev) override {
        song_.lengthTicks = std::max(song_.lengthTicks, ev.tick);
        if (ev.isChannel()) {
            song_.events.push_back({ev.tick, uint32_t(ev.status) | uint32_t(ev.data1) << 8 | uint32_t(ev.data2) << 16});
        } else if (ev.isTempo()) {
            tempo_.push_back({ev.tick, ev.tempo()});
        } else if (ev.status == 0xF0 && song_.sysex.size() < kMaxSysex) {
            std::string payload = ev.payload;
            if (!payload.empty() && uint8_t(payload.back()) == 0xF7)
                payload.pop_back();
            song_.events.push_back({ev.tick, 0xF0u | uint32_t(song_.sysex.size()) << 8});
            song_.sysex.push_back(std::move(payload));
        }
        // Other meta events and F7 escapes carry nothing the synthesiser plays.
    }

    void finish() {
        song_.tempo = mml::TempoMap(division_, std::move(tempo_));
        // Each track is in time order; merging keeps the file's track order
        // for events at the same tick.
        auto byTick = [](const MidiSong::Event& a, const MidiSong::Event& b) { return a.tick < b.tick; };
        if (tracks_ > 1 && !std::is_sorted(song_.events.begin(), song_.events.end(), byTick))
            std::stable_sort(song_.events.begin(), song_.events.end(), byTick);
        for (size_t i = 0; i < song_.events.size(); ++i)
            if (song_.events[i].setsState())
                song_.stateEvents.push_back(uint32_t(i));
    }

private:
    static constexpr size_t kMaxSysex = 1u << 24;  // what the index holds
    MidiSong& song_;
    int16_t division_ = 480;
    size_t tracks_ = 0;
    std::vector<mml::TempoPoint> tempo_;
};

}  // namespace

bool MidiSong::Event::setsState() const {
    const uint8_t kind = status() & 0xF0;
    return kind != 0x80 && kind != 0x90 && kind != 0xA0;
}

int64_t MidiSong::lengthMs() const { return std::llround(tempo.msAt(lengthTicks)); }

MidiSong loadMidiSong(const std::string& path) {
    MidiSong song;
    SongBuilder builder(song);
    const std::string error = mml::walkSmfFile(path, builder);
    if (!error.empty())
        throw DeviceError(error);
    builder.finish();
    return song;
}

}  // namespace zek::playback
