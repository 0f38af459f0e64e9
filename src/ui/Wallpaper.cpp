#include "ui/Wallpaper.h"

#include "ui/PictureFile.h"

#include <QDir>

namespace zek::ui {

void Wallpaper::BuildWallpaperList() {
    wallpaperList_.clear();
    const QString& picture = settings_.wallpaper;
    const QString folder = picture.left(picture.lastIndexOf('/') + 1);
    const QString name = picture.mid(folder.size());
    const qsizetype dot = name.lastIndexOf('.');
    const QString extension = dot < 0 ? QString() : name.mid(dot);
    // A folder that cannot be read gives no candidates.
    const QStringList names =
        QDir(folder.isEmpty() ? QStringLiteral(".") : folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& entry : names)
        if (entry.endsWith(extension, Qt::CaseInsensitive))
            wallpaperList_ << folder + entry;
    settings_.wallpaperCount = static_cast<int>(wallpaperList_.size());
}

bool Wallpaper::LoadWallpaper() {
    QString path = settings_.wallpaper;
    if (settings_.rand == 1 && wallpaperList_.size() > 1)
        path = wallpaperList_[host_.now().time().second() % wallpaperList_.size()];
    const std::optional<QImage> picture = LoadPictureFile(path);
    if (!picture) {
        settings_.wall = 0;
        return false;
    }
    host_.setPicture(*picture);
    return true;
}

void Wallpaper::WallpaperTick() {
    if (settings_.wall != 1) {
        showMemo();
        return;
    }
    if (host_.pictureShown()) {
        if (host_.foregroundIsOurs() || host_.compileRequested())
            showMemo();
        return;
    }
    if (host_.foregroundIsOurs())
        return;  // idle timing, if any, goes on
    const qint64 now = host_.now().toSecsSinceEpoch();
    if (!idleCounting_) {
        idleCounting_ = true;
        idleStart_ = now;
    }
    if (now - idleStart_ < settings_.timerwallpaper)
        return;
    // A new pick that cannot be loaded turns the wallpaper off; the old
    // picture is not shown in its place.
    if (settings_.rand == 1 && !LoadWallpaper())
        return;
    host_.showPicture(true);
}

void Wallpaper::showMemo() {
    if (!host_.pictureShown())
        return;
    host_.showPicture(false);
    idleCounting_ = false;
}

void Wallpaper::restartIdleTimer() {
    if (idleCounting_)
        idleStart_ = host_.now().toSecsSinceEpoch();
}

}  // namespace zek::ui
