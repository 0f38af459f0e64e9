#pragma once
// The settings record: every user setting of ZEK, named after its stored value.
#include <QString>
#include <QtGlobal>

#include <array>
#include <span>

namespace zek::settings {

struct Settings {
    // Persistent fields, in the store's table order.
    int left = 0;
    int top = 0;
    int width = 513;
    int height = 368;
    int compiler = 0;
    QString option0 = QStringLiteral("-pc -ps");
    QString option1;
    QString option2;
    QString option3;
    int auto_ = 1;  // stored as "auto" (a C++ keyword)
    int next = 0;
    int show = 1;
    int quit = 0;
    int date = 0;
    int extr = 1;
    int mini = 0;
    int snap = 0;
    int stay = 0;
    int ooji = 0;
    int updt = 0;
    int tray = 0;
    int rsiz = 0;
    int errf = 0;
    int sstp = 1;
    int wall = 0;
    int cent = 0;
    int size = 0;
    int rand = 0;
    int fext = 0;
    int emin = 0;
    int wave = 0;
    int func = 0;
    int play = 0;
    int copy = 0;
    QString execsmc;
    QString execmml2mid;
    QString execcsakura;
    QString execdsakura;
    QString execeditor;
    QString execplayer;
    QString parmeditor;
    QString parmplayer;
    QString smcinclude;
    QString diroutfile;
    QString wallpaper;
    QString wavenormal;
    QString waveerror;
    QString lastfile0;
    QString lastfile1;
    QString lastfile2;
    QString lastfile3;
    QString lastfile4;
    QString lastfile5;
    QString lastfile6;
    QString lastfile7;
    QString lastfile8;
    QString lastfile9;
    int timerexit = 15;
    int timerwallpaper = 60;
    int menutag = 10;
    int menusmc = 11;
    int menurunplayer = 12;
    int menureturn = 13;

    // Run-time fields, never loaded or saved.
    qint64 sourceStamp = -1;  // modification time of the current source in ns, -1 = none yet
    int wallpaperCount = 0;

    // The option text and the program path of a compiler kind (0..3).
    QString& option(int kind);
    const QString& option(int kind) const;
    QString& compilerPath(int kind);
    const QString& compilerPath(int kind) const;
    // The recent files, index 0 the newest.
    QString& lastfile(int index);
    const QString& lastfile(int index) const;

    // True when every persistent field is equal (the run-time fields are not compared).
    bool samePersistent(const Settings& other) const;
};

// Describes one persistent field: its stored name, kind and place in the
// record, and the settings dialog's control that shows it.
struct SettingsField {
    enum class Kind { Integer, Flag, Text };
    // How the dialog converts between the field and its control.
    enum class Control {
        None,         // not in the dialog
        CheckBox,     // ticked = 1
        EditBox,      // the text as it is
        UpDown,       // the up-down's position
        FunctionKey,  // item index = value - 1; no selection = 0
        ShownChoice,  // item index = value; shown, never taken back
    };
    const char* name;
    Kind kind;
    int Settings::*integer;   // Integer and Flag
    QString Settings::*text;  // Text
    const char* control = nullptr;  // the control's object name
    Control conversion = Control::None;
    int compilerKind = -1;  // a per-compiler field: in the dialog only while it shows that kind
};

// The 63 persistent fields in table order.
std::span<const SettingsField> settingsFields();

inline constexpr int kCompilerKinds = 4;
inline constexpr int kRecentFiles = 10;

}  // namespace zek::settings
