// End-to-end: the real zek stages the in-process compiler's library and
// include folder and cleans up after itself, and after a crash at the next
// exit, without ever touching the program's own files or a user's "Include".
#include "support/TestEnv.h"
#include "support/ZekProcess.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <csignal>

using namespace zek::test;

namespace {

class StagedFiles : public ::testing::Test {
protected:
    IsolatedHome home;
    QString zek = installZek(home);
    QString program = home.programDir();
    QString bundled = program + "/libzekmml.so";
    QByteArray bundledBytes;

    void SetUp() override {
        ASSERT_TRUE(QFile::copy(QString::fromUtf8(ZEK_BIN_DIR) + "/libzekmml.so", bundled));
        bundledBytes = readFile(bundled);
    }
    // The user's own build of the library, elsewhere; trailing bytes tell it
    // apart from the bundled one.
    QString userLibrary(const QString& relative) {
        const QString path = home.path(relative);
        writeFile(path, bundledBytes + "the user's own build");
        return path;
    }
    void runWith(const QString& library, int compiler, const QString& waitFor, bool crash = false) {
        writeSettings(home, "compiler=" + QByteArray::number(compiler) + "\nexecdsakura=" + library.toUtf8());
        RunningZek running(zek, home);
        ASSERT_TRUE(running.waitReady());
        if (!waitFor.isEmpty()) {
            ASSERT_TRUE(waitForFile(waitFor)) << "staged: " << waitFor.toStdString();
        }
        running.signal(crash ? SIGKILL : SIGTERM);
        const int code = running.waitExit();
        if (!crash) {
            EXPECT_EQ(code, 0);
        }
    }
};

TEST_F(StagedFiles, TheBundledLibraryOfTheSameNameIsNeitherOverwrittenNorDeleted) {
    const QString library = userLibrary("sakura/libzekmml.so");
    writeFile(home.path("sakura/Include/drums.inc"), "drums");
    runWith(library, 3, program + "/Include/drums.inc");
    EXPECT_EQ(readFile(bundled), bundledBytes);
    EXPECT_FALSE(QFile::exists(program + "/Include"));
}

TEST_F(StagedFiles, AUsersIncludeFolderSurvivesALibraryWithoutOne) {
    writeFile(program + "/Include/mine.inc", "mine");
    const QString library = userLibrary("sakura/dll/libother.so");
    runWith(library, 3, program + "/libother.so");
    EXPECT_FALSE(QFile::exists(program + "/libother.so")) << "the staged copy is removed";
    EXPECT_EQ(readFile(program + "/Include/mine.inc"), "mine");
    EXPECT_EQ(readFile(bundled), bundledBytes);
}

TEST_F(StagedFiles, WhatACrashedRunStagedIsRemovedAtTheNextExit) {
    const QString library = userLibrary("sakura/dll/libother.so");
    writeFile(home.path("sakura/Include/drums.inc"), "drums");
    runWith(library, 3, program + "/Include/drums.inc", /*crash=*/true);
    ASSERT_TRUE(QFile::exists(program + "/libother.so"));
    runWith(library, 0, QString());
    EXPECT_EQ(QDir(program).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"libzekmml.so", "zek"}));
    EXPECT_EQ(readFile(bundled), bundledBytes);
}

}  // namespace
