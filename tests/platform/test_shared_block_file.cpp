// The block file's name is kept by its owner: deleted or replaced, it is made
// again with the block's content; taken by another owner, that is reported.
#include "platform/MascotPresence.h"
#include "platform/SharedBlockFile.h"
#include "support/TestEnv.h"

#include <QFile>
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using zek::platform::SharedBlockFile;
using NameState = SharedBlockFile::NameState;
using namespace zek::test;

namespace {

class BlockName : public ::testing::Test {
protected:
    IsolatedHome home;
    QString path = home.runtimeDir() + "/B";
    std::unique_ptr<SharedBlockFile> owner;

    void SetUp() override {
        QString why;
        owner = SharedBlockFile::open(home.runtimeDir(), "B", 64, &why);
        ASSERT_TRUE(owner) << why.toStdString();
        ASSERT_EQ(owner->role(), SharedBlockFile::Role::Owner);
        owner->releaseGuard();
        std::memcpy(owner->data(), "before", 7);
    }
    bool held() const { return zek::platform::fileHasExclusiveFlock(QFile::encodeName(path)); }
};

TEST_F(BlockName, ADeletedOrReplacedFileIsMadeAgainWithTheBlocksContent) {
    EXPECT_EQ(owner->keepName(), NameState::Kept);
    for (const bool replace : {false, true}) {
        QFile::remove(path);
        if (replace) {
            writeFile(path, QByteArray(64, 'x'));  // a stale copy nobody holds
            ::chmod(QFile::encodeName(path).constData(), 0600);
        }
        EXPECT_EQ(owner->keepName(), NameState::Remade) << replace;
        EXPECT_TRUE(held()) << replace;
        EXPECT_EQ(readFile(path).left(7), QByteArray("before", 7));
        // The old mapping now writes the file under the name.
        std::memcpy(owner->data(), "after!", 7);
        EXPECT_EQ(readFile(path).left(7), QByteArray("after!", 7));
        std::memcpy(owner->data(), "before", 7);
        EXPECT_EQ(owner->keepName(), NameState::Kept);
    }
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, S_ISVTX | 0600) << "sticky: clean-up tools leave it alone";

    // A later start finds the owner.
    QString why;
    auto next = SharedBlockFile::open(home.runtimeDir(), "B", 64, &why);
    ASSERT_TRUE(next) << why.toStdString();
    EXPECT_EQ(next->role(), SharedBlockFile::Role::Guest);
    EXPECT_EQ(std::memcmp(next->data(), "before", 7), 0);
}

TEST_F(BlockName, ANameTakenByAnotherOwnerIsReportedAndLeftToIt) {
    QFile::remove(path);
    QString why;
    auto other = SharedBlockFile::open(home.runtimeDir(), "B", 64, &why);
    ASSERT_TRUE(other) << why.toStdString();
    ASSERT_EQ(other->role(), SharedBlockFile::Role::Owner);
    other->releaseGuard();
    EXPECT_EQ(owner->keepName(), NameState::TakenByAnother);
    EXPECT_EQ(owner->keepName(), NameState::TakenByAnother);
    EXPECT_EQ(other->keepName(), NameState::Kept);
}

TEST_F(BlockName, NothingIsMadeWhileAStartHoldsTheGuard) {
    QFile::remove(path);
    const int guard = ::open(QFile::encodeName(path + ".lock").constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(guard, 0);
    ASSERT_EQ(::flock(guard, LOCK_EX), 0);
    EXPECT_EQ(owner->keepName(), NameState::Retry);
    EXPECT_FALSE(QFile::exists(path));
    ::close(guard);
    EXPECT_EQ(owner->keepName(), NameState::Remade);
}

TEST(BlockGuard, AHeldGuardIsWaitedForBoundedlyAndItsHolderNamed) {
    IsolatedHome home;
    const QString lock = home.runtimeDir() + "/B.lock";
    writeFile(lock, {});
    ::chmod(QFile::encodeName(lock).constData(), 0600);
    const int fd = ::open(QFile::encodeName(lock).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    QString why;
    EXPECT_FALSE(SharedBlockFile::open(home.runtimeDir(), "B", 64, &why, 200));
    EXPECT_TRUE(why.contains(QStringLiteral("held by process %1").arg(::getpid()))) << why.toStdString();
    ::close(fd);
    EXPECT_TRUE(SharedBlockFile::open(home.runtimeDir(), "B", 64, &why, 200)) << why.toStdString();
}

}  // namespace
