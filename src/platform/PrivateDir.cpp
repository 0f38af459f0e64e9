#include "platform/PrivateDir.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zek::platform {
namespace {

void setWhy(QString* why, const QString& text) {
    if (why)
        *why = text;
}

QString errnoText(int e) { return QString::fromLocal8Bit(std::strerror(e)); }

}  // namespace

bool ensurePrivateDir(const QString& path, QString* why) {
    const QByteArray p = QFile::encodeName(path);
    if (::mkdir(p.constData(), 0700) != 0 && errno != EEXIST) {
        setWhy(why, QStringLiteral("cannot create %1: %2").arg(path, errnoText(errno)));
        return false;
    }
    struct stat st {};
    if (::lstat(p.constData(), &st) != 0) {
        setWhy(why, QStringLiteral("cannot inspect %1: %2").arg(path, errnoText(errno)));
        return false;
    }
    if (S_ISLNK(st.st_mode)) {
        setWhy(why, QStringLiteral("%1 is a symbolic link").arg(path));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        setWhy(why, QStringLiteral("%1 is not a folder").arg(path));
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        setWhy(why, QStringLiteral("%1 belongs to another user").arg(path));
        return false;
    }
    if ((st.st_mode & 077) != 0) {
        setWhy(why, QStringLiteral("%1 is open to other users (mode %2)")
                        .arg(path, QString::number(st.st_mode & 0777, 8)));
        return false;
    }
    return true;
}

QString userRuntimeDir(QString* why) {
    const QByteArray xdg = qgetenv("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty() && xdg.front() == '/') {
        const QString dir = QFile::decodeName(xdg);
        // Only check, never create: the session manager owns this folder.
        struct stat st {};
        if (::lstat(xdg.constData(), &st) == 0 && S_ISDIR(st.st_mode) && ensurePrivateDir(dir))
            return dir;
    }
    const QString fallback = QStringLiteral("/tmp/zek-%1").arg(::geteuid());
    if (ensurePrivateDir(fallback, why))
        return fallback;
    return {};
}

QString programPath() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    return QFile::decodeName(QByteArray(buf, static_cast<int>(n)));
}

QString programFolder() {
    const QString path = programPath();
    return path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
}

}  // namespace zek::platform
