#pragma once
// A shared library loaded at run time (dlopen), for compiler and shortcut
// libraries that the user installs beside or apart from ZEK.
#include <QString>

namespace zek::platform {

class SharedLibrary {
public:
    SharedLibrary() = default;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;
    ~SharedLibrary();

    // Loads the library at `path` (resolved against the current folder, never
    // searched for in the system's library folders), replacing any library
    // loaded before. False on failure; errorText() then holds the loader's text.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return handle_ != nullptr; }

    // The address of an exported symbol, or nullptr (errorText() says why).
    void* symbol(const char* name);

    QString errorText() const { return error_; }

    // The file loaded by open() (absolute), and whether `path` is still that
    // very file: same device, inode, size and modification time.
    QString fileName() const { return fileName_; }
    bool isSameFile(const QString& path) const;

private:
    struct FileIdentity {
        unsigned long long device = 0, inode = 0;
        long long size = -1, modifiedNs = -1;
        bool operator==(const FileIdentity&) const = default;
    };
    static FileIdentity identityOf(const QString& path);

    void* handle_ = nullptr;
    QString fileName_;
    FileIdentity identity_;
    QString error_;
};

}  // namespace zek::platform
