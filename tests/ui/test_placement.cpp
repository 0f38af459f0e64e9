#include <QApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>
#include <functional>

#include "test_msg_modal.h"
#include "ui/Placement.h"
#include "ui/Untmsg.h"

using namespace zek::ui;

TEST(Placement, CentresOverTheOwnerThenClampsToTheScreen) {
    const QRect screen(0, 0, 1280, 800);
    const QSize form(307, 114);
    struct Case {
        const char* name;
        QRect owner;
        QPoint expected;
    };
    const Case cases[] = {
        {"centred", {100, 100, 600, 400}, {100 + 146, 100 + 143}},
        // Halves of odd or negative differences truncate toward zero.
        {"owner narrower than the form", {500, 300, 100, 51}, {500 - 103, 300 - 31}},
        {"near the left edge", {-200, 100, 300, 400}, {0, 243}},
        {"near the right edge", {1100, 100, 300, 400}, {1280 - 307, 243}},
        {"near the top edge", {400, -300, 400, 300}, {446, 0}},
        {"near the bottom edge", {400, 700, 400, 300}, {446, 800 - 114}},
        {"off the bottom-right corner", {1250, 780, 200, 100}, {1280 - 307, 800 - 114}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CenteredOnOwner(c.owner, form, screen), c.expected);
    }
}

TEST(Placement, FormLargerThanTheScreenEndsFlushWithItsRightAndBottomEdges) {
    const QRect screen(0, 0, 640, 480);
    EXPECT_EQ(CenteredOnOwner({0, 0, 640, 480}, {800, 600}, screen), QPoint(640 - 800, 480 - 600));
    EXPECT_EQ(CenteredOnOwner({-500, -500, 100, 100}, {800, 600}, screen), QPoint(-160, -120));
}

TEST(Placement, ShownMessageBoxSitsWhereTheRuleSays) {
    zek::test::ensureDialogFonts();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    using Expect = std::function<QPoint(const QRect& ownerFrame, const QSize& box)>;
    struct Case {
        const char* name;
        QRect owner;
        Expect topLeft;
    };
    const Case cases[] = {
        {"pushed left to end at the right edge", {screen.right() - 150, 120, 260, 200},
         [&](const QRect& o, const QSize& b) {
             return QPoint(screen.right() + 1 - b.width(), o.top() + (o.height() - b.height()) / 2);
         }},
        {"pulled right and up", {-100, screen.bottom() - 40, 220, 160},
         [&](const QRect&, const QSize& b) { return QPoint(0, screen.bottom() + 1 - b.height()); }},
        {"plain centring", {150, 100, 420, 300}, [&](const QRect& o, const QSize& b) {
             return QPoint(o.left() + (o.width() - b.width()) / 2, o.top() + (o.height() - b.height()) / 2);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget owner;
        owner.setGeometry(c.owner);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
        QRect outer, client;
        zek::test::whenModalShows([] { return frmMsg(); }, [&](QWidget* box) {
            outer = box->frameGeometry();
            client = box->geometry();
            box->close();
        });
        ShowMessageBox(&owner, "placed", kMbIconInformation, "t");
        EXPECT_EQ(client.size(), QSize(301, 88));
        EXPECT_EQ(outer.topLeft(), c.topLeft(owner.frameGeometry(), outer.size()));
    }
}
