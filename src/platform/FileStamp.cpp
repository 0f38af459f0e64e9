#include "platform/FileStamp.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace zek::platform {

std::optional<qint64> plainFileStamp(const QString& path) {
    if (path.isEmpty() || QFileInfo(path).fileName().startsWith('.'))
        return std::nullopt;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool isExistingFile(const QString& path) {
    if (path.isEmpty())
        return false;
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace zek::platform
