#include "playback/MidiSong.h"

#include "playback/AudioOutput.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace zek::playback {
namespace {

class SongBuilder : public mml::SmfVisitor {
public:
    explicit SongBuilder(MidiSong& song) : song_(song) {}

    void header(const mml::SmfHeader& h) override { division_ = h.division; }
    void beginTrack(size_t) override { runs_.push_back(song_.events.size()); }
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
        mergeTracks();
        for (size_t i = 0; i < song_.events.size(); ++i)
            if (song_.events[i].setsState())
                song_.stateEvents.push_back(uint32_t(i));
    }

private:
    // Each track is in time order: merging them two by two, neighbours
    // only, keeps the file's track order for events at the same tick, and
    // takes a pass over the events for each doubling of the tracks merged
    // (a sort of a large file took half a second).
    void mergeTracks() {
        auto& events = song_.events;
        auto byTick = [](const MidiSong::Event& a, const MidiSong::Event& b) { return a.tick < b.tick; };
        if (std::is_sorted(events.begin(), events.end(), byTick))
            return;
        std::vector<size_t> bounds = std::move(runs_);
        bounds.push_back(events.size());
        auto at = [&](size_t i) { return events.begin() + std::ptrdiff_t(i); };
        while (bounds.size() > 2) {
            std::vector<size_t> merged;
            size_t i = 0;
            for (; i + 2 < bounds.size(); i += 2) {
                std::inplace_merge(at(bounds[i]), at(bounds[i + 1]), at(bounds[i + 2]), byTick);
                merged.push_back(bounds[i]);
            }
            merged.insert(merged.end(), bounds.begin() + std::ptrdiff_t(i), bounds.end());
            bounds = std::move(merged);
        }
    }

    static constexpr size_t kMaxSysex = 1u << 24;  // what the index holds
    MidiSong& song_;
    int16_t division_ = 480;
    std::vector<size_t> runs_;  // where each track's events begin
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
    // Room for the events of a file of ordinary density at once: a channel
    // message with running status and a short delta takes three bytes. The
    // reader refuses files over 256 MB.
    std::error_code sizeError;
    if (const auto size = std::filesystem::file_size(path, sizeError); !sizeError && size <= (256u << 20))
        song.events.reserve(size_t(size / 3));
    SongBuilder builder(song);
    const std::string error = mml::walkSmfFile(path, builder);
    if (!error.empty())
        throw DeviceError(error);
    builder.finish();
    return song;
}

}  // namespace zek::playback
