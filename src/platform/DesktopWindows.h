#pragma once
// Top-level windows of other programs, as X11 window ids (0 = none). On
// Wayland, where no program may move another's focus, and without X11, the
// queries answer 0 and the requests do nothing.
#include <QtGlobal>

namespace zek::platform {

using WindowId = quint32;

// True when the desktop is an X11 display we can talk to.
bool hasX11Desktop();

// The root window's _NET_ACTIVE_WINDOW, or 0.
WindowId activeWindow();

// Asks the window manager to activate the window (as a pager does, so that
// focus-stealing prevention lets it through) and raises it. False when no
// request could be sent.
bool activateWindow(WindowId window);

// Asks the window manager to keep the window above others, or no longer
// (EWMH _NET_WM_STATE_ABOVE), without moving or sizing it.
bool setKeepAbove(WindowId window, bool on);

}  // namespace zek::platform
