#pragma once
// The wallpaper: a picture of the user's choice that covers the output memo
// once the main window has been inactive for `timerwallpaper` seconds, and
// gives way to the memo when the user comes back or a compile is asked for.
#include "settings/Settings.h"

#include <QDateTime>
#include <QImage>
#include <QStringList>

namespace zek::ui {

// What the wallpaper needs of the main window.
class WallpaperHost {
public:
    virtual ~WallpaperHost() = default;
    virtual QDateTime now() const = 0;            // local time
    virtual bool foregroundIsOurs() const = 0;    // the foreground window is the main window
    virtual bool compileRequested() const = 0;    // the hand-off block holds a compile request
    virtual bool pictureShown() const = 0;        // the picture is up instead of the memo
    virtual void showPicture(bool shown) = 0;     // the picture over the memo, or the memo again
    virtual void setPicture(const QImage& picture) = 0;
    virtual void setPictureLayout(bool centred, bool stretched) = 0;
};

class Wallpaper {
public:
    Wallpaper(settings::Settings& settings, WallpaperHost& host) : settings_(settings), host_(host) {}

    // The candidates: the files of `wallpaper`'s folder with its extension
    // (in any letter case), by name. Sets `wallpaperCount`.
    void BuildWallpaperList();
    // Loads the configured picture, or with `rand` a candidate picked by the
    // clock's second. False, with `wall` switched off, when it cannot be loaded.
    bool LoadWallpaper();
    // The 100 ms tick's step.
    void WallpaperTick();

    // Centred at its own size, or stretched over the memo's area.
    void setLayout(bool centred, bool stretched) { host_.setPictureLayout(centred, stretched); }
    // While the picture is up: the memo comes back and idle timing stops
    // (the source watch does this before it compiles).
    void showMemo();
    // A compile starts: an idle period under way starts again now.
    void restartIdleTimer();

    const QStringList& wallpaperList() const { return wallpaperList_; }
    bool idleCounting() const { return idleCounting_; }
    qint64 idleStart() const { return idleStart_; }

private:
    settings::Settings& settings_;
    WallpaperHost& host_;
    QStringList wallpaperList_;
    bool idleCounting_ = false;
    qint64 idleStart_ = 0;  // calendar seconds
};

}  // namespace zek::ui
