#include "settings/Settings.h"

namespace zek::settings {
namespace {

using K = SettingsField::Kind;

constexpr SettingsField integer(const char* name, int Settings::*m) { return {name, K::Integer, m, nullptr}; }
constexpr SettingsField flag(const char* name, int Settings::*m) { return {name, K::Flag, m, nullptr}; }
constexpr SettingsField text(const char* name, QString Settings::*m) { return {name, K::Text, nullptr, m}; }

const SettingsField kFields[] = {
    integer("left", &Settings::left),
    integer("top", &Settings::top),
    integer("width", &Settings::width),
    integer("height", &Settings::height),
    integer("compiler", &Settings::compiler),
    text("option0", &Settings::option0),
    text("option1", &Settings::option1),
    text("option2", &Settings::option2),
    text("option3", &Settings::option3),
    flag("auto", &Settings::auto_),
    flag("next", &Settings::next),
    flag("show", &Settings::show),
    flag("quit", &Settings::quit),
    flag("date", &Settings::date),
    flag("extr", &Settings::extr),
    flag("mini", &Settings::mini),
    flag("snap", &Settings::snap),
    flag("stay", &Settings::stay),
    flag("ooji", &Settings::ooji),
    flag("updt", &Settings::updt),
    flag("tray", &Settings::tray),
    flag("rsiz", &Settings::rsiz),
    flag("errf", &Settings::errf),
    flag("sstp", &Settings::sstp),
    flag("wall", &Settings::wall),
    flag("cent", &Settings::cent),
    flag("size", &Settings::size),
    flag("rand", &Settings::rand),
    integer("fext", &Settings::fext),
    flag("emin", &Settings::emin),
    flag("wave", &Settings::wave),
    flag("func", &Settings::func),
    flag("play", &Settings::play),
    flag("copy", &Settings::copy),
    text("execsmc", &Settings::execsmc),
    text("execmml2mid", &Settings::execmml2mid),
    text("execcsakura", &Settings::execcsakura),
    text("execdsakura", &Settings::execdsakura),
    text("execeditor", &Settings::execeditor),
    text("execplayer", &Settings::execplayer),
    text("parmeditor", &Settings::parmeditor),
    text("parmplayer", &Settings::parmplayer),
    text("smcinclude", &Settings::smcinclude),
    text("diroutfile", &Settings::diroutfile),
    text("wallpaper", &Settings::wallpaper),
    text("wavenormal", &Settings::wavenormal),
    text("waveerror", &Settings::waveerror),
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
    integer("timerexit", &Settings::timerexit),
    integer("timerwallpaper", &Settings::timerwallpaper),
    integer("menutag", &Settings::menutag),
    integer("menusmc", &Settings::menusmc),
    integer("menurunplayer", &Settings::menurunplayer),
    integer("menureturn", &Settings::menureturn),
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
