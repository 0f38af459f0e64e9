#include "platform/SharedLibrary.h"

#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>
#include <sys/stat.h>

namespace zek::platform {
namespace {

QString takeDlError(const QString& fallback) {
    const char* text = dlerror();
    return text ? QString::fromLocal8Bit(text) : fallback;
}

}  // namespace

SharedLibrary::~SharedLibrary() {
    close();
}

bool SharedLibrary::open(const QString& path) {
    close();
    error_.clear();
    if (path.isEmpty()) {
        error_ = QStringLiteral("empty library path");
        return false;
    }
    // A bare file name would make dlopen search the system folders; the user
    // named a file, so load exactly that file.
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const FileIdentity identity = identityOf(absolute);
    dlerror();
    handle_ = dlopen(QFile::encodeName(absolute).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        error_ = takeDlError(QStringLiteral("cannot load ") + path);
        return false;
    }
    fileName_ = absolute;
    identity_ = identity;
    return true;
}

void SharedLibrary::close() {
    if (handle_) {
        dlclose(handle_);
        handle_ = nullptr;
    }
    fileName_.clear();
    identity_ = {};
}

bool SharedLibrary::isSameFile(const QString& path) const {
    if (!handle_ || QFileInfo(path).absoluteFilePath() != fileName_)
        return false;
    const FileIdentity now = identityOf(fileName_);
    return now.inode != 0 && now == identity_;
}

SharedLibrary::FileIdentity SharedLibrary::identityOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
            static_cast<long long>(st.st_size),
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

void* SharedLibrary::symbol(const char* name) {
    if (!handle_) {
        error_ = QStringLiteral("no library loaded");
        return nullptr;
    }
    dlerror();
    void* address = dlsym(handle_, name);
    if (!address) {
        error_ = takeDlError(QStringLiteral("undefined symbol: ") + QString::fromLatin1(name));
        return nullptr;
    }
    return address;
}

}  // namespace zek::platform
