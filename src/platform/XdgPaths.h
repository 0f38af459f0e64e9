#pragma once
// XDG base directories and the desktop's MIME defaults, read from the
// environment at each call (tests and long sessions may change it).
#include <QString>
#include <QStringList>

namespace zek::platform {

QString homeDir();
QString configHome();           // $XDG_CONFIG_HOME or ~/.config
QStringList configDirs();       // $XDG_CONFIG_DIRS or /etc/xdg
QString dataHome();             // $XDG_DATA_HOME or ~/.local/share
QStringList dataDirs();         // $XDG_DATA_DIRS or /usr/local/share:/usr/share
QString stateHome();            // $XDG_STATE_HOME or ~/.local/state
QString desktopDir();           // XDG_DESKTOP_DIR of user-dirs.dirs, else ~/Desktop

// The per-user key-value file that stands for a registry key of the current
// user: <config home>/<organisation>/<application>.conf.
QString userSettingsFile(const QString& organisation, const QString& application);

// True when a mimeapps.list names an installed default application for the type.
bool hasDefaultApplication(const QString& mimeType);

// Full path of a program found in PATH, or empty.
QString findProgram(const QString& name);

}  // namespace zek::platform
