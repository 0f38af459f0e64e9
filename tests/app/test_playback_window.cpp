// The main window's side of playback, offscreen with a private sound server:
// the run command, the seek bar and run glyph, the player's messages and a
// cue file that cannot be opened.
#include "app/SeekBar.h"
#include "app/Untmain.h"
#include "playback/SoundFixtures.h"
#include "support/ZekProcess.h"
#include "ui/ToolGlyphs.h"
#include "ui/Untmsg.h"
#include "ui/test_msg_modal.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QThread>
#include <QToolButton>

using namespace zek;
using namespace zek::test;
using app::TfrmMain;

namespace {

class PlaybackWindowTest : public SoundTest {
protected:
    app::SharedHandoffBlock raw{};
    app::HandoffBlock block{&raw};

    void SetUp() override {
        SoundTest::SetUp();
        app::firstPaintDone = false;
        app::handoffGuard = false;
        block.initialise(0);
    }
    std::unique_ptr<TfrmMain> window(const QByteArray& settings) {
        writeSettings(home, settings);
        return std::make_unique<TfrmMain>(block, home.programDir());
    }
    static QImage glyph(const QIcon& icon) { return icon.pixmap(20, 18).toImage(); }
};

TEST_F(PlaybackWindowTest, TheRunCommandTogglesThePlayWithBarAndGlyph) {
    auto w = window("play=1\n");
    w->edtFnameMid->setText(writeTone(path("song.mid"), 3000));
    w->mnuRunClick();
    EXPECT_EQ(w->player().playState(), 2);
    EXPECT_TRUE(w->scbPlay->isEnabled());
    EXPECT_EQ(w->scbPlay->maximum(), 300);
    EXPECT_EQ(w->scbPlay->pageStep(), 75);
    EXPECT_EQ(w->scbPlay->singleStep(), 7);
    EXPECT_EQ(glyph(w->sbtRun->icon()), glyph(ui::toolGlyph(ui::ToolGlyph::Stop)));
    ASSERT_TRUE(waitFor([&] {
        w->timTimerTimer();
        return w->scbPlay->value() >= 40;
    }, 10000));

    w->mnuTrayRun->trigger();  // the tray's item is the same command
    EXPECT_EQ(w->player().playState(), 0);
    EXPECT_FALSE(w->scbPlay->isEnabled());
    EXPECT_GE(w->scbPlay->value(), 40) << "the bar keeps its position";
    EXPECT_EQ(glyph(w->sbtRun->icon()), glyph(ui::toolGlyph(ui::ToolGlyph::Play)));
}

TEST_F(PlaybackWindowTest, TheSeekBarReportsEachScrollAndItsEnd) {
    app::SeekBar bar;
    bar.setRange(0, 300);
    bar.setPageStep(75);
    bar.setSingleStep(7);
    bar.resize(300, 18);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    QList<int> codes;
    QObject::connect(&bar, &app::SeekBar::scrolled, [&](int code) { codes << code; });
    QStyleOptionSlider opt;
    opt.initFrom(&bar);
    opt.orientation = Qt::Horizontal;
    opt.minimum = bar.minimum();
    opt.maximum = bar.maximum();
    opt.sliderPosition = opt.sliderValue = bar.value();
    opt.pageStep = bar.pageStep();
    opt.singleStep = bar.singleStep();
    auto centre = [&](QStyle::SubControl sc) {
        opt.sliderPosition = opt.sliderValue = bar.value();
        return bar.style()->subControlRect(QStyle::CC_ScrollBar, &opt, sc, &bar).center();
    };

    QTest::mouseClick(&bar, Qt::LeftButton, {}, centre(QStyle::SC_ScrollBarAddLine));
    EXPECT_EQ(codes, (QList<int>{playback::scLineDown, playback::scEndScroll}));
    EXPECT_EQ(bar.value(), 7);

    codes.clear();
    const QPoint thumb = centre(QStyle::SC_ScrollBarSlider);
    QTest::mousePress(&bar, Qt::LeftButton, {}, thumb);
    QTest::mouseMove(&bar, thumb + QPoint(60, 0));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, thumb + QPoint(60, 0));
    ASSERT_FALSE(codes.isEmpty());
    EXPECT_EQ(codes.first(), playback::scTrack);
    EXPECT_EQ(codes.mid(codes.size() - 2), (QList<int>{playback::scPosition, playback::scEndScroll}));
    EXPECT_GT(bar.value(), 7);

    codes.clear();
    QWheelEvent wheel(QPointF(50, 9), bar.mapToGlobal(QPointF(50, 9)), {}, QPoint(0, -120), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&bar, &wheel);
    ASSERT_FALSE(codes.isEmpty());
    EXPECT_EQ(codes.last(), playback::scEndScroll) << "a wheel step leaves no drag behind";
}

TEST_F(PlaybackWindowTest, HoldingTheThumbStillHoldsTheBarAndItsReleaseSeeksThere) {
    auto w = window("play=1\n");
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    w->edtFnameMid->setText(writeTone(path("song.mid"), 8000));
    w->mnuRunClick();
    ASSERT_TRUE(waitFor([&] {
        w->timTimerTimer();
        return w->scbPlay->value() >= 20;
    }, 10000));
    QStyleOptionSlider opt;
    opt.initFrom(w->scbPlay);
    opt.orientation = Qt::Horizontal;
    opt.minimum = w->scbPlay->minimum();
    opt.maximum = w->scbPlay->maximum();
    opt.sliderPosition = opt.sliderValue = w->scbPlay->value();
    opt.pageStep = w->scbPlay->pageStep();
    const QPoint thumb =
        w->scbPlay->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, w->scbPlay).center();
    QTest::mousePress(w->scbPlay, Qt::LeftButton, {}, thumb);
    EXPECT_TRUE(w->player().seekDragging());
    const int held = w->scbPlay->value();
    ASSERT_TRUE(waitFor([&] {
        w->timTimerTimer();
        return w->player().mplMain().position() >= held * 10 + 1500;
    }, 10000));
    EXPECT_EQ(w->scbPlay->value(), held) << "the tick left the held thumb where it was";
    QElapsedTimer clock;
    clock.start();
    QTest::mouseRelease(w->scbPlay, Qt::LeftButton, {}, thumb);
    EXPECT_FALSE(w->player().seekDragging());
    // Play goes on from where the thumb was held.
    EXPECT_GE(w->player().mplMain().position(), held * 10);
    EXPECT_LT(w->player().mplMain().position(), held * 10 + clock.elapsed() + 400);
    EXPECT_EQ(w->player().playState(), 2);
}

TEST_F(PlaybackWindowTest, TheShutdownClosesTheCuesAndThePlayer) {
    auto w = window("play=1\nwave=1\nwavenormal=" + QFile::encodeName(writeSine(path("normal.wav"), 500)) +
                    "\nwaveerror=" + QFile::encodeName(writeSine(path("error.wav"), 500)) + "\n");
    w->edtFnameMid->setText(writeTone(path("song.mid"), 3000));
    w->mnuRunClick();
    w->PlayWave(0);
    ASSERT_EQ(w->player().playState(), 2);
    ASSERT_TRUE(w->player().cue(0).isOpen());
    ASSERT_TRUE(w->player().cue(1).isOpen());
    w->FormDestroy();
    EXPECT_EQ(w->player().playState(), 0);
    EXPECT_FALSE(w->player().mplMain().isOpen());
    EXPECT_FALSE(w->player().cue(0).isOpen());
    EXPECT_FALSE(w->player().cue(1).isOpen());
}

TEST_F(PlaybackWindowTest, PlayerMessagesShowOnceAndNeverOverAnotherBox) {
    ensureDialogFonts();
    auto w = window("play=0\nexecplayer=" + QFile::encodeName(path("no-player")) + "\n");
    w->edtFnameMid->setText(writeTone(path("song.mid"), 1000));
    QString shown;
    whenModalShows([] { return ui::frmMsg(); }, [&](QWidget* box) {
        shown = ui::frmMsg()->lblMsg->text();
        ui::frmMsg()->btnOk->click();
        (void)box;
    });
    w->mnuRunClick();
    EXPECT_EQ(shown, "ﾌﾟﾚｲﾔｰのﾊﾟｽが登録されていません。");

    // A play request while a box is on screen (the tick runs inside its loop).
    int boxes = 0;
    whenModalShows([] { return ui::frmMsg(); }, [&](QWidget*) {
        w->mnuRunClick();
        for (QWidget* top : QApplication::topLevelWidgets())
            boxes += (qobject_cast<ui::TfrmMsg*>(top) && top->isVisible()) ? 1 : 0;
        ui::frmMsg()->btnOk->click();
    });
    ui::ShowMessageBox(w.get(), "outer", ui::kMbIconWarning, "t");
    EXPECT_EQ(boxes, 1);
}

TEST_F(PlaybackWindowTest, ACueFileThatCannotBeOpenedIsReportedAndEndsApply) {
    ensureDialogFonts();
    writeFile(path("bad.wav"), "not a wave");
    writeFile(path("libdsakura.so"), "a library to stage");
    QString shown, title;
    whenModalShows([] { return ui::frmMsg(); }, [&](QWidget*) {
        shown = ui::frmMsg()->lblMsg->text();
        title = ui::frmMsg()->windowTitle();
        ui::frmMsg()->btnOk->click();
    });
    auto w = window("wave=1\ncompiler=3\nexecdsakura=" + QFile::encodeName(path("libdsakura.so")) +
                    "\nwavenormal=" + QFile::encodeName(path("bad.wav")) + "\nwaveerror=" +
                    QFile::encodeName(writeSine(path("ok.wav"), 200)) + "\n");
    EXPECT_TRUE(shown.startsWith(path("bad.wav") + ": ")) << shown.toStdString();
    EXPECT_EQ(title, w->windowTitle());
    // Apply ended at the failing cue: neither the other cue, nor the compiler
    // menu's mark, nor the library staging ran.
    EXPECT_FALSE(w->player().cue(0).isOpen());
    EXPECT_FALSE(w->player().cue(1).isOpen());
    for (QAction* item : w->mnuCompilers)
        EXPECT_FALSE(item->isChecked()) << item->text().toStdString();
    EXPECT_FALSE(QFile::exists(home.programDir() + "/libdsakura.so"));
    w->PlayWave(0);  // cues that are not open stay quiet
    w->PlayWave(1);
    EXPECT_FALSE(w->player().cue(1).isPlaying());
}

}  // namespace
