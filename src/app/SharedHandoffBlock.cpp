#include "app/SharedHandoffBlock.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace zek::app {

void HandoffBlock::initialise(std::uint32_t foreground) {
    std::memset(b_, 0, sizeof *b_);
    std::atomic_thread_fence(std::memory_order_release);
    setHwndReturn(foreground);
}

QString HandoffBlock::readPath(const char (&field)[256]) {
    std::atomic_thread_fence(std::memory_order_acquire);
    const char* end = static_cast<const char*>(std::memchr(field, 0, sizeof field));
    const qsizetype n = end ? end - field : kMaxPathBytes;  // never past byte 255
    return QFile::decodeName(QByteArray(field, n));
}

void HandoffBlock::writePath(char (&field)[256], const QByteArray& path) {
    const qsizetype n = std::min<qsizetype>(path.size(), kMaxPathBytes);
    std::memset(field, 0, sizeof field);
    std::memcpy(field, path.constData(), static_cast<std::size_t>(n));
    std::atomic_thread_fence(std::memory_order_release);
}

}  // namespace zek::app
