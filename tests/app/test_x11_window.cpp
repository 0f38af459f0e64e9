// The real zek on a private X desktop (Xvfb + openbox, trayer for the tray):
// the focus goes to the recorded window and back, the tray icon and the
// task-bar entry behave as the `tray` setting says.
#include "support/TestEnv.h"
#include "support/XServer.h"
#include "support/ZekProcess.h"

#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>

using namespace zek::test;

namespace {

using WindowId = unsigned long;

const QString kMainTitle = QStringLiteral("^ZEK - MMLコンパイラ支援ツール$");

// A window list property of the root (_NET_CLIENT_LIST …), bottom to top.
QList<WindowId> rootWindowList(const XServer& x, const char* property) {
    // "_NET_CLIENT_LIST(WINDOW): window id # 0x400003, 0x60000e"
    const QString out = x.run("xprop", {"-root", property});
    QList<WindowId> ids;
    const int hash = out.indexOf('#');
    if (hash < 0)
        return ids;
    for (const QString& part : out.mid(hash + 1).split(',', Qt::SkipEmptyParts))
        ids << part.trimmed().toULong(nullptr, 16);
    return ids;
}

QList<WindowId> clientList(const XServer& x) { return rootWindowList(x, "_NET_CLIENT_LIST"); }
QList<WindowId> stacking(const XServer& x) { return rootWindowList(x, "_NET_CLIENT_LIST_STACKING"); }

QList<WindowId> search(const XServer& x, const QStringList& args) {
    QList<WindowId> ids;
    for (const QString& line : x.run("xdotool", QStringList{"search"} + args).split('\n', Qt::SkipEmptyParts))
        ids << line.toULong();
    return ids;
}

// ZEK's main window once it is mapped and active.
WindowId mainWindowWhenActive(const XServer& x) {
    WindowId main = 0;
    waitFor(
        [&] {
            const QList<WindowId> found = search(x, {"--onlyvisible", "--name", kMainTitle});
            main = found.isEmpty() ? 0 : found.first();
            return main != 0 && x.activeWindow() == main;
        },
        20000);
    return main;
}

// ZEK's tray icon: its other window that is shown (embedded in the tray).
WindowId trayIconOf(const XServer& x, WindowId main) {
    WindowId icon = 0;
    waitFor(
        [&] {
            for (WindowId id : search(x, {"--onlyvisible", "--classname", "^zek$"}))
                if (id != main)
                    icon = id;
            return icon != 0;
        },
        20000);
    return icon;
}

QString hex(WindowId id) { return QStringLiteral("0x%1").arg(id, 0, 16); }

// A plain X client to hand the focus to, as the user's editor would be.
class TestWindow {
public:
    explicit TestWindow(const XServer& x) {
        process_.setProcessEnvironment(x.environment());
        process_.start("xmessage", {"-name", "zektarget", "ZEK test window"});
        waitFor(
            [&] {
                const QList<WindowId> found = search(x, {"--onlyvisible", "--classname", "^zektarget$"});
                id_ = found.isEmpty() ? 0 : found.first();
                return id_ != 0 && x.activeWindow() == id_;
            },
            20000);
    }
    ~TestWindow() { close(); }
    WindowId id() const { return id_; }
    void close() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

private:
    QProcess process_;
    WindowId id_ = 0;
};

// A second zek on the desktop, handing its command line over.
int handOff(const XServer& x, const QString& zek, const QStringList& args) {
    QProcess guest;
    guest.setProcessEnvironment(x.environment());
    guest.start(zek, args);
    if (!guest.waitForFinished(20000))
        return -1;
    return guest.exitCode();
}

class X11Window : public ::testing::Test {
protected:
    IsolatedHome home;
    QString zek;
    QString song = home.path("song.smc");
    QString editorRecord = home.path("editor.rec");

    void SetUp() override {
        zek = installZek(home);
        writeFile(song, "c");
        home.env().set("ZEK_LAUNCH_RECORD", QFile::encodeName(editorRecord));
    }
    void settings(const QByteArray& extra) {
        writeSettings(home, "execsmc=" + fixture("compilers/fake-compiler.sh").toUtf8() + "\noption0=crlf\nexeceditor=" +
                                fixture("compilers/record-launch.sh").toUtf8() + "\n" + extra);
    }
};

// ZEK started from a test window, which becomes the window to return to.
class X11Return : public X11Window {
protected:
    std::unique_ptr<XServer> x;
    std::unique_ptr<TestWindow> editor;
    std::unique_ptr<RunningZek> running;
    WindowId main = 0;

    void SetUp() override {
        X11Window::SetUp();
        x = std::make_unique<XServer>();
        if (!x->ok())
            GTEST_SKIP() << x->skipReason().toStdString();
        settings("show=1\n");
        editor = std::make_unique<TestWindow>(*x);
        ASSERT_NE(editor->id(), 0u);
        running = std::make_unique<RunningZek>(zek, home, x->environment());
        ASSERT_TRUE(running->waitReady());
        main = mainWindowWhenActive(*x);
        ASSERT_NE(main, 0u);
    }
    void TearDown() override {
        if (!running)
            return;
        running->signal(SIGTERM);
        EXPECT_EQ(running->waitExit(), 0);
    }
};

TEST_F(X11Return, FocusGoesToTheRecordedWindowAndBack) {
    x->run("xdotool", {"key", "ctrl+Escape"});
    QThread::msleep(1500);
    EXPECT_EQ(x->activeWindow(), main) << "Esc with Ctrl does nothing";

    x->run("xdotool", {"key", "Escape"});
    EXPECT_TRUE(waitFor([&] { return x->activeWindow() == editor->id(); }, 10000)) << "Esc returns the focus";

    // From the test window, a second instance hands a compile over: ZEK comes
    // to the front from the background and records the test window again.
    ASSERT_EQ(handOff(*x, zek, {song}), 1);
    EXPECT_TRUE(waitFor([&] { return x->activeWindow() == main; }, 20000)) << "the compile brings ZEK to the front";
    x->run("xdotool", {"key", "Escape"});
    EXPECT_TRUE(waitFor([&] { return x->activeWindow() == editor->id(); }, 10000)) << "Esc after the hand-off";

    // A window that is gone: Esc changes nothing and costs nothing.
    x->run("xdotool", {"windowactivate", "--sync", QString::number(main)});
    ASSERT_TRUE(waitFor([&] { return x->activeWindow() == main; }, 10000));
    editor->close();
    x->run("xdotool", {"key", "Escape"});
    QThread::msleep(1000);
    EXPECT_EQ(x->activeWindow(), main);
}

TEST_F(X11Return, ForceForegroundOnTheActiveWindowLeavesTheStackingAlone) {
    // The test window takes the focus without being raised: it is active,
    // and ZEK still lies above it.
    x->run("xdotool", {"windowfocus", "--sync", QString::number(editor->id())});
    ASSERT_TRUE(waitFor([&] { return x->activeWindow() == editor->id(); }, 10000));
    const QList<WindowId> before = stacking(*x);
    ASSERT_GT(before.indexOf(main), before.indexOf(editor->id()));

    // The editor command gives the focus to the recorded window (the active
    // one) before the editor starts.
    ASSERT_EQ(handOff(*x, zek, {"/E", song}), 1);
    ASSERT_TRUE(waitForFile(editorRecord, 20000));
    QThread::msleep(500);
    EXPECT_EQ(x->activeWindow(), editor->id());
    EXPECT_EQ(stacking(*x), before) << "the test window must not be raised";
}

TEST_F(X11Window, TrayOneMinimisesIntoTheTrayAndComesBackFromIt) {
    XServer x(XServer::Options{.tray = true});
    if (!x.ok())
        GTEST_SKIP() << x.skipReason().toStdString();
    settings("tray=1\nshow=1\n");
    RunningZek running(zek, home, x.environment());
    ASSERT_TRUE(running.waitReady());
    const WindowId main = mainWindowWhenActive(x);
    ASSERT_NE(main, 0u);
    const WindowId icon = trayIconOf(x, main);
    ASSERT_NE(icon, 0u) << "the tray icon is there while the window is shown";

    x.run("xdotool", {"windowminimize", QString::number(main)});
    ASSERT_TRUE(waitFor([&] { return !clientList(x).contains(main); }, 10000)) << "off the task bar";

    x.run("xdotool", {"mousemove", "--window", QString::number(icon), "8", "8", "click", "1"});
    QThread::msleep(1500);
    EXPECT_FALSE(clientList(x).contains(main)) << "a single click does nothing";

    // A double click restores and brings ZEK to the front. Under heavy load
    // the two clicks may land too far apart to count as one double click;
    // they are then simply given again.
    bool back = false;
    for (int attempt = 0; attempt < 3 && !back; ++attempt) {
        x.run("xdotool",
              {"mousemove", "--window", QString::number(icon), "8", "8", "click", "--repeat", "2", "--delay", "80", "1"});
        back = waitFor([&] { return clientList(x).contains(main) && x.activeWindow() == main; }, 8000);
    }
    EXPECT_TRUE(back);

    // Minimised again, the tray menu's "終了(&X)" ends the program normally.
    x.run("xdotool", {"windowminimize", QString::number(main)});
    ASSERT_TRUE(waitFor([&] { return !clientList(x).contains(main); }, 10000));
    x.run("xdotool", {"mousemove", "--window", QString::number(icon), "8", "8", "click", "3"});
    ASSERT_TRUE(waitFor([&] { return search(x, {"--onlyvisible", "--classname", "^zek$"}).size() > 1; }, 10000))
        << "the tray menu opens";
    x.run("xdotool", {"key", "x"});
    EXPECT_EQ(running.waitExit(20000), 0);
    EXPECT_TRUE(readFile(home.configHome() + "/Talmo/ZEK.conf").contains("width=")) << "the settings were saved";
}

TEST_F(X11Window, WithoutATrayTheMinimisedWindowStaysOnTheTaskBar) {
    XServer x;
    if (!x.ok())
        GTEST_SKIP() << x.skipReason().toStdString();
    settings("tray=1\n");
    RunningZek running(zek, home, x.environment());
    ASSERT_TRUE(running.waitReady());
    const WindowId main = mainWindowWhenActive(x);
    ASSERT_NE(main, 0u);

    x.run("xdotool", {"windowminimize", QString::number(main)});
    ASSERT_TRUE(waitFor([&] { return x.run("xprop", {"-id", hex(main), "WM_STATE"}).contains("Iconic"); }, 10000));
    QThread::msleep(1000);
    EXPECT_TRUE(clientList(x).contains(main)) << "with no tray icon to come back through, the entry stays";

    running.signal(SIGTERM);
    EXPECT_EQ(running.waitExit(), 0);
}

}  // namespace
