#pragma once
// TfrmInit: the settings dialog. It works on the stored settings: a fresh
// copy is loaded when it opens and again on OK, which writes the whole
// record back. Its controls are filled and read through the settings field
// table, which names each field's control and conversion.
#include "settings/DialogRules.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "ui/DialogShellHost.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace zek::ui {
class UpDown;
}

namespace zek::settings {

inline const QString kInitCaption = QStringLiteral("詳細設定");

class TfrmInit : public QDialog {
    Q_OBJECT
public:
    TfrmInit(QWidget* mainWindow, SettingsStore store);

    static constexpr int kClientWidth = 480;
    static constexpr int kClientHeight = 320;

    // --- For the tab "機能"'s shortcut and association actions ---------------
    // The compiler kind the dialog shows (read from the store when it opened).
    int compilerKind() const { return kind_; }
    // The association choice: cbxFext's selected index (-1 = none) and its text.
    int fextIndex() const;
    QString fextText() const;
    // The dialog is the owner of their messages, its caption their title.
    QString caption() const { return windowTitle(); }
    const SettingsStore& store() const { return store_; }
    // The shortcut paths the main window worked out when it was created
    // (until set: the same look-up made now).
    void setShortcutPaths(const QString& sendTo, const QString& desktop);

    // --- Components, in tab order --------------------------------------------
    QTabWidget* pctInit;
    QWidget* tabApl;
    QGroupBox* gbxApplication;
    QLabel* lblPrm;
    QPushButton* btnSetMmlcmp;
    QLineEdit* edtSetMmlcmp;
    QPushButton* btnSetEditor;
    QLineEdit* edtSetEditor;
    QLineEdit* edtPrmEditor;
    QPushButton* btnSetPlayer;
    QLineEdit* edtSetPlayer;
    QLineEdit* edtPrmPlayer;
    QCheckBox* chkPlay;
    QCheckBox* chkCopy;

    QWidget* tabSet;
    QGroupBox* gbxDir;
    QLabel* lblOutFile;
    QLineEdit* edtDirOutFile;
    QGroupBox* gbxEnv;
    QLabel* lblEnvSmcInclude;
    QLineEdit* edtEnvSmcInclude;

    QWidget* tabSound;
    QCheckBox* chkWave;
    QGroupBox* gbxWave;
    QLabel* lblWaveNormal;
    QLineEdit* edtWaveNormal;
    QPushButton* btnWaveNormal;
    QLabel* lblWaveError;
    QLineEdit* edtWaveError;
    QPushButton* btnWaveError;

    QWidget* tabStatus;
    QGroupBox* gbxTimer;
    QLabel* lblTimerExit;
    QLineEdit* edtTimerExit;
    ui::UpDown* updTimerExit;
    QLabel* lblTimerExitUnit;
    QGroupBox* gbxShortCut;
    QPushButton* btnSend;
    QPushButton* btnDesk;
    QGroupBox* gbxExt;
    QLabel* lblExt1;
    QComboBox* cbxFext;
    QLabel* lblExt2;
    QPushButton* btnFext;
    QCheckBox* chkEmin;

    QWidget* tabWall;
    QCheckBox* chkWall;
    QGroupBox* gbxWall;
    QLabel* lblWall;
    QLineEdit* edtWall;
    QPushButton* btnWall;
    QLabel* lblTimerWall;
    QLineEdit* edtTimerWall;
    ui::UpDown* updTimerWall;
    QLabel* lblTimerWallUnit;
    QCheckBox* chkCent;
    QCheckBox* chkSize;
    QCheckBox* chkRand;

    QWidget* tabOption;
    QGroupBox* gbxOption;
    QLineEdit* edtOption;
    QGroupBox* gbxSpice;
    QCheckBox* chkPC;
    QCheckBox* chkPS;
    QCheckBox* chkV;
    QGroupBox* gbxMml2mid;
    QCheckBox* chkFormat0;
    QCheckBox* chkOctave;
    QCheckBox* chkVelocity;
    QCheckBox* chkMsKanji;
    QCheckBox* chkWarning;
    QGroupBox* gbxAuto;
    QCheckBox* chkAuto;
    QCheckBox* chkNext;
    QCheckBox* chkShow;
    QCheckBox* chkQuit;
    QGroupBox* gbxZek;
    QCheckBox* chkDate;
    QCheckBox* chkExtr;
    QCheckBox* chkMini;
    QCheckBox* chkSnap;
    QCheckBox* chkStay;
    QCheckBox* chkOoji;
    QCheckBox* chkUpdt;
    QCheckBox* chkTray;
    QCheckBox* chkRsiz;
    QCheckBox* chkErrf;
    QCheckBox* chkSstp;

    QWidget* tabFunction;
    QGroupBox* gbxFunction;
    QLabel* lblEsc;
    QComboBox* cbxEsc;
    QLabel* lblTag;
    QComboBox* cbxTag;
    QLabel* lblSmc;
    QComboBox* cbxSmc;
    QLabel* lblRun;
    QComboBox* cbxRun;
    QCheckBox* chkFunc;

    QPushButton* btnOk;
    QPushButton* btnCancel;

    // --- Handlers ---------------------------------------------------------------
    void FormCreate();
    void btnOkClick();
    void btnCancelClick();
    void btnSetMmlcmpClick();
    void btnSetEditorClick();
    void btnSetPlayerClick();
    void btnWaveNormalClick();
    void btnWaveErrorClick();
    void btnWallClick();
    void chkPlayClick();
    void chkWaveClick();
    void chkWallClick();
    void edtOptionChange();
    void chkClick();
    void UpDownClick(ui::UpDown* sender);
    // The shortcut toggles and the association writer.
    void btnSendClick();
    void btnDeskClick();
    void btnFextClick();

private:
    void buildApplicationTab();
    void buildRegisterTab();
    void buildSoundTab();
    void buildStatusTab();
    void buildWallpaperTab();
    void buildOptionTab();
    void buildFunctionTab();

    // The fields the dialog shows for its compiler kind, with their control's name.
    void forEachShownField(const std::function<void(const SettingsField&, const QString&)>& visit) const;
    void fillFrom(const Settings& settings);
    void takeInto(Settings& settings) const;
    void showCompilerKind();
    // The shown option group's boxes, in the group's order.
    QList<QCheckBox*> optionBoxes() const;
    QList<bool> optionBoxStates() const;
    void setOptionText(const QString& text);
    bool browse(QLineEdit* edit, const QString& title, const QString& filter, bool picture = false);

    SettingsStore store_;
    ui::DialogShellHost shellHost_{this};
    QString shortcutSendTo_;
    QString shortcutDesktop_;
    int kind_ = 0;
    OptionGroup optionGroup_ = OptionGroup::None;
    bool optionUpdating_ = false;
};

}  // namespace zek::settings
