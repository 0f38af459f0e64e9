#pragma once
// A private X desktop for tests that need real windows, focus and a tray:
// Xvfb on a display number it picks itself, openbox as the EWMH window
// manager and, on request, trayer as the system tray. Everything is stopped
// when the object goes. A test skips with skipReason() when a program is
// missing, and never touches the user's own display.
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <sys/types.h>
#include <vector>

namespace zek::test {

class XServer {
public:
    struct Options {
        bool tray = false;  // start trayer and wait for its tray selection
        int width = 1024;
        int height = 768;
    };
    XServer();
    explicit XServer(Options options);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool ok() const { return skipReason_.isEmpty(); }
    // Why the desktop could not be had; empty when ok(). A missing program
    // only skips; a server that is installed but does not start also fails
    // the test.
    QString skipReason() const { return skipReason_; }
    QString display() const { return display_; }  // ":N"

    // The environment for a child process on this desktop: DISPLAY set,
    // xcb as the Qt platform, no Wayland.
    QProcessEnvironment environment(QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;

    // Runs a program (xprop, xdotool …) on this desktop and returns what it
    // printed on stdout; empty when it failed or took longer than timeoutMs.
    QString run(const QString& program, const QStringList& args, int timeoutMs = 10000) const;

    // The root window's _NET_ACTIVE_WINDOW (0 when none), read with xprop.
    unsigned long activeWindow() const;
    // Waits until the active window carries `caption` and is not `other`;
    // that window, or 0 when none did in time.
    unsigned long waitForActive(const QString& caption, unsigned long other = 0, int timeoutMs = 20000) const;

    // Saves a screenshot of the whole screen as PNG (imagemagick's import).
    bool screenshot(const QString& pngPath) const;

private:
    void start(const Options& options);
    void fail(const QString& reason);
    pid_t spawn(const QStringList& argv, int keepFd = -1);
    bool waitForWindowManager(int timeoutMs);  // false at once when it exits
    bool windowManagerManages(int timeoutMs);
    bool waitForTray(int timeoutMs);

    QString display_;
    QString skipReason_;
    std::vector<pid_t> children_;  // Xvfb first, then its clients
};

}  // namespace zek::test
