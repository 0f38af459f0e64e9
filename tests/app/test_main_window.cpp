// The main window in process, offscreen: creation, layout, tick and shutdown.
#include "app/CommandLine.h"
#include "app/Untmain.h"
#include "settings/SettingsStore.h"
#include "settings/Untfirst.h"
#include "settings/Untinit.h"
#include "support/TestEnv.h"
#include "support/ZekProcess.h"
#include "ui/OutputMemo.h"
#include "ui/Untmsg.h"
#include "ui/test_msg_modal.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>

using namespace zek;
using app::HandoffBlock;
using app::SharedHandoffBlock;
using app::TfrmMain;
using test::IsolatedHome;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    IsolatedHome home;
    SharedHandoffBlock raw{};
    HandoffBlock block{&raw};
    QString compiler = test::fixture("compilers/fake-compiler.sh");
    QString work = home.path("work");

    void SetUp() override {
        app::firstPaintDone = false;
        app::handoffGuard = false;
        block.initialise(0);
        QDir().mkpath(work);
        QDir::setCurrent(work);
    }
    void start(const QList<QByteArray>& args) {
        const auto parsed = app::parseCommandLine(args, QFile::encodeName(work));
        if (parsed.request && parsed.request->minimize)
            block.setMinimizeRequest(true);
        else if (parsed.request)
            app::writeRequest(block, *parsed.request);
    }
    void normalRun(const QByteArray& extra = {}) {
        test::writeSettings(home, "execsmc=" + compiler.toUtf8() + "\noption0=record\n" + extra);
    }
    std::unique_ptr<TfrmMain> window() { return std::make_unique<TfrmMain>(block, home.programDir()); }
    static QString memoText(TfrmMain& w) { return w.mmoSmc->lines().join('\n'); }

    // Runs `step` every 20 ms, also inside the loops of message boxes, until
    // it answers true; closes any box still up after a while, so that a tick
    // that stopped cannot hang the test. True when `step` finished.
    static bool driveThroughBoxes(const std::function<bool()>& step) {
        bool done = false;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] { done = done || step(); });
        probe.start(20);
        QTimer rescue;
        QObject::connect(&rescue, &QTimer::timeout, [] {
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
        });
        rescue.start(20000);
        test::waitFor([&] { return done && !QApplication::activeModalWidget(); }, 60000);
        return done;
    }
    static void closeBox() { QApplication::activeModalWidget()->close(); }
};

TEST_F(MainWindowTest, CaptionMenusAndDesignSizes) {
    auto w = window();
    EXPECT_EQ(w->windowTitle(), "ZEK - MMLコンパイラ支援ツール");
    EXPECT_EQ(w->outerSize(), QSize(513, 368));
    EXPECT_EQ(w->client->size(), QSize(497, 355));
    EXPECT_EQ(w->mmoSmc->geometry(), QRect(0, 55, 497, 300));
    EXPECT_EQ(w->imgWallPaper->geometry(), w->mmoSmc->geometry());
    EXPECT_FALSE(w->imgWallPaper->isVisible());
    EXPECT_FALSE(w->scbPlay->isEnabled());
    EXPECT_TRUE(w->edtOption->isReadOnly());
    EXPECT_EQ(w->edtOption->text(), "-pc -ps");
    EXPECT_EQ(w->edtFnameSmc->toolTip(), "ｿｰｽﾌｧｲﾙ");
    EXPECT_EQ(w->mmoSmc->toolTip(), "ｺﾝﾊﾟｲﾙ結果");
    const std::pair<QAction*, const char*> captions[] = {
        {w->mnuFile->menuAction(), "ﾌｧｲﾙ(&F)"},
        {w->mnuSelect, "ｿｰｽﾌｧｲﾙを選択する(&O)..."},
        {w->mnuNowFileEdit, "ｿｰｽﾌｧｲﾙをｴﾃﾞｨﾀｰで開く(&S)"},
        {w->mnuExplorer, "ｿｰｽﾌｧｲﾙのﾌｫﾙﾀﾞをｴｸｽﾌﾟﾛｰﾗで開く(&E)"},
        {w->mnuExit, "終了(&X)"},
        {w->mnuSupport->menuAction(), "ｺﾏﾝﾄﾞ(&C)"},
        {w->mnuRet, "戻る(&R)"},
        {w->mnuTag, "ｴﾃﾞｨﾀｰに返す(&E)"},
        {w->mnuSmc, "ｺﾝﾊﾟｲﾙ実行(&S)"},
        {w->mnuRun, "ﾌﾟﾚｲﾔｰ起動(&P)"},
        {w->mnuConfig->menuAction(), "設定(&I)"},
        {w->mnuInit, "詳細設定(&E)"},
        {w->mnuWindowSize, "ｳｨﾝﾄﾞｳｻｲｽﾞ復帰(&S)"},
        {w->mnuCompiler->menuAction(), "ｺﾝﾊﾟﾗ変更(&C)"},
        {w->mnuCompilers[0], "SPICE"},
        {w->mnuCompilers[1], "MML2MID"},
        {w->mnuCompilers[2], "cSakura"},
        {w->mnuCompilers[3], "dSakura"},
        {w->mnuHelp->menuAction(), "ﾍﾙﾌﾟ(&H)"},
        {w->mnuReadme, "README表示(&M)"},
        {w->mnuWWW, "TALMOのﾎｰﾑﾍﾟｰｼﾞ(&W)"},
        {w->mnuVer, "ﾊﾞｰｼﾞｮﾝ情報(&A)..."},
        {w->mnuRestore, "元のｻｲｽﾞに戻す(&R)"},
        {w->mnuTrayRun, "ﾌﾟﾚｲﾔｰ起動(&P)"},
        {w->pumExit, "終了(&X)"},
    };
    for (const auto& [action, caption] : captions)
        EXPECT_EQ(action->text(), QString::fromUtf8(caption));
    EXPECT_TRUE(w->mnuCompilers[0]->isChecked());
    EXPECT_FALSE(w->mnuRestore->isEnabled());
    EXPECT_EQ(w->mnuSelect->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(w->mnuTag->shortcut(), QKeySequence("F10"));
    EXPECT_EQ(w->mnuSmc->shortcut(), QKeySequence("F11"));
    EXPECT_EQ(w->mnuRun->shortcut(), QKeySequence("F12"));
    EXPECT_EQ(w->sbtSmc->toolTip(), "F11 : ｺﾝﾊﾟｲﾙ実行");
    EXPECT_EQ(w->sbtSelect->toolTip(), "ｿｰｽﾌｧｲﾙを選択する");
}

TEST_F(MainWindowTest, GrowingByOneHundredAndOnePixelsWidensTheBoxes) {
    auto w = window();
    w->setOuterSize(513 + 101, 368 + 40);
    QApplication::processEvents();
    EXPECT_EQ(w->edtFnameSmc->width(), 250);
    EXPECT_EQ(w->edtFnameMid->width(), 250);
    EXPECT_EQ(w->edtOption->width(), 104);
    EXPECT_EQ(w->edtFnameMid->x(), 250);
    EXPECT_EQ(w->mmoSmc->size(), QSize(598, 340));
    EXPECT_EQ(w->scbPlay->width(), 598 - 108);
}

TEST_F(MainWindowTest, FirstRunChoosesACompilerThenOpensTheSettings) {
    test::ensureDialogFonts();
    auto w = window();
    EXPECT_FALSE(w->settingsReady());
    bool readyDuringTheChoice = true;
    test::whenReady(
        [] { return qobject_cast<settings::TfrmFirst*>(QApplication::activeModalWidget()) != nullptr; },
        [&] {
            readyDuringTheChoice = w->settingsReady();
            auto* first = qobject_cast<settings::TfrmFirst*>(QApplication::activeModalWidget());
            test::whenModalShows([] { return ui::frmMsg(); }, [](QWidget*) { ui::frmMsg()->btnYes->click(); });
            first->btnMml2mid->click();
        },
        20000);
    test::whenReady(
        [] { return qobject_cast<settings::TfrmInit*>(QApplication::activeModalWidget()) != nullptr; },
        [] {
            auto* init = qobject_cast<settings::TfrmInit*>(QApplication::activeModalWidget());
            init->edtSetEditor->setText("/usr/bin/mousepad");
            init->btnOk->click();
        },
        20000);
    w->show();
    ASSERT_TRUE(test::waitFor([&] { return w->settingsReady(); }, 20000));
    EXPECT_FALSE(readyDuringTheChoice) << "compile, editor and player commands wait for the choice";
    EXPECT_NE(w->hwndMain, 0u);
    EXPECT_EQ(w->settings.compiler, 1);
    EXPECT_TRUE(w->mnuCompilers[1]->isChecked());
    EXPECT_FALSE(w->mnuCompilers[0]->isChecked());
    EXPECT_EQ(w->edtOption->text(), "") << "option1, empty by default";
    EXPECT_EQ(w->settings.execeditor, "/usr/bin/mousepad") << "reloaded after the dialog";
    settings::Settings stored;
    EXPECT_TRUE(settings::SettingsStore(home.programDir()).load(stored));
    EXPECT_EQ(stored.compiler, 1);
    EXPECT_EQ(stored.execeditor, "/usr/bin/mousepad");
}

TEST_F(MainWindowTest, StartupRequestsAreTakenOverFromTheBlock) {
    normalRun();
    const QString song = work + "/song.smc";
    {
        start({"/E", song.toUtf8()});
        auto w = window();
        EXPECT_EQ(w->edtFnameSmc->text(), "") << "/E leaves both boxes empty";
        EXPECT_EQ(w->edtFnameMid->text(), "");
        EXPECT_FALSE(w->startMinimised());
    }
    block.initialise(0);
    {
        start({"/A", song.toUtf8()});
        auto w = window();
        EXPECT_EQ(w->edtFnameSmc->text(), song);
        EXPECT_EQ(w->edtFnameMid->text(), work + "/song.mid");
    }
    block.initialise(0);
    {
        normalRun("auto=0\nemin=1\n");
        start({"/e"});
        auto w = window();
        EXPECT_TRUE(w->startMinimised()) << "emin with a pending editor command";
        EXPECT_FALSE(block.minimizeRequest()) << "the request is read once and cleared";
    }
    block.initialise(0);
    {
        start({song.toUtf8()});
        auto w = window();
        EXPECT_EQ(w->edtFnameSmc->text(), song);
        EXPECT_FALSE(block.compileRequest()) << "auto 0: a start-up source is not compiled";
    }
    block.initialise(0);
    {
        start({"/MIN", song.toUtf8()});
        auto w = window();
        EXPECT_TRUE(w->startMinimised());
        EXPECT_EQ(w->edtFnameSmc->text(), "") << "/MIN only minimises";
    }
}

TEST_F(MainWindowTest, AnEmptySourceBoxShowsTheFolderOfTheLastFile) {
    normalRun("lastfile0=/m/songs/a.mml\nlastfile1=/x/b.mml\n");
    auto w = window();
    EXPECT_EQ(w->edtFnameSmc->text(), "/m/songs/");
    EXPECT_EQ(w->mnuLastFile[0]->text(), "&0 /m/songs/a.mml");
    EXPECT_TRUE(w->mnuLastFile[1]->isVisible());
    EXPECT_FALSE(w->mnuLastFile[2]->isVisible());
}

TEST_F(MainWindowTest, TickCarriesOutAHandedOffCompileWhateverAutoSays) {
    normalRun("auto=0\n");
    auto w = window();
    test::writeFile(work + "/b.smc", "c");
    start({(work + "/b.smc").toUtf8(), (work + "/out.mid").toUtf8()});
    w->timTimerTimer();
    EXPECT_FALSE(block.compileRequest());
    EXPECT_EQ(w->edtFnameMid->text(), work + "/out.mid");
    EXPECT_TRUE(QFile::exists(work + "/argv.rec"));
    EXPECT_EQ(w->settings.lastfile0, work + "/b.smc");
}

TEST_F(MainWindowTest, TickHandsTheEditorCommandOverOnceAndClearsIt) {
    const QString editor = test::fixture("compilers/record-launch.sh");
    home.env().set("ZEK_LAUNCH_RECORD", QFile::encodeName(home.path("editor.rec")));
    normalRun("execeditor=" + editor.toUtf8() + "\n");
    auto w = window();
    start({"/A", (work + "/c.mml").toUtf8()});
    w->timTimerTimer();
    EXPECT_EQ(block.command(), 0u);
    EXPECT_EQ(w->edtFnameSmc->text(), work + "/c.mml");
    EXPECT_EQ(w->edtFnameMid->text(), work + "/c.mid");
    ASSERT_TRUE(test::waitForFile(home.path("editor.rec")));
    EXPECT_TRUE(test::readFile(home.path("editor.rec")).contains((work + "/c.mml").toUtf8()));
}

TEST_F(MainWindowTest, SourceWatchCompilesOnASaveWithinTheSameSecond) {
    normalRun("updt=1\n");
    const QString src = work + "/w.smc";
    test::writeFile(src, "c");
    struct timespec t[2] = {{1700000000, 100}, {1700000000, 100}};
    ::utimensat(AT_FDCWD, QFile::encodeName(src).constData(), t, 0);
    auto w = window();
    w->SetSourceFile(src, QString());
    w->timTimerTimer();
    EXPECT_FALSE(QFile::exists(work + "/argv.rec")) << "setting a source compiles nothing";
    t[0].tv_nsec = t[1].tv_nsec = 900;  // a save 800 ns later, same second
    ::utimensat(AT_FDCWD, QFile::encodeName(src).constData(), t, 0);
    w->timTimerTimer();
    EXPECT_TRUE(QFile::exists(work + "/argv.rec"));
}

TEST_F(MainWindowTest, ASourceTypedIntoTheBoxIsWatchedIntoItsOwnMidiFile) {
    normalRun("updt=1\n");
    test::writeFile(work + "/saints.smc", "c");
    test::writeFile(work + "/ode.smc", "c");
    struct timespec t[2] = {{1700000000, 0}, {1700000000, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(work + "/saints.smc").constData(), t, 0);
    auto w = window();
    w->SetSourceFile(work + "/saints.smc", QString());
    w->edtFnameSmc->setText(work + "/ode.smc");  // a newer stamp than saints.smc's
    w->timTimerTimer();
    EXPECT_EQ(w->edtFnameMid->text(), work + "/ode.mid");
    EXPECT_TRUE(test::readFile(work + "/argv.rec").endsWith((work + "/ode.mid").toUtf8() + '\0'));
}

TEST_F(MainWindowTest, ASourceThatAppearsLaterGetsItsStampWithoutACompile) {
    normalRun("updt=1\n");
    auto w = window();
    w->SetSourceFile(work + "/later.smc", QString());
    w->timTimerTimer();
    test::writeFile(work + "/later.smc", "c");
    w->timTimerTimer();
    EXPECT_FALSE(QFile::exists(work + "/argv.rec"));
    EXPECT_NE(w->settings.sourceStamp, -1);
}

TEST_F(MainWindowTest, TheTickRunsOnWhileAMessageOfACompileItStartedIsUp) {
    const QString editor = test::fixture("compilers/record-launch.sh");
    home.env().set("ZEK_LAUNCH_RECORD", QFile::encodeName(home.path("editor.rec")));
    test::writeSettings(home, "updt=1\nexecsmc=/no/compiler\nexeceditor=" + editor.toUtf8() + "\n");
    const QString src = work + "/w.smc";
    test::writeFile(src, "c");
    struct timespec t[2] = {{1700000000, 0}, {1700000000, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(src).constData(), t, 0);
    auto w = window();
    w->SetSourceFile(src, QString());
    t[0].tv_sec = t[1].tv_sec = 1700000010;  // saved: the next tick compiles and warns of the compiler
    ::utimensat(AT_FDCWD, QFile::encodeName(src).constData(), t, 0);
    bool handedOff = false;
    EXPECT_TRUE(driveThroughBoxes([&] {
        if (!ui::MessageFormVisible())
            return false;
        if (!handedOff) {
            // A second instance finds the block free and writes its request.
            EXPECT_TRUE(block.command() == 0 && !block.compileRequest());
            start({"/E", (work + "/other.mml").toUtf8()});
            handedOff = true;
            return false;
        }
        if (block.command() != 0 || !QFile::exists(home.path("editor.rec")))
            return false;
        closeBox();
        return true;
    })) << "the hand-off is taken while the box is up";
}

TEST_F(MainWindowTest, ARequestHandedOffAfterANestedTickRanTheFirstIsKept) {
    normalRun("execsmc=/no/compiler\n");
    auto w = window();
    start({(work + "/first.smc").toUtf8()});
    int phase = 0;
    EXPECT_TRUE(driveThroughBoxes([&] {
        if (phase == 0 && ui::MessageFormVisible() && !block.compileRequest()) {
            // A tick inside the box ran the request again and cleared it; a
            // second instance writes the next one, and the box closes before
            // any tick could take it.
            start({(work + "/second.smc").toUtf8()});
            closeBox();
            phase = 1;
        } else if (phase == 1 && ui::MessageFormVisible()) {
            closeBox();  // the second request's own warning
        }
        return phase == 1 && w->edtFnameSmc->text() == work + "/second.smc" && !block.compileRequest();
    }));
}

TEST_F(MainWindowTest, SnapsToTheScreenEdgeWhenAsked) {
    normalRun("snap=1\n");
    auto w = window();
    w->show();
    QApplication::processEvents();
    w->move(-20, 77);
    QApplication::processEvents();
    w->timTimerTimer();
    QApplication::processEvents();
    EXPECT_EQ(w->frameGeometry().left(), 0);
    EXPECT_EQ(w->frameGeometry().top(), 77);
}

TEST_F(MainWindowTest, ShutdownSavesTheWindowBounds) {
    normalRun("timerexit=9\n");
    {
        auto w = window();
        w->move(123, 45);
        w->setOuterSize(600, 400);
    }
    settings::Settings s;
    ASSERT_TRUE(settings::SettingsStore(home.programDir()).load(s));
    EXPECT_EQ(s.left, 123);
    EXPECT_EQ(s.top, 45);
    EXPECT_EQ(s.width, 600);
    EXPECT_EQ(s.height, 400);
    EXPECT_EQ(s.timerexit, 9);
    auto again = window();
    EXPECT_EQ(again->outerSize(), QSize(600, 400)) << "the stored size comes back unchanged";
}

TEST_F(MainWindowTest, ShutdownEmptiesTheTemporaryFolderButKeepsIt) {
    normalRun();
    QString temp;
    {
        auto w = window();
        temp = w->tempDir;
        ASSERT_EQ(temp, home.runtimeDir() + "/ZEKTEMP/");
        test::writeFile(temp + "copy.mid", "m");
    }
    EXPECT_TRUE(QDir(temp).isEmpty());
}

TEST_F(MainWindowTest, APlantedTemporaryFolderIsNeverUsed) {
    normalRun();
    QDir().mkpath(home.path("elsewhere"));
    test::writeFile(home.path("elsewhere/precious.txt"), "keep");
    QFile::link(home.path("elsewhere"), home.runtimeDir() + "/ZEKTEMP");
    {
        auto w = window();
        EXPECT_TRUE(w->tempDir.isEmpty());
    }
    EXPECT_EQ(test::readFile(home.path("elsewhere/precious.txt")), "keep");
}

TEST_F(MainWindowTest, CompileOutputAppearsInTheMemo) {
    normalRun("option0=exit3\n");
    auto w = window();
    test::writeFile(work + "/e.smc", "c");
    w->SetSourceFile(work + "/e.smc", QString());
    w->show();
    QApplication::processEvents();
    w->mnuSmcClick();
    EXPECT_EQ(memoText(*w), "one\ntwo");
    EXPECT_EQ(w->windowTitle(), "ZEK - MMLコンパイラ支援ツール") << "the caption is restored";
}

TEST_F(MainWindowTest, ASourceTypedIntoTheBoxIsCompiledIntoItsOwnMidiFile) {
    normalRun();
    auto w = window();
    test::writeFile(work + "/saints.smc", "c");
    test::writeFile(work + "/ode.smc", "c");
    w->SetSourceFile(work + "/saints.smc", QString());
    w->edtFnameSmc->setText(work + "/ode.smc");
    w->mnuSmcClick();
    EXPECT_EQ(w->edtFnameMid->text(), work + "/ode.mid");
    EXPECT_TRUE(test::readFile(work + "/argv.rec").endsWith((work + "/ode.mid").toUtf8() + '\0'));
}

TEST_F(MainWindowTest, ALongOptionTextReachesTheCompilerWhole) {
    const QByteArray word(100000, 'o');  // past a line edit's default 32767, within the system's 128 KiB
    normalRun("option0=record -" + word + "\n");
    auto w = window();
    test::writeFile(work + "/e.smc", "c");
    w->SetSourceFile(work + "/e.smc", QString());
    w->mnuSmcClick();
    EXPECT_TRUE(test::readFile(work + "/argv.rec").contains('\0' + QByteArray("-") + word + '\0'));
}

TEST_F(MainWindowTest, TheLogHandedToTheEditorHasLinuxLineEnds) {
    home.env().set("ZEK_LAUNCH_RECORD", QFile::encodeName(home.path("editor.rec")));
    normalRun("option0=exit3\nexeceditor=" + test::fixture("compilers/record-launch.sh").toUtf8() + "\n");
    auto w = window();
    test::writeFile(work + "/e.smc", "c");
    w->SetSourceFile(work + "/e.smc", QString());
    w->mnuSmcClick();
    w->mnuTagClick();
    ASSERT_TRUE(test::waitForFile(home.path("editor.rec")));
    EXPECT_EQ(test::readFile(home.programDir() + "/SPICE.ERR"), "one\ntwo\n");
}

}  // namespace

namespace {

TEST_F(MainWindowTest, OpenDialogUsesTheKindsTitleAndFilterAndCompilesWithAuto) {
    normalRun("compiler=0\n");
    const QString song = work + "/Song.SMC";
    test::writeFile(song, "c");
    auto w = window();
    w->edtFnameSmc->setText(work + "/");
    QString title, filter, folder;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        title = dialog->windowTitle();
        filter = dialog->nameFilters().join('|');
        folder = dialog->directory().absolutePath();
        dialog->selectFile(song);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    w->mnuSelectClick();
    EXPECT_EQ(title, "SMCﾌｧｲﾙ選択");
    EXPECT_EQ(filter, "SPICEｿｰｽﾌｧｲﾙ (*.SMC;*.DSM) (*.[sS][mM][cC] *.[dD][sS][mM])");
    EXPECT_EQ(folder, work);
    EXPECT_EQ(w->edtFnameSmc->text(), song);
    EXPECT_EQ(w->edtFnameMid->text(), work + "/Song.mid");
    EXPECT_TRUE(QFile::exists(work + "/argv.rec")) << "auto is 1: the chosen source compiles";
}

}  // namespace
