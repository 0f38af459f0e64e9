// The mascot server's presence: its lock file exists and an exclusive flock
// on it is held, read from /proc/locks without touching the lock.
#include "SstpTestServer.h"
#include "notify/Sstp.h"
#include "platform/MascotPresence.h"
#include "support/TestEnv.h"

#include <QFile>

#include <memory>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace zek::notify {
namespace {

using test::PresenceMarker;

TEST(MascotPresence, LockPathFollowsHomeAtCallTime) {
    test::IsolatedHome first;
    EXPECT_EQ(platform::mascotLockPath(), QFile::encodeName(first.home()) + "/.ninix/.lock");
    test::IsolatedHome second;
    EXPECT_EQ(platform::mascotLockPath(), QFile::encodeName(second.home()) + "/.ninix/.lock");
}

TEST(MascotPresence, PresentOnlyWhileTheFileIsExclusivelyLocked) {
    struct Case {
        const char* name;
        std::optional<PresenceMarker::Lock> lock;  // nullopt: no file at all
        const char* file;
        bool present;
    };
    const Case cases[] = {
        {"no file", std::nullopt, ".lock", false},
        {"file, nobody holds it", PresenceMarker::Lock::None, ".lock", false},
        {"file, shared lock only", PresenceMarker::Lock::Shared, ".lock", false},
        {"exclusive lock on another file", PresenceMarker::Lock::Exclusive, ".lock2", false},
        {"exclusive lock", PresenceMarker::Lock::Exclusive, ".lock", true},
    };
    for (const Case& c : cases) {
        test::IsolatedHome home;
        std::unique_ptr<PresenceMarker> marker;
        if (c.lock) {
            marker = std::make_unique<PresenceMarker>(*c.lock, c.file);
            ASSERT_TRUE(marker->ok()) << c.name;
        }
        EXPECT_EQ(SstpServerPresent(), c.present) << c.name;
    }
}

TEST(MascotPresence, GoneWhenTheLockIsReleased) {
    test::IsolatedHome home;
    {
        PresenceMarker marker;
        ASSERT_TRUE(marker.ok());
        EXPECT_TRUE(SstpServerPresent());
    }
    EXPECT_FALSE(SstpServerPresent());
}

TEST(MascotPresence, LockOnAReplacedFileDoesNotCount) {
    // A lock still held on the old file after it was deleted and created
    // anew belongs to another inode: the new file is not locked.
    test::IsolatedHome home;
    PresenceMarker stale;
    ASSERT_TRUE(stale.ok());
    ASSERT_EQ(::unlink(stale.path().constData()), 0);
    const int fresh = ::open(stale.path().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fresh, 0);
    EXPECT_FALSE(SstpServerPresent());
    ::close(fresh);
}

TEST(MascotPresence, CheckDoesNotTakeTheLock) {
    // The check leaves no lock behind: a server starting after it still gets
    // its exclusive lock at once.
    test::IsolatedHome home;
    PresenceMarker file(PresenceMarker::Lock::None);
    EXPECT_FALSE(SstpServerPresent());
    const int server = ::open(file.path().constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(server, 0);
    EXPECT_EQ(::flock(server, LOCK_EX | LOCK_NB), 0);
    EXPECT_TRUE(SstpServerPresent());
    ::close(server);
}

}  // namespace
}  // namespace zek::notify
