#pragma once
// The main window's side of the wallpaper: the picture control over the
// memo, the foreground window and the hand-off block's compile request.
#include "app/SharedHandoffBlock.h"
#include "ui/Wallpaper.h"

namespace zek::app {

class TfrmMain;

class MainWallpaper final : public ui::WallpaperHost {
public:
    MainWallpaper(TfrmMain& window, HandoffBlock& block);

    ui::Wallpaper wallpaper;

    QDateTime now() const override;
    bool foregroundIsOurs() const override;
    bool compileRequested() const override;
    bool pictureShown() const override;
    void showPicture(bool shown) override;
    void setPicture(const QImage& picture) override;
    void setPictureLayout(bool centred, bool stretched) override;

private:
    TfrmMain& window_;
    HandoffBlock& block_;
};

}  // namespace zek::app
