#pragma once
// What the main window's desktop behaviours (tray icon, minimise and restore
// hooks, dropped files) need of the main window.
#include <QString>

namespace zek::app {

class WindowHost {
public:
    virtual void bringToFront() = 0;
    virtual void restoreApplication() = 0;                 // un-minimise
    virtual void setSourceFile(const QString& source) = 0;  // the MIDI name is derived
    virtual void runCompile() = 0;

protected:
    ~WindowHost() = default;
};

}  // namespace zek::app
