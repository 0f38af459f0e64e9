#pragma once
// The tray icon: present for the whole life of the main window when the
// desktop has a tray; a double click restores, the right button opens the
// tray menu, every other click does nothing.
#include <QObject>

class QIcon;
class QMenu;
class QSystemTrayIcon;

namespace zek::app {

class WindowHost;

class TrayIcon : public QObject {
    Q_OBJECT
public:
    TrayIcon(QMenu* menu, WindowHost& host, QObject* parent = nullptr);

    void add(const QIcon& icon, const QString& tip);
    void remove();

    // True while the icon sits in a tray, so that a hidden window can be
    // brought back through it.
    bool inTray() const;

    QSystemTrayIcon* icon() const { return icon_; }

private:
    QMenu* menu_;
    WindowHost& host_;
    QSystemTrayIcon* icon_ = nullptr;
};

}  // namespace zek::app
