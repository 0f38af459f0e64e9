#include "app/MainWallpaper.h"

#include "app/Untmain.h"
#include "ui/OutputMemo.h"

#include <QLabel>
#include <QPixmap>

namespace zek::app {

MainWallpaper::MainWallpaper(TfrmMain& window, HandoffBlock& block)
    : wallpaper(window.settings, *this), window_(window), block_(block) {}

QDateTime MainWallpaper::now() const { return QDateTime::currentDateTime(); }

bool MainWallpaper::foregroundIsOurs() const { return window_.foregroundWindow() == window_.hwndMain; }

bool MainWallpaper::compileRequested() const { return block_.compileRequest(); }

// The controls' own hidden state: a minimised window still knows which is up.
bool MainWallpaper::pictureShown() const { return !window_.imgWallPaper->isHidden(); }

void MainWallpaper::showPicture(bool shown) {
    window_.imgWallPaper->setVisible(shown);
    window_.mmoSmc->setVisible(!shown);
}

void MainWallpaper::setPicture(const QImage& picture) { window_.imgWallPaper->setPixmap(QPixmap::fromImage(picture)); }

void MainWallpaper::setPictureLayout(bool centred, bool stretched) {
    window_.imgWallPaper->setAlignment(centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
    window_.imgWallPaper->setScaledContents(stretched);
}

}  // namespace zek::app
