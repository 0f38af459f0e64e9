#pragma once
// The application's minimise and restore events: "元のｻｲｽﾞに戻す" is enabled
// only while minimised; with `tray` 1 the minimised window leaves the task
// bar (it is withdrawn, to come back through the tray icon) and a restore
// brings it to the front.
#include "settings/Settings.h"

#include <QObject>

class QAction;
class QWidget;

namespace zek::app {

class TrayIcon;
class WindowHost;

class MinimiseHooks : public QObject {
    Q_OBJECT
public:
    MinimiseHooks(QWidget* window, QAction* restoreItem, const settings::Settings& settings, const TrayIcon& tray,
                  WindowHost& host);

    void onMinimise();
    void onRestore();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    QAction* restoreItem_;
    const settings::Settings& settings_;
    const TrayIcon& tray_;
    WindowHost& host_;
};

}  // namespace zek::app
