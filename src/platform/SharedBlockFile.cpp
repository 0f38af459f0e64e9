#include "platform/SharedBlockFile.h"

#include "platform/MascotPresence.h"
#include "platform/PrivateDir.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
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

// The sticky bit asks clean-up tools to leave a file in the runtime folder
// alone (the XDG runtime folder's rule; systemd-tmpfiles honours it).
constexpr mode_t kFileMode = S_ISVTX | 0600;

int openNoFollow(const QByteArray& path, int flags, mode_t mode = kFileMode) {
    return ::open(path.constData(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

void pause(long ms) {
    const timespec t{0, ms * 1000000L};
    ::nanosleep(&t, nullptr);
}

long elapsedMs(const timespec& start) {
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - start.tv_sec) * 1000L + (now.tv_nsec - start.tv_nsec) / 1000000L;
}

// Opens <dir>/<name>.lock and takes its exclusive lock, waiting at most
// waitMs. A termination signal during the wait ends the process as usual.
int takeGuard(const QString& guardPath, int waitMs, QString* why) {
    const QByteArray encoded = QFile::encodeName(guardPath);
    const int fd = openNoFollow(encoded, O_RDWR | O_CREAT);
    if (fd < 0) {
        *why = QStringLiteral("cannot open %1: %2").arg(guardPath, errnoText());
        return -1;
    }
    struct stat st {};
    if (!checkOwnFile(fd, guardPath, why, &st)) {
        ::close(fd);
        return -1;
    }
    if ((st.st_mode & S_ISVTX) == 0)
        ::fchmod(fd, kFileMode);
    timespec start {};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    long step = 1;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK) {
            *why = QStringLiteral("cannot lock %1: %2").arg(guardPath, errnoText());
            ::close(fd);
            return -1;
        }
        if (elapsedMs(start) >= waitMs) {
            const auto holder = exclusiveFlockHolder(encoded);
            *why = QStringLiteral("%1 is still held%2 after %3 ms; another start of zek is stuck, or a "
                                  "stray process holds the lock")
                       .arg(guardPath,
                            holder ? QStringLiteral(" by process %1").arg(*holder) : QString(),
                            QString::number(waitMs));
            ::close(fd);
            return -1;
        }
        pause(step);
        step = std::min(step * 2, 20L);
    }
    return fd;
}

// A new block file at full size with `content` (zeros when null), under a
// temporary name beside `path`, so a block never exists half-made: its
// descriptor, with the temporary name in *tempName; -1 on failure.
int newBlockFile(const QString& path, std::size_t size, const void* content, QByteArray* tempName, QString* why) {
    QByteArray tmpl = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) {
        *why = QStringLiteral("cannot create %1: %2").arg(path, errnoText());
        return -1;
    }
    bool ok = ::fchmod(fd, kFileMode) == 0 && ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    if (ok && content)
        ok = ::pwrite(fd, content, size, 0) == static_cast<ssize_t>(size);
    if (!ok) {
        *why = QStringLiteral("cannot create %1: %2").arg(path, errnoText());
        ::close(fd);
        ::unlink(tmpl.constData());
        return -1;
    }
    *tempName = tmpl;
    return fd;
}

}  // namespace

std::unique_ptr<SharedBlockFile> SharedBlockFile::open(const QString& dir, const QString& name,
                                                       std::size_t size, QString* why, int guardWaitMs) {
    QString dummy;
    if (!why)
        why = &dummy;
    std::unique_ptr<SharedBlockFile> block(new SharedBlockFile);
    block->dir_ = dir;
    block->name_ = name;
    block->size_ = size;

    block->guardFd_ = takeGuard(dir + "/" + name + ".lock", guardWaitMs, why);
    if (block->guardFd_ < 0)
        return nullptr;

    const QString blockPath = dir + "/" + name;
    const QByteArray encoded = QFile::encodeName(blockPath);
    block->blockFd_ = openNoFollow(encoded, O_RDWR);
    if (block->blockFd_ < 0 && errno == ENOENT) {
        QByteArray temp;
        const int fd = newBlockFile(blockPath, size, nullptr, &temp, why);
        if (fd < 0)
            return nullptr;
        ::close(fd);
        if (::rename(temp.constData(), encoded.constData()) != 0) {
            *why = QStringLiteral("cannot create %1: %2").arg(blockPath, errnoText());
            ::unlink(temp.constData());
            return nullptr;
        }
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
        if ((st.st_mode & S_ISVTX) == 0)
            ::fchmod(block->blockFd_, kFileMode);
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

SharedBlockFile::NameState SharedBlockFile::keepName() {
    const QString blockPath = dir_ + "/" + name_;
    const QByteArray encoded = QFile::encodeName(blockPath);
    struct stat mine {}, named {};
    if (::fstat(blockFd_, &mine) != 0)
        return NameState::Retry;
    if (::lstat(encoded.constData(), &named) == 0 && sameFile(named, mine))
        return NameState::Kept;

    // Gone or replaced. Look again under the guard, so that no start finds
    // the name half-made; a start that holds the guard now gets its answer
    // first, and this runs again on the next call.
    QString why;
    if (!ensurePrivateDir(dir_, &why))
        return NameState::Retry;
    const int guard = takeGuard(blockPath + ".lock", 0, &why);
    if (guard < 0)
        return NameState::Retry;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } guardCloser{guard};

    const int other = openNoFollow(encoded, O_RDWR);
    if (other >= 0) {
        struct stat st {};
        const bool same = ::fstat(other, &st) == 0 && sameFile(st, mine);
        const bool held = !same && ::flock(other, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(other);  // a stale or planted file is replaced below
        if (same)
            return NameState::Kept;
        if (held)
            return NameState::TakenByAnother;
    }

    // A new file with the block's content, locked, mapped over the old
    // mapping (so every pointer into the block stays valid), then named.
    QByteArray temp;
    const int fd = newBlockFile(blockPath, size_, data_, &temp, &why);
    if (fd < 0)
        return NameState::Retry;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        ::mmap(data_, size_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, 0) == MAP_FAILED) {
        ::close(fd);
        ::unlink(temp.constData());
        return NameState::Retry;
    }
    ::close(blockFd_);
    blockFd_ = fd;
    if (::rename(temp.constData(), encoded.constData()) != 0) {
        // Mapped but not named: the next call names a fresh copy.
        ::unlink(temp.constData());
        return NameState::Retry;
    }
    return NameState::Remade;
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
