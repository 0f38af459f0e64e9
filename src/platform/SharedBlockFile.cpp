#include "platform/SharedBlockFile.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zek::platform {
namespace {

QString errnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

// Our files are regular, ours, and closed to everyone else.
bool checkOwnFile(int fd, const QString& path, QString* why, struct stat* out) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *why = QStringLiteral("cannot inspect %1: %2").arg(path, errnoText());
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *why = QStringLiteral("%1 is not a regular file").arg(path);
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        *why = QStringLiteral("%1 belongs to another user").arg(path);
        return false;
    }
    if ((st.st_mode & 077) != 0) {
        *why = QStringLiteral("%1 has foreign permissions (mode %2, expected 600)")
                   .arg(path, QString::number(st.st_mode & 0777, 8));
        return false;
    }
    if (out)
        *out = st;
    return true;
}

int openNoFollow(const QByteArray& path, int flags, mode_t mode = 0600) {
    return ::open(path.constData(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
}

// Creates the block at its full size under a temporary name and renames it
// into place, so the block never exists half-sized.
bool createBlock(const QString& path, std::size_t size, QString* why) {
    QByteArray tmpl = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) {
        *why = QStringLiteral("cannot create %1: %2").arg(path, errnoText());
        return false;
    }
    bool ok = ::fchmod(fd, 0600) == 0 && ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    ok = ok && ::rename(tmpl.constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok) {
        *why = QStringLiteral("cannot create %1: %2").arg(path, errnoText());
        ::unlink(tmpl.constData());
    }
    return ok;
}

}  // namespace

std::unique_ptr<SharedBlockFile> SharedBlockFile::open(const QString& dir, const QString& name,
                                                       std::size_t size, QString* why) {
    QString dummy;
    if (!why)
        why = &dummy;
    std::unique_ptr<SharedBlockFile> block(new SharedBlockFile);
    block->size_ = size;

    const QString guardPath = dir + "/" + name + ".lock";
    block->guardFd_ = openNoFollow(QFile::encodeName(guardPath), O_RDWR | O_CREAT);
    if (block->guardFd_ < 0) {
        *why = QStringLiteral("cannot open %1: %2").arg(guardPath, errnoText());
        return nullptr;
    }
    if (!checkOwnFile(block->guardFd_, guardPath, why, nullptr))
        return nullptr;
    while (::flock(block->guardFd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            *why = QStringLiteral("cannot lock %1: %2").arg(guardPath, errnoText());
            return nullptr;
        }
    }

    const QString blockPath = dir + "/" + name;
    const QByteArray encoded = QFile::encodeName(blockPath);
    block->blockFd_ = openNoFollow(encoded, O_RDWR);
    if (block->blockFd_ < 0 && errno == ENOENT) {
        if (!createBlock(blockPath, size, why))
            return nullptr;
        block->blockFd_ = openNoFollow(encoded, O_RDWR);
    }
    if (block->blockFd_ < 0) {
        *why = QStringLiteral("cannot open %1: %2").arg(blockPath, errnoText());
        return nullptr;
    }
    struct stat st {};
    if (!checkOwnFile(block->blockFd_, blockPath, why, &st))
        return nullptr;
    if (static_cast<std::size_t>(st.st_size) != size) {
        *why = QStringLiteral("%1 has the wrong size (%2 bytes, expected %3)")
                   .arg(blockPath)
                   .arg(st.st_size)
                   .arg(size);
        return nullptr;
    }

    if (::flock(block->blockFd_, LOCK_EX | LOCK_NB) == 0) {
        block->role_ = Role::Owner;
    } else if (errno == EWOULDBLOCK) {
        block->role_ = Role::Guest;
    } else {
        *why = QStringLiteral("cannot lock %1: %2").arg(blockPath, errnoText());
        return nullptr;
    }

    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, block->blockFd_, 0);
    if (p == MAP_FAILED) {
        *why = QStringLiteral("cannot map %1: %2").arg(blockPath, errnoText());
        return nullptr;
    }
    block->data_ = p;
    return block;
}

void SharedBlockFile::releaseGuard() {
    if (guardFd_ >= 0) {
        ::close(guardFd_);  // closing drops the flock
        guardFd_ = -1;
    }
}

SharedBlockFile::~SharedBlockFile() {
    if (data_)
        ::munmap(data_, size_);
    if (blockFd_ >= 0)
        ::close(blockFd_);
    releaseGuard();
}

}  // namespace zek::platform
