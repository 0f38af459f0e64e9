#include "settings/Settings.h"

namespace zek::settings {
namespace {

using K = SettingsField::Kind;

using C = SettingsField::Control;

// A field and, when the settings dialog shows it, that dialog's control.
constexpr SettingsField integer(const char* name, int Settings::*m, const char* control = nullptr,
                                C conversion = C::None) {
    return {name, K::Integer, m, nullptr, control, conversion};
}
constexpr SettingsField flag(const char* name, int Settings::*m, const char* control) {
    return {name, K::Flag, m, nullptr, control, C::CheckBox};
}
constexpr SettingsField text(const char* name, QString Settings::*m, const char* control = nullptr) {
    return {name, K::Text, nullptr, m, control, control ? C::EditBox : C::None};
}
// A field of one compiler kind, shown while the dialog shows that kind.
constexpr SettingsField perCompiler(const char* name, QString Settings::*m, const char* control, int kind) {
    return {name, K::Text, nullptr, m, control, C::EditBox, kind};
}

const SettingsField kFields[] = {
    integer("left", &Settings::left),
    integer("top", &Settings::top),
    integer("width", &Settings::width),
    integer("height", &Settings::height),
    integer("compiler", &Settings::compiler),
    perCompiler("option0", &Settings::option0, "edtOption", 0),
    perCompiler("option1", &Settings::option1, "edtOption", 1),
    perCompiler("option2", &Settings::option2, "edtOption", 2),
    perCompiler("option3", &Settings::option3, "edtOption", 3),
    flag("auto", &Settings::auto_, "chkAuto"),
    flag("next", &Settings::next, "chkNext"),
    flag("show", &Settings::show, "chkShow"),
    flag("quit", &Settings::quit, "chkQuit"),
    flag("date", &Settings::date, "chkDate"),
    flag("extr", &Settings::extr, "chkExtr"),
    flag("mini", &Settings::mini, "chkMini"),
    flag("snap", &Settings::snap, "chkSnap"),
    flag("stay", &Settings::stay, "chkStay"),
    flag("ooji", &Settings::ooji, "chkOoji"),
    flag("updt", &Settings::updt, "chkUpdt"),
    flag("tray", &Settings::tray, "chkTray"),
    flag("rsiz", &Settings::rsiz, "chkRsiz"),
    flag("errf", &Settings::errf, "chkErrf"),
    flag("sstp", &Settings::sstp, "chkSstp"),
    flag("wall", &Settings::wall, "chkWall"),
    flag("cent", &Settings::cent, "chkCent"),
    flag("size", &Settings::size, "chkSize"),
    flag("rand", &Settings::rand, "chkRand"),
    integer("fext", &Settings::fext, "cbxFext", C::ShownChoice),
    flag("emin", &Settings::emin, "chkEmin"),
    flag("wave", &Settings::wave, "chkWave"),
    flag("func", &Settings::func, "chkFunc"),
    flag("play", &Settings::play, "chkPlay"),
    flag("copy", &Settings::copy, "chkCopy"),
    perCompiler("execsmc", &Settings::execsmc, "edtSetMmlcmp", 0),
    perCompiler("execmml2mid", &Settings::execmml2mid, "edtSetMmlcmp", 1),
    perCompiler("execcsakura", &Settings::execcsakura, "edtSetMmlcmp", 2),
    perCompiler("execdsakura", &Settings::execdsakura, "edtSetMmlcmp", 3),
    text("execeditor", &Settings::execeditor, "edtSetEditor"),
    text("execplayer", &Settings::execplayer, "edtSetPlayer"),
    text("parmeditor", &Settings::parmeditor, "edtPrmEditor"),
    text("parmplayer", &Settings::parmplayer, "edtPrmPlayer"),
    text("smcinclude", &Settings::smcinclude, "edtEnvSmcInclude"),
    text("diroutfile", &Settings::diroutfile, "edtDirOutFile"),
    text("wallpaper", &Settings::wallpaper, "edtWall"),
    text("wavenormal", &Settings::wavenormal, "edtWaveNormal"),
    text("waveerror", &Settings::waveerror, "edtWaveError"),
    text("lastfile0", &Settings::lastfile0),
    text("lastfile1", &Settings::lastfile1),
    text("lastfile2", &Settings::lastfile2),
    text("lastfile3", &Settings::lastfile3),
    text("lastfile4", &Settings::lastfile4),
    text("lastfile5", &Settings::lastfile5),
    text("lastfile6", &Settings::lastfile6),
    text("lastfile7", &Settings::lastfile7),
    text("lastfile8", &Settings::lastfile8),
    text("lastfile9", &Settings::lastfile9),
    integer("timerexit", &Settings::timerexit, "updTimerExit", C::UpDown),
    integer("timerwallpaper", &Settings::timerwallpaper, "updTimerWall", C::UpDown),
    integer("menutag", &Settings::menutag, "cbxTag", C::FunctionKey),
    integer("menusmc", &Settings::menusmc, "cbxSmc", C::FunctionKey),
    integer("menurunplayer", &Settings::menurunplayer, "cbxRun", C::FunctionKey),
    integer("menureturn", &Settings::menureturn, "cbxEsc", C::FunctionKey),
};
static_assert(std::size(kFields) == 63);

constexpr QString Settings::*kOptions[kCompilerKinds] = {&Settings::option0, &Settings::option1,
                                                         &Settings::option2, &Settings::option3};
constexpr QString Settings::*kPaths[kCompilerKinds] = {&Settings::execsmc, &Settings::execmml2mid,
                                                       &Settings::execcsakura, &Settings::execdsakura};
constexpr QString Settings::*kLastFiles[kRecentFiles] = {
    &Settings::lastfile0, &Settings::lastfile1, &Settings::lastfile2, &Settings::lastfile3,
    &Settings::lastfile4, &Settings::lastfile5, &Settings::lastfile6, &Settings::lastfile7,
    &Settings::lastfile8, &Settings::lastfile9};

// Out-of-range kinds fall back to the first compiler rather than reading past the table.
int clampKind(int kind) { return (kind >= 0 && kind < kCompilerKinds) ? kind : 0; }

}  // namespace

std::span<const SettingsField> settingsFields() { return kFields; }

QString& Settings::option(int kind) { return this->*kOptions[clampKind(kind)]; }
const QString& Settings::option(int kind) const { return this->*kOptions[clampKind(kind)]; }
QString& Settings::compilerPath(int kind) { return this->*kPaths[clampKind(kind)]; }
const QString& Settings::compilerPath(int kind) const { return this->*kPaths[clampKind(kind)]; }
QString& Settings::lastfile(int index) { return this->*kLastFiles[index]; }
const QString& Settings::lastfile(int index) const { return this->*kLastFiles[index]; }

bool Settings::samePersistent(const Settings& other) const {
    for (const SettingsField& f : kFields) {
        if (f.kind == SettingsField::Kind::Text) {
            if (this->*f.text != other.*f.text)
                return false;
        } else if (this->*f.integer != other.*f.integer) {
            return false;
        }
    }
    return true;
}

}  // namespace zek::settings
