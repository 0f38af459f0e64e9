#include <QApplication>
#include <QFontMetrics>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include "test_msg_modal.h"
#include "ui/MessageIcons.h"
#include "ui/Untmsg.h"

using namespace zek::ui;
using zek::test::whenModalShows;

namespace {

class MessageForm : public ::testing::Test {
protected:
    void SetUp() override {
        zek::test::ensureDialogFonts();
        owner.setWindowTitle("owner");
        owner.setGeometry(200, 150, 400, 300);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    }
    QWidget owner;
};

void pressKey(QWidget* box, Qt::Key key) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target && target->window() == box ? target : box, key);
}

QString lines(int count) {
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts << QStringLiteral("行%1").arg(i + 1);
    return parts.join('\n');
}

}  // namespace

TEST_F(MessageForm, CreatedOnceAndReused) {
    TfrmMsg* first = CreateMessageForm();
    EXPECT_EQ(CreateMessageForm(), first);
    EXPECT_EQ(frmMsg(), first);
}

TEST_F(MessageForm, LabelStaysCentredOnItsDesignLine) {
    struct Case {
        QString text;
        int lines;
        int top;
        int buttonTop;
    };
    const Case cases[] = {
        {"", 1, 24, 56},
        {"一行だけのメッセージ", 1, 24, 56},
        {"a\nb", 2, 18, 56},
        {"a\r\nb", 2, 18, 56},        // CR LF is one break
        {"a\n", 2, 18, 56},            // a trailing break still starts a line
        {lines(3), 3, 12, 56},
        {lines(4), 4, 6, 56},
        // Five lines reach the top edge; the buttons make room for the last one.
        {lines(5), 5, 0, 62},
    };
    TfrmMsg* form = frmMsg();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        form->Prepare(&owner, c.text, kMbIconWarning, "t");
        EXPECT_EQ(form->lblMsg->lineCount(), c.lines);
        EXPECT_EQ(form->lblMsg->geometry(), QRect(52, c.top, 241, 12 * c.lines));
        EXPECT_EQ(form->size(), QSize(301, 88 + c.buttonTop - 56));
        EXPECT_EQ(form->btnOk->geometry(), QRect(104, c.buttonTop, 89, 21));
    }
}

TEST_F(MessageForm, LongTextWrapsInsideTheLabelWidthAndKeepsEveryCharacter) {
    const QString text = QStringLiteral(
        "ソースファイル /home/user/music/とても長いフォルダ名/さらに長いサブフォルダ/曲.mml "
        "が見つかりません。ファイル名を確かめてからもう一度コンパイルしてください。");
    TfrmMsg* form = frmMsg();
    form->Prepare(&owner, text, kMbIconError, "t");
    const QStringList laidOut = form->lblMsg->lines();
    ASSERT_GE(laidOut.size(), 3);
    EXPECT_EQ(laidOut.join(QString()), text);
    const QFontMetrics metrics(form->lblMsg->font());
    for (const QString& line : laidOut)
        EXPECT_LE(metrics.horizontalAdvance(line.trimmed()), 241) << line.toStdString();
    const int height = 12 * static_cast<int>(laidOut.size());
    EXPECT_EQ(form->lblMsg->geometry(), QRect(52, std::max(0, 24 - (height - 12) / 2), 241, height));
}

TEST_F(MessageForm, TallTextGrowsTheFormInsteadOfRunningUnderTheButtons) {
    TfrmMsg* form = frmMsg();
    form->Prepare(&owner, lines(8), kMbIconWarning | kMbYesNo, "t");
    EXPECT_EQ(form->lblMsg->geometry(), QRect(52, 0, 241, 96));
    EXPECT_EQ(form->size(), QSize(301, 88 + 42));
    EXPECT_EQ(form->btnYes->geometry(), QRect(56, 98, 89, 21));
    EXPECT_EQ(form->btnNo->geometry(), QRect(152, 98, 89, 21));

    // The next message gets the design size back.
    form->Prepare(&owner, "short", kMbIconWarning | kMbYesNo, "t");
    EXPECT_EQ(form->size(), QSize(301, 88));
    EXPECT_EQ(form->btnYes->geometry(), QRect(56, 56, 89, 21));
    EXPECT_EQ(form->lblMsg->geometry(), QRect(52, 24, 241, 12));

    // A text taller than the screen stops growing the form at the screen.
    const int screenHeight = QGuiApplication::primaryScreen()->availableGeometry().height();
    form->Prepare(&owner, lines(200), kMbIconWarning, "t");
    EXPECT_LE(form->frameGeometry().height(), screenHeight);
    EXPECT_LE(form->lblMsg->geometry().bottom(), form->btnOk->y());
    EXPECT_EQ(form->btnOk->geometry().bottom(), form->height() - 88 + 56 + 20);
}

TEST_F(MessageForm, KindSelectsIconAndButtons) {
    struct Case {
        int kind;
        int icon;  // 1..4 = imgMsg01..04, 0 = none
        bool yesNo;
    };
    const Case cases[] = {
        {0x10, 1, false}, {0x24, 2, true}, {0x30, 3, false}, {0x34, 3, true},
        {0x40, 4, false}, {0x00, 0, false}, {0x50, 0, false}, {0x04, 0, true},
        {0x31, 3, false},  // an unknown button nibble still gets a button to answer with
    };
    TfrmMsg* form = frmMsg();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        form->Prepare(&owner, "text", c.kind, "t");
        const MessageIconView* icons[] = {form->imgMsg01, form->imgMsg02, form->imgMsg03, form->imgMsg04};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(!icons[i]->isHidden(), c.icon == i + 1) << "imgMsg0" << i + 1;
            EXPECT_EQ(icons[i]->geometry(), QRect(8, 16, 32, 32));
        }
        EXPECT_EQ(!form->btnYes->isHidden(), c.yesNo);
        EXPECT_EQ(!form->btnNo->isHidden(), c.yesNo);
        EXPECT_EQ(!form->btnOk->isHidden(), !c.yesNo);
        EXPECT_TRUE((c.yesNo ? form->btnYes : form->btnOk)->isDefault());
    }
}

TEST_F(MessageForm, CaptionFontsAndFixedDialogFrame) {
    TfrmMsg* form = frmMsg();
    form->Prepare(&owner, "text", kMbIconQuestion | kMbYesNo, "ZEK - MMLコンパイラ支援ツール");
    EXPECT_EQ(form->windowTitle(), "ZEK - MMLコンパイラ支援ツール");
    EXPECT_EQ(form->btnYes->text(), "はい(&Y)");
    EXPECT_EQ(form->btnNo->text(), "いいえ(&N)");
    EXPECT_EQ(form->btnOk->text(), "OK");
    for (const QWidget* w : {static_cast<const QWidget*>(form), static_cast<const QWidget*>(form->lblMsg),
                             static_cast<const QWidget*>(form->btnYes), static_cast<const QWidget*>(form->btnNo),
                             static_cast<const QWidget*>(form->btnOk)}) {
        EXPECT_EQ(w->font().family(), installedFamily(kPGothicFont));
        EXPECT_EQ(w->font().pixelSize(), 12);
    }
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
}

TEST_F(MessageForm, KeysAndCloseBoxGiveTheirResults) {
    enum class Act { Enter, Esc, CloseBox, ClickNo, AltY };
    struct Case {
        const char* name;
        int kind;
        Act act;
        int result;
    };
    const Case cases[] = {
        {"yes/no Enter", 0x24, Act::Enter, 6},  {"yes/no Esc", 0x24, Act::Esc, 7},
        {"yes/no close box", 0x34, Act::CloseBox, 2}, {"yes/no click No", 0x24, Act::ClickNo, 7},
        {"yes/no Alt+Y", 0x24, Act::AltY, 6},   {"OK Esc", 0x30, Act::Esc, 1},
        {"OK Enter", 0x10, Act::Enter, 1},      {"OK close box", 0x10, Act::CloseBox, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        whenModalShows([] { return frmMsg(); }, [act = c.act](QWidget* box) {
            auto* form = static_cast<TfrmMsg*>(box);
            switch (act) {
            case Act::Enter: pressKey(box, Qt::Key_Return); break;
            case Act::Esc: pressKey(box, Qt::Key_Escape); break;
            case Act::CloseBox: box->windowHandle()->close(); break;
            case Act::ClickNo: QTest::mouseClick(form->btnNo, Qt::LeftButton); break;
            case Act::AltY: QTest::keyClick(box, Qt::Key_Y, Qt::AltModifier); break;
            }
        });
        EXPECT_EQ(ShowMessageBox(&owner, "続けますか？", c.kind, "t"), c.result);
        EXPECT_FALSE(frmMsg()->isVisible());
        EXPECT_FALSE(MessageFormVisible());
    }
}

TEST_F(MessageForm, TimersKeepRunningWhileTheBoxShows) {
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (++ticks >= 3 && frmMsg()->isVisible())
            frmMsg()->btnOk->click();
    });
    tick.start(10);
    EXPECT_EQ(ShowMessageBox(&owner, "tick", kMbIconWarning, "t"), kIdOk);
    EXPECT_GE(ticks, 3);
}

TEST_F(MessageForm, WarningIsDroppedWhileABoxShows) {
    int dropped = -1;
    int boxesSeen = 0;
    whenModalShows([] { return frmMsg(); }, [&](QWidget* box) {
        EXPECT_TRUE(MessageFormVisible());
        dropped = ShowDroppableWarning(&owner, "エディターが見つかりません。", "t");
        for (QWidget* w : QApplication::topLevelWidgets())
            boxesSeen += (qobject_cast<TfrmMsg*>(w) && w->isVisible()) ? 1 : 0;
        pressKey(box, Qt::Key_Escape);
    });
    EXPECT_EQ(ShowMessageBox(&owner, "コンパイルしますか？", kMbIconQuestion | kMbYesNo, "t"), kIdNo);
    EXPECT_EQ(dropped, 0);
    EXPECT_EQ(boxesSeen, 1);

    // Not queued: with no box on screen the next warning shows, and only it.
    QString shownText;
    whenModalShows([] { return frmMsg(); }, [&](QWidget* box) {
        shownText = frmMsg()->lblMsg->text();
        pressKey(box, Qt::Key_Return);
    });
    EXPECT_EQ(ShowDroppableWarning(&owner, "プレイヤーが見つかりません。", "t"), kIdOk);
    EXPECT_EQ(shownText, "プレイヤーが見つかりません。");
}

TEST_F(MessageForm, QuestionWhileABoxShowsIsStillAsked) {
    int inner = -1;
    whenModalShows([] { return frmMsg(); }, [&](QWidget* outer) {
        whenModalShows([] { return QApplication::activeModalWidget() != frmMsg() ? QApplication::activeModalWidget() : nullptr; },
                       [&](QWidget* nested) {
                           EXPECT_EQ(static_cast<TfrmMsg*>(nested)->lblMsg->text(), "上書きしますか？");
                           pressKey(nested, Qt::Key_Return);
                       });
        inner = ShowMessageBox(&owner, "上書きしますか？", kMbIconQuestion | kMbYesNo, "t");
        EXPECT_TRUE(outer->isVisible());
        EXPECT_EQ(frmMsg()->lblMsg->text(), "outer");
        pressKey(outer, Qt::Key_Return);
    });
    EXPECT_EQ(ShowMessageBox(&owner, "outer", kMbIconWarning, "t"), kIdOk);
    EXPECT_EQ(inner, kIdYes);
    EXPECT_FALSE(MessageFormVisible());
}

TEST(MessageIcons, EachIconHasItsColoursAndATransparentCorner) {
    struct Probe {
        QPointF at;  // on the 32 x 32 design grid
        QColor colour;
    };
    struct Case {
        MessageIcon icon;
        std::vector<Probe> probes;
    };
    const QColor red(0xd0, 0x20, 0x20), white(Qt::white), yellow(0xf8, 0xd0, 0x30),
        black(0x14, 0x14, 0x14), blue(0x1f, 0x5f, 0xbf);
    const Case cases[] = {
        {MessageIcon::Error, {{{16, 5}, red}, {{16, 16}, white}, {{5, 16}, red}}},
        {MessageIcon::Question, {{{6, 12}, white}, {{16, 19.4}, blue}, {{16, 15}, blue}}},
        {MessageIcon::Warning, {{{9, 25}, yellow}, {{16, 13}, black}, {{16, 24.6}, black}}},
        {MessageIcon::Information, {{{6, 12}, white}, {{16, 6.9}, blue}, {{16, 15}, blue}}},
    };
    auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) < 60 && std::abs(a.green() - b.green()) < 60 &&
               std::abs(a.blue() - b.blue()) < 60 && a.alpha() == 255;
    };
    for (const Case& c : cases) {
        for (int pixels : {32, 64}) {  // 64: a HiDPI screen
            SCOPED_TRACE(pixels);
            const QImage image = RenderMessageIcon(c.icon, pixels);
            const qreal scale = pixels / 32.0;
            EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
            for (const Probe& probe : c.probes) {
                const QColor got = image.pixelColor(int(probe.at.x() * scale), int(probe.at.y() * scale));
                EXPECT_TRUE(near(got, probe.colour))
                    << int(c.icon) << " at " << probe.at.x() << "," << probe.at.y() << ": " << got.name().toStdString();
            }
        }
    }
}

TEST_F(MessageForm, StaysWithAVisibleOwnerButNotWithAHiddenOne) {
    TfrmMsg* form = frmMsg();
    form->Prepare(&owner, "text", kMbIconWarning, "t");
    EXPECT_EQ(form->windowHandle()->transientParent(), owner.windowHandle());

    // ZEK sits in the tray: the box must not vanish with its owner.
    owner.hide();
    form->Prepare(&owner, "text", kMbIconWarning, "t");
    EXPECT_EQ(form->windowHandle()->transientParent(), nullptr);
    zek::test::whenModalShows([] { return frmMsg(); }, [](QWidget* box) { pressKey(box, Qt::Key_Return); });
    EXPECT_EQ(ShowMessageBox(&owner, "text", kMbIconWarning, "t"), kIdOk);
}
