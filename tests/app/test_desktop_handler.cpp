// "README表示", "ｴｸｽﾌﾟﾛｰﾗで開く" and the home page go through the real
// xdg-open that the setup script installs, on a private X desktop, to a
// default application registered only in the test's own XDG folders.
#include "app/Untmain.h"
#include "support/TestEnv.h"
#include "support/XServer.h"
#include "support/ZekProcess.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace zek;
using test::IsolatedHome;

namespace {

class DesktopHandler : public ::testing::Test {
protected:
    IsolatedHome home;
    test::XServer x;
    app::SharedHandoffBlock raw{};
    app::HandoffBlock block{&raw};
    QString handler = home.path("bin/open-here.sh");
    QString record = home.path("opened.rec");

    void SetUp() override {
        ASSERT_FALSE(HasFailure()) << "the X desktop: " << x.skipReason().toStdString();
        if (!x.ok())
            GTEST_SKIP() << x.skipReason().toStdString();
        ASSERT_FALSE(QStandardPaths::findExecutable("xdg-open").isEmpty()) << "scripts/setup.sh installs xdg-utils";
        // xdg-open's generic way: what the desktop variables name decides.
        for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                                 "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "BROWSER", "WAYLAND_DISPLAY"})
            home.env().unset(name);
        home.env().set("DISPLAY", x.display().toUtf8());
        // The system's MIME database (shared-mime-info) tells a file's type.
        home.env().set("XDG_DATA_DIRS", QFile::encodeName(home.path("sysdata")) + ":/usr/local/share:/usr/share");
        home.env().set("ZEK_LAUNCH_RECORD", QFile::encodeName(record));

        test::writeFile(handler, test::readFile(test::fixture("compilers/record-launch.sh")));
        QFile::setPermissions(handler, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        test::writeFile(home.dataHome() + "/applications/zek-test-opener.desktop",
                        "[Desktop Entry]\nType=Application\nName=Test opener\nExec=" + QFile::encodeName(handler) +
                            " %u\nMimeType=text/plain;inode/directory;x-scheme-handler/https;\n");
        test::writeFile(home.configHome() + "/mimeapps.list",
                        "[Default Applications]\ntext/plain=zek-test-opener.desktop\n"
                        "inode/directory=zek-test-opener.desktop\n"
                        "x-scheme-handler/https=zek-test-opener.desktop\n");
        test::writeSettings(home, "");
        block.initialise(0);
        app::firstPaintDone = false;
    }

    // The one argument the default application was started with.
    QString opened() {
        if (!test::waitForFile(record, 20000))
            return QString();
        QByteArray argv = test::readFile(record);
        QFile::remove(record);
        const QList<QByteArray> parts = argv.split('\0');
        return parts.size() >= 2 && parts[0] == QFile::encodeName(handler) ? QString::fromUtf8(parts[1]) : QString();
    }
};

TEST_F(DesktopHandler, ReadmeSourceFolderAndHomePageOpenWithTheDesktopsDefault) {
    test::writeFile(home.programDir() + "/README.TXT", "read me\n");
    test::writeFile(home.path("songs/saints.mml"), "c");
    app::TfrmMain w(block, home.programDir());

    w.mnuReadmeClick();
    EXPECT_EQ(opened(), home.programDir() + "/README.TXT");

    w.edtFnameSmc->setText(home.path("songs/saints.mml"));
    w.mnuExplorerClick();
    EXPECT_EQ(QDir::cleanPath(opened()), home.path("songs"));

    w.mnuWWWClick();
    EXPECT_TRUE(opened().startsWith("https://")) << "the home page";
}

}  // namespace
