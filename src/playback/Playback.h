#pragma once
// Playback: the built-in MIDI player with its seek bar and run glyph, the two
// sound cues, and StartPlayer, the one operation behind every request to play
// the compiled file (built-in or outside player). A plain class that reaches
// the main window only through PlaybackHost.
#include "playback/MidiDevice.h"
#include "playback/SongReader.h"
#include "playback/WaveDevice.h"
#include "settings/Settings.h"

#include <QString>

#include <functional>

namespace zek::playback {

class PlaybackHost {
public:
    virtual ~PlaybackHost() = default;
    virtual bool settingsReady() const = 0;
    virtual QString midiText() const = 0;    // edtFnameMid
    virtual QString tempFolder() const = 0;  // tempDir, ending in "/"; empty when there is none
    // The output memo.
    virtual void clearOutput(bool repaintNow) = 0;
    virtual void appendOutputLine(const QString& line) = 0;
    virtual void sendSstp(const QString& script) = 0;  // only called when `sstp` is 1
    // A warning box, dropped while another message box is on screen.
    virtual void showWarning(const QString& text) = 0;
    virtual void forceReturnWindowToFront() = 0;  // hwndReturn of the hand-off block
    // scbPlay, in units of 10 ms, and the glyph of sbtRun.
    virtual void setSeekBarEnabled(bool enabled) = 0;
    virtual void setSeekBarRange(int maximum, int largeChange, int smallChange) = 0;
    virtual int seekBarPosition() const = 0;
    virtual void setSeekBarPosition(int position) = 0;
    virtual void setRunGlyph(bool stop) = 0;  // false: play (entry 3), true: stop (entry 4)
};

// Scroll codes of the seek bar's events.
enum ScrollCode {
    scLineUp = 0,
    scLineDown = 1,
    scPageUp = 2,
    scPageDown = 3,
    scPosition = 4,
    scTrack = 5,
    scTop = 6,
    scBottom = 7,
    scEndScroll = 8,
};

class Playback {
public:
    // An empty soundfont path means FluidSynth's default soundfont.
    Playback(const settings::Settings& settings, PlaybackHost& host, QString soundFont = {});

    // 0 idle, 1 starting (a large file is being read), 2 playing.
    int playState() const { return playState_; }
    bool seekDragging() const { return seekDragging_; }

    void StartBuiltinPlay(const QString& file);
    void StopPlay();
    void RunCommand();  // the run command: stops a running play, else StartPlayer
    void PlayTick();
    void ScrollEvent(int code);
    // Throws DeviceError when the cue file cannot be opened; the cue device
    // then stays closed.
    void PrepareWave(int which, const QString& path);
    void PlayWave(int which);
    void StartPlayer();
    // Shutdown: closes the cue devices and the MIDI device.
    void CloseDevices();

    // From this size on a MIDI file is read on a thread of its own.
    static constexpr qint64 kReadAsideBytes = 1 << 20;

    // The devices, for the shutdown and for tests.
    MidiDevice& mplMain() { return mplMain_; }
    WaveDevice& cue(int which) { return which == 0 ? mplNormal_ : mplError_; }

private:
    // Opens mplMain by `open` and plays, or takes the failure path.
    void openAndPlay(const std::function<void()>& open);

    const settings::Settings& settings_;
    PlaybackHost& host_;
    MidiDevice mplMain_;
    WaveDevice mplNormal_;
    WaveDevice mplError_;
    SongReader reader_;  // reads the file of a start in state 1
    int playState_ = 0;
    bool seekDragging_ = false;
    bool prepared_ = false;  // the soundfont has been loaded ahead
};

// The memo line and the messages of playback.
inline const QString kPlayFailedLine = QStringLiteral("演奏に失敗しました。");
inline const QString kNoPlayerMessage = QStringLiteral("ﾌﾟﾚｲﾔｰのﾊﾟｽが登録されていません。");
inline const QString kPlayerFailedMessage = QStringLiteral("ﾌﾟﾚｲﾔｰの起動に失敗しました。");

}  // namespace zek::playback
