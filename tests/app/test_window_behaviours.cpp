// The main window's desktop behaviours in process, offscreen: dropped files,
// the minimise hooks, the size reset, the function keys and the recent-files
// menu. The real desktop's side (focus, tray, task bar) is in test_x11_window.
#include "app/FileDrop.h"
#include "app/Untmain.h"
#include "support/TestEnv.h"
#include "support/ZekProcess.h"
#include "ui/OutputMemo.h"
#include "ui/Untmsg.h"
#include "ui/test_msg_modal.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace zek;
using app::HandoffBlock;
using app::SharedHandoffBlock;
using app::TfrmMain;

namespace {

class WindowBehaviours : public ::testing::Test {
protected:
    test::IsolatedHome home;
    SharedHandoffBlock raw{};
    HandoffBlock block{&raw};
    QString work = home.path("work");
    QString editorRecord = home.path("editor.rec");

    void SetUp() override {
        app::firstPaintDone = false;
        app::handoffGuard = false;
        block.initialise(0);
        QDir().mkpath(work);
        QDir::setCurrent(work);
        home.env().set("ZEK_LAUNCH_RECORD", QFile::encodeName(editorRecord));
    }
    // A normal run whose compiler records its call in the work folder and
    // whose editor records its call in editorRecord.
    std::unique_ptr<TfrmMain> window(const QByteArray& extra = {}) {
        test::writeSettings(home, "execsmc=" + test::fixture("compilers/fake-compiler.sh").toUtf8() +
                                      "\noption0=record\nexeceditor=" +
                                      test::fixture("compilers/record-launch.sh").toUtf8() + "\n" + extra);
        return std::make_unique<TfrmMain>(block, home.programDir());
    }
    bool compiled() const { return QFile::exists(work + "/argv.rec"); }
    // A drag that enters `target` (the toolkit passes it on to the widget
    // that takes drops) and is dropped there.
    static void drop(QWidget* target, const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        QStringList text;  // file managers offer the addresses as text too
        for (const QUrl& url : urls)
            text << url.toString();
        mime.setText(text.join('\n'));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
        EXPECT_TRUE(event.isAccepted());
        QApplication::processEvents();  // the drop's work is queued
    }
    // Answers the next message box with Yes or No and returns its text.
    static std::shared_ptr<QString> answerNextBox(bool yes) {
        auto text = std::make_shared<QString>();
        test::whenModalShows([] { return static_cast<QWidget*>(ui::frmMsg()); },
                             [text, yes](QWidget*) {
                                 *text = ui::frmMsg()->lblMsg->text();
                                 (yes ? ui::frmMsg()->btnYes : ui::frmMsg()->btnNo)->click();
                             });
        return text;
    }
};

TEST(DroppedSourceFile, OnlyOneLocalFileWithAUsableNameCounts) {
    test::IsolatedHome home;
    const QString file = home.path("曲 1.mml");
    test::writeFile(file, "c");
    const QList<std::pair<const char*, QList<QUrl>>> ignored = {
        {"nothing", {}},
        {"two files", {QUrl::fromLocalFile(file), QUrl::fromLocalFile(home.path("b.mml"))}},
        {"a folder", {QUrl::fromLocalFile(home.root())}},
        {"a web address", {QUrl("https://example.org/a.mml")}},
        {"a file on another host", {QUrl("file://otherhost/tmp/a.mml")}},
        {"a name that is not UTF-8", {QUrl::fromEncoded("file:///tmp/%FF%FE.mml")}},
    };
    for (const auto& [what, urls] : ignored)
        EXPECT_FALSE(app::droppedSourceFile(urls)) << what;
    EXPECT_EQ(app::droppedSourceFile({QUrl::fromLocalFile(file)}), file);
    EXPECT_EQ(app::droppedSourceFile({QUrl::fromEncoded("file:///tmp/%E6%9B%B2.mml")}), "/tmp/曲.mml");
    EXPECT_EQ(app::droppedSourceFile({QUrl::fromLocalFile(home.path("gone.mml"))}), home.path("gone.mml"))
        << "a missing file is the compile's business";
}

TEST_F(WindowBehaviours, OneDroppedFileIsSetAndWithAutoCompiled) {
    test::writeFile(work + "/a.smc", "c");
    {
        auto w = window("auto=0\n");
        drop(w->edtFnameMid, {QUrl::fromLocalFile(work + "/a.smc")});
        EXPECT_EQ(w->edtFnameSmc->text(), work + "/a.smc") << "a drop on a box is the window's, not text";
        EXPECT_EQ(w->edtFnameMid->text(), work + "/a.mid");
        EXPECT_FALSE(compiled()) << "auto 0 only fills the boxes";
    }
    auto w = window("auto=1\n");
    drop(w.get(), {QUrl::fromLocalFile(work + "/a.smc")});
    EXPECT_TRUE(compiled());
    EXPECT_EQ(w->settings.lastfile0, work + "/a.smc");
}

TEST_F(WindowBehaviours, TwoDroppedFilesOnlyBringTheWindowToTheFront) {
    test::writeFile(work + "/a.smc", "c");
    const QList<QUrl> two = {QUrl::fromLocalFile(work + "/a.smc"), QUrl::fromLocalFile(work + "/b.smc")};
    for (const bool show : {false, true}) {
        auto w = window(show ? "auto=1\nshow=1\n" : "auto=1\nshow=0\n");
        w->edtFnameSmc->setText("kept");
        w->showMinimized();
        QApplication::processEvents();
        drop(w.get(), two);
        EXPECT_EQ(w->edtFnameSmc->text(), "kept");
        EXPECT_FALSE(compiled());
        EXPECT_EQ(w->isMinimized(), !show) << "show " << show;
    }
}

TEST_F(WindowBehaviours, RestoreItemIsEnabledOnlyWhileMinimised) {
    // No tray here: with `tray` 1 the minimised window still stays reachable.
    auto w = window("tray=1\n");
    w->show();
    QApplication::processEvents();
    EXPECT_FALSE(w->mnuRestore->isEnabled());
    w->showMinimized();
    QApplication::processEvents();
    EXPECT_TRUE(w->mnuRestore->isEnabled());
    EXPECT_TRUE(w->isVisible()) << "without a tray icon the window must not leave the task bar";
    w->mnuRestoreClick();
    QApplication::processEvents();
    EXPECT_FALSE(w->isMinimized());
    EXPECT_FALSE(w->mnuRestore->isEnabled());
}

TEST_F(WindowBehaviours, SizeQuestionYesRestoresTheDesignSizeNoKeepsIt) {
    auto w = window("width=700\nheight=500\n");
    w->move(60, 70);
    const QPoint where = w->pos();
    auto asked = answerNextBox(false);
    w->mnuWindowSizeClick();
    EXPECT_EQ(*asked, "ｳｨﾝﾄﾞｳｻｲｽﾞを初期ｻｲｽﾞに戻します。\nよろしいですか？");
    EXPECT_EQ(w->outerSize(), QSize(700, 500));
    answerNextBox(true);
    w->mnuWindowSizeClick();
    EXPECT_EQ(w->outerSize(), QSize(513, 368));
    EXPECT_EQ(w->pos(), where);
    EXPECT_EQ(w->edtFnameSmc->width(), 209) << "the resize rule follows";
}

TEST_F(WindowBehaviours, FunctionKeysComeFromTheSettingsAndRunTheirCommands) {
    test::writeFile(work + "/k.smc", "c");
    auto w = window("menusmc=13\nmenutag=2\n");
    EXPECT_EQ(w->mnuSmc->shortcut(), QKeySequence(Qt::Key_F13));
    EXPECT_EQ(w->sbtSmc->toolTip(), "ESC : ｺﾝﾊﾟｲﾙ実行");
    EXPECT_EQ(w->sbtTag->toolTip(), "F2 : ｴﾃﾞｨﾀｰに返す");
    EXPECT_EQ(w->sbtRun->toolTip(), "F12 : ﾌﾟﾚｲﾔｰ起動");
    EXPECT_TRUE(w->mnuRet->shortcut().isEmpty());
    w->SetSourceFile(work + "/k.smc", QString());
    w->show();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(test::waitFor([&] { return QApplication::activeWindow() == w.get(); }, 20000));
    QTest::keyClick(w.get(), Qt::Key_F11);
    QApplication::processEvents();
    EXPECT_FALSE(compiled()) << "F11 is no longer the compile key";
    QTest::keyClick(w.get(), Qt::Key_F13);
    EXPECT_TRUE(test::waitFor([&] { return compiled(); }, 5000));
}

TEST_F(WindowBehaviours, RecentMenuShowsTheEntriesBeforeTheFirstGap) {
    auto w = window("lastfile0=/m/a&b.mml\nlastfile1=/m/b.mml\nlastfile3=/m/d.mml\n");
    EXPECT_TRUE(w->mnuN12->isVisible());
    EXPECT_EQ(w->mnuLastFile[0]->text(), "&0 /m/a&&b.mml") << "an ampersand of the path is shown as such";
    EXPECT_EQ(w->mnuLastFile[1]->text(), "&1 /m/b.mml");
    for (int i = 2; i < 10; ++i)
        EXPECT_FALSE(w->mnuLastFile[static_cast<size_t>(i)]->isVisible()) << i;
    w->settings.lastfile0.clear();
    w->RebuildRecentMenu();
    EXPECT_FALSE(w->mnuN12->isVisible());
    EXPECT_FALSE(w->mnuLastFile[0]->isVisible());
    w->AddRecentFile("/m/new.mml");
    EXPECT_TRUE(w->mnuN12->isVisible());
    EXPECT_EQ(w->mnuLastFile[0]->text(), "&0 /m/new.mml");
    EXPECT_FALSE(w->mnuLastFile[1]->isVisible()) << "the gap moved down to index 1";
}

TEST_F(WindowBehaviours, ChoosingARecentFileMovesItUpSetsItAndAsksAboutTheEditor) {
    auto w = window("lastfile0=" + work.toUtf8() + "/a.mml\nlastfile1=" + work.toUtf8() +
                    "/b.mml\nlastfile2=" + work.toUtf8() + "/deleted.mml\n");
    auto asked = answerNextBox(false);
    w->mnuLastFile[2]->trigger();
    EXPECT_EQ(*asked, "選択したﾌｧｲﾙをｴﾃﾞｨﾀｰで開きますか？");
    EXPECT_EQ(w->settings.lastfile0, work + "/deleted.mml");
    EXPECT_EQ(w->settings.lastfile1, work + "/a.mml");
    EXPECT_EQ(w->settings.lastfile2, work + "/b.mml");
    EXPECT_EQ(w->mnuLastFile[0]->text(), "&0 " + work + "/deleted.mml");
    EXPECT_EQ(w->edtFnameSmc->text(), work + "/deleted.mml");
    EXPECT_EQ(w->edtFnameMid->text(), work + "/deleted.mid");
    QTest::qWait(200);
    EXPECT_FALSE(QFile::exists(editorRecord)) << "No opens nothing";

    asked = answerNextBox(true);
    w->mnuLastFile[0]->trigger();
    EXPECT_FALSE(asked->isEmpty()) << "the first entry still asks";
    EXPECT_EQ(w->settings.lastfile0, work + "/deleted.mml");
    EXPECT_EQ(w->settings.lastfile1, work + "/a.mml");
    ASSERT_TRUE(test::waitForFile(editorRecord));
    EXPECT_TRUE(test::readFile(editorRecord).contains((work + "/deleted.mml").toUtf8()));
}

}  // namespace
