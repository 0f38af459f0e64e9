#include "platform/DisplayEnvironment.h"

#include <QByteArray>
#include <QList>

namespace zek::platform {

QString missingDesktopReason() {
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM").trimmed();
    if (chosen.isEmpty()) {
        // Qt picks xcb, or wayland in a Wayland session.
        if (x11 || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            return {};
    } else {
        // "xcb", "wayland;xcb", "offscreen:fontengine=…": platforms to try in
        // turn, each with options after a colon.
        for (const QByteArray& entry : chosen.split(';')) {
            const QByteArray platform = entry.split(':').front().trimmed();
            if (platform == "xcb" ? x11 : !platform.isEmpty())
                return {};
        }
    }
    return QStringLiteral("DISPLAY and WAYLAND_DISPLAY are not set");
}

}  // namespace zek::platform
