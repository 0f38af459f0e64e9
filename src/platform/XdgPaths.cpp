#include "platform/XdgPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace zek::platform {
namespace {

QString envPath(const char* name) {
    const QByteArray v = qgetenv(name);
    // Relative values are invalid by the XDG rules and are ignored.
    if (v.isEmpty() || v.front() != '/')
        return {};
    return QFile::decodeName(v);
}

QStringList envPathList(const char* name, const QStringList& fallback) {
    const QByteArray v = qgetenv(name);
    if (v.isEmpty())
        return fallback;
    QStringList out;
    for (const QByteArray& part : v.split(':'))
        if (!part.isEmpty() && part.front() == '/')
            out << QFile::decodeName(part);
    return out.isEmpty() ? fallback : out;
}

QString orHome(const char* name, const QString& rel) {
    const QString v = envPath(name);
    return v.isEmpty() ? homeDir() + rel : v;
}

// The desktop entry of a desktop id, found like the XDG menu rules do:
// "foo-bar.desktop" may also live at applications/foo/bar.desktop.
bool desktopEntryInstalled(const QString& id) {
    QStringList roots{dataHome()};
    roots << dataDirs();
    for (const QString& root : roots) {
        QString rel = id;
        for (;;) {
            if (QFileInfo(root + "/applications/" + rel).isFile())
                return true;
            const int dash = rel.indexOf('-');
            if (dash < 0)
                break;
            rel[dash] = '/';
        }
    }
    return false;
}

// The value of "type=" in the [Default Applications] group, or empty.
QStringList defaultsIn(const QString& file, const QString& mimeType) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&f);
    bool inGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith('[')) {
            inGroup = (line == QLatin1String("[Default Applications]"));
            continue;
        }
        if (!inGroup)
            continue;
        const int eq = line.indexOf('=');
        if (eq > 0 && line.left(eq).trimmed() == mimeType)
            return line.mid(eq + 1).split(';', Qt::SkipEmptyParts);
    }
    return {};
}

}  // namespace

QString homeDir() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return QFile::decodeName(home);
    // Same fallback as the shell's "~" when HOME is unset.
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return QFile::decodeName(found->pw_dir);
    return QDir::rootPath();
}

QString configHome() { return orHome("XDG_CONFIG_HOME", "/.config"); }
QStringList configDirs() { return envPathList("XDG_CONFIG_DIRS", {"/etc/xdg"}); }
QString dataHome() { return orHome("XDG_DATA_HOME", "/.local/share"); }
QStringList dataDirs() { return envPathList("XDG_DATA_DIRS", {"/usr/local/share", "/usr/share"}); }
QString stateHome() { return orHome("XDG_STATE_HOME", "/.local/state"); }

QString desktopDir() {
    QFile f(configHome() + "/user-dirs.dirs");
    if (f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream in(&f);
        while (!in.atEnd()) {
            const QString line = in.readLine().trimmed();
            if (!line.startsWith(QLatin1String("XDG_DESKTOP_DIR=")))
                continue;
            QString v = line.mid(16);
            if (v.startsWith('"') && v.endsWith('"') && v.size() >= 2)
                v = v.mid(1, v.size() - 2);
            v.replace(QLatin1String("$HOME"), homeDir());
            if (v.startsWith('/'))
                return v;
        }
    }
    return homeDir() + "/Desktop";
}

QString userSettingsFile(const QString& organisation, const QString& application) {
    return configHome() + "/" + organisation + "/" + application + ".conf";
}

bool hasDefaultApplication(const QString& mimeType) {
    QStringList desktops;
    for (const QByteArray& d : qgetenv("XDG_CURRENT_DESKTOP").split(':'))
        if (!d.isEmpty())
            desktops << QString::fromUtf8(d).toLower();
    QStringList folders{configHome()};
    folders << configDirs();
    folders << dataHome() + "/applications";
    for (const QString& d : dataDirs())
        folders << d + "/applications";
    for (const QString& folder : folders) {
        QStringList files;
        for (const QString& d : desktops)
            files << folder + "/" + d + "-mimeapps.list";
        files << folder + "/mimeapps.list";
        for (const QString& file : files)
            for (const QString& id : defaultsIn(file, mimeType))
                if (desktopEntryInstalled(id.trimmed()))
                    return true;
    }
    return false;
}

QString findProgram(const QString& name) {
    return QStandardPaths::findExecutable(name);
}

}  // namespace zek::platform
