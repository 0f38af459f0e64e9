#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include "test_msg_modal.h"
#include "ui/Placement.h"
#include "ui/Untver.h"
#include "ui/VersionLogo.h"

using namespace zek::ui;

namespace {

class VersionDialog : public ::testing::Test {
protected:
    void SetUp() override {
        zek::test::ensureDialogFonts();
        mainWindow.setGeometry(100, 80, 500, 360);
        mainWindow.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow));
    }
    QWidget mainWindow;
};

TfrmVer* findVersionDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<TfrmVer*>(w))
            return dialog;
    return nullptr;
}

int countPixels(const QImage& image, const QRect& area, const QColor& colour) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixelColor(x, y) == colour ? 1 : 0;
    return count;
}

}  // namespace

TEST_F(VersionDialog, ControlsTextsAndColours) {
    TfrmVer dialog(&mainWindow);
    EXPECT_EQ(dialog.windowTitle(), "ﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_EQ(dialog.size(), QSize(246, 93));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(dialog.font().family(), installedFamily(kPGothicFont));
    EXPECT_EQ(dialog.font().pixelSize(), 12);

    EXPECT_EQ(dialog.shpVer->geometry(), QRect(4, 4, 237, 57));
    EXPECT_EQ(dialog.imgTalmo->geometry(), QRect(8, 12, 73, 33));
    EXPECT_EQ(dialog.btnOk->geometry(), QRect(84, 68, 80, 21));
    EXPECT_EQ(dialog.btnOk->text(), "OK");

    struct Label {
        QLabel* label;
        QString text;
        QPoint at;
        QColor colour;
    };
    const Label labels[] = {
        {dialog.lblTitle, "MMLコンパイラ支援ツール", {88, 20}, QColor(0xff, 0xff, 0xff)},
        {dialog.lblName, "ZEK Version 1.58", {112, 32}, QColor(0x00, 0xff, 0xff)},
        {dialog.lblCopy, "(C) 2026 ZEK developers", {24, 44}, QColor(0x00, 0xff, 0x00)},
    };
    for (const Label& l : labels) {
        SCOPED_TRACE(l.text.toStdString());
        EXPECT_EQ(l.label->text(), l.text);
        EXPECT_EQ(l.label->pos(), l.at);
        EXPECT_TRUE(l.label->font().bold());
        EXPECT_EQ(l.label->palette().color(QPalette::WindowText), l.colour);
        // The whole line fits on the black shape.
        EXPECT_LE(l.label->x() + l.label->fontMetrics().horizontalAdvance(l.text), 4 + 237);
    }
}

TEST_F(VersionDialog, LabelsShowInTheirColoursOnTheBlackShape) {
    TfrmVer dialog(&mainWindow);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QImage image = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(246, 93));
    EXPECT_EQ(image.pixelColor(200, 12), QColor(Qt::black));  // shape, right of the texts
    EXPECT_NE(image.pixelColor(2, 2), QColor(Qt::black));     // the form outside the shape
    const auto area = [](const QLabel* l) { return l->geometry().intersected(QRect(4, 4, 237, 57)); };
    EXPECT_GT(countPixels(image, area(dialog.lblTitle), Qt::white), 20);
    EXPECT_GT(countPixels(image, area(dialog.lblName), QColor(0, 255, 255)), 20);
    EXPECT_GT(countPixels(image, area(dialog.lblCopy), QColor(0, 255, 0)), 20);
    // Our logo draws something of its own inside its frame.
    EXPECT_LT(countPixels(image, dialog.imgTalmo->geometry(), Qt::black), 73 * 33 / 2);
}

TEST_F(VersionDialog, ShownModallyOverTheMainWindowAndDestroyedAfterwards) {
    QRect shownAt;
    bool wasModal = false;
    zek::test::whenModalShows(findVersionDialog, [&](QWidget* dialog) {
        shownAt = dialog->frameGeometry();
        wasModal = dialog->isModal();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    ShowVersionDialog(&mainWindow);
    EXPECT_TRUE(wasModal);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(shownAt.topLeft(), CenteredOnOwner(mainWindow.frameGeometry(), shownAt.size(), screen));
    EXPECT_EQ(findVersionDialog(), nullptr);

    // The OK button closes it too.
    zek::test::whenModalShows(findVersionDialog,
                              [](QWidget* dialog) { QTest::mouseClick(static_cast<TfrmVer*>(dialog)->btnOk, Qt::LeftButton); });
    ShowVersionDialog(&mainWindow);
    EXPECT_EQ(findVersionDialog(), nullptr);
}
