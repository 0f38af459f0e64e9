#include "app/Untmain.h"

#include "app/FileDrop.h"
#include "app/MainWallpaper.h"
#include "app/MainSettingsHost.h"
#include "app/MinimiseHooks.h"
#include "app/SeekBar.h"
#include "app/TrayIcon.h"
#include "app/WindowGeometry.h"
#include "compile/CompilerTable.h"
#include "compile/EditorHandoff.h"
#include "compile/FolderTree.h"
#include "compile/ShellOpen.h"
#include "compile/Staging.h"
#include "notify/Sstp.h"
#include "notify/SstpScripts.h"
#include "platform/FileStamp.h"
#include "platform/PrivateDir.h"
#include "settings/OldInstallation.h"
#include "settings/RecentFiles.h"
#include "settings/SettingsCommands.h"
#include "settings/SettingsStore.h"
#include "settings/ShellShortcuts.h"
#include "ui/EditBoxes.h"
#include "ui/FileDialogs.h"
#include "ui/Fonts.h"
#include "ui/FunctionKeys.h"
#include "ui/OutputMemo.h"
#include "ui/ToolGlyphs.h"
#include "ui/Untmsg.h"
#include "ui/Untver.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

namespace zek::app {

bool handoffGuard = false;
bool firstPaintDone = false;

namespace {

// The difference between the design outer and client sizes.
constexpr int kFrameExtraWidth = TfrmMain::kDesignOuterWidth - TfrmMain::kDesignClientWidth;
constexpr int kFrameExtraHeight = TfrmMain::kDesignOuterHeight - TfrmMain::kDesignClientHeight;

// The project's own home page, opened by the Help menu.
const QString kHomePage = QStringLiteral("https://github.com/zek-mml/zek");

const QString kAskWindowSize = QStringLiteral("ｳｨﾝﾄﾞｳｻｲｽﾞを初期ｻｲｽﾞに戻します。\nよろしいですか？");
const QString kAskOpenRecent = QStringLiteral("選択したﾌｧｲﾙをｴﾃﾞｨﾀｰで開きますか？");

// The folder of a source name for a dialog or the file manager; a bare name
// lies in the current folder.
QString folderOrCurrent(const QString& source) {
    const QString folder = compile::FolderPart(source);
    return folder.isEmpty() ? QStringLiteral(".") : folder;
}

QAction* addItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

QToolButton* speedButton(QWidget* parent, const char* name, ui::ToolGlyph glyph) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setIcon(ui::toolGlyph(glyph));
    b->setIconSize(QSize(20, 18));
    b->resize(TfrmMain::kButtonSize, TfrmMain::kButtonSize);
    return b;
}

QLineEdit* editBox(QWidget* parent, const char* name, const QString& hint, int width) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setToolTip(hint);
    e->resize(width, 22);
    ui::liftLengthLimit(e);  // texts reach the compiler whole
    return e;
}

}  // namespace

TfrmMain::TfrmMain(HandoffBlock& block, QString programFolder, QWidget* parent)
    : QWidget(parent),
      block_(block),
      programFolder_(std::move(programFolder)),
      job_(settings, *this),
      playback_(settings, *this),
      wallpaper_(std::make_unique<MainWallpaper>(*this, block)),
      settingsHost_(std::make_unique<MainSettingsHost>(*this)),
      settingsCommands_(std::make_unique<settings::SettingsCommands>(
          settings, settings::SettingsStore(programFolder_), *settingsHost_)) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kMainCaption);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(ui::designFont(ui::kGothicFont, 11));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(212, 208, 200));
    setPalette(pal);

    buildMenus();
    buildToolBars();
    timTimer = new QTimer(this);
    timTimer->setObjectName(QStringLiteral("timTimer"));
    timTimer->setInterval(100);
    // Queued: a Qt timer does not fire again while its own handler runs, so a
    // tick that opens a message box would stop the tick until it closes.
    connect(timTimer, &QTimer::timeout, this, &TfrmMain::timTimerTimer, Qt::QueuedConnection);

    resize(kDesignClientWidth, kDesignClientHeight + menuBarHeight());
    qApp->installEventFilter(this);
    FormCreate();
    timTimer->start();
}

TfrmMain::~TfrmMain() {
    FormDestroy();
    qApp->removeEventFilter(this);
}

void TfrmMain::buildMenus() {
    mnuMain = new QMenuBar(this);
    QMenuBar* bar = mnuMain;
    bar->setObjectName(QStringLiteral("mnuMain"));
    bar->setFont(QApplication::font());

    mnuFile = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuSelect = addItem(mnuFile, "mnuSelect", QStringLiteral("ｿｰｽﾌｧｲﾙを選択する(&O)..."));
    mnuSelect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuNowFileEdit = addItem(mnuFile, "mnuNowFileEdit", QStringLiteral("ｿｰｽﾌｧｲﾙをｴﾃﾞｨﾀｰで開く(&S)"));
    mnuExplorer = addItem(mnuFile, "mnuExplorer", QStringLiteral("ｿｰｽﾌｧｲﾙのﾌｫﾙﾀﾞをｴｸｽﾌﾟﾛｰﾗで開く(&E)"));
    mnuN12 = mnuFile->addSeparator();
    mnuN12->setObjectName(QStringLiteral("mnuN12"));
    for (int i = 0; i < settings::kRecentFiles; ++i) {
        QAction* a = mnuFile->addAction(QString());
        a->setObjectName(QStringLiteral("mnuLastFile%1").arg(i));
        a->setVisible(false);
        connect(a, &QAction::triggered, this, [this, i] { mnuLastFileClick(i); });
        mnuLastFile[static_cast<size_t>(i)] = a;
    }
    mnuN13 = mnuFile->addSeparator();
    mnuN13->setObjectName(QStringLiteral("mnuN13"));
    mnuExit = addItem(mnuFile, "mnuExit", QStringLiteral("終了(&X)"));

    mnuSupport = bar->addMenu(QStringLiteral("ｺﾏﾝﾄﾞ(&C)"));
    mnuSupport->setObjectName(QStringLiteral("mnuSupport"));
    mnuRet = addItem(mnuSupport, "mnuRet", QStringLiteral("戻る"));
    mnuTag = addItem(mnuSupport, "mnuTag", QStringLiteral("ｴﾃﾞｨﾀｰに返す"));
    mnuSmc = addItem(mnuSupport, "mnuSmc", QStringLiteral("ｺﾝﾊﾟｲﾙ実行"));
    mnuRun = addItem(mnuSupport, "mnuRun", QStringLiteral("ﾌﾟﾚｲﾔｰ起動"));

    mnuConfig = bar->addMenu(QStringLiteral("設定(&I)"));
    mnuConfig->setObjectName(QStringLiteral("mnuConfig"));
    mnuInit = addItem(mnuConfig, "mnuInit", QStringLiteral("詳細設定(&E)"));
    mnuWindowSize = addItem(mnuConfig, "mnuWindowSize", QStringLiteral("ｳｨﾝﾄﾞｳｻｲｽﾞ復帰(&S)"));
    mnuCompiler = mnuConfig->addMenu(QStringLiteral("ｺﾝﾊﾟﾗ変更(&C)"));
    mnuCompiler->setObjectName(QStringLiteral("mnuCompiler"));
    const char* compilerNames[] = {"mnuSpice", "mnuMml2mid", "mnucSakura", "mnudSakura"};
    for (int kind = 0; kind < compile::kCompilerKindCount; ++kind) {
        const QString caption = compile::compilerKindInfo(kind).menuCaption;
        QAction* a = addItem(mnuCompiler, compilerNames[kind], caption);
        a->setToolTip(caption);
        a->setStatusTip(caption);
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, kind] { mnuCompilerClick(kind); });
        mnuCompilers[static_cast<size_t>(kind)] = a;
    }

    mnuHelp = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuReadme = addItem(mnuHelp, "mnuReadme", QStringLiteral("README表示(&M)"));
    mnuWWW = addItem(mnuHelp, "mnuWWW", QStringLiteral("TALMOのﾎｰﾑﾍﾟｰｼﾞ(&W)"));
    mnuVer = addItem(mnuHelp, "mnuVer", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)..."));

    pumTray = new QMenu(this);
    pumTray->setObjectName(QStringLiteral("pumTray"));
    mnuRestore = addItem(pumTray, "mnuRestore", QStringLiteral("元のｻｲｽﾞに戻す(&R)"));
    mnuTrayRun = addItem(pumTray, "mnuTrayRun", QStringLiteral("ﾌﾟﾚｲﾔｰ起動(&P)"));
    pumExit = addItem(pumTray, "pumExit", QStringLiteral("終了(&X)"));

    connect(mnuSelect, &QAction::triggered, this, &TfrmMain::mnuSelectClick);
    connect(mnuNowFileEdit, &QAction::triggered, this, &TfrmMain::mnuNowFileEditClick);
    connect(mnuExplorer, &QAction::triggered, this, &TfrmMain::mnuExplorerClick);
    connect(mnuExit, &QAction::triggered, this, &TfrmMain::mnuExitClick);
    connect(mnuRet, &QAction::triggered, this, &TfrmMain::mnuRetClick);
    connect(mnuTag, &QAction::triggered, this, &TfrmMain::mnuTagClick);
    connect(mnuSmc, &QAction::triggered, this, &TfrmMain::mnuSmcClick);
    connect(mnuRun, &QAction::triggered, this, &TfrmMain::mnuRunClick);
    connect(mnuInit, &QAction::triggered, this, &TfrmMain::mnuInitClick);
    connect(mnuWindowSize, &QAction::triggered, this, &TfrmMain::mnuWindowSizeClick);
    connect(mnuReadme, &QAction::triggered, this, &TfrmMain::mnuReadmeClick);
    connect(mnuWWW, &QAction::triggered, this, &TfrmMain::mnuWWWClick);
    connect(mnuVer, &QAction::triggered, this, &TfrmMain::mnuVerClick);
    connect(mnuRestore, &QAction::triggered, this, &TfrmMain::mnuRestoreClick);
    connect(mnuTrayRun, &QAction::triggered, this, &TfrmMain::mnuRunClick);
    connect(pumExit, &QAction::triggered, this, &TfrmMain::pumExitClick);
}

void TfrmMain::buildToolBars() {
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));

    tolMain = new QWidget(client);
    tolMain->setObjectName(QStringLiteral("tolMain"));
    const int buttonTop = (kMainBarHeight - kButtonSize) / 2;
    int x = kSeparatorWidth;  // ToolButton1
    sbtSelect = speedButton(tolMain, "sbtSelect", ui::ToolGlyph::Select);
    sbtSelect->setToolTip(QStringLiteral("ｿｰｽﾌｧｲﾙを選択する"));
    sbtSelect->move(x, buttonTop);
    x += kButtonSize + kSeparatorWidth;  // ToolButton2
    sbtTag = speedButton(tolMain, "sbtTag", ui::ToolGlyph::Tag);
    sbtTag->move(x, buttonTop);
    x += kButtonSize;
    sbtSmc = speedButton(tolMain, "sbtSmc", ui::ToolGlyph::Compile);
    sbtSmc->move(x, buttonTop);
    x += kButtonSize;
    sbtRun = speedButton(tolMain, "sbtRun", ui::ToolGlyph::Play);
    sbtRun->move(x, buttonTop);
    x += kButtonSize + kSeparatorWidth;  // ToolButton3
    scbPlay = new SeekBar(tolMain);
    scbPlay->setObjectName(QStringLiteral("scbPlay"));
    scbPlay->setEnabled(false);
    scbPlay->setGeometry(x, buttonTop + 3, 397, kButtonSize - 6);
    connect(sbtSelect, &QToolButton::clicked, this, &TfrmMain::mnuSelectClick);
    connect(sbtTag, &QToolButton::clicked, this, &TfrmMain::mnuTagClick);
    connect(sbtSmc, &QToolButton::clicked, this, &TfrmMain::mnuSmcClick);
    connect(sbtRun, &QToolButton::clicked, this, &TfrmMain::mnuRunClick);
    connect(scbPlay, &SeekBar::scrolled, this, &TfrmMain::scbPlayScroll);

    tolSub = new QWidget(client);
    tolSub->setObjectName(QStringLiteral("tolSub"));
    edtFnameSmc = editBox(tolSub, "edtFnameSmc", QStringLiteral("ｿｰｽﾌｧｲﾙ"), 209);
    edtFnameMid = editBox(tolSub, "edtFnameMid", QStringLiteral("MIDﾌｧｲﾙ"), 209);
    edtOption = editBox(tolSub, "edtOption", QStringLiteral("ｵﾌﾟｼｮﾝ"), 87);
    edtOption->setReadOnly(true);

    mmoSmc = new ui::OutputMemo(client);
    mmoSmc->setObjectName(QStringLiteral("mmoSmc"));
    mmoSmc->setToolTip(QStringLiteral("ｺﾝﾊﾟｲﾙ結果"));
    imgWallPaper = new QLabel(client);
    imgWallPaper->setObjectName(QStringLiteral("imgWallPaper"));
    imgWallPaper->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    imgWallPaper->hide();
}

int TfrmMain::menuBarHeight() const { return mnuMain->sizeHint().height(); }

void TfrmMain::layoutWindow() {
    const int bar = menuBarHeight();
    mnuMain->setGeometry(0, 0, width(), bar);
    client->setGeometry(0, bar, width(), std::max(0, height() - bar));
    FormResize();
}

QSize TfrmMain::outerSize() const {
    return QSize(width() + kFrameExtraWidth, height() - menuBarHeight() + kFrameExtraHeight);
}

void TfrmMain::setOuterSize(int w, int h) {
    // A stored size too small to show anything would hide the window.
    const int clientWidth = std::max(w - kFrameExtraWidth, 160);
    const int clientHeight = std::max(h - kFrameExtraHeight, kMainBarHeight + kSubBarHeight + 20);
    resize(clientWidth, clientHeight + menuBarHeight());
    // Lay out now: a hidden window gets its resize events only when shown,
    // and the rule must hold from creation on.
    layoutWindow();
}

// --- Creation and shutdown ----------------------------------------------------

void TfrmMain::createTempDir() {
    QString base = qEnvironmentVariable("TEMP");
    if (base.isEmpty())
        base = qEnvironmentVariable("TMP");
    if (base.isEmpty())
        base = platform::userRuntimeDir();
    if (base.isEmpty())
        return;
    if (!base.endsWith('/'))
        base += '/';
    const QString dir = base + QStringLiteral("ZEKTEMP/");
    // Emptied at shutdown: a planted link or another user's folder is refused.
    if (platform::ensurePrivateDir(dir.chopped(1)))
        tempDir = dir;
}

void TfrmMain::takeStartupRequest() {
    if (block_.command() == 1)
        SetSourceFile(QString(), QString());
    else
        SetSourceFile(block_.fnameSmc(), block_.fnameMid());
    if (settings.auto_ == 0 && block_.compileRequest())
        block_.setCompileRequest(false);
}

void TfrmMain::FormCreate() {
    designWidth = kDesignOuterWidth;
    designHeight = kDesignOuterHeight;
    designFnameWidth = 209;
    designOptionWidth = 87;
    focusReturnPending = false;
    settings.sourceStamp = -1;
    settings.wallpaperCount = 0;

    settings::RemoveOldStartMenuEntries();
    settings::RemoveOldUninstallEntry();
    shortcutSendTo = settings::SendToShortcutPath();
    shortcutDesktop = settings::DesktopShortcutPath();
    createTempDir();
    fileDrop_ = new FileDrop(this, settings, *this);

    settingsReady_ = settings::SettingsStore(programFolder_).load(settings);
    apply(false, settings);

    move(settings.left, settings.top);
    setOuterSize(settings.width, settings.height);
    tolMain->hide();
    tolMain->show();

    notify::SstpStartup();
    if (settings.sstp == 1)
        sendSstp(notify::StartupScript());

    takeStartupRequest();
    if (settings.show == 0)
        focusReturnPending = true;
    if (edtFnameSmc->text().isEmpty() && !settings.lastfile0.isEmpty())
        edtFnameSmc->setText(compile::FolderPart(settings.lastfile0));
    RebuildRecentMenu();

    tray_ = new TrayIcon(pumTray, *this, this);
    minimiseHooks_ = new MinimiseHooks(this, mnuRestore, settings, *tray_, *this);
    addTrayIcon();

    if (settings.emin == 1 && block_.command() != 0)
        block_.setMinimizeRequest(true);
    if (block_.minimizeRequest()) {
        block_.setMinimizeRequest(false);
        startMinimised_ = true;
    }
}

void TfrmMain::FormDestroy() {
    if (destroyed_)
        return;
    destroyed_ = true;
    timTimer->stop();
    removeTrayIcon();
    playback_.CloseDevices();
    compile::RemoveStagedFiles(compilerLibrary_);
    if (!tempDir.isEmpty())
        compile::DeleteFolderTree(tempDir + QStringLiteral("*.*"));
    settings.left = pos().x();
    settings.top = pos().y();
    const QSize outer = outerSize();
    settings.width = outer.width();
    settings.height = outer.height();
    settings::SettingsStore(programFolder_).save(settings);
    if (settings.sstp == 1)
        sendSstp(notify::SstpScript(notify::SstpEvent::Exit));
    notify::SstpCleanup();
}

void TfrmMain::FormResize() {
    const int w = client->width();
    const int h = client->height();
    tolMain->setGeometry(0, 0, w, kMainBarHeight);
    tolSub->setGeometry(0, kMainBarHeight, w, kSubBarHeight);
    const int memoTop = kMainBarHeight + kSubBarHeight;
    mmoSmc->setGeometry(0, memoTop, w, std::max(0, h - memoTop));
    const int fixed = kSeparatorWidth + kButtonSize + kSeparatorWidth + 3 * kButtonSize + kSeparatorWidth;
    scbPlay->resize(std::max(0, w - fixed), scbPlay->height());
    const EditWidths widths = editWidthsFor(outerSize().width(), designWidth, designFnameWidth, designOptionWidth);
    const int editTop = (kSubBarHeight - edtFnameSmc->height()) / 2;
    edtFnameSmc->setGeometry(0, editTop, widths.source, edtFnameSmc->height());
    edtFnameMid->setGeometry(widths.source, editTop, widths.midi, edtFnameMid->height());
    edtOption->setGeometry(widths.source + widths.midi, editTop, widths.option, edtOption->height());
    imgWallPaper->setGeometry(mmoSmc->geometry());
}

void TfrmMain::FormPaint() {
    if (firstPaintDone)
        return;
    firstPaintDone = true;
    hwndMain = static_cast<platform::WindowId>(winId());
    // Out of the paint itself: the first-run dialogs open their own loops.
    QTimer::singleShot(0, this, [this] {
        if (!settingsReady_)
            firstRunHook();
        settingsReady_ = true;
    });
}

void TfrmMain::firstRunHook() { settingsCommands_->firstRun(); }

// --- The tick -------------------------------------------------------------------

void TfrmMain::timTimerTimer() {
    if (inKeepAlive_ || destroyed_)
        return;
    PlayTick();
    if (settings.snap == 1)
        snapTick();
    WallpaperTick();
    if (settings.updt == 1)
        sourceWatchTick();
    handoffTick();
}

void TfrmMain::snapTick() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || isMinimized())
        return;
    const QRect frame = frameGeometry();
    const QSize area = screen->geometry().size();
    const int left = snapAxis(frame.left(), frame.width(), area.width());
    const int top = snapAxis(frame.top(), frame.height(), area.height());
    if (left != frame.left() || top != frame.top())
        move(left, top);
}

void TfrmMain::sourceWatchTick() {
    const std::optional<qint64> stamp = platform::plainFileStamp(edtFnameSmc->text());
    if (!stamp)
        return;
    if (settings.sourceStamp == -1) {
        settings.sourceStamp = *stamp;
        return;
    }
    if (*stamp == settings.sourceStamp)
        return;
    settings.sourceStamp = *stamp;
    wallpaper().showMemo();
    job_.SetSourceFileFromBoxes();  // a source typed into the box gets its own MIDI name
    RunCompile();
}

void TfrmMain::handoffTick() {
    // A tick nested in a message box of the action may carry the request out
    // again and clear it; the flag is then a later request's, and stays.
    if (block_.compileRequest()) {
        const unsigned run = compileRequestsRun_;
        SetSourceFile(block_.fnameSmc(), block_.fnameMid());
        RunCompile();
        if (run == compileRequestsRun_++)
            block_.setCompileRequest(false);
    }
    if (block_.playRequest()) {
        const unsigned run = playRequestsRun_;
        StartPlayer();
        if (run == playRequestsRun_++)
            block_.setPlayRequest(false);
    }
    if (block_.command() != 0 && !handoffGuard) {
        handoffGuard = true;
        if (block_.command() == 2)
            SetSourceFile(block_.fnameSmc(), QString());
        OpenInEditor(block_.fnameSmc());
        block_.setCommand(0);
        handoffGuard = false;
    }
    if (focusReturnPending) {
        focusReturnPending = false;
        forceForeground(block_.hwndReturn());
    }
}

// --- Commands -------------------------------------------------------------------

void TfrmMain::mnuSelectClick() {
    const compile::CompilerKindInfo& info = compile::compilerKindInfo(settings.compiler);
    const QString chosen = ui::chooseOpenFile(this, QStringLiteral("dlgOpen"), info.openTitle, info.openFilter,
                                              edtFnameSmc->text());
    if (chosen.isEmpty())
        return;
    SetSourceFile(chosen, QString());
    if (settings.auto_ == 1)
        RunCompile();
}

void TfrmMain::mnuNowFileEditClick() { OpenInEditor(edtFnameSmc->text()); }

void TfrmMain::mnuExplorerClick() {
    const QString source = edtFnameSmc->text();
    if (source.isEmpty())
        return;
    compile::ShellOpen(folderOrCurrent(source), QString());
}

void TfrmMain::mnuLastFileClick(int tag) {
    const QString name = settings.lastfile(tag);
    settings::MoveRecentFileToFront(settings, tag);
    RebuildRecentMenu();
    SetSourceFile(name, QString());
    if (ui::ShowMessageBox(this, kAskOpenRecent, ui::kMbIconQuestion | ui::kMbYesNo, windowTitle()) == ui::kIdYes)
        OpenInEditor(name);
}

void TfrmMain::mnuExitClick() { close(); }
void TfrmMain::pumExitClick() { close(); }

void TfrmMain::mnuRetClick() { forceForeground(block_.hwndReturn()); }

void TfrmMain::mnuTagClick() { OpenInEditor(std::nullopt); }

void TfrmMain::mnuSmcClick() {
    job_.SetSourceFileFromBoxes();
    RunCompile();
}

void TfrmMain::mnuRunClick() { playback_.RunCommand(); }

void TfrmMain::mnuInitClick() { settingsCommands_->openSettings(); }

void TfrmMain::mnuWindowSizeClick() {
    if (ui::ShowMessageBox(this, kAskWindowSize, ui::kMbIconQuestion | ui::kMbYesNo, windowTitle()) != ui::kIdYes)
        return;
    setOuterSize(designWidth, designHeight);
}

void TfrmMain::mnuCompilerClick(int tag) {
    settingsCommands_->switchCompiler(tag, mnuCompilers[static_cast<size_t>(tag)]->toolTip());
}

void TfrmMain::mnuReadmeClick() { compile::ShellOpen(programFolder_ + QStringLiteral("/README.TXT"), QString()); }

void TfrmMain::mnuWWWClick() { compile::ShellOpen(kHomePage, QString()); }

void TfrmMain::mnuVerClick() { ui::ShowVersionDialog(this); }

void TfrmMain::mnuRestoreClick() { restoreApplication(); }

void TfrmMain::scbPlayScroll(int code) { playback_.ScrollEvent(code); }

// --- Operations -----------------------------------------------------------------

void TfrmMain::SetSourceFile(const QString& source, const QString& midi) { job_.SetSourceFile(source, midi); }

void TfrmMain::RunCompile() {
    ++compileDepth_;
    job_.RunCompile();
    --compileDepth_;
    mmoSmc->flush();
    if (compileDepth_ == 0 && closePending_) {
        closePending_ = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void TfrmMain::OpenInEditor(const std::optional<QString>& file) { compile::OpenInEditor(settings, *this, file); }

void TfrmMain::StartPlayer() { playback_.StartPlayer(); }
void TfrmMain::StopPlay() { playback_.StopPlay(); }
void TfrmMain::PlayTick() { playback_.PlayTick(); }
void TfrmMain::PlayWave(int which) { playback_.PlayWave(which); }
void TfrmMain::PrepareWave(int which, const QString& path) { playback_.PrepareWave(which, path); }

void TfrmMain::WallpaperTick() { wallpaper().WallpaperTick(); }

ui::Wallpaper& TfrmMain::wallpaper() { return wallpaper_->wallpaper; }

void TfrmMain::apply(bool changesOnly, const settings::Settings& previous) {
    settingsCommands_->apply(changesOnly, previous);
}

void TfrmMain::ApplyFunctionKeys() {
    const ui::FunctionKeyTexts keys = ui::functionKeyTexts(settings);
    mnuRet->setText(keys.ret.caption);
    const std::tuple<QAction*, QToolButton*, const ui::CommandKey&> commands[] = {
        {mnuTag, sbtTag, keys.tag}, {mnuSmc, sbtSmc, keys.smc}, {mnuRun, sbtRun, keys.run}};
    for (const auto& [item, button, key] : commands) {
        item->setText(key.caption);
        item->setShortcut(key.shortcut);
        button->setToolTip(key.hint);
    }
}

void TfrmMain::RebuildRecentMenu() {
    mnuN12->setVisible(true);
    const int shown = settings::VisibleRecentFiles(settings);
    for (int i = 0; i < settings::kRecentFiles; ++i) {
        QAction* a = mnuLastFile[static_cast<size_t>(i)];
        if (i < shown) {
            QString path = settings.lastfile(i);
            a->setText(QStringLiteral("&%1 ").arg(i) + path.replace('&', QStringLiteral("&&")));
            a->setVisible(true);
        } else {
            a->setVisible(false);
        }
    }
    if (shown == 0)
        mnuN12->setVisible(false);
}

void TfrmMain::AddRecentFile(const QString& name) {
    settings::AddRecentFile(settings, name);
    RebuildRecentMenu();
}

platform::WindowId TfrmMain::foregroundWindow() const {
    if (platform::hasX11Desktop())
        return platform::activeWindow();
    if (QGuiApplication::platformName() == QLatin1String("offscreen") ||
        QGuiApplication::platformName() == QLatin1String("minimal"))
        return QApplication::activeWindow() == this ? static_cast<platform::WindowId>(winId()) : 0;
    return 0;
}

bool TfrmMain::isApplicationWindow(platform::WindowId window) const {
    return window != 0 && window == static_cast<platform::WindowId>(winId()) && isMinimized();
}

void TfrmMain::forceForeground(platform::WindowId window) {
    if (window == 0 || foregroundWindow() == window)
        return;
    if (window == static_cast<platform::WindowId>(winId())) {
        raise();
        activateWindow();
    }
    platform::activateWindow(window);
}

void TfrmMain::bringToFront() {
    if (isMinimized())
        showNormal();
    else
        show();
    forceForeground(static_cast<platform::WindowId>(winId()));
    setTopmost(true);
    if (settings.stay != 1)
        setTopmost(false);
}

void TfrmMain::setTopmost(bool on) {
    if (!isVisible()) {
        setWindowFlag(Qt::WindowStaysOnTopHint, on);
        return;
    }
    // A visible window changes band through the window manager: changing the
    // window flag would hide and re-show it.
    platform::setKeepAbove(static_cast<platform::WindowId>(winId()), on);
}

void TfrmMain::addTrayIcon() { tray_->add(windowIcon(), windowTitle()); }

void TfrmMain::removeTrayIcon() { tray_->remove(); }

void TfrmMain::requestClose() {
    // Boxes and dialogs first, so their loops end and the close goes through.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (!modal->close())
            break;
    }
    close();
}

// --- compile::CompileHost -------------------------------------------------------

void TfrmMain::appendOutputLine(const QString& line) {
    mmoSmc->appendLine(line);
    if (!inKeepAlive_ && compileDepth_ == 0)
        mmoSmc->flush();
}

QString TfrmMain::caption() const { return windowTitle(); }
void TfrmMain::setCaption(const QString& text) { setWindowTitle(text); }

void TfrmMain::showWarning(const QString& text) { ui::ShowDroppableWarning(this, text, windowTitle()); }

void TfrmMain::keepAlive() {
    // Often enough to repaint smoothly, rarely enough to cost nothing.
    if (keepAliveClock_.isValid() && keepAliveClock_.elapsed() < 15)
        return;
    keepAliveClock_.start();
    mmoSmc->flush();
    inKeepAlive_ = true;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    inKeepAlive_ = false;
}

QString TfrmMain::sourceText() const { return edtFnameSmc->text(); }
QString TfrmMain::midiText() const { return edtFnameMid->text(); }
QString TfrmMain::optionText() const { return edtOption->text(); }

void TfrmMain::setFileNames(const QString& source, const QString& midi) {
    edtFnameSmc->setText(source);
    edtFnameMid->setText(midi);
}

void TfrmMain::clearOutput(bool repaintNow) {
    mmoSmc->clear();
    if (repaintNow)
        mmoSmc->repaint();
}

void TfrmMain::restartIdleTimer() { wallpaper().restartIdleTimer(); }

void TfrmMain::restoreApplication() {
    if (isMinimized())
        showNormal();
}

void TfrmMain::rememberReturnWindow() {
    const platform::WindowId window = foregroundWindow();
    if (!isApplicationWindow(window))
        block_.setHwndReturn(window);
}

void TfrmMain::closeMainWindow() { closePending_ = true; }

void TfrmMain::sendSstp(const QString& script) {
    notify::SendSstp(QString::fromUtf8(notify::SstpSender), script, QStringLiteral("0"));
}

void TfrmMain::forceReturnWindowToFront() { forceForeground(block_.hwndReturn()); }

QByteArray TfrmMain::outputLog() const { return mmoSmc->text("\n"); }

// --- playback::PlaybackHost -------------------------------------------------------

void TfrmMain::setSeekBarEnabled(bool enabled) { scbPlay->setEnabled(enabled); }

void TfrmMain::setSeekBarRange(int maximum, int largeChange, int smallChange) {
    scbPlay->setRange(0, maximum);
    scbPlay->setPageStep(largeChange);
    scbPlay->setSingleStep(smallChange);
}

int TfrmMain::seekBarPosition() const { return scbPlay->value(); }
void TfrmMain::setSeekBarPosition(int position) { scbPlay->setValue(position); }
void TfrmMain::setRunGlyph(bool stop) { sbtRun->setIcon(ui::toolGlyph(stop ? ui::ToolGlyph::Stop : ui::ToolGlyph::Play)); }

// --- Window events ----------------------------------------------------------------

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (compileDepth_ > 0) {
        // The compile finishes first; the window closes right after it.
        closePending_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
    // The toolkit quits when the last visible window closes; a window that
    // waits in the tray is not visible, so its close ends the program here.
    if (isHidden())
        QCoreApplication::quit();
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutWindow();
}

void TfrmMain::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    FormPaint();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    // Key preview: the window sees Esc before its controls, and lets it go on.
    // The key's first receiver is the focus widget (or the window); later
    // calls for the same key are its propagation to the parents.
    QWidget* first = QApplication::focusWidget() ? QApplication::focusWidget() : this;
    if (event->type() == QEvent::KeyPress && watched == first && QApplication::activeWindow() == this) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape &&
            !(key->modifiers() & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier)))
            mnuRetClick();
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace zek::app
