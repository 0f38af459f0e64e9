#include "mml/SmfReader.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace zek::mml {

namespace {

constexpr uint32_t kDefaultTempo = 500000;     // 120 beats per minute
constexpr size_t kMaxFileBytes = 256u << 20;   // refuse absurd files instead of exhausting memory

uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint16_t be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }

int dataBytesFor(uint8_t status) {
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
        return 1;
    default:
        return 2;
    }
}

}  // namespace

uint32_t SmfEvent::tempo() const {
    const auto* p = reinterpret_cast<const uint8_t*>(payload.data());
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
}

TempoMap::TempoMap(int16_t division, std::vector<TempoPoint> points) : points_(std::move(points)) {
    std::stable_sort(points_.begin(), points_.end(),
                     [](const TempoPoint& a, const TempoPoint& b) { return a.tick < b.tick; });
    segments_.clear();
    if (division < 0) {
        // SMPTE: frames per second (29 stands for 29.97) times ticks per frame.
        const int fpsCode = -(division >> 8);
        const double fps = fpsCode == 29 ? 29.97 : fpsCode;
        const int ticksPerFrame = division & 0xFF;
        const double perTick = (fps > 0 && ticksPerFrame > 0) ? 1000.0 / (fps * ticksPerFrame) : 0.0;
        segments_.push_back({0, 0.0, perTick});
        return;
    }
    const double ticksPerQuarter = division > 0 ? division : 480;
    auto perTick = [&](uint32_t us) { return us / 1000.0 / ticksPerQuarter; };
    segments_.push_back({0, 0.0, perTick(kDefaultTempo)});
    for (const TempoPoint& p : points_) {
        Segment& last = segments_.back();
        if (p.tick == last.tick) {
            last.msPerTick = perTick(p.usPerQuarter);  // a later event at the same tick wins
            continue;
        }
        const double ms = last.ms + (p.tick - last.tick) * last.msPerTick;
        segments_.push_back({p.tick, ms, perTick(p.usPerQuarter)});
    }
}

double TempoMap::msAt(uint32_t tick) const {
    auto it = std::upper_bound(segments_.begin(), segments_.end(), tick,
                               [](uint32_t t, const Segment& s) { return t < s.tick; });
    const Segment& s = *std::prev(it);
    return s.ms + (tick - s.tick) * s.msPerTick;
}

uint32_t TempoMap::tickAt(double ms) const {
    if (!(ms > 0)) return 0;
    auto it = std::upper_bound(segments_.begin(), segments_.end(), ms,
                               [](double m, const Segment& s) { return m < s.ms; });
    const Segment& s = *std::prev(it);
    if (s.msPerTick <= 0) return s.tick;
    // The epsilon keeps an exact time from falling one tick short by rounding.
    const double ticks = s.tick + (ms - s.ms) / s.msPerTick + 1e-6;
    return ticks >= 4294967295.0 ? 4294967295u : uint32_t(ticks);
}

bool SmfTrackCursor::fail(const char* message) {
    error_ = message;
    pos_ = data_.size();
    return false;
}

bool SmfTrackCursor::readVlq(uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos_ >= data_.size()) return fail("truncated variable-length number");
        const uint8_t b = data_[pos_++];
        value = (value << 7) | (b & 0x7F);
        if (!(b & 0x80)) return true;
    }
    return fail("variable-length number longer than 4 bytes");
}

bool SmfTrackCursor::next(SmfEvent& ev) {
    if (pos_ >= data_.size()) return false;
    uint32_t delta = 0;
    if (!readVlq(delta)) return false;
    if (uint64_t(tick_) + delta > 0xFFFFFFFFu) return fail("track longer than 2^32 ticks");
    tick_ += delta;
    if (pos_ >= data_.size()) return fail("truncated event");
    ev.tick = tick_;
    ev.metaType = 0;
    ev.data1 = ev.data2 = 0;
    ev.payload.clear();
    uint8_t status = data_[pos_];
    if (status & 0x80) {
        ++pos_;
    } else {
        if (!running_) return fail("data byte without a status (no running status in effect)");
        status = running_;
    }
    ev.status = status;
    if (status < 0xF0) {
        running_ = status;
        const int n = dataBytesFor(status);
        if (data_.size() - pos_ < size_t(n)) return fail("truncated channel message");
        ev.data1 = data_[pos_++];
        if (n == 2) ev.data2 = data_[pos_++];
        if ((ev.data1 | ev.data2) & 0x80) return fail("channel message data byte above 127");
        return true;
    }
    running_ = 0;  // meta and sysex events cancel running status
    if (status == 0xFF) {
        if (pos_ >= data_.size()) return fail("truncated meta event");
        ev.metaType = data_[pos_++];
    } else if (status != 0xF0 && status != 0xF7) {
        return fail("system message inside a track");
    }
    uint32_t length = 0;
    if (!readVlq(length)) return false;
    if (data_.size() - pos_ < length) return fail("event data runs past the end of the track");
    ev.payload.assign(reinterpret_cast<const char*>(data_.data() + pos_), length);
    pos_ += length;
    return true;
}

std::string walkSmf(std::span<const uint8_t> bytes, SmfVisitor& visitor) {
    const uint8_t* p = bytes.data();
    const size_t size = bytes.size();
    if (size < 14 || std::string_view(reinterpret_cast<const char*>(p), 4) != "MThd")
        return "not a Standard MIDI file (no MThd header)";
    const uint32_t headerLength = be32(p + 4);
    if (headerLength < 6 || headerLength > size - 8) return "bad MThd header length";
    SmfHeader header;
    header.format = be16(p + 8);
    header.declaredTracks = be16(p + 10);
    header.division = int16_t(be16(p + 12));
    if (header.format > 2) return "unknown MIDI file format " + std::to_string(header.format);
    if (header.division == 0) return "division of 0 ticks per quarter note";
    visitor.header(header);

    size_t tracks = 0;
    size_t pos = 8 + size_t(headerLength);
    while (pos < size && tracks < header.declaredTracks) {
        if (size - pos < 8) return "truncated chunk header";
        const uint32_t length = be32(p + pos + 4);
        const bool isTrack = std::string_view(reinterpret_cast<const char*>(p + pos), 4) == "MTrk";
        pos += 8;
        if (length > size - pos) return "chunk " + std::to_string(tracks + 1) + " runs past the end of the file";
        if (isTrack) {  // other chunk kinds are skipped, as the standard asks
            visitor.beginTrack(tracks);
            SmfTrackCursor cursor({p + pos, length});
            SmfEvent ev;
            while (cursor.next(ev)) {
                visitor.event(ev);
                if (ev.isMeta() && ev.metaType == 0x2F) break;
            }
            if (!cursor.error().empty()) return "track " + std::to_string(tracks + 1) + ": " + cursor.error();
            ++tracks;
        }
        pos += length;
    }
    if (tracks < header.declaredTracks)
        return "file holds " + std::to_string(tracks) + " of " + std::to_string(header.declaredTracks) +
               " declared tracks";
    return {};
}

namespace {

// Builds the stored form of a file.
class SmfCollector : public SmfVisitor {
public:
    void header(const SmfHeader& h) override {
        file.format = h.format;
        file.division = h.division;
    }
    void beginTrack(size_t) override { file.tracks.emplace_back(); }
    void event(const SmfEvent& ev) override {
        SmfTrack& track = file.tracks.back();
        track.endTick = ev.tick;
        file.lengthTicks = std::max(file.lengthTicks, ev.tick);
        if (ev.isMeta() && ev.metaType == 0x2F) {
            track.hasEndOfTrack = true;
            return;
        }
        if (ev.isTempo()) tempo.push_back({ev.tick, ev.tempo()});
        track.events.push_back(ev);
    }
    SmfFile file;
    std::vector<TempoPoint> tempo;
};

std::string readFileBytes(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot open " + path;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) return "cannot read " + path;
    if (size_t(size) > kMaxFileBytes) return path + " is too large for a MIDI file";
    in.seekg(0);
    bytes.resize(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return "cannot read " + path;
    return {};
}

}  // namespace

SmfReadResult readSmf(std::span<const uint8_t> bytes) {
    SmfReadResult result;
    SmfCollector collector;
    result.error = walkSmf(bytes, collector);
    if (!result.error.empty()) return result;
    collector.file.tempoMap = TempoMap(collector.file.division, std::move(collector.tempo));
    result.file = std::move(collector.file);
    return result;
}

std::string walkSmfFile(const std::string& path, SmfVisitor& visitor) {
    std::vector<uint8_t> bytes;
    std::string error = readFileBytes(path, bytes);
    return error.empty() ? walkSmf(bytes, visitor) : error;
}

SmfReadResult readSmfFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string error = readFileBytes(path, bytes);
    if (!error.empty()) return {std::nullopt, error};
    return readSmf(bytes);
}

}  // namespace zek::mml
