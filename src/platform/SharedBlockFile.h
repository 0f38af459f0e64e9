#pragma once
// A small named block of memory shared by the processes of one user: a file
// of fixed size in the user's runtime folder, mapped MAP_SHARED.
//
// Liveness is a lock, not the file: the process that runs as the owner holds
// an exclusive flock on the block for its whole life, so a block left behind
// by a crashed owner is simply taken over. Every process first takes a second
// lock, on "<name>.lock", and keeps it until releaseGuard(): this serialises
// the owner's initialisation and each guest's test-and-write, and makes two
// owners starting at once impossible. No process waits for that lock longer
// than a bound, so a stuck holder cannot hang every later start.
#include <QString>

#include <cstddef>
#include <memory>

namespace zek::platform {

class SharedBlockFile {
public:
    enum class Role { Owner, Guest };

    static constexpr int kGuardWaitMs = 2000;

    // Opens or creates <dir>/<name>. Null on failure, with the reason in *why
    // (a block of the wrong size, a foreign owner or mode, an unusable
    // folder, a guard lock still held by another process after guardWaitMs).
    static std::unique_ptr<SharedBlockFile> open(const QString& dir, const QString& name, std::size_t size,
                                                 QString* why, int guardWaitMs = kGuardWaitMs);
    ~SharedBlockFile();
    SharedBlockFile(const SharedBlockFile&) = delete;
    SharedBlockFile& operator=(const SharedBlockFile&) = delete;

    Role role() const { return role_; }
    void* data() const { return data_; }
    std::size_t size() const { return size_; }

    // Lets the next process in; the owner keeps its liveness lock.
    void releaseGuard();

    // For the owner, called now and then: a block file that was deleted (a
    // /tmp cleaner) or replaced is made again under its name, with the
    // block's current content, locked and mapped where the old one was, so
    // the next start still finds this owner. Never waits: while another
    // process holds the guard, it answers Retry.
    enum class NameState {
        Kept,            // the name leads to this block
        Remade,          // the name leads to this block again
        TakenByAnother,  // another live owner holds a block under the name
        Retry,           // not now (the guard is busy, or making the file failed)
    };
    NameState keepName();

private:
    SharedBlockFile() = default;
    Role role_ = Role::Guest;
    QString dir_;
    QString name_;
    int guardFd_ = -1;
    int blockFd_ = -1;
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace zek::platform
