#include "settings/Untinit.h"

#include "compile/CompilerTable.h"
#include "platform/PrivateDir.h"
#include "platform/ShortcutLibrary.h"
#include "settings/FileAssociation.h"
#include "settings/ShellShortcuts.h"
#include "ui/EditBoxes.h"
#include "ui/FileDialogs.h"
#include "ui/Fonts.h"
#include "ui/Placement.h"
#include "ui/UpDown.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTabWidget>

#include <functional>

namespace zek::settings {
namespace {

using C = SettingsField::Control;

// Rows inside a group box.
constexpr int kRow = 20;
constexpr int kEditHeight = 21;
constexpr int kButtonHeight = 23;

const QString kBrowse = QStringLiteral("参照");
const QString kSecondsUnit = QStringLiteral("[秒]");

template <class W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QWidget* page(QTabWidget* tabs, const char* name, const QString& caption) {
    auto* p = named(new QWidget, name);
    tabs->addTab(p, caption);
    return p;
}

QGroupBox* group(QWidget* parent, const char* name, const QString& caption, const QRect& r,
                 const QString& hint = QString()) {
    auto* g = named(new QGroupBox(caption, parent), name);
    g->setGeometry(r);
    g->setToolTip(hint);
    return g;
}

QCheckBox* check(QWidget* parent, const char* name, const QString& caption, int x, int y,
                 const QString& hint = QString()) {
    auto* c = named(new QCheckBox(caption, parent), name);
    c->move(x, y);
    c->resize(c->sizeHint().width(), 18);
    c->setToolTip(hint);
    return c;
}

QLineEdit* edit(QWidget* parent, const char* name, int x, int y, int width, const QString& hint = QString()) {
    auto* e = named(new QLineEdit(parent), name);
    e->setGeometry(x, y, width, kEditHeight);
    e->setToolTip(hint);
    ui::liftLengthLimit(e);  // OK stores the texts unchanged, however long
    return e;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, int x, int y, int width) {
    auto* b = named(new QPushButton(caption, parent), name);
    b->setGeometry(x, y - 1, width, kButtonHeight);
    b->setAutoDefault(false);
    return b;
}

// A label on the row of the control it names (its access key focuses it).
QLabel* label(QWidget* parent, const char* name, const QString& caption, int x, int y) {
    auto* l = named(new QLabel(caption, parent), name);
    l->move(x, y);
    l->resize(l->sizeHint().width(), kEditHeight);
    return l;
}

QComboBox* dropDown(QWidget* parent, const char* name, const QStringList& items, int x, int y, int width) {
    auto* c = named(new QComboBox(parent), name);
    c->addItems(items);
    c->setGeometry(x, y, width, 22);
    return c;
}

QStringList functionKeyItems(bool withEsc) {
    QStringList items;
    for (int key = 1; key <= 12; ++key)
        items << QStringLiteral("F%1").arg(key);
    if (withEsc)
        items << QStringLiteral("ESC");
    return items;
}

// Edit boxes that follow a tick: window colour when on, button face when off.
void enableBoxes(std::initializer_list<QWidget*> widgets, std::initializer_list<QLineEdit*> coloured, bool on) {
    for (QWidget* w : widgets)
        w->setEnabled(on);
    const QColor colour = QApplication::palette().color(on ? QPalette::Base : QPalette::Button);
    for (QLineEdit* e : coloured) {
        QPalette p = e->palette();
        p.setColor(QPalette::Base, colour);
        e->setPalette(p);
    }
}

// The layout puts a group's rows for a title as tall as its text, sitting on
// the frame line. A style that draws a taller title above the line (Fusion)
// would put the line across the first row: the group's contents move down by
// the difference.
void fitContentsUnderTitle(QGroupBox* group) {
    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = group->title();
    option.textAlignment = group->alignment();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect title = group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
    const int shift = title.height() - group->fontMetrics().height();
    if (shift <= 0)
        return;
    for (QWidget* child : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->move(child->x(), child->y() + shift);
}

}  // namespace

TfrmInit::TfrmInit(QWidget* mainWindow, SettingsStore store)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                              Qt::MSWindowsFixedSizeDialogHint),
      store_(std::move(store)),
      shortcutSendTo_(SendToShortcutPath()),
      shortcutDesktop_(DesktopShortcutPath()) {
    setObjectName(QStringLiteral("frmInit"));
    setWindowTitle(kInitCaption);
    setFont(ui::designFont(ui::kPGothicFont, 12));
    setFixedSize(kClientWidth, kClientHeight);

    pctInit = named(new QTabWidget(this), "pctInit");
    pctInit->setGeometry(4, 4, kClientWidth - 8, 280);
    buildApplicationTab();
    buildRegisterTab();
    buildSoundTab();
    buildStatusTab();
    buildWallpaperTab();
    buildOptionTab();
    buildFunctionTab();
    for (QGroupBox* group : pctInit->findChildren<QGroupBox*>())
        fitContentsUnderTitle(group);
    pctInit->setCurrentIndex(0);

    btnOk = named(new QPushButton(QStringLiteral("OK"), this), "btnOk");
    btnOk->setGeometry(kClientWidth - 170, 290, 80, 25);
    btnOk->setDefault(true);
    btnCancel = named(new QPushButton(QStringLiteral("キャンセル"), this), "btnCancel");
    btnCancel->setGeometry(kClientWidth - 84, 290, 80, 25);
    btnCancel->setAutoDefault(false);
    connect(btnOk, &QPushButton::clicked, this, &TfrmInit::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmInit::btnCancelClick);

    FormCreate();
}

void TfrmInit::buildApplicationTab() {
    tabApl = page(pctInit, "tabApl", QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝ"));
    gbxApplication = group(tabApl, "gbxApplication", QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝ"), QRect(6, 6, 452, 168));
    QWidget* g = gbxApplication;
    lblPrm = label(g, "lblPrm", QStringLiteral("ｵﾌﾟｼｮﾝ"), 336, 16);
    btnSetMmlcmp = button(g, "btnSetMmlcmp", QString(), 10, 38, 100);
    edtSetMmlcmp = edit(g, "edtSetMmlcmp", 116, 38, 214);
    btnSetEditor = button(g, "btnSetEditor", QStringLiteral("ｴﾃﾞｨﾀｰ(&E)"), 10, 66, 100);
    edtSetEditor = edit(g, "edtSetEditor", 116, 66, 214);
    edtPrmEditor = edit(g, "edtPrmEditor", 336, 66, 106);
    btnSetPlayer = button(g, "btnSetPlayer", QStringLiteral("ﾌﾟﾚｲﾔｰ(&P)"), 10, 94, 100);
    edtSetPlayer = edit(g, "edtSetPlayer", 116, 94, 214);
    edtPrmPlayer = edit(g, "edtPrmPlayer", 336, 94, 106);
    chkPlay = check(g, "chkPlay", QStringLiteral("ZEKのﾌﾟﾚｲﾔｰを使用(&A)"), 12, 124,
                    QStringLiteral("ZEK 本体付属のプレイヤーを使用する事ができます。"));
    chkCopy = check(g, "chkCopy", QStringLiteral("ﾌﾟﾚｲﾔｰにはｺﾋﾟｰしたMIDﾌｧｲﾙで演奏(&C)"), 12, 124 + kRow,
                    QStringLiteral("MID ファイルを一旦テンポラリフォルダにコピーしてからプレイヤーにて演奏を開始します。"));
    connect(btnSetMmlcmp, &QPushButton::clicked, this, &TfrmInit::btnSetMmlcmpClick);
    connect(btnSetEditor, &QPushButton::clicked, this, &TfrmInit::btnSetEditorClick);
    connect(btnSetPlayer, &QPushButton::clicked, this, &TfrmInit::btnSetPlayerClick);
    connect(chkPlay, &QCheckBox::clicked, this, &TfrmInit::chkPlayClick);
    connect(chkCopy, &QCheckBox::clicked, this, &TfrmInit::chkPlayClick);
}

void TfrmInit::buildRegisterTab() {
    tabSet = page(pctInit, "tabSet", QStringLiteral("登録"));
    gbxDir = group(tabSet, "gbxDir", QStringLiteral("ﾌｫﾙﾀﾞ"), QRect(6, 6, 452, 56));
    lblOutFile = label(gbxDir, "lblOutFile", QStringLiteral("MIDﾌｧｲﾙ出力 :"), 12, 24);
    edtDirOutFile = edit(gbxDir, "edtDirOutFile", 116, 24, 326,
                         QStringLiteral("指定しないとソースファイルと同じフォルダに出力します。"));
    lblOutFile->setBuddy(edtDirOutFile);
    gbxEnv = group(tabSet, "gbxEnv", QStringLiteral("環境変数"), QRect(6, 70, 452, 56));
    lblEnvSmcInclude = label(gbxEnv, "lblEnvSmcInclude", QStringLiteral("SMC_INCLUDE :"), 12, 24);
    edtEnvSmcInclude = edit(gbxEnv, "edtEnvSmcInclude", 116, 24, 326,
                            QStringLiteral("環境変数 SMC_INCLUDE の設定を行います。"));
    lblEnvSmcInclude->setBuddy(edtEnvSmcInclude);
}

void TfrmInit::buildSoundTab() {
    tabSound = page(pctInit, "tabSound", QStringLiteral("ｻｳﾝﾄﾞ"));
    chkWave = check(tabSound, "chkWave", QStringLiteral("Waveﾌｧｲﾙを使用する(&W)"), 12, 8);
    gbxWave = group(tabSound, "gbxWave", QStringLiteral("Waveﾌｧｲﾙ"), QRect(6, 32, 452, 86));
    lblWaveNormal = label(gbxWave, "lblWaveNormal", QStringLiteral("ｺﾝﾊﾟｲﾙ正常終了(&N) :"), 12, 24);
    edtWaveNormal = edit(gbxWave, "edtWaveNormal", 136, 24, 236);
    btnWaveNormal = button(gbxWave, "btnWaveNormal", kBrowse, 378, 24, 64);
    lblWaveNormal->setBuddy(edtWaveNormal);
    lblWaveError = label(gbxWave, "lblWaveError", QStringLiteral("ｺﾝﾊﾟｲﾙ異常終了(&E) :"), 12, 54);
    edtWaveError = edit(gbxWave, "edtWaveError", 136, 54, 236);
    btnWaveError = button(gbxWave, "btnWaveError", kBrowse, 378, 54, 64);
    lblWaveError->setBuddy(edtWaveError);
    connect(chkWave, &QCheckBox::clicked, this, &TfrmInit::chkWaveClick);
    connect(btnWaveNormal, &QPushButton::clicked, this, &TfrmInit::btnWaveNormalClick);
    connect(btnWaveError, &QPushButton::clicked, this, &TfrmInit::btnWaveErrorClick);
}

void TfrmInit::buildStatusTab() {
    tabStatus = page(pctInit, "tabStatus", QStringLiteral("機能"));
    gbxTimer = group(tabStatus, "gbxTimer", QStringLiteral("ﾀｲﾏｰ"), QRect(6, 4, 452, 52),
                     QStringLiteral("コンパイルを強制的に中断するタイマーの設定を行います。"));
    lblTimerExit = label(gbxTimer, "lblTimerExit", QStringLiteral("強制中断ﾀｲﾏｰ(&T) :"), 12, 22);
    edtTimerExit = edit(gbxTimer, "edtTimerExit", 136, 22, 40);
    updTimerExit = named(new ui::UpDown(edtTimerExit, 0, 60, gbxTimer), "updTimerExit");
    lblTimerExitUnit = label(gbxTimer, "lblTimerExitUnit", kSecondsUnit, 198, 22);
    lblTimerExit->setBuddy(edtTimerExit);
    connect(updTimerExit, &ui::UpDown::arrowClicked, this, [this] { UpDownClick(updTimerExit); });

    gbxShortCut = group(tabStatus, "gbxShortCut", QStringLiteral("ｼｮｰﾄｶｯﾄ"), QRect(6, 60, 452, 84),
                        QStringLiteral("ZEK のショートカットを作成／削除を行います。"));
    btnSend = button(gbxShortCut, "btnSend", QStringLiteral("「送る」にZEKのｼｮｰﾄｶｯﾄを作成/削除する(&S)"), 12, 22,
                     428);
    btnDesk = button(gbxShortCut, "btnDesk", QStringLiteral("「ﾃﾞｽｸﾄｯﾌﾟ」にZEKのｼｮｰﾄｶｯﾄを作成/削除する(&D)"), 12,
                     52, 428);
    connect(btnSend, &QPushButton::clicked, this, &TfrmInit::btnSendClick);
    connect(btnDesk, &QPushButton::clicked, this, &TfrmInit::btnDeskClick);

    gbxExt = group(tabStatus, "gbxExt", QStringLiteral("関連付け"), QRect(6, 148, 452, 84),
                   QStringLiteral("ソースファイルと ZEK の関連付けを行います。"));
    lblExt1 = label(gbxExt, "lblExt1", QStringLiteral("ｿｰｽﾌｧｲﾙを"), 12, 22);
    cbxFext = dropDown(gbxExt, "cbxFext",
                       {QStringLiteral("ZEK"), QStringLiteral("ｴﾃﾞｨﾀｰ"), QStringLiteral("ZEK と ｴﾃﾞｨﾀｰ")},
                       lblExt1->geometry().right() + 6, 22, 130);
    lblExt2 = label(gbxExt, "lblExt2", QStringLiteral("と関連付ける(&A)"), cbxFext->geometry().right() + 6, 22);
    lblExt2->setBuddy(cbxFext);
    btnFext = button(gbxExt, "btnFext", QStringLiteral("実行(&E)"), 362, 22, 78);
    chkEmin = check(gbxExt, "chkEmin", QStringLiteral("ｴﾃﾞｨﾀｰと関連付けた場合はZEKの初期起動時は最小化とする(&M)"),
                    12, 54);
    connect(btnFext, &QPushButton::clicked, this, &TfrmInit::btnFextClick);
}

void TfrmInit::buildWallpaperTab() {
    tabWall = page(pctInit, "tabWall", QStringLiteral("壁紙"));
    chkWall = check(tabWall, "chkWall", QStringLiteral("壁紙を使用する(&W)"), 12, 8);
    gbxWall = group(tabWall, "gbxWall", QStringLiteral("壁紙"), QRect(6, 32, 452, 146));
    lblWall = label(gbxWall, "lblWall", QStringLiteral("画像ﾌｧｲﾙ(&F) :"), 12, 24);
    edtWall = edit(gbxWall, "edtWall", 116, 24, 256, QStringLiteral("壁紙として表示する画像ファイルの登録を行います。"));
    btnWall = button(gbxWall, "btnWall", kBrowse, 378, 24, 64);
    lblWall->setBuddy(edtWall);
    lblTimerWall = label(gbxWall, "lblTimerWall", QStringLiteral("表示ﾀｲﾏｰ(&T) :"), 12, 54);
    edtTimerWall = edit(gbxWall, "edtTimerWall", 116, 54, 48,
                        QStringLiteral("壁紙が表示されるまでのタイマーの設定を行います。"));
    updTimerWall = named(new ui::UpDown(edtTimerWall, 1, 600, gbxWall), "updTimerWall");
    updTimerWall->setToolTip(edtTimerWall->toolTip());
    lblTimerWallUnit = label(gbxWall, "lblTimerWallUnit", kSecondsUnit, 186, 54);
    lblTimerWall->setBuddy(edtTimerWall);
    chkCent = check(gbxWall, "chkCent", QStringLiteral("壁紙のｾﾝﾀﾘﾝｸﾞ(&C)"), 12, 82,
                    QStringLiteral("壁紙をセンタリングして表示します。"));
    chkSize = check(gbxWall, "chkSize", QStringLiteral("壁紙ｻｲｽﾞの調整(&D)"), 12, 82 + kRow,
                    QStringLiteral("壁紙のサイズを ZEK のサイズに調整します。"));
    chkRand = check(gbxWall, "chkRand", QStringLiteral("同一ﾌｫﾙﾀﾞ内の画像をﾗﾝﾀﾞﾑで表示(&R)"), 12, 82 + 2 * kRow,
                    QStringLiteral("指定した画像ファイルと同一のフォルダにある同じ拡張子の画像ファイルの中から、"
                                   "ランダムで壁紙に使用されます。"));
    connect(chkWall, &QCheckBox::clicked, this, &TfrmInit::chkWallClick);
    connect(btnWall, &QPushButton::clicked, this, &TfrmInit::btnWallClick);
    connect(updTimerWall, &ui::UpDown::arrowClicked, this, [this] { UpDownClick(updTimerWall); });
}

void TfrmInit::buildOptionTab() {
    constexpr int kPitch = 17;
    tabOption = page(pctInit, "tabOption", QStringLiteral("ｵﾌﾟｼｮﾝ"));
    gbxOption = group(tabOption, "gbxOption", QStringLiteral("ｺﾝﾊﾟｲﾗのｵﾌﾟｼｮﾝ"), QRect(4, 2, 250, 150));
    edtOption = edit(gbxOption, "edtOption", 8, 18, 234);
    connect(edtOption, &QLineEdit::textChanged, this, &TfrmInit::edtOptionChange);

    gbxSpice = group(gbxOption, "gbxSpice", QStringLiteral("SMC"), QRect(6, 42, 238, 104));
    chkPC = check(gbxSpice, "chkPC", QStringLiteral("ｸﾛｯｸ数表示(&C)"), 8, 16,
                  QStringLiteral("各トラックの所要クロック数をmc単位で出力します。"));
    chkPS = check(gbxSpice, "chkPS", QStringLiteral("ﾁｪｯｸｻﾑ表示(&S)"), 8, 16 + kPitch,
                  QStringLiteral("チェックサムを表示します。"));
    chkV = check(gbxSpice, "chkV", QStringLiteral("ﾊﾞｰﾎﾞ-ｽﾞﾓｰﾄﾞ(&V)"), 8, 16 + 2 * kPitch,
                 QStringLiteral("コンパイル過程を表示します。"));
    chkV->setEnabled(false);

    gbxMml2mid = group(gbxOption, "gbxMml2mid", QStringLiteral("MML2MID"), QRect(6, 42, 238, 104));
    chkFormat0 = check(gbxMml2mid, "chkFormat0", QStringLiteral("FORMAT0のﾌｧｲﾙを出力する(&F)"), 8, 16);
    chkOctave = check(gbxMml2mid, "chkOctave", QStringLiteral("ｵｸﾀｰﾌﾞの上げ下げの効果を逆にする(&X)"), 8, 16 + kPitch);
    chkVelocity = check(gbxMml2mid, "chkVelocity", QStringLiteral("ﾍﾞﾛｼﾃｨの上げ下げの効果を逆にする(&V)"), 8,
                        16 + 2 * kPitch);
    chkMsKanji = check(gbxMml2mid, "chkMsKanji", QStringLiteral("文字列はMS漢字ｺｰﾄﾞではない(&M)"), 8, 16 + 3 * kPitch);
    chkWarning = check(gbxMml2mid, "chkWarning", QStringLiteral("ｴﾗｰを警告としてｺﾝﾊﾟｲﾙを実行する(&W)"), 8,
                       16 + 4 * kPitch);
    for (QCheckBox* box : {chkPC, chkPS, chkV, chkFormat0, chkOctave, chkVelocity, chkMsKanji, chkWarning})
        connect(box, &QCheckBox::clicked, this, &TfrmInit::chkClick);

    gbxAuto = group(tabOption, "gbxAuto", QStringLiteral("自動処理ｵﾌﾟｼｮﾝ"), QRect(4, 154, 250, 94));
    chkAuto = check(gbxAuto, "chkAuto", QStringLiteral("自動ｺﾝﾊﾟｲﾙ開始(&A)"), 8, 16,
                    QStringLiteral("起動時またはドラッグ＆ドロップ等で SMC(MML) ファイルを指定された場合に、"
                                   "自動でコンパイルが開始されます。"));
    chkNext = check(gbxAuto, "chkNext", QStringLiteral("自動ﾌﾟﾚｲﾔｰ起動(&P)"), 8, 16 + kPitch,
                    QStringLiteral("コンパイルに成功した場合に、自動でプレイヤーを起動させます。"));
    chkShow = check(gbxAuto, "chkShow", QStringLiteral("自動ﾌｫｰｶｽ遷移(&O)"), 8, 16 + 2 * kPitch,
                    QStringLiteral("エディターやプレイヤーまたは ZEK に自動でフォーカスを遷移させます。"));
    chkQuit = check(gbxAuto, "chkQuit", QStringLiteral("自動終了(&Q)"), 8, 16 + 3 * kPitch,
                    QStringLiteral("コンパイルが正常に終了したら自動で ZEK が終了します。"));

    gbxZek = group(tabOption, "gbxZek", QStringLiteral("ZEKのｵﾌﾟｼｮﾝ"), QRect(258, 2, 202, 246));
    struct Box {
        QCheckBox** member;
        const char* name;
        QString caption;
        QString hint;
    };
    const Box boxes[] = {
        {&chkDate, "chkDate", QStringLiteral("ﾌｧｲﾙ更新日時を意識(&D)"),
         QStringLiteral("SMC(MML) ファイルと MID ファイルの更新日時の比較を行い、MID ファイルのが新しい日時の場合は"
                        "コンパイルは行いません。")},
        {&chkExtr, "chkExtr", QStringLiteral("ﾌｧｲﾙ拡張子を意識(&E)"),
         QStringLiteral("指定されたファイルの拡張子が .SMC または .DSM 以外の場合はコンパイルは行いません。 "
                        "MID2MML の場合は .MML になります。")},
        {&chkMini, "chkMini", QStringLiteral("ｳｨﾝﾄﾞｳを小型化(&M)"), QStringLiteral("ZEK のウィンドウを縦方向に縮小します。")},
        {&chkSnap, "chkSnap", QStringLiteral("画面端にｽﾅｯﾌﾟ(&N)"),
         QStringLiteral("画面の端側にウィンドウを移動させると、自動的に画面の端にあわせて移動します。")},
        {&chkStay, "chkStay", QStringLiteral("常に最前面(&T)"), QStringLiteral("ZEK のフォームを常に最前面に表示させます。")},
        {&chkOoji, "chkOoji", QStringLiteral("MIDﾌｧｲﾙ名を大文字で出力(&B)"),
         QStringLiteral("コンパイル後に作成される MID ファイルを全て大文字で出力します。")},
        {&chkUpdt, "chkUpdt", QStringLiteral("ﾌｧｲﾙ更新日時を監視(&U)"),
         QStringLiteral("SMC(MML) ファイルの更新日時の監視を行い、更新日時が変化した場合は、自動でコンパイルが"
                        "開始されます。")},
        {&chkTray, "chkTray", QStringLiteral("最小化時ﾀｽｸﾊﾞｰに非表示(&Y)"),
         QStringLiteral("ZEK を最小化した場合に、タスクバー上の表示を消すことができます。")},
        {&chkRsiz, "chkRsiz", QStringLiteral("ｺﾝﾊﾟｲﾙ時ZEKのｻｲｽﾞを戻す(&R)"),
         QStringLiteral("ZEK の最小化時にコンパイルを実行すると、ZEK のサイズが元に戻ります。")},
        {&chkErrf, "chkErrf", QStringLiteral("ｺﾝﾊﾟｲﾙｴﾗｰ時ﾌｫｰﾑを前面(&E)"), QString()},
        {&chkSstp, "chkSstp", QStringLiteral("SSTPを使用する(&A)"), QStringLiteral("SSTP の使用有無を設定します。")},
    };
    int y = 16;
    for (const Box& b : boxes) {
        *b.member = check(gbxZek, b.name, b.caption, 8, y, b.hint);
        y += 20;
    }
    chkMini->setEnabled(false);
    chkErrf->setEnabled(false);
}

void TfrmInit::buildFunctionTab() {
    tabFunction = page(pctInit, "tabFunction", QStringLiteral("ﾌｧﾝｸｼｮﾝ"));
    gbxFunction = group(tabFunction, "gbxFunction", QStringLiteral("ﾌｧﾝｸｼｮﾝ"), QRect(6, 6, 452, 164));
    struct Row {
        QLabel** labelMember;
        const char* labelName;
        QString caption;
        QComboBox** comboMember;
        const char* comboName;
        bool withEsc;
    };
    const Row rows[] = {
        {&lblEsc, "lblEsc", QStringLiteral("戻る(&R) :"), &cbxEsc, "cbxEsc", true},
        {&lblTag, "lblTag", QStringLiteral("ｴﾃﾞｨﾀｰに返す(&E) :"), &cbxTag, "cbxTag", false},
        {&lblSmc, "lblSmc", QStringLiteral("ｺﾝﾊﾟｲﾙ実行(&S) :"), &cbxSmc, "cbxSmc", false},
        {&lblRun, "lblRun", QStringLiteral("ﾌﾟﾚｲﾔｰ起動(&P) :"), &cbxRun, "cbxRun", false},
    };
    int y = 22;
    for (const Row& r : rows) {
        *r.labelMember = label(gbxFunction, r.labelName, r.caption, 12, y);
        *r.comboMember = dropDown(gbxFunction, r.comboName, functionKeyItems(r.withEsc), 136, y, 80);
        (*r.labelMember)->setBuddy(*r.comboMember);
        y += 28;
    }
    cbxEsc->setEnabled(false);
    chkFunc = check(gbxFunction, "chkFunc", QStringLiteral("ﾌｧﾝｸｼｮﾝのﾎﾞﾀﾝは表示させない(&B)"), 12, y + 4);
    chkFunc->setEnabled(false);
}

// --- Filling and taking ---------------------------------------------------------

void TfrmInit::FormCreate() {
    ui::PlaceOverOwner(this, parentWidget());
    Settings fresh;
    store_.load(fresh);
    kind_ = fresh.compiler;
    showCompilerKind();
    fillFrom(fresh);
    chkPlayClick();
    chkWaveClick();
    chkWallClick();
}

void TfrmInit::showCompilerKind() {
    const compile::CompilerKindInfo& info = compile::compilerKindInfo(kind_);
    btnSetMmlcmp->setText(info.pathButtonCaption);
    optionGroup_ = info.optionGroup;
    gbxSpice->setVisible(optionGroup_ == OptionGroup::Spice);
    gbxMml2mid->setVisible(optionGroup_ == OptionGroup::Mml2mid);
    gbxEnv->setVisible(info.includeVariable);
    edtOption->setEnabled(!info.inProcess);
}

void TfrmInit::forEachShownField(const std::function<void(const SettingsField&, const QString&)>& visit) const {
    for (const SettingsField& f : settingsFields())
        if (f.conversion != C::None && (f.compilerKind < 0 || f.compilerKind == kind_))
            visit(f, QString::fromLatin1(f.control));
}

void TfrmInit::fillFrom(const Settings& s) {
    forEachShownField([this, &s](const SettingsField& f, const QString& name) {
        switch (f.conversion) {
        case C::CheckBox:
            findChild<QCheckBox*>(name)->setChecked(s.*f.integer == 1);
            break;
        case C::EditBox:
            findChild<QLineEdit*>(name)->setText(s.*f.text);
            break;
        case C::UpDown:
            findChild<ui::UpDown*>(name)->setPosition(s.*f.integer);
            break;
        case C::FunctionKey: {
            auto* combo = findChild<QComboBox*>(name);
            combo->setCurrentIndex(functionKeyIndex(s.*f.integer, combo->count()));
            break;
        }
        case C::ShownChoice: {
            auto* combo = findChild<QComboBox*>(name);
            const int value = s.*f.integer;
            combo->setCurrentIndex(value >= 0 && value < combo->count() ? value : -1);
            break;
        }
        case C::None:
            break;
        }
    });
}

void TfrmInit::takeInto(Settings& s) const {
    forEachShownField([this, &s](const SettingsField& f, const QString& name) {
        switch (f.conversion) {
        case C::CheckBox:
            s.*f.integer = findChild<QCheckBox*>(name)->isChecked() ? 1 : 0;
            break;
        case C::EditBox:
            s.*f.text = findChild<QLineEdit*>(name)->text();
            break;
        case C::UpDown:
            s.*f.integer = findChild<ui::UpDown*>(name)->position();
            break;
        case C::FunctionKey:
            s.*f.integer = functionKeyValue(findChild<QComboBox*>(name)->currentIndex());
            break;
        case C::ShownChoice:  // stored only by the association itself
        case C::None:
            break;
        }
    });
    s.diroutfile = withTrailingSeparator(s.diroutfile);
}

int TfrmInit::fextIndex() const { return cbxFext->currentIndex(); }
QString TfrmInit::fextText() const { return cbxFext->currentText(); }

// --- OK and Cancel --------------------------------------------------------------

void TfrmInit::btnOkClick() {
    Settings fresh;
    store_.load(fresh);
    takeInto(fresh);
    store_.save(fresh);
    accept();
}

void TfrmInit::btnCancelClick() { reject(); }

// --- Enabling rules ---------------------------------------------------------------

void TfrmInit::chkPlayClick() {
    enableBoxes({btnSetPlayer, edtSetPlayer, edtPrmPlayer}, {}, !chkPlay->isChecked());
}

void TfrmInit::chkWaveClick() {
    enableBoxes({lblWaveNormal, edtWaveNormal, btnWaveNormal, lblWaveError, edtWaveError, btnWaveError},
                {edtWaveNormal, edtWaveError}, chkWave->isChecked());
}

void TfrmInit::chkWallClick() {
    enableBoxes({lblWall, edtWall, btnWall, lblTimerWall, edtTimerWall, updTimerWall, chkCent, chkSize, chkRand},
                {edtWall, edtTimerWall}, chkWall->isChecked());
}

void TfrmInit::UpDownClick(ui::UpDown* sender) { sender->buddy()->setFocus(); }

// --- The option text and its boxes --------------------------------------------------

QList<QCheckBox*> TfrmInit::optionBoxes() const {
    switch (optionGroup_) {
    case OptionGroup::Spice:
        return {chkPC, chkPS, chkV};
    case OptionGroup::Mml2mid:
        return {chkFormat0, chkOctave, chkVelocity, chkMsKanji, chkWarning};
    case OptionGroup::None:
        break;
    }
    return {};
}

QList<bool> TfrmInit::optionBoxStates() const {
    QList<bool> states;
    for (const QCheckBox* box : optionBoxes())
        states << box->isChecked();
    return states;
}

void TfrmInit::setOptionText(const QString& text) {
    if (edtOption->text() == text)
        return;
    optionUpdating_ = true;
    edtOption->setText(text);
    optionUpdating_ = false;
}

void TfrmInit::edtOptionChange() {
    if (optionUpdating_)
        return;
    const OptionView view = afterOptionTextChange(optionGroup_, edtOption->text(), optionBoxStates());
    const QList<QCheckBox*> boxes = optionBoxes();
    for (qsizetype i = 0; i < boxes.size(); ++i)
        boxes[i]->setChecked(view.boxes[i]);
    setOptionText(view.text);
}

void TfrmInit::chkClick() { setOptionText(rebuiltOptionText(optionGroup_, optionBoxStates())); }

// --- Browse buttons -----------------------------------------------------------------

bool TfrmInit::browse(QLineEdit* edit, const QString& title, const QString& filter, bool picture) {
    const QString chosen = ui::chooseOpenFile(this, picture ? QStringLiteral("dlgImage") : QStringLiteral("dlgOpen"),
                                              title, filter, edit->text(), picture);
    if (chosen.isEmpty())
        return false;
    edit->setText(chosen);
    return true;
}

void TfrmInit::btnSetMmlcmpClick() {
    const compile::CompilerKindInfo& info = compile::compilerKindInfo(kind_);
    browse(edtSetMmlcmp, info.pathDialogTitle, info.pathDialogFilter);
}

void TfrmInit::btnSetEditorClick() {
    browse(edtSetEditor, QStringLiteral("ｴﾃﾞｨﾀｰ登録"), QStringLiteral("ﾃｷｽﾄｴﾃﾞｨﾀｰ (*.EXE)|*.EXE"));
}

void TfrmInit::btnSetPlayerClick() {
    if (browse(edtSetPlayer, QStringLiteral("ﾌﾟﾚｲﾔｰ登録"), QStringLiteral("MIDIﾌﾟﾚｲﾔｰ (*.EXE)|*.EXE")))
        edtPrmPlayer->setText(playerParametersAfterChoice(edtPrmPlayer->text(), edtSetPlayer->text()));
}

void TfrmInit::btnWaveNormalClick() {
    browse(edtWaveNormal, QStringLiteral("Waveﾌｧｲﾙ選択"), QStringLiteral("ｻｳﾝﾄﾞﾌｧｲﾙ(*.WAV)|*.WAV"));
}

void TfrmInit::btnWaveErrorClick() {
    browse(edtWaveError, QStringLiteral("Waveﾌｧｲﾙ選択"), QStringLiteral("ｻｳﾝﾄﾞﾌｧｲﾙ(*.WAV)|*.WAV"));
}

void TfrmInit::btnWallClick() {
    browse(edtWall, QStringLiteral("壁紙選択"),
           QStringLiteral("ｲﾒｰｼﾞﾌｧｲﾙ(*.BMP;*.JPG;*.JPEG)|*.BMP;*.JPG;*.JPEG"), true);
}

// --- Shortcuts and association ------------------------------------------------------

void TfrmInit::setShortcutPaths(const QString& sendTo, const QString& desktop) {
    shortcutSendTo_ = sendTo;
    shortcutDesktop_ = desktop;
}

void TfrmInit::btnSendClick() {
    ToggleShortcut(ShortcutPlace::SendTo, shortcutSendTo_, platform::programPath(), shellHost_,
                   platform::shortcutLibrary());
}

void TfrmInit::btnDeskClick() {
    ToggleShortcut(ShortcutPlace::Desktop, shortcutDesktop_, platform::programPath(), shellHost_,
                   platform::shortcutLibrary());
}

void TfrmInit::btnFextClick() {
    WriteAssociation(kind_, fextIndex(), fextText(), platform::programPath(), store_, shellHost_);
}

}  // namespace zek::settings
