// The tab "機能"'s shortcut and association buttons of the settings dialog:
// their questions and notices are the dialog's own boxes, and they act at
// once, on the isolated home's files.
#include "platform/XdgAssociation.h"
#include "settings/FileAssociation.h"
#include "settings/SettingsCommands.h"
#include "settings/SettingsStore.h"
#include "settings/Untinit.h"
#include "support/TestEnv.h"
#include "ui/Untmsg.h"
#include "ui/test_msg_modal.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace zek;

namespace {

struct Box {
    QString text, title;
    bool warningIcon = false, errorIcon = false, yesNo = false;
};

// The main window's side of the open-settings command: the real dialog, run
// modally, and a record of what apply touched.
class DialogHost : public settings::SettingsHost {
public:
    DialogHost(QWidget& owner, settings::SettingsStore store) : owner_(owner), store_(std::move(store)) {}
    QStringList calls;

    QString optionText() const override { return {}; }
    void setOptionText(const QString&) override {}
    void setTopmost(bool) override {}
    void buildWallpaperList() override {}
    bool loadWallpaper() override { return false; }
    void layoutWallpaper(bool, bool) override {}
    void applyFunctionKeys() override {}
    void prepareWave(int, const QString&) override {}
    void checkCompilerMenu(int kind) override { calls << QStringLiteral("menu %1").arg(kind); }
    void stageIncludeFolder() override {}
    int askQuestion(const QString&) override { return settings::kAnswerYes; }
    int runFirstRunDialog() override { return -1; }
    void runSettingsDialog() override {
        settings::TfrmInit dialog(&owner_, store_);
        calls << (dialog.exec() == QDialog::Accepted ? "ok" : "cancel");
    }
    void showError(const QString& text) override { calls << "error " + text; }

private:
    QWidget& owner_;
    settings::SettingsStore store_;
};

class InitShell : public ::testing::Test {
protected:
    test::IsolatedHome home;
    settings::SettingsStore store{home.programDir()};
    QWidget owner;
    QList<Box> boxes;

    void SetUp() override { test::ensureDialogFonts(); }

    // Answers the next message box (Yes, No or OK) and records it; `then`
    // runs afterwards, to answer a box that follows.
    void answerNext(int answer, std::function<void()> then = {}) {
        test::whenModalShows([] { return ui::frmMsg(); }, [this, answer, then](QWidget*) {
            ui::TfrmMsg* m = ui::frmMsg();
            boxes << Box{m->lblMsg->text(), m->windowTitle(), m->imgMsg03->isVisible(), m->imgMsg01->isVisible(),
                         m->btnYes->isVisible()};
            (answer == ui::kIdYes ? m->btnYes : answer == ui::kIdNo ? m->btnNo : m->btnOk)->click();
            if (then)
                then();
        });
    }
};

TEST_F(InitShell, TheAssociationAsksWithTheComboTextAndStoresTheChoice) {
    ASSERT_TRUE(test::writeFile(home.configHome() + "/Talmo/ZEK.conf", "[General]\nleft=10\ncompiler=1\nfext=0\n"));
    settings::TfrmInit dialog(&owner, store);
    dialog.cbxFext->setCurrentIndex(2);
    answerNext(ui::kIdYes);
    dialog.btnFext->click();

    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].text, "ｿｰｽﾌｧｲﾙ .mml を「ZEK と ｴﾃﾞｨﾀｰ」と関連付けます。\nよろしいですか？");
    EXPECT_EQ(boxes[0].title, "詳細設定");
    EXPECT_TRUE(boxes[0].warningIcon);
    EXPECT_TRUE(boxes[0].yesNo);
    settings::Settings s;
    store.load(s);
    EXPECT_EQ(s.fext, 2);
    const QString type = settings::ownMimeType(settings::associationKind(1));
    EXPECT_TRUE(QFileInfo::exists(home.dataHome() + "/applications/" + platform::openEntryId(type)));
}

TEST_F(InitShell, CancelAfterTheAssociationKeepsItsEffectAndTheSettingsAreStillReloaded) {
    ASSERT_TRUE(test::writeFile(home.configHome() + "/Talmo/ZEK.conf", "[General]\nleft=10\ncompiler=1\nfext=0\n"));
    settings::Settings mainSettings;
    store.load(mainSettings);
    DialogHost host(owner, store);
    settings::SettingsCommands commands(mainSettings, store, host);
    test::whenModalShows([] { return qobject_cast<settings::TfrmInit*>(QApplication::activeModalWidget()); },
                         [this](QWidget* w) {
                             auto* dialog = static_cast<settings::TfrmInit*>(w);
                             dialog->cbxFext->setCurrentIndex(2);
                             answerNext(ui::kIdYes);
                             dialog->btnFext->click();
                             dialog->btnCancel->click();
                         });
    commands.openSettings();

    ASSERT_EQ(boxes.size(), 1) << "the association's question";
    EXPECT_EQ(host.calls, (QStringList{"cancel", "menu 1"})) << "reloaded and applied after Cancel";
    EXPECT_EQ(mainSettings.fext, 2);
    settings::Settings s;
    store.load(s);
    EXPECT_EQ(s.fext, 2);
    const QString type = settings::ownMimeType(settings::associationKind(1));
    EXPECT_TRUE(QFileInfo::exists(home.dataHome() + "/applications/" + platform::openEntryId(type)));
}

TEST_F(InitShell, AShortcutWithoutItsLibraryGivesTheErrorNotice) {
    // This test program's folder holds no libzeririzu.so.
    settings::TfrmInit dialog(&owner, store);
    answerNext(ui::kIdYes, [this] { answerNext(ui::kIdOk); });
    dialog.btnSend->click();
    ASSERT_TRUE(test::waitFor([&] { return boxes.size() == 2; }, 5000));
    EXPECT_EQ(boxes[0].text, "「送る」にZEKのｼｮｰﾄｶｯﾄを作成します。\nよろしいですか？");
    EXPECT_EQ(boxes[1].text, "ZERIRIZU.DLLが見つかりません。");
    EXPECT_EQ(boxes[1].title, "詳細設定");
    EXPECT_TRUE(boxes[1].errorIcon);
    EXPECT_FALSE(boxes[1].yesNo);

    // The desktop button asks about its own place; No leaves everything.
    answerNext(ui::kIdNo);
    dialog.btnDesk->click();
    ASSERT_EQ(boxes.size(), 3);
    EXPECT_EQ(boxes[2].text, "「ﾃﾞｽｸﾄｯﾌﾟ」にZEKのｼｮｰﾄｶｯﾄを作成します。\nよろしいですか？");
    EXPECT_FALSE(QFileInfo::exists(home.home() + "/Desktop/ZEK.desktop"));
}

}  // namespace
