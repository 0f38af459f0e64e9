// After the association, opening a source file from the desktop (gio open,
// xdg-open) starts the real zek: it compiles the file, hands it to the
// editor, or both, as chosen.
#include "settings/FileAssociation.h"
#include "support/DesktopTools.h"
#include "support/ZekProcess.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>

using namespace zek;
using namespace zek::test;

namespace {

// Instances of `program` (the test's own copy of zek), its keeper left out.
QList<pid_t> processesOf(const QString& program) {
    QList<pid_t> pids;
    const QString target = QFileInfo(program).canonicalFilePath();
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        if (!number || QFileInfo("/proc/" + entry + "/exe").symLinkTarget() != target)
            continue;
        QFile comm("/proc/" + entry + "/comm");
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "zek-keeper")
            continue;  // the compiler keeper, a forked copy of zek
        pids << pid;
    }
    return pids;
}

// Whatever ends the test, no zek it started is left running.
struct StopLeftovers {
    QString program;
    ~StopLeftovers() {
        for (pid_t pid : processesOf(program))
            ::kill(pid, SIGKILL);
    }
};

TEST(DesktopOpen, ASourceOpenedFromTheDesktopStartsZekTheEditorOrBoth) {
    struct Case {
        int choice;
        const char* text;
        QStringList opener;
        bool compiles;
    };
    const Case cases[] = {
        {0, "ZEK", {"xdg-open"}, true},
        {1, "ｴﾃﾞｨﾀｰ", {"gio", "open"}, false},
        {2, "ZEK と ｴﾃﾞｨﾀｰ", {"gio", "open"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        IsolatedHome home;
        const QString zek = installZek(home);
        const StopLeftovers leftovers{zek};
        const QString editor = fixture("compilers/record-launch.sh");
        writeSettings(home, "execsmc=" ZEK_BIN_DIR "/zekmml\nexeceditor=" + editor.toUtf8() + "\nshow=0\n");
        ScriptedHost host;
        host.answers = {true};
        settings::WriteAssociation(0, c.choice, QString::fromUtf8(c.text), zek, settings::SettingsStore(home.programDir()), host);

        const QString song = home.path("songs/my song.smc");
        ASSERT_TRUE(writeFile(song, "t120 l4 cdefg\n"));
        const QString record = home.path("editor.rec");
        QProcessEnvironment env = desktopToolEnvironment(home, record);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess opener;
        opener.setProcessEnvironment(env);
        opener.start(c.opener.first(), c.opener.mid(1) << song);

        ASSERT_TRUE(waitFor([&] { return blockHeld(home.runtimeDir()); }, 30000)) << "zek did not start";
        const QString midi = home.path("songs/my song.mid");
        if (c.compiles) {
            EXPECT_TRUE(waitForFile(midi, 30000));
        } else {
            ASSERT_TRUE(waitForFile(record, 30000));
            EXPECT_EQ(recordedArgv(record), QStringList({editor, song}));
            EXPECT_FALSE(QFileInfo::exists(midi));
        }

        const QList<pid_t> running = processesOf(zek);
        ASSERT_EQ(running.size(), 1);
        ::kill(running.first(), SIGTERM);
        EXPECT_TRUE(waitFor([&] { return !blockHeld(home.runtimeDir()); }, 20000));
        opener.waitForFinished(20000);
    }
}

}  // namespace
