#pragma once
// TfrmMain: ZEK's only permanent window and the owner of its run-time state.
#include "app/SeekBar.h"
#include "app/SharedHandoffBlock.h"
#include "app/WindowHost.h"
#include "compile/CompileJob.h"
#include "compile/CompilerLibrary.h"
#include "playback/Playback.h"
#include "platform/DesktopWindows.h"
#include "settings/Settings.h"

#include <QElapsedTimer>
#include <QWidget>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QMenuBar;
class QMenu;
class QTimer;
class QToolButton;

namespace zek::ui {
class OutputMemo;
class Wallpaper;
}
namespace zek::settings {
class SettingsCommands;
}

namespace zek::app {

class FileDrop;
class MainWallpaper;
class MainSettingsHost;
class MinimiseHooks;
class TrayIcon;

inline const QString kMainCaption = QStringLiteral("ZEK - MMLコンパイラ支援ツール");

// Process-wide flags.
extern bool handoffGuard;     // an editor hand-off from the block is under way
extern bool firstPaintDone;

class TfrmMain final : public QWidget,
                       public compile::CompileHost,
                       public playback::PlaybackHost,
                       public WindowHost {
    Q_OBJECT
public:
    TfrmMain(HandoffBlock& block, QString programFolder, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Whether creation asked for the window to start minimised.
    bool startMinimised() const { return startMinimised_; }

    // --- Components ---------------------------------------------------------
    QMenuBar* mnuMain = nullptr;
    QMenu* mnuFile = nullptr;
    QAction* mnuSelect = nullptr;
    QAction* mnuNowFileEdit = nullptr;
    QAction* mnuExplorer = nullptr;
    QAction* mnuN12 = nullptr;
    std::array<QAction*, settings::kRecentFiles> mnuLastFile{};
    QAction* mnuN13 = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuSupport = nullptr;
    QAction* mnuRet = nullptr;
    QAction* mnuTag = nullptr;
    QAction* mnuSmc = nullptr;
    QAction* mnuRun = nullptr;
    QMenu* mnuConfig = nullptr;
    QAction* mnuInit = nullptr;
    QAction* mnuWindowSize = nullptr;
    QMenu* mnuCompiler = nullptr;
    std::array<QAction*, 4> mnuCompilers{};  // mnuSpice, mnuMml2mid, mnucSakura, mnudSakura
    QMenu* mnuHelp = nullptr;
    QAction* mnuReadme = nullptr;
    QAction* mnuWWW = nullptr;
    QAction* mnuVer = nullptr;

    QMenu* pumTray = nullptr;
    QAction* mnuRestore = nullptr;
    QAction* mnuTrayRun = nullptr;
    QAction* pumExit = nullptr;

    QWidget* client = nullptr;  // the client area below the menu bar
    QWidget* tolMain = nullptr;
    QToolButton* sbtSelect = nullptr;
    QToolButton* sbtTag = nullptr;
    QToolButton* sbtSmc = nullptr;
    QToolButton* sbtRun = nullptr;
    SeekBar* scbPlay = nullptr;
    QWidget* tolSub = nullptr;
    QLineEdit* edtFnameSmc = nullptr;
    QLineEdit* edtFnameMid = nullptr;
    QLineEdit* edtOption = nullptr;
    ui::OutputMemo* mmoSmc = nullptr;
    QLabel* imgWallPaper = nullptr;
    QTimer* timTimer = nullptr;

    // --- State --------------------------------------------------------------
    settings::Settings settings;
    int designWidth = 0;
    int designHeight = 0;
    int designFnameWidth = 0;
    int designOptionWidth = 0;
    int chosenCompiler = -1;
    bool settingsReady_ = false;
    platform::WindowId hwndMain = 0;
    QString shortcutSendTo;
    QString shortcutDesktop;
    QString tempDir;  // ends in "ZEKTEMP/"; empty when no safe folder could be had
    bool focusReturnPending = false;

    // Design sizes.
    static constexpr int kDesignClientWidth = 497;
    static constexpr int kDesignClientHeight = 355;
    static constexpr int kDesignOuterWidth = 513;
    static constexpr int kDesignOuterHeight = 368;
    static constexpr int kMainBarHeight = 29;
    static constexpr int kSubBarHeight = 26;
    static constexpr int kButtonSize = 24;
    static constexpr int kSeparatorWidth = 4;

    // The outer size: the client area plus the design difference between
    // outer and client size (window decorations differ between desktops; a
    // fixed difference keeps stored sizes stable from run to run).
    QSize outerSize() const;
    void setOuterSize(int width, int height);

    // --- Event handlers -----------------------------------------------------
    void FormCreate();
    void FormDestroy();
    void FormResize();
    void FormPaint();
    void timTimerTimer();

    void mnuSelectClick();
    void mnuNowFileEditClick();
    void mnuExplorerClick();
    void mnuLastFileClick(int tag);
    void mnuExitClick();
    void mnuRetClick();
    void mnuTagClick();
    void mnuSmcClick();
    void mnuRunClick();
    void mnuInitClick();
    void mnuWindowSizeClick();
    void mnuCompilerClick(int tag);
    void mnuReadmeClick();
    void mnuWWWClick();
    void mnuVerClick();
    void mnuRestoreClick();
    void pumExitClick();
    void scbPlayScroll(int code);

    // --- Operations other parts call ---------------------------------------
    void SetSourceFile(const QString& source, const QString& midi);
    void RunCompile();
    void OpenInEditor(const std::optional<QString>& file);
    void StartPlayer();
    void StopPlay();
    void PlayTick();
    void PlayWave(int which);
    void PrepareWave(int which, const QString& path);
    // The built-in player (playState, seekDragging) and the sound cues.
    playback::Playback& player() { return playback_; }
    void WallpaperTick();
    ui::Wallpaper& wallpaper();  // the wallpaper list and idle timing live there
    void apply(bool changesOnly, const settings::Settings& previous);
    void ApplyFunctionKeys();
    void RebuildRecentMenu();
    void AddRecentFile(const QString& name);
    void forceForeground(platform::WindowId window);
    void bringToFront() override;
    void setTopmost(bool on);
    void addTrayIcon();
    void removeTrayIcon();
    void firstRunHook();

    // The foreground window as this desktop lets us see it.
    platform::WindowId foregroundWindow() const;
    bool isApplicationWindow(platform::WindowId window) const;

    // Closes as the close box does; deferred while a compile runs.
    void requestClose();

    // --- compile::CompileHost -----------------------------------------------
    void appendOutputLine(const QString& line) override;
    QString caption() const override;
    void setCaption(const QString& caption) override;
    void showWarning(const QString& text) override;
    void keepAlive() override;
    bool settingsReady() const override { return settingsReady_; }
    QString programFolder() const override { return programFolder_; }
    compile::CompilerLibrary& compilerLibrary() override { return compilerLibrary_; }
    QString sourceText() const override;
    QString midiText() const override;
    QString optionText() const override;
    void setFileNames(const QString& source, const QString& midi) override;
    void clearOutput(bool repaintNow) override;
    void restartIdleTimer() override;
    void restoreApplication() override;
    void rememberReturnWindow() override;
    void addRecentFile(const QString& name) override { AddRecentFile(name); }
    void playWave(int which) override { PlayWave(which); }
    void startPlayer() override { StartPlayer(); }
    void closeMainWindow() override;
    void sendSstp(const QString& script) override;
    void forceReturnWindowToFront() override;
    QByteArray outputLog() const override;

    // --- WindowHost -----------------------------------------------------------
    void setSourceFile(const QString& source) override { SetSourceFile(source, QString()); }
    void runCompile() override { RunCompile(); }

    TrayIcon* trayIcon() const { return tray_; }

    // --- playback::PlaybackHost ---------------------------------------------
    QString tempFolder() const override { return tempDir; }
    void setSeekBarEnabled(bool enabled) override;
    void setSeekBarRange(int maximum, int largeChange, int smallChange) override;
    int seekBarPosition() const override;
    void setSeekBarPosition(int position) override;
    void setRunGlyph(bool stop) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int menuBarHeight() const;
    void layoutWindow();  // menu bar on top, the client area below it
    void buildMenus();
    void buildToolBars();
    void createTempDir();
    void takeStartupRequest();
    void sourceWatchTick();
    void handoffTick();
    void snapTick();

    HandoffBlock& block_;
    QString programFolder_;
    compile::CompilerLibrary compilerLibrary_;
    compile::CompileJob job_;
    playback::Playback playback_;
    std::unique_ptr<MainWallpaper> wallpaper_;
    std::unique_ptr<MainSettingsHost> settingsHost_;
    std::unique_ptr<settings::SettingsCommands> settingsCommands_;
    bool startMinimised_ = false;
    bool destroyed_ = false;
    int compileDepth_ = 0;       // RunCompile calls under way (nested ones included)
    bool inKeepAlive_ = false;   // events pumped while a compiler runs: no tick, no input
    bool closePending_ = false;
    unsigned compileRequestsRun_ = 0;  // requests from the block carried out, nested ones included
    unsigned playRequestsRun_ = 0;
    QElapsedTimer keepAliveClock_;
    TrayIcon* tray_ = nullptr;
    MinimiseHooks* minimiseHooks_ = nullptr;
    FileDrop* fileDrop_ = nullptr;
};

}  // namespace zek::app
