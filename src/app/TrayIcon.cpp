#include "app/TrayIcon.h"

#include "app/WindowHost.h"
#include "platform/DesktopWindows.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace zek::app {

TrayIcon::TrayIcon(QMenu* menu, WindowHost& host, QObject* parent) : QObject(parent), menu_(menu), host_(host) {}

void TrayIcon::add(const QIcon& icon, const QString& tip) {
    // On X11 the toolkit also follows a tray that starts later (a panel
    // started after ZEK); elsewhere a desktop without a tray gets no icon.
    if (icon_ || !(QSystemTrayIcon::isSystemTrayAvailable() || platform::hasX11Desktop()))
        return;
    icon_ = new QSystemTrayIcon(icon, this);
    icon_->setObjectName(QStringLiteral("trayIcon"));
    icon_->setToolTip(tip);
    // The toolkit opens the menu at the cursor on a right button press.
    icon_->setContextMenu(menu_);
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            host_.restoreApplication();
    });
    icon_->show();
}

void TrayIcon::remove() {
    delete icon_;
    icon_ = nullptr;
}

bool TrayIcon::inTray() const { return icon_ && icon_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable(); }

}  // namespace zek::app
