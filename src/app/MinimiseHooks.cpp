#include "app/MinimiseHooks.h"

#include "app/TrayIcon.h"
#include "app/WindowHost.h"

#include <QAction>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindowStateChangeEvent>

namespace zek::app {

MinimiseHooks::MinimiseHooks(QWidget* window, QAction* restoreItem, const settings::Settings& settings,
                             const TrayIcon& tray, WindowHost& host)
    : QObject(window), window_(window), restoreItem_(restoreItem), settings_(settings), tray_(tray), host_(host) {
    restoreItem_->setEnabled(window_->isMinimized());
    window_->installEventFilter(this);
}

void MinimiseHooks::onMinimise() {
    restoreItem_->setEnabled(true);
    // Only a window that the tray icon can bring back leaves the task bar:
    // without a tray it would be out of the user's reach.
    if (settings_.tray != 1 || !tray_.inTray())
        return;
    // Once the state change has been dealt with, and only if it still holds.
    QTimer::singleShot(0, window_, [this] {
        if (window_->isMinimized())
            window_->hide();
    });
}

void MinimiseHooks::onRestore() {
    restoreItem_->setEnabled(false);
    // After the restore has been dealt with, so the window is shown by then.
    if (settings_.tray == 1)
        QTimer::singleShot(0, window_, [this] { host_.bringToFront(); });
}

bool MinimiseHooks::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::WindowStateChange) {
        const bool was = static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized;
        const bool is = window_->isMinimized();
        if (is && !was)
            onMinimise();
        else if (was && !is)
            onRestore();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace zek::app
