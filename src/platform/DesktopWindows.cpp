#include "platform/DesktopWindows.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace zek::platform {
namespace {

// Qt's own connection when the GUI runs on xcb; otherwise (a second instance
// that starts no GUI) a connection of our own, opened on first use.
xcb_connection_t* connection() {
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return nullptr;
        if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>())
            return x11->connection();
        return nullptr;
    }
    static xcb_connection_t* own = [] () -> xcb_connection_t* {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display)
            return nullptr;
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c)) {
            xcb_disconnect(c);
            return nullptr;
        }
        return c;
    }();
    return own;
}

xcb_window_t rootOf(xcb_connection_t* c) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
    return it.rem ? it.data->root : XCB_NONE;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    if (!r)
        return XCB_ATOM_NONE;
    const xcb_atom_t a = r->atom;
    std::free(r);
    return a;
}

// A client message to a root window, as pagers send them to the window manager.
void sendToWindowManager(xcb_connection_t* c, xcb_window_t root, WindowId window, xcb_atom_t type,
                         std::array<uint32_t, 5> data) {
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = window;
    ev.type = type;
    for (size_t i = 0; i < data.size(); ++i)
        ev.data.data32[i] = data[i];
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
}

// The root of the screen the window lives on, or XCB_NONE when the window is
// gone (a stale id must not reach a request whose error Qt would report).
xcb_window_t rootOfWindow(xcb_connection_t* c, WindowId window) {
    xcb_get_geometry_reply_t* r = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    if (!r)
        return XCB_NONE;
    const xcb_window_t root = r->root;
    std::free(r);
    return root;
}

constexpr uint32_t kSourcePager = 2;

}  // namespace

bool hasX11Desktop() { return connection() != nullptr; }

WindowId activeWindow() {
    xcb_connection_t* c = connection();
    if (!c)
        return 0;
    const xcb_atom_t active = atom(c, "_NET_ACTIVE_WINDOW");
    if (active == XCB_ATOM_NONE)
        return 0;
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, rootOf(c), active, XCB_ATOM_WINDOW, 0, 1), nullptr);
    if (!r)
        return 0;
    WindowId id = 0;
    if (r->type == XCB_ATOM_WINDOW && r->format == 32 && xcb_get_property_value_length(r) >= 4)
        id = *static_cast<const quint32*>(xcb_get_property_value(r));
    std::free(r);
    return id;
}

bool activateWindow(WindowId window) {
    xcb_connection_t* c = connection();
    if (!c || window == 0)
        return false;
    const xcb_window_t root = rootOfWindow(c, window);
    const xcb_atom_t active = atom(c, "_NET_ACTIVE_WINDOW");
    if (root == XCB_NONE || active == XCB_ATOM_NONE)
        return false;
    sendToWindowManager(c, root, window, active, {kSourcePager, XCB_CURRENT_TIME, 0, 0, 0});
    // The raise may still fail if the window goes in between; its error is
    // collected here rather than reported by the toolkit.
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    std::free(xcb_request_check(c, xcb_configure_window_checked(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above)));
    return true;
}

bool setKeepAbove(WindowId window, bool on) {
    xcb_connection_t* c = connection();
    if (!c || window == 0)
        return false;
    const xcb_window_t root = rootOfWindow(c, window);
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const xcb_atom_t above = atom(c, "_NET_WM_STATE_ABOVE");
    if (root == XCB_NONE || state == XCB_ATOM_NONE || above == XCB_ATOM_NONE)
        return false;
    // _NET_WM_STATE_ADD (1) or _REMOVE (0) of the one property "above".
    sendToWindowManager(c, root, window, state, {on ? 1u : 0u, above, 0, kSourcePager, 0});
    xcb_flush(c);
    return true;
}

}  // namespace zek::platform
