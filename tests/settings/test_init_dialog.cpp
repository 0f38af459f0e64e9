// The settings dialog, offscreen, on a real store in an isolated home.
#include "settings/SettingsStore.h"
#include "settings/Untinit.h"
#include "support/TestEnv.h"
#include "ui/UpDown.h"
#include "ui/test_msg_modal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <map>

using namespace zek;
using settings::SettingsField;
using settings::TfrmInit;

namespace {

using Stored = std::map<QString, QString>;

class InitDialog : public ::testing::Test {
protected:
    test::IsolatedHome home;
    settings::SettingsStore store{home.programDir()};
    QWidget owner;

    void SetUp() override { test::ensureDialogFonts(); }

    QString storeFile() const { return home.configHome() + "/Talmo/ZEK.conf"; }
    void writeStore(const QByteArray& lines) {
        ASSERT_TRUE(test::writeFile(storeFile(), "[General]\nleft=10\n" + lines + "\n"));
    }
    Stored stored() const {
        QSettings ini(storeFile(), QSettings::IniFormat);
        Stored values;
        for (const QString& key : ini.allKeys())
            values[key] = ini.value(key).toString();
        return values;
    }
    settings::Settings loaded() const {
        settings::Settings s;
        store.load(s);
        return s;
    }
    std::unique_ptr<TfrmInit> open() { return std::make_unique<TfrmInit>(&owner, store); }
    // Types into an edit box as the user does (every change runs its handler).
    static void type(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        QTest::keyClicks(edit, text);
    }
};

TEST_F(InitDialog, CaptionSizeTabsAndTheControlsOfEveryField) {
    auto d = open();
    EXPECT_EQ(d->windowTitle(), "詳細設定");
    EXPECT_EQ(d->size(), QSize(480, 320));
    EXPECT_EQ(d->minimumSize(), d->maximumSize());
    const QStringList tabs{"ｱﾌﾟﾘｹｰｼｮﾝ", "登録", "ｻｳﾝﾄﾞ", "機能", "壁紙", "ｵﾌﾟｼｮﾝ", "ﾌｧﾝｸｼｮﾝ"};
    ASSERT_EQ(d->pctInit->count(), tabs.size());
    for (int i = 0; i < tabs.size(); ++i)
        EXPECT_EQ(d->pctInit->tabText(i), tabs[i]);
    EXPECT_EQ(d->pctInit->currentIndex(), 0);
    EXPECT_TRUE(d->btnOk->isDefault());
    EXPECT_EQ(d->btnCancel->text(), "キャンセル");

    // Every field the table puts in the dialog has a control of its conversion's kind.
    for (const SettingsField& f : settings::settingsFields()) {
        const QString name = QString::fromLatin1(f.control ? f.control : "");
        switch (f.conversion) {
        case SettingsField::Control::CheckBox:
            EXPECT_TRUE(d->findChild<QCheckBox*>(name)) << f.name;
            break;
        case SettingsField::Control::EditBox:
            EXPECT_TRUE(d->findChild<QLineEdit*>(name)) << f.name;
            break;
        case SettingsField::Control::UpDown:
            EXPECT_TRUE(d->findChild<ui::UpDown*>(name)) << f.name;
            break;
        case SettingsField::Control::FunctionKey:
        case SettingsField::Control::ShownChoice:
            EXPECT_TRUE(d->findChild<QComboBox*>(name)) << f.name;
            break;
        case SettingsField::Control::None:
            break;
        }
    }
    for (QWidget* w : std::initializer_list<QWidget*>{d->chkV, d->chkMini, d->chkErrf, d->cbxEsc, d->chkFunc})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(d->cbxEsc->count(), 13);
    EXPECT_EQ(d->cbxEsc->itemText(12), "ESC");
    EXPECT_EQ(d->cbxTag->count(), 12);
    EXPECT_EQ(d->cbxFext->itemText(2), "ZEK と ｴﾃﾞｨﾀｰ");
    EXPECT_EQ(d->chkSstp->text(), "SSTPを使用する(&A)");
    EXPECT_EQ(d->chkSstp->toolTip(), "SSTP の使用有無を設定します。");
    EXPECT_EQ(d->gbxTimer->toolTip(), "コンパイルを強制的に中断するタイマーの設定を行います。");
    EXPECT_EQ(d->btnDesk->text(), "「ﾃﾞｽｸﾄｯﾌﾟ」にZEKのｼｮｰﾄｶｯﾄを作成/削除する(&D)");

    // Nothing is cut off: every named control lies inside its parent.
    d->show();
    for (int i = 0; i < d->pctInit->count(); ++i)
        d->pctInit->setCurrentIndex(i);
    QApplication::processEvents();
    for (QWidget* w : d->findChildren<QWidget*>()) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith("qt_") || w->parentWidget()->objectName().startsWith("qt_"))
            continue;
        EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry()))
            << name.toStdString() << " in " << w->parentWidget()->objectName().toStdString();
    }
}

TEST_F(InitDialog, TabOrderFollowsTheRows) {
    auto d = open();
    const QList<QWidget*> order{d->btnSetMmlcmp, d->edtSetMmlcmp, d->btnSetEditor, d->edtSetEditor,
                                d->edtPrmEditor, d->btnSetPlayer, d->edtSetPlayer, d->edtPrmPlayer,
                                d->chkPlay,      d->chkCopy};
    for (int i = 0; i + 1 < order.size(); ++i) {
        QWidget* next = order[i]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i + 1]) << order[i]->objectName().toStdString();
    }
}

struct KindCase {
    int kind;
    const char* button;
    const char* path;
    const char* option;
    bool spice, mml2mid, env, optionEnabled;
};

class PerCompiler : public InitDialog, public ::testing::WithParamInterface<KindCase> {};

TEST_P(PerCompiler, ShowsTheKindsPathOptionAndGroups) {
    const KindCase& c = GetParam();
    writeStore(QByteArray("compiler=") + QByteArray::number(c.kind) +
               "\nexecsmc=/c/smc\nexecmml2mid=/c/m2m\nexeccsakura=/c/cs\nexecdsakura=/c/ds.so\n"
               "option0=-pc\noption1=-f\noption2=/q\noption3=-z\n");
    auto d = open();
    EXPECT_EQ(d->compilerKind(), c.kind);
    EXPECT_EQ(d->btnSetMmlcmp->text(), c.button);
    EXPECT_EQ(d->edtSetMmlcmp->text(), c.path);
    EXPECT_EQ(d->edtOption->text(), c.option);
    EXPECT_EQ(!d->gbxSpice->isHidden(), c.spice);
    EXPECT_EQ(!d->gbxMml2mid->isHidden(), c.mml2mid);
    EXPECT_EQ(!d->gbxEnv->isHidden(), c.env);
    EXPECT_EQ(d->edtOption->isEnabled(), c.optionEnabled);

    // OK writes the shown kind's path and option, and no other kind's.
    const QString option = QString(c.option) + " -new";
    d->edtSetMmlcmp->setText("/new/path");
    d->edtOption->setText(option);
    d->btnOkClick();
    const settings::Settings s = loaded();
    EXPECT_EQ(s.compilerPath(c.kind), "/new/path");
    EXPECT_EQ(s.option(c.kind), option);
    EXPECT_EQ(s.compiler, c.kind);
    for (int other = 0; other < 4; ++other) {
        if (other != c.kind) {
            EXPECT_NE(s.compilerPath(other), "/new/path");
            EXPECT_NE(s.option(other), option);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, PerCompiler,
                         ::testing::Values(KindCase{0, "SMC(&S)", "/c/smc", "-pc", true, false, true, true},
                                           KindCase{1, "MML2MID(&M)", "/c/m2m", "-f", false, true, false, true},
                                           KindCase{2, "cSakura(&S)", "/c/cs", "/q", false, false, false, true},
                                           KindCase{3, "dSakura(&S)", "/c/ds.so", "-z", false, false, false,
                                                    false}));

TEST_F(InitDialog, OkWithoutChangesRewritesTheSameValuesButTheNormalisedOnes) {
    writeStore("top=20\nwidth=600\nheight=400\ncompiler=0\noption0=-pc -ps\noption1=-q\nauto=5\nnext=1\nshow=0\n"
               "quit=1\ndate=1\nextr=0\nmini=1\nsnap=1\nstay=1\nooji=1\nupdt=1\ntray=1\nrsiz=1\nerrf=1\nsstp=0\n"
               "wall=1\ncent=1\nsize=1\nrand=1\nfext=2\nemin=1\nwave=1\nfunc=1\nplay=1\ncopy=1\n"
               "execsmc=/s/smc\nexecmml2mid=/s/m\nexeccsakura=\nexecdsakura=\nexeceditor=/usr/bin/vi\n"
               "execplayer=/usr/bin/timidity\nparmeditor=-n\nparmplayer=-iA\nsmcinclude=/s/inc\n"
               "diroutfile=/out\nwallpaper=/p/w.jpg\nwavenormal=/w/ok.wav\nwaveerror=/w/ng.wav\n"
               "lastfile0=/songs/a.smc\nlastfile1=/songs/b.smc\ntimerexit=42\ntimerwallpaper=300\n"
               "menutag=13\nmenusmc=3\nmenurunplayer=4\nmenureturn=13\n");
    Stored expected = stored();
    expected["diroutfile"] = "/out/";
    expected["menutag"] = "0";
    expected["auto"] = "1";

    auto d = open();
    EXPECT_EQ(d->cbxTag->currentIndex(), -1) << "13 has no item among F1..F12";
    d->btnOkClick();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    const Stored after = stored();
    for (const auto& [key, value] : expected)
        EXPECT_EQ(after.at(key), value) << key.toStdString();
    EXPECT_EQ(after.size(), 63u) << "every value is written";
}

TEST_F(InitDialog, OkKeepsTextsLongerThanALineEditsDefaultLimit) {
    const QString option = "-x " + QString(100000, 'o');  // past QLineEdit's default of 32,767
    writeStore("compiler=2\noption2=" + option.toUtf8() + "\n");
    auto d = open();
    EXPECT_EQ(d->edtOption->text().size(), option.size());
    d->btnOkClick();
    EXPECT_EQ(loaded().option2, option);
}

TEST_F(InitDialog, OptionTextAndBoxesFollowEachOther) {
    writeStore("compiler=0\noption0=-PS\n");
    auto d = open();
    EXPECT_EQ(d->edtOption->text(), "-ps");
    EXPECT_FALSE(d->chkPC->isChecked());
    EXPECT_TRUE(d->chkPS->isChecked());

    d->edtOption->clear();
    type(d->edtOption, "-pc -p");
    EXPECT_EQ(d->edtOption->text(), "-pc -p") << "no box moved: the text stays as typed";
    EXPECT_FALSE(d->chkPS->isChecked());
    type(d->edtOption, "s");
    EXPECT_EQ(d->edtOption->text(), "-pc -ps");
    EXPECT_TRUE(d->chkPS->isChecked());

    d->edtOption->setText("-pc -q");
    EXPECT_EQ(d->edtOption->text(), "-pc");
    d->edtOption->setText("-pc -q");
    QTest::mouseClick(d->chkPS, Qt::LeftButton);
    EXPECT_EQ(d->edtOption->text(), "-pc -ps");
    d->btnOkClick();
    EXPECT_EQ(loaded().option0, "-pc -ps");
}

TEST_F(InitDialog, Mml2midOpensInItsGroupsOrderAndOtherKindsAsStored) {
    writeStore("compiler=1\noption1=-w -f\n");
    auto d = open();
    EXPECT_EQ(d->edtOption->text(), "-f -w");
    EXPECT_TRUE(d->chkFormat0->isChecked());
    EXPECT_TRUE(d->chkWarning->isChecked());
    EXPECT_FALSE(d->chkVelocity->isChecked());
    EXPECT_FALSE(d->chkV->isChecked()) << "the SPICE boxes are not touched";

    writeStore("compiler=2\noption2=-PS  -w\n");
    d = open();
    EXPECT_EQ(d->edtOption->text(), "-PS  -w");
    type(d->edtOption, " -V");
    d->btnOkClick();
    EXPECT_EQ(loaded().option2, "-PS  -w -V");
}

TEST_F(InitDialog, EnablingRules) {
    writeStore("play=1\nexecplayer=/usr/bin/timidity\nparmplayer=-iA\nwave=0\nwall=1\n");
    auto d = open();
    EXPECT_FALSE(d->edtSetPlayer->isEnabled());
    EXPECT_FALSE(d->btnSetPlayer->isEnabled());
    EXPECT_FALSE(d->edtPrmPlayer->isEnabled());
    EXPECT_TRUE(d->chkCopy->isEnabled());
    EXPECT_FALSE(d->edtWaveNormal->isEnabled());
    EXPECT_FALSE(d->btnWaveError->isEnabled());
    EXPECT_TRUE(d->edtWall->isEnabled());
    EXPECT_TRUE(d->updTimerWall->isEnabled());

    QTest::mouseClick(d->chkWave, Qt::LeftButton);
    EXPECT_TRUE(d->edtWaveNormal->isEnabled());
    EXPECT_TRUE(d->lblWaveError->isEnabled());
    QTest::mouseClick(d->chkWall, Qt::LeftButton);
    EXPECT_FALSE(d->chkRand->isEnabled());
    EXPECT_FALSE(d->edtTimerWall->isEnabled());

    d->btnOkClick();
    const settings::Settings s = loaded();
    EXPECT_EQ(s.execplayer, "/usr/bin/timidity") << "disabled boxes keep and save their values";
    EXPECT_EQ(s.parmplayer, "-iA");
    EXPECT_EQ(s.wave, 1);
    EXPECT_EQ(s.wall, 0);
}

TEST_F(InitDialog, TimersStayInTheirRanges) {
    writeStore("timerexit=100\ntimerwallpaper=abc\nwall=1\n");
    auto d = open();
    EXPECT_EQ(d->edtTimerExit->text(), "60");
    EXPECT_EQ(d->edtTimerWall->text(), "60") << "not a number: the default";

    d->show();
    d->pctInit->setCurrentWidget(d->tabStatus);
    QTest::mouseClick(d->updTimerExit->upButton(), Qt::LeftButton);
    EXPECT_EQ(d->updTimerExit->position(), 60) << "the arrows never step outside the range";
    QTest::mouseClick(d->updTimerExit->downButton(), Qt::LeftButton);
    EXPECT_EQ(d->updTimerExit->position(), 59);
    EXPECT_EQ(d->focusWidget(), d->edtTimerExit) << "an arrow click focuses its box";

    d->edtTimerExit->clear();
    type(d->edtTimerExit, "0");
    d->pctInit->setCurrentWidget(d->tabWall);
    d->edtTimerWall->clear();
    type(d->edtTimerWall, "9999");
    d->btnOkClick();
    const settings::Settings s = loaded();
    EXPECT_EQ(s.timerexit, 0);
    EXPECT_EQ(s.timerwallpaper, 600);
}

TEST_F(InitDialog, CancelWritesNothing) {
    writeStore("execeditor=/usr/bin/vi\n");
    const QByteArray before = test::readFile(storeFile());
    auto d = open();
    d->edtSetEditor->setText("/usr/bin/other");
    QTest::mouseClick(d->chkStay, Qt::LeftButton);
    QTest::mouseClick(d->btnCancel, Qt::LeftButton);
    EXPECT_EQ(d->result(), QDialog::Rejected);
    EXPECT_EQ(test::readFile(storeFile()), before);

    d = open();
    d->show();
    QTest::keyClick(d.get(), Qt::Key_Escape);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(test::readFile(storeFile()), before);
}

TEST_F(InitDialog, OkKeepsWhatTheDialogDoesNotShowAsStoredMeanwhile) {
    writeStore("fext=9\nlastfile0=/a.mml\n");
    auto d = open();
    EXPECT_EQ(d->cbxFext->currentIndex(), -1) << "a choice outside 0..2 selects nothing";
    EXPECT_EQ(d->fextText(), "");
    // The association stores its choice at once, while the dialog is open.
    settings::Settings s = loaded();
    s.fext = 1;
    s.lastfile0 = "/b.mml";
    store.save(s);
    d->btnOkClick();
    s = loaded();
    EXPECT_EQ(s.fext, 1);
    EXPECT_EQ(s.lastfile0, "/b.mml");
}

TEST_F(InitDialog, OpenedTwiceInARowShowsWhatTheFirstStored) {
    auto d = open();
    d->edtSetEditor->setText("/usr/bin/mousepad");
    d->cbxSmc->setCurrentIndex(4);
    d->btnOkClick();
    d = open();
    EXPECT_EQ(d->edtSetEditor->text(), "/usr/bin/mousepad");
    EXPECT_EQ(d->cbxSmc->currentText(), "F5");
    EXPECT_EQ(d->pctInit->currentIndex(), 0);
}

// Picks `file` in the next open-file dialog (or cancels it when empty).
void pickInFileDialog(const QString& file, QString* title = nullptr, QString* folder = nullptr) {
    test::whenReady([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr; },
                    [file, title, folder] {
                        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                        if (title)
                            *title = dialog->windowTitle();
                        if (folder)
                            *folder = dialog->directory().absolutePath();
                        if (file.isEmpty()) {
                            dialog->reject();
                            return;
                        }
                        dialog->selectFile(file);
                        QMetaObject::invokeMethod(dialog, "accept");
                    });
}

TEST_F(InitDialog, BrowseFillsTheFullPathAndThePlayerRuleFollows) {
    QDir().mkpath(home.path("bin"));
    for (const char* name : {"mousepad", "MPLAY32.EXE", "timidity"})
        test::writeFile(home.path(QString("bin/") + name), "#!/bin/sh\n");
    auto d = open();
    d->show();
    QString title;
    pickInFileDialog(home.path("bin/mousepad"), &title);
    d->btnSetEditorClick();
    EXPECT_EQ(title, "ｴﾃﾞｨﾀｰ登録");
    EXPECT_EQ(d->edtSetEditor->text(), home.path("bin/mousepad"));

    QString folder;
    pickInFileDialog(QString(), nullptr, &folder);
    d->btnSetEditorClick();
    EXPECT_EQ(folder, home.path("bin")) << "it opens where the box points";
    EXPECT_EQ(d->edtSetEditor->text(), home.path("bin/mousepad")) << "a cancelled dialog changes nothing";

    d->edtWaveNormal->setText("/no/such/folder/ok.wav");
    pickInFileDialog(QString(), &title);
    d->btnWaveNormalClick();
    EXPECT_EQ(title, "Waveﾌｧｲﾙ選択");
    EXPECT_EQ(d->edtWaveNormal->text(), "/no/such/folder/ok.wav") << "a path that does not exist is kept";

    pickInFileDialog(home.path("bin/MPLAY32.EXE"));
    d->btnSetPlayerClick();
    EXPECT_EQ(d->edtSetPlayer->text(), home.path("bin/MPLAY32.EXE"));
    EXPECT_EQ(d->edtPrmPlayer->text(), "/play /close");
    pickInFileDialog(home.path("bin/timidity"));
    d->btnSetPlayerClick();
    EXPECT_EQ(d->edtPrmPlayer->text(), "");
}

}  // namespace
