#include "support/XServer.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zek::test {

namespace {

// Waits for a child to end; false when it is still running after timeoutMs.
bool reap(pid_t pid, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (::waitpid(pid, nullptr, WNOHANG) != 0)
            return true;
        QThread::msleep(10);
    }
    return false;
}

// Whether a selection (the tray's _NET_SYSTEM_TRAY_S0) has an owner.
bool selectionOwned(const QString& display, const char* selection) {
    xcb_connection_t* c = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    bool owned = false;
    if (!xcb_connection_has_error(c)) {
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(selection)), selection),
                                  nullptr);
        if (atom) {
            xcb_get_selection_owner_reply_t* owner =
                xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
            owned = owner && owner->owner != XCB_NONE;
            free(owner);
            free(atom);
        }
    }
    xcb_disconnect(c);
    return owned;
}

// Generous: a loaded two-core machine can take many seconds to start a server.
constexpr int kStartLimitMs = 90000;

}  // namespace

XServer::XServer() : XServer(Options{}) {}

XServer::XServer(Options options) { start(options); }

XServer::~XServer() {
    // Clients first, the server last.
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        ::kill(*it, SIGTERM);
        if (!reap(*it, 3000)) {
            ::kill(*it, SIGKILL);
            ::waitpid(*it, nullptr, 0);
        }
    }
}

pid_t XServer::spawn(const QStringList& argv, int keepFd) {
    std::vector<QByteArray> bytes;
    for (const QString& a : argv)
        bytes.push_back(QFile::encodeName(a));
    std::vector<char*> args;
    for (QByteArray& b : bytes)
        args.push_back(b.data());
    args.push_back(nullptr);
    const QByteArray displayEnv = display_.toLocal8Bit();

    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    // Child: dies with the test, speaks to the private display only.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    ::setpgid(0, 0);
    const int devnull = ::open("/dev/null", O_RDWR);
    ::dup2(devnull, 0);
    ::dup2(devnull, 1);
    ::dup2(devnull, 2);
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != keepFd)
            ::close(fd);
    if (!displayEnv.isEmpty())
        ::setenv("DISPLAY", displayEnv.constData(), 1);
    ::unsetenv("WAYLAND_DISPLAY");
    // The desktop's own programs read the system's themes and defaults,
    // whatever folders a test's isolated home points at (openbox exits
    // without its theme).
    ::unsetenv("XDG_DATA_DIRS");
    ::unsetenv("XDG_CONFIG_DIRS");
    ::execv(args[0], args.data());
    ::_exit(127);
}

void XServer::fail(const QString& reason) {
    // Installed but not working is a failure, not a reason to skip.
    ADD_FAILURE() << reason.toStdString();
    skipReason_ = reason;
}

void XServer::start(const Options& options) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    const QString trayer = QStandardPaths::findExecutable(QStringLiteral("trayer"));
    if (xvfb.isEmpty() || openbox.isEmpty() || (options.tray && trayer.isEmpty())) {
        skipReason_ = QStringLiteral("needs Xvfb, openbox%1 (scripts/setup.sh installs them)")
                          .arg(options.tray ? QStringLiteral(" and trayer") : QString());
        return;
    }

    // Xvfb picks a free display number and writes it to the pipe when ready.
    int fds[2];
    if (::pipe(fds) != 0) {
        skipReason_ = QStringLiteral("no pipe for Xvfb");
        return;
    }
    const QString screen = QStringLiteral("%1x%2x24").arg(options.width).arg(options.height);
    const pid_t server = spawn({xvfb, QStringLiteral("-displayfd"), QString::number(fds[1]), QStringLiteral("-screen"),
                                QStringLiteral("0"), screen, QStringLiteral("-nolisten"), QStringLiteral("tcp")},
                               fds[1]);
    ::close(fds[1]);
    children_.push_back(server);
    QByteArray number;
    pollfd p{fds[0], POLLIN, 0};
    QElapsedTimer t;
    t.start();
    while (!number.endsWith('\n') && t.elapsed() < kStartLimitMs) {
        if (::poll(&p, 1, 200) > 0) {
            char buf[16];
            const ssize_t n = ::read(fds[0], buf, sizeof buf);
            if (n <= 0)
                break;
            number.append(buf, static_cast<int>(n));
        }
    }
    ::close(fds[0]);
    if (!number.endsWith('\n')) {
        fail(QStringLiteral("Xvfb did not start"));
        return;
    }
    display_ = QStringLiteral(":") + QString::fromLatin1(number.trimmed());

    // On a busy machine openbox now and then fails to open a display that
    // has just come up; it is then started again.
    bool managing = false;
    for (int attempt = 0; attempt < 3 && !managing; ++attempt) {
        children_.push_back(spawn({openbox, QStringLiteral("--sm-disable")}));
        managing = waitForWindowManager(kStartLimitMs);
    }
    if (!managing) {
        fail(QStringLiteral("openbox did not take the display"));
        return;
    }
    if (options.tray) {
        children_.push_back(spawn({trayer, QStringLiteral("--edge"), QStringLiteral("bottom"), QStringLiteral("--align"),
                                   QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                                   QStringLiteral("--height"), QStringLiteral("24")}));
        if (!waitForTray(kStartLimitMs))
            fail(QStringLiteral("trayer did not take the tray selection"));
    }
}

bool XServer::waitForWindowManager(int timeoutMs) {
    const pid_t wm = children_.back();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (::waitpid(wm, nullptr, WNOHANG) == wm) {
            children_.pop_back();  // reaped: its number must not be signalled later
            return false;
        }
        if (run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                .contains(QLatin1String("window id")))
            return windowManagerManages(timeoutMs - static_cast<int>(t.elapsed()));
        QThread::msleep(50);
    }
    return false;
}

bool XServer::windowManagerManages(int timeoutMs) {
    // The window manager announces itself before it handles windows, and a
    // window mapped in between is never shown. A probe window, mapped again
    // until the window manager takes it, shows that it is ready.
    xcb_connection_t* c = xcb_connect(display_.toLocal8Bit().constData(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t probe = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, 0, nullptr);
    const QString id = QStringLiteral("0x%1").arg(probe, 0, 16);
    QElapsedTimer t;
    t.start();
    bool managed = false;
    while (!managed && t.elapsed() < timeoutMs) {
        xcb_map_window(c, probe);
        xcb_flush(c);
        QElapsedTimer attempt;
        attempt.start();
        while (!managed && attempt.elapsed() < 1000) {
            const QString list = run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST")});
            for (const QString& entry : list.section('#', 1).split(','))
                managed = managed || entry.trimmed() == id;
            if (!managed)
                QThread::msleep(50);
        }
    }
    xcb_destroy_window(c, probe);
    xcb_flush(c);
    xcb_disconnect(c);
    return managed;
}

bool XServer::waitForTray(int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (selectionOwned(display_, "_NET_SYSTEM_TRAY_S0"))
            return true;
        QThread::msleep(50);
    }
    return false;
}

QProcessEnvironment XServer::environment(QProcessEnvironment base) const {
    base.insert(QStringLiteral("DISPLAY"), display_);
    base.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    base.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return base;
}

QString XServer::run(const QString& program, const QStringList& args, int timeoutMs) const {
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

unsigned long XServer::activeWindow() const {
    // "_NET_ACTIVE_WINDOW(WINDOW): window id # 0x1a00003"
    const QString out = run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_ACTIVE_WINDOW")});
    const int hash = out.indexOf('#');
    if (hash < 0)
        return 0;
    bool ok = false;
    const unsigned long id = out.mid(hash + 1).trimmed().section(',', 0, 0).toULong(&ok, 16);
    return ok ? id : 0;
}

unsigned long XServer::waitForActive(const QString& caption, unsigned long other, int timeoutMs) const {
    unsigned long found = 0;
    waitFor(
        [&] {
            const unsigned long active = activeWindow();
            if (active == 0 || active == other ||
                run("xdotool", {"getwindowname", QString::number(active)}).trimmed() != caption)
                return false;
            found = active;
            return true;
        },
        timeoutMs);
    return found;
}

bool XServer::screenshot(const QString& pngPath) const {
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), pngPath});
    return p.waitForFinished(20000) && p.exitCode() == 0;
}

}  // namespace zek::test
