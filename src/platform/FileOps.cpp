#include "platform/FileOps.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zek::platform {

int removeFile(const QString& path) {
    const QByteArray p = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(p.constData(), &st) != 0)
        return errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    return ::unlink(p.constData()) == 0 ? 0 : errno;
}

bool isAccessError(int error) {
    return error == EACCES || error == EPERM || error == EBUSY || error == ETXTBSY || error == EROFS;
}

bool sameFile(const QString& a, const QString& b) {
    struct stat sa {}, sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

QByteArray fileIdentity(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return QByteArray::number(static_cast<qulonglong>(st.st_dev)) + ':' +
           QByteArray::number(static_cast<qulonglong>(st.st_ino)) + ':' +
           QByteArray::number(static_cast<qlonglong>(st.st_size)) + ':' +
           QByteArray::number(static_cast<qlonglong>(st.st_mtim.tv_sec)) + '.' +
           QByteArray::number(static_cast<qlonglong>(st.st_mtim.tv_nsec));
}

int renameNoReplace(const QString& from, const QString& to) {
    const QByteArray f = QFile::encodeName(from);
    const QByteArray t = QFile::encodeName(to);
    if (sameFile(from, to))
        return ::rename(f.constData(), t.constData()) == 0 ? 0 : errno;
    return ::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0 ? 0 : errno;
}

}  // namespace zek::platform
