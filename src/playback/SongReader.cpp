#include "playback/SongReader.h"

#include <QFile>

#include <chrono>

namespace zek::playback {
namespace {

bool finished(const std::future<MidiSong>& read) {
    return read.valid() && read.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

}  // namespace

SongReader::~SongReader() = default;  // a future of std::async waits as it goes

void SongReader::start(const QString& file) {
    drop();
    current_ = std::async(std::launch::async, [path = QFile::encodeName(file).toStdString()] { return loadMidiSong(path); });
}

void SongReader::drop() {
    std::erase_if(dropped_, [](const std::future<MidiSong>& read) { return finished(read); });
    if (current_.valid())
        dropped_.push_back(std::move(current_));
}

bool SongReader::ready() const { return finished(current_); }

MidiSong SongReader::take() { return current_.get(); }

}  // namespace zek::playback
