// ShellOpen: executables started detached with their words, everything else
// through the desktop's handler (a fake xdg-open first in PATH).
#include "compile/ShellOpen.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <sys/wait.h>
#include <thread>

using namespace zek;

namespace {

QStringList splitNul(QByteArray bytes) {
    if (bytes.endsWith('\0'))
        bytes.chop(1);
    QStringList out;
    for (const QByteArray& part : bytes.split('\0'))
        out.append(QString::fromUtf8(part));
    return out;
}

class ShellOpenTest : public ::testing::Test {
protected:
    void SetUp() override {
        work_ = home_.path("work");
        bin_ = home_.path("fake bin");
        record_ = home_.path("launch.rec");
        QDir().mkpath(work_);
        program_ = install(home_.programDir() + "/エディタ editor.sh");
        handler_ = install(bin_ + "/xdg-open");
        home_.env().set("ZEK_LAUNCH_RECORD", QFile::encodeName(record_));
        home_.env().set("PATH", QFile::encodeName(bin_) + ":/usr/bin:/bin");
    }

    static QString install(const QString& target) {
        QDir().mkpath(QFileInfo(target).absolutePath());
        EXPECT_TRUE(test::writeFile(target, test::readFile(test::fixture("compilers/record-launch.sh"))));
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return target;
    }

    // What the started program recorded; empty when it never ran.
    QStringList launched(std::chrono::milliseconds within = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (!QFileInfo::exists(record_) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!QFileInfo::exists(record_))
            return {};
        const QStringList argv = splitNul(test::readFile(record_));
        QFile::remove(record_);
        return argv;
    }

    test::IsolatedHome home_;
    QString work_, bin_, record_, program_, handler_;
};

TEST_F(ShellOpenTest, StartsAnExecutableWithItsWordsAndTheTrailingNameWhole) {
    const QString name = work_ + "/song with spaces.mml";
    ASSERT_TRUE(compile::ShellOpen(program_, "-r 'two words' \"$HOME\"", {name}));
    // The record itself shows that ZEK's environment was inherited.
    EXPECT_EQ(launched(), (QStringList{program_, "-r", "two words", "$HOME", name}));
    EXPECT_TRUE(::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD) << "a child was left to reap";
}

TEST_F(ShellOpenTest, OpensDocumentsFoldersAndAddressesWithTheDesktopHandler) {
    const QString document = work_ + "/read me.txt";
    test::writeFile(document, "hello");
    // A text file that merely carries an execute bit cannot be executed.
    const QString markedExecutable = work_ + "/notes.txt";
    test::writeFile(markedExecutable, "just text\n");
    QFile::setPermissions(markedExecutable, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const QString& target : {document, work_, markedExecutable, QStringLiteral("https://example.invalid/zek")}) {
        SCOPED_TRACE(target.toStdString());
        ASSERT_TRUE(compile::ShellOpen(target, "-ignored", {"ignored too"}));
        EXPECT_EQ(launched(), (QStringList{handler_, target}));
    }
    EXPECT_TRUE(::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD);
}

TEST_F(ShellOpenTest, IsFalseWhenNothingCouldBeStarted) {
    const QString orphan = work_ + "/orphan.sh";
    test::writeFile(orphan, "#!/nonexistent/interpreter\n");
    QFile::setPermissions(orphan, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(compile::ShellOpen(orphan, ""));
    EXPECT_FALSE(compile::ShellOpen(work_ + "/nothing here.txt", ""));
    EXPECT_FALSE(compile::ShellOpen("", ""));

    const QString document = work_ + "/doc.txt";
    test::writeFile(document, "x");
    home_.env().set("PATH", QFile::encodeName(work_));  // no handler anywhere
    EXPECT_FALSE(compile::ShellOpen(document, ""));
    EXPECT_FALSE(compile::ShellOpen("https://example.invalid/", ""));
    EXPECT_TRUE(launched(std::chrono::milliseconds(300)).isEmpty());
}

}  // namespace
