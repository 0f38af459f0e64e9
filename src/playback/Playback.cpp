#include "playback/Playback.h"

#include "compile/CompileJob.h"
#include "compile/FolderTree.h"
#include "compile/ShellOpen.h"
#include "notify/SstpScripts.h"

#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace zek::playback {

Playback::Playback(const settings::Settings& settings, PlaybackHost& host, QString soundFont)
    : settings_(settings), host_(host), mplMain_(std::move(soundFont)) {}

void Playback::StartBuiltinPlay(const QString& file) {
    StopPlay();
    // A start still reading its file gives way as a play would.
    reader_.drop();
    playState_ = 0;
    // Only a plain file: a folder or a pipe is nothing to play (and a pipe
    // would block the reader).
    const QFileInfo info(file);
    if (!info.isFile())
        return;
    if (info.size() >= kReadAsideBytes) {
        // Reading a large file takes a while: the window and its tick go on
        // meanwhile, and the tick starts the play once it has been read.
        playState_ = 1;
        reader_.start(file);
        return;
    }
    openAndPlay([&] { mplMain_.open(file); });
}

void Playback::openAndPlay(const std::function<void()>& open) {
    try {
        open();
        playState_ = 1;
        mplMain_.play();
        playState_ = 2;
        host_.setSeekBarEnabled(true);
        const int maximum = int(std::min<int64_t>(mplMain_.length() / 10, INT_MAX));
        host_.setSeekBarRange(maximum, maximum / 4, maximum / 40);
        host_.setRunGlyph(true);
    } catch (const DeviceError& e) {
        std::fprintf(stderr, "zek: %s\n", e.what());
        PlayWave(1);
        if (settings_.sstp == 1)
            host_.sendSstp(notify::SstpScript(notify::SstpEvent::PlaybackFailed));
        StopPlay();
        // A failure after the open leaves no device open either.
        mplMain_.close();
        playState_ = 0;
        host_.clearOutput(false);
        host_.appendOutputLine(kPlayFailedLine);
    }
}

void Playback::StopPlay() {
    if (playState_ != 2)
        return;
    host_.setSeekBarEnabled(false);
    try {
        mplMain_.stop();
    } catch (const DeviceError&) {
    }
    mplMain_.close();
    playState_ = 0;
    host_.setRunGlyph(false);
}

void Playback::RunCommand() {
    if (playState_ == 2)
        StopPlay();
    else
        StartPlayer();
}

void Playback::PlayTick() {
    if (playState_ == 1 && reader_.ready())
        openAndPlay([&] { mplMain_.open(reader_.take()); });
    // The built-in player's first play need not wait for the soundfont.
    if (!prepared_ && settings_.play == 1 && playState_ == 0) {
        prepared_ = true;
        mplMain_.prepare();
    }
    if (playState_ != 0 && mplMain_.isOpen()) {
        const int64_t length = mplMain_.length();
        if (length > 0 && mplMain_.position() >= length)
            StopPlay();
    }
    if (playState_ == 2 && !seekDragging_)
        host_.setSeekBarPosition(int(std::min<int64_t>(mplMain_.position() / 10, INT_MAX)));
    mplNormal_.releaseIdleOutput();
    mplError_.releaseIdleOutput();
}

void Playback::ScrollEvent(int code) {
    if (code != scEndScroll) {
        seekDragging_ = true;
        return;
    }
    // The bar is disabled whenever nothing plays; a release that still comes
    // after the play ended has nothing to move.
    if (mplMain_.isOpen()) {
        mplMain_.seek(int64_t(host_.seekBarPosition()) * 10);
        mplMain_.play();
    }
    seekDragging_ = false;
}

void Playback::PrepareWave(int which, const QString& path) {
    if (settings_.wave != 1)
        return;
    WaveDevice& device = cue(which);
    device.close();
    device.open(path);
}

void Playback::PlayWave(int which) {
    if (settings_.wave != 1)
        return;
    // A cue is housekeeping: one that cannot sound (not open, no output)
    // must not stop what the caller goes on to do.
    try {
        cue(which).play();
    } catch (const DeviceError& e) {
        std::fprintf(stderr, "zek: %s\n", e.what());
    }
}

void Playback::StartPlayer() {
    if (!host_.settingsReady())
        return;
    QString file = host_.midiText();
    // The copy keeps the player off the compiler's output, which the next
    // compile overwrites; without a safe temporary folder the output itself
    // is played.
    if (settings_.copy == 1 && !host_.tempFolder().isEmpty()) {
        const QString copy = host_.tempFolder() + compile::FileNamePart(file);
        if (settings_.play == 1)
            StopPlay();  // an earlier copy may be the file now playing
        // Only a plain file is copied: opening a pipe would block the window.
        if (QFileInfo(file).isFile())
            compile::CopyFileReplacing(file, copy);
        file = copy;
    }
    if (settings_.play == 1) {
        StartBuiltinPlay(file);
        return;
    }
    if (!QFileInfo(settings_.execplayer).isFile()) {
        host_.showWarning(kNoPlayerMessage);
        return;
    }
    if (settings_.show == 1)
        host_.forceReturnWindowToFront();
    // The file is one argument after the words of `parmplayer`, spaces and all.
    if (!compile::ShellOpen(settings_.execplayer, settings_.parmplayer, {file}))
        host_.showWarning(kPlayerFailedMessage);
}

void Playback::CloseDevices() {
    mplNormal_.close();
    mplError_.close();
    StopPlay();
    reader_.drop();
    mplMain_.close();
    playState_ = 0;
}

}  // namespace zek::playback
