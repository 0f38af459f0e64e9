#include "platform/MascotPresence.h"

#include "platform/XdgPaths.h"

#include <QFile>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace zek::platform {
namespace {

// ---- presence -------------------------------------------------------------

bool readWholeFile(const char* path, std::string& out) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[8192];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            out.append(buffer, static_cast<size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ok = false;
            break;
        }
    }
    ::close(fd);
    return ok;
}

std::string_view nextToken(std::string_view& rest) {
    const size_t start = rest.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(start);
    const size_t end = std::min(rest.find_first_of(" \t"), rest.size());
    const std::string_view token = rest.substr(0, end);
    rest.remove_prefix(end);
    return token;
}

template <typename T>
bool parseNumber(std::string_view text, int base, T& value) {
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size();
}

// The kernel writes a lock's file as "MAJOR:MINOR:INODE", the device numbers
// in hex and the inode in decimal.
bool sameFile(std::string_view field, unsigned long long devMajor, unsigned long long devMinor,
              unsigned long long inode) {
    const size_t first = field.find(':');
    const size_t second = first == std::string_view::npos ? first : field.find(':', first + 1);
    if (second == std::string_view::npos)
        return false;
    unsigned long long maj = 0, min = 0, ino = 0;
    return parseNumber(field.substr(0, first), 16, maj) &&
           parseNumber(field.substr(first + 1, second - first - 1), 16, min) &&
           parseNumber(field.substr(second + 1), 10, ino) && maj == devMajor &&
           min == devMinor && ino == inode;
}

// One line of /proc/locks: "1: FLOCK  ADVISORY  WRITE 4711 fe:00:1234 0 EOF".
// A waiter blocked on a lock carries "->" after the number and holds nothing.
// The holder's process id when the line is an exclusive flock on the file.
std::optional<long> heldExclusiveFlock(std::string_view line, unsigned long long devMajor,
                                       unsigned long long devMinor, unsigned long long inode) {
    nextToken(line);  // ordinal
    std::string_view kind = nextToken(line);
    if (kind != "FLOCK")
        return std::nullopt;
    nextToken(line);  // ADVISORY / MANDATORY
    if (nextToken(line) != "WRITE")
        return std::nullopt;
    long pid = 0;
    if (!parseNumber(nextToken(line), 10, pid) || !sameFile(nextToken(line), devMajor, devMinor, inode))
        return std::nullopt;
    return pid;
}

}  // namespace

QByteArray mascotLockPath() {
    return QFile::encodeName(homeDir()) + "/.ninix/.lock";
}

bool mascotServerPresent() {
    const QByteArray path = mascotLockPath();
    return !path.isEmpty() && fileHasExclusiveFlock(path);
}

bool fileHasExclusiveFlock(const QByteArray& path) { return exclusiveFlockHolder(path).has_value(); }

std::optional<long> exclusiveFlockHolder(const QByteArray& path) {
    struct stat info {};
    if (path.isEmpty() || ::stat(path.constData(), &info) != 0)
        return std::nullopt;
    std::string locks;
    if (!readWholeFile("/proc/locks", locks))
        return std::nullopt;
    const unsigned long long devMajor = major(info.st_dev);
    const unsigned long long devMinor = minor(info.st_dev);
    const unsigned long long inode = info.st_ino;
    std::string_view rest(locks);
    while (!rest.empty()) {
        const size_t end = std::min(rest.find('\n'), rest.size());
        if (const auto pid = heldExclusiveFlock(rest.substr(0, end), devMajor, devMinor, inode))
            return pid;
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return std::nullopt;
}

}  // namespace zek::platform
