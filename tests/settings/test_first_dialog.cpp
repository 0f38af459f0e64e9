// The first-run compiler choice, offscreen, answered through the real message form.
#include "settings/Untfirst.h"
#include "ui/Untmsg.h"
#include "ui/test_msg_modal.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace zek;
using settings::TfrmFirst;

namespace {

class FirstDialog : public ::testing::Test {
protected:
    QWidget owner;
    int chosen = 5;

    void SetUp() override { test::ensureDialogFonts(); }
    std::unique_ptr<TfrmFirst> open() { return std::make_unique<TfrmFirst>(&owner, chosen, QString()); }

    // Answers the next message box and remembers what it asked.
    void answerNext(int answer, QString* asked = nullptr, QString* title = nullptr) {
        test::whenModalShows([] { return ui::frmMsg(); }, [answer, asked, title](QWidget*) {
            if (asked)
                *asked = ui::frmMsg()->lblMsg->text();
            if (title)
                *title = ui::frmMsg()->windowTitle();
            (answer == ui::kIdYes ? ui::frmMsg()->btnYes : ui::frmMsg()->btnNo)->click();
        });
    }
};

TEST_F(FirstDialog, CaptionLinesAndButtons) {
    auto d = open();
    EXPECT_EQ(chosen, -1) << "nothing chosen while it is open";
    EXPECT_EQ(d->windowTitle(), "MMLコンパイラ選択");
    EXPECT_EQ(d->size(), QSize(392, 81));
    ASSERT_EQ(d->lstText->count(), 3);
    EXPECT_EQ(d->lstText->item(0)->text(), "この度は ZEK を、ご利用頂き誠に有り難うございます。");
    EXPECT_EQ(d->lstText->item(1)->text(), "使用されるMMLコンパイラを選択して下さい。");
    EXPECT_EQ(d->lstText->item(2)->text(), "※後から変更する事も可能です。");
    const QStringList names{"SPICE", "MML2MID", "cSakura", "dSakura"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(d->compilerButtons[static_cast<size_t>(i)]->text(), names[i]);
        EXPECT_EQ(d->compilerButtons[static_cast<size_t>(i)]->toolTip(), names[i]);
        EXPECT_EQ(d->compilerButtons[static_cast<size_t>(i)]->size(), QSize(75, 25));
    }
    EXPECT_EQ(d->btnReadme->text(), "README");
    EXPECT_FALSE(d->imgIcon->pixmap().isNull());
    for (QWidget* w : d->findChildren<QPushButton*>())
        EXPECT_TRUE(d->rect().contains(w->geometry())) << w->objectName().toStdString();
}

TEST_F(FirstDialog, ChoosingAskedAndConfirmedCloses) {
    auto d = open();
    d->show();
    QString asked, title;
    answerNext(ui::kIdNo);
    d->btnMml2mid->click();
    EXPECT_EQ(chosen, -1) << "No: nothing happens";
    EXPECT_TRUE(d->isVisible());

    answerNext(ui::kIdYes, &asked, &title);
    d->btnMml2mid->click();
    EXPECT_EQ(asked, "コンパイラを MML2MID に設定します。\nよろしいですか？");
    EXPECT_EQ(title, "MMLコンパイラ選択");
    EXPECT_EQ(chosen, 1);
    EXPECT_FALSE(d->isVisible());
}

TEST_F(FirstDialog, ClosingWithoutAChoiceAsksForSpice) {
    auto d = open();
    d->show();
    QString asked;
    answerNext(ui::kIdNo, &asked);
    d->close();
    EXPECT_EQ(asked, "コンパイラを選択していません。\nデフォルトでSPICEが設定されます。\nよろしいですか？");
    EXPECT_TRUE(d->isVisible()) << "No keeps the dialog open";
    EXPECT_EQ(chosen, -1);

    answerNext(ui::kIdNo);
    QTest::keyClick(d.get(), Qt::Key_Escape);
    EXPECT_TRUE(d->isVisible()) << "Esc asks the same";

    answerNext(ui::kIdYes);
    d->close();
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(chosen, 0);
}

TEST_F(FirstDialog, AChosenCompilerClosesWithoutAQuestion) {
    auto d = open();
    d->show();
    answerNext(ui::kIdYes);
    d->btndSakura->click();
    EXPECT_EQ(chosen, 3);
    d->show();
    bool asked = false;
    QTimer guard;  // answers a question, should one come, so the test cannot hang
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (ui::frmMsg()->isVisible()) {
            asked = true;
            ui::frmMsg()->btnNo->click();
        }
    });
    guard.start(5);
    d->close();
    EXPECT_FALSE(asked);
    EXPECT_FALSE(d->isVisible());
}

}  // namespace
