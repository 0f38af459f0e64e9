#include "mml/SmfWriter.h"

namespace zek::mml {

void TrackEncoder::vlq(uint32_t value) {
    uint8_t tmp[5];
    int n = 0;
    tmp[n++] = value & 0x7F;
    while (value >>= 7) tmp[n++] = uint8_t(0x80 | (value & 0x7F));
    while (n) bytes_.push_back(tmp[--n]);
}

void TrackEncoder::delta(uint32_t tick) {
    const uint32_t d = tick - last_;
    if (d < 0x80) {
        bytes_.push_back(uint8_t(d));
    } else if (d < 0x4000) {
        bytes_.push_back(uint8_t(0x80 | (d >> 7)));
        bytes_.push_back(uint8_t(d & 0x7F));
    } else {
        vlq(d);
    }
    last_ = tick;
    ++events_;
}

void TrackEncoder::channel2(uint32_t tick, uint8_t status, uint8_t d1, uint8_t d2) {
    delta(tick);
    if (status != running_) {
        bytes_.push_back(status);
        running_ = status;
    }
    bytes_.push_back(d1);
    bytes_.push_back(d2);
}

void TrackEncoder::channel1(uint32_t tick, uint8_t status, uint8_t d1) {
    delta(tick);
    if (status != running_) {
        bytes_.push_back(status);
        running_ = status;
    }
    bytes_.push_back(d1);
}

void TrackEncoder::meta(uint32_t tick, uint8_t type, std::string_view data) {
    delta(tick);
    bytes_.push_back(0xFF);
    bytes_.push_back(type);
    vlq(uint32_t(data.size()));
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    running_ = 0;
}

void TrackEncoder::sysex(uint32_t tick, uint8_t status, std::string_view data) {
    delta(tick);
    bytes_.push_back(status);
    vlq(uint32_t(data.size()));
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    running_ = 0;
}

void TrackEncoder::endOfTrack(uint32_t tick) { meta(tick, 0x2F, {}); }

size_t SmfImage::byteSize() const {
    size_t n = 14;
    for (const auto& t : tracks) n += 8 + t.size();
    return n;
}

bool SmfImage::write(const std::function<bool(const uint8_t*, size_t)>& sink) const {
    const uint16_t count = uint16_t(tracks.size());
    const uint8_t header[14] = {'M', 'T', 'h', 'd', 0, 0, 0, 6,
                                uint8_t(format >> 8), uint8_t(format),
                                uint8_t(count >> 8), uint8_t(count),
                                uint8_t(division >> 8), uint8_t(division)};
    if (!sink(header, sizeof header)) return false;
    for (const auto& t : tracks) {
        const uint32_t n = uint32_t(t.size());
        const uint8_t chunk[8] = {'M', 'T', 'r', 'k', uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
        if (!sink(chunk, sizeof chunk)) return false;
        if (n && !sink(t.data(), n)) return false;
    }
    return true;
}

std::vector<uint8_t> SmfImage::toBytes() const {
    std::vector<uint8_t> out;
    out.reserve(byteSize());
    write([&](const uint8_t* p, size_t n) {
        out.insert(out.end(), p, p + n);
        return true;
    });
    return out;
}

}  // namespace zek::mml
