#pragma once
// A small named block of memory shared by the processes of one user: a file
// of fixed size in the user's runtime folder, mapped MAP_SHARED.
//
// Liveness is a lock, not the file: the process that runs as the owner holds
// an exclusive flock on the block for its whole life, so a block left behind
// by a crashed owner is simply taken over. Every process first takes a second
// lock, on "<name>.lock", and keeps it until releaseGuard(): this serialises
// the owner's initialisation and each guest's test-and-write, and makes two
// owners starting at once impossible.
#include <QString>

#include <cstddef>
#include <memory>

namespace zek::platform {

class SharedBlockFile {
public:
    enum class Role { Owner, Guest };

    // Opens or creates <dir>/<name>. Null on failure, with the reason in *why
    // (a block of the wrong size, a foreign owner or mode, an unusable folder).
    static std::unique_ptr<SharedBlockFile> open(const QString& dir, const QString& name, std::size_t size,
                                                 QString* why);
    ~SharedBlockFile();
    SharedBlockFile(const SharedBlockFile&) = delete;
    SharedBlockFile& operator=(const SharedBlockFile&) = delete;

    Role role() const { return role_; }
    void* data() const { return data_; }
    std::size_t size() const { return size_; }

    // Lets the next process in; the owner keeps its liveness lock.
    void releaseGuard();

private:
    SharedBlockFile() = default;
    Role role_ = Role::Guest;
    int guardFd_ = -1;
    int blockFd_ = -1;
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace zek::platform
