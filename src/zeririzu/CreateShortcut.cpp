// CreateShortcut(shortcutPath, targetPath, comment): writes a desktop entry
// (a launcher) at shortcutPath that starts targetPath with the files handed
// to it. The file appears whole or not at all; an existing folder of that
// name is never touched. Returns 0, or the errno value of the failed step.
#include "platform/DesktopEntryText.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace {

std::string entryText(const char* target, const char* comment) {
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Version=1.0\n"
                       "Name=ZEK\n";
    text += "Comment=" + zek::platform::desktopStringValue(*comment ? comment : "MMLコンパイラ支援ツール") + "\n";
    // One file a start: two files on one command line would be taken as a
    // source and its MIDI name, and the second file deleted as old output.
    text += "Exec=" + zek::platform::desktopExecArgument(target) + " %f\n";
    text += "Terminal=false\n"
            "Categories=AudioVideo;Audio;Midi;\n";
    return text;
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// GNOME's desktop starts a launcher only once it is marked trusted; that mark
// lives in the session's metadata store, reached through `gio` on the
// session bus. Without a session bus there is nothing to mark (and gio must
// not start one of its own). Failures leave an untrusted but valid launcher.
void markTrusted(const char* path) {
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        return;
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char gio[] = "gio", set[] = "set", key[] = "metadata::trusted", value[] = "true";
    std::string file = path;
    char* argv[] = {gio, set, file.data(), key, value, nullptr};
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, "gio", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return;
    // A hung metadata service must not hold the caller's window for long.
    for (int waited = 0; waited < 300; ++waited) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        const timespec tick{0, 10 * 1000 * 1000};
        ::nanosleep(&tick, nullptr);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int CreateShortcut(const char* shortcutPath, const char* targetPath,
                                                                      const char* comment) {
    if (!shortcutPath || !*shortcutPath || !targetPath || !*targetPath)
        return EINVAL;
    const std::string path = shortcutPath;
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    std::string temp = folder + ".zek-shortcut-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return errno;
    const std::string text = entryText(targetPath, comment ? comment : "");
    // Launchers are executable: several desktops start only those.
    int error = 0;
    if (!writeAll(fd, text) || ::fchmod(fd, 0755) != 0 || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    // rename() never replaces a folder, so a folder of that name stays as it was.
    if (error == 0 && ::rename(temp.c_str(), shortcutPath) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return error;
    }
    markTrusted(shortcutPath);
    return 0;
}
