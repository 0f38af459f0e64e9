#include "compile/CompilerLibrary.h"
#include "compile/FolderTree.h"
#include "compile/Staging.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace zek;
using test::IsolatedHome;
using test::readFile;
using test::writeFile;

namespace {

QStringList tree(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next().mid(root.size() + 1);
    out.sort();
    return out;
}

class StagingTest : public ::testing::Test {
protected:
    IsolatedHome home;
    settings::Settings s;
    compile::CompilerLibrary library;
    QString program = home.programDir();

    // A library of the given version at <folder>/dsakura.so.
    QString installLibrary(const QString& folder, const char* builtLibrary) {
        QDir().mkpath(folder);
        const QString path = folder + "/dsakura.so";
        QFile::copy(QString::fromUtf8(builtLibrary), path);
        return path;
    }
    void includeTree(const QString& folder) {
        writeFile(folder + "/drums.inc", "drums");
        writeFile(folder + "/sub/bass.inc", "bass");
        writeFile(folder + "/.hidden.inc", "hidden");
        writeFile(folder + "/.svn/entries", "svn");
    }
};

TEST_F(StagingTest, VersionOneStagesOnlyTheLibrary) {
    s.execdsakura = installLibrary(home.path("sakura/dll"), ZEK_FAKE_LIB_V1);
    includeTree(home.path("sakura/dll/Include"));
    compile::StageIncludeFolder(s, program, library);
    EXPECT_EQ(tree(program), QStringList{"dsakura.so"});
    compile::RemoveStagedFiles(library);
    EXPECT_EQ(tree(program), QStringList{});
}

TEST_F(StagingTest, IncludeBesideTheLibraryIsStagedWithoutHiddenEntriesAndRemovedAfter) {
    s.execdsakura = installLibrary(home.path("sakura/dll"), ZEK_FAKE_LIB_V2);
    includeTree(home.path("sakura/dll/Include"));
    includeTree(home.path("sakura/Include"));  // beside wins over the one above
    writeFile(home.path("sakura/Include/above-only.inc"), "no");
    compile::StageIncludeFolder(s, program, library);
    EXPECT_EQ(tree(program), (QStringList{"Include", "Include/drums.inc", "Include/sub", "Include/sub/bass.inc",
                                          "dsakura.so"}));
    EXPECT_EQ(readFile(program + "/Include/sub/bass.inc"), "bass");
    compile::RemoveStagedFiles(library);
    EXPECT_EQ(tree(program), QStringList{});
    EXPECT_EQ(readFile(home.path("sakura/dll/Include/drums.inc")), "drums") << "the user's folder is untouched";
}

TEST_F(StagingTest, IncludeAboveTheLibraryIsUsedWhenNoneIsBeside) {
    s.execdsakura = installLibrary(home.path("sakura/dll"), ZEK_FAKE_LIB_V2);
    writeFile(home.path("sakura/Include/above.inc"), "above");
    compile::StageIncludeFolder(s, program, library);
    EXPECT_EQ(readFile(program + "/Include/above.inc"), "above");
}

TEST_F(StagingTest, StagingAgainOverwritesAndKeepsWhatDisappeared) {
    s.execdsakura = installLibrary(home.path("lib"), ZEK_FAKE_LIB_V2);
    writeFile(home.path("lib/Include/a.inc"), "one");
    writeFile(home.path("lib/Include/gone.inc"), "g");
    compile::StageIncludeFolder(s, program, library);
    writeFile(home.path("lib/Include/a.inc"), "two");
    QFile::remove(home.path("lib/Include/gone.inc"));
    compile::StageIncludeFolder(s, program, library);
    EXPECT_EQ(readFile(program + "/Include/a.inc"), "two");
    EXPECT_TRUE(QFile::exists(program + "/Include/gone.inc"));
}

TEST_F(StagingTest, ALibraryInsideTheProgramFolderIsNeverCopiedOntoItselfOrDeleted) {
    s.execdsakura = installLibrary(program, ZEK_FAKE_LIB_V2);
    writeFile(program + "/Include/mine.inc", "user's own");
    const QByteArray before = readFile(s.execdsakura);
    compile::StageIncludeFolder(s, program, library);
    EXPECT_EQ(readFile(s.execdsakura), before);
    EXPECT_EQ(readFile(program + "/Include/mine.inc"), "user's own");
    compile::RemoveStagedFiles(library);
    EXPECT_EQ(readFile(s.execdsakura), before);
    EXPECT_EQ(readFile(program + "/Include/mine.inc"), "user's own");
}

TEST_F(StagingTest, ReadOnlyStagedFileResistsAndTheFolderStays) {
    s.execdsakura = installLibrary(home.path("lib"), ZEK_FAKE_LIB_V2);
    writeFile(home.path("lib/Include/locked.inc"), "l");
    compile::StageIncludeFolder(s, program, library);
    ::chmod(QFile::encodeName(program + "/Include/locked.inc").constData(), 0444);
    compile::RemoveStagedFiles(library);
    EXPECT_EQ(tree(program), (QStringList{"Include", "Include/locked.inc"}));
}

TEST_F(StagingTest, AnUnusableProgramFolderFailsQuietly) {
    s.execdsakura = installLibrary(home.path("lib"), ZEK_FAKE_LIB_V2);
    writeFile(home.path("lib/Include/a.inc"), "a");
    const QString nowhere = home.path("not/a/folder");
    compile::StageIncludeFolder(s, nowhere, library);
    compile::RemoveStagedFiles(library);
    EXPECT_FALSE(QFileInfo::exists(nowhere + "/dsakura.so"));
}

TEST_F(StagingTest, AFileOfTheSameNameThatStagingDidNotMakeIsNeverOverwrittenOrDeleted) {
    const QString bundled = installLibrary(program, ZEK_FAKE_LIB_V1);
    const QByteArray before = readFile(bundled);
    s.execdsakura = installLibrary(home.path("lib"), ZEK_FAKE_LIB_V2);
    compile::StageIncludeFolder(s, program, library);
    EXPECT_EQ(readFile(bundled), before);
    EXPECT_EQ(library.queryVersion(s.execdsakura, program), QByteArray("2.50 fake")) << "the configured library";
    compile::RemoveStagedFiles(library);
    EXPECT_EQ(readFile(bundled), before);
}

TEST_F(StagingTest, AUsersIncludeFolderInTheProgramFolderKeepsEveryFile) {
    for (const bool libraryHasIncludes : {false, true}) {
        SCOPED_TRACE(libraryHasIncludes);
        IsolatedHome fresh;
        const QString programFolder = fresh.programDir();
        s.execdsakura = installLibrary(fresh.path("lib"), ZEK_FAKE_LIB_V2);
        if (libraryHasIncludes) {
            writeFile(fresh.path("lib/Include/drums.inc"), "library's drums");
            writeFile(fresh.path("lib/Include/sub/new.inc"), "new");
        }
        writeFile(programFolder + "/Include/mine.inc", "mine");
        writeFile(programFolder + "/Include/drums.inc", "user's drums");
        compile::StageIncludeFolder(s, programFolder, library);
        EXPECT_EQ(readFile(programFolder + "/Include/drums.inc"), "user's drums");
        EXPECT_EQ(QFileInfo::exists(programFolder + "/Include/sub/new.inc"), libraryHasIncludes);
        compile::RemoveStagedFiles(library);
        EXPECT_EQ(tree(programFolder), (QStringList{"Include", "Include/drums.inc", "Include/mine.inc"}));
        EXPECT_EQ(readFile(programFolder + "/Include/drums.inc"), "user's drums");
    }
}

TEST_F(StagingTest, TheRecordOutlivesTheRunAndSparesWhatTheUserChangedSince) {
    s.execdsakura = installLibrary(home.path("lib"), ZEK_FAKE_LIB_V2);
    writeFile(home.path("lib/Include/a.inc"), "a");
    writeFile(home.path("lib/Include/edited.inc"), "staged");
    compile::StageIncludeFolder(s, program, library);
    writeFile(program + "/Include/edited.inc", "the user's edit");

    // A run that ended without clean-up (a crash): the next one still knows.
    compile::CompilerLibrary nextRun;
    compile::RemoveStagedFiles(nextRun);
    EXPECT_EQ(tree(program), (QStringList{"Include", "Include/edited.inc"}));
    EXPECT_EQ(readFile(program + "/Include/edited.inc"), "the user's edit");
    compile::RemoveStagedFiles(nextRun);
    EXPECT_EQ(tree(program), (QStringList{"Include", "Include/edited.inc"})) << "the user's file stays";
}

TEST_F(StagingTest, NothingIsStagedWhenTheRecordCannotBeKept) {
    writeFile(home.stateHome() + "/zek", "a file where the state folder belongs");
    s.execdsakura = installLibrary(home.path("lib"), ZEK_FAKE_LIB_V2);
    writeFile(home.path("lib/Include/a.inc"), "a");
    compile::StageIncludeFolder(s, program, library);
    EXPECT_EQ(tree(program), QStringList{});
    EXPECT_EQ(library.queryVersion(s.execdsakura, program), QByteArray("2.50 fake"));
}

TEST(FolderTree, NeverCopiesATreeIntoItself) {
    IsolatedHome home;
    const QString root = home.path("tree");
    writeFile(root + "/a.txt", "a");
    writeFile(root + "/sub/b.txt", "b");
    compile::CopyFolderTree(root + "/*.*", root + "/sub/*.*");
    EXPECT_EQ(readFile(root + "/sub/a.txt"), "a");
    EXPECT_FALSE(QFileInfo::exists(root + "/sub/sub")) << "no endless nesting";
    compile::CopyFolderTree(root + "/*.*", root + "/*.*");
    EXPECT_EQ(readFile(root + "/a.txt"), "a") << "a file copied onto itself survives";
}

TEST(FolderTree, DeletingNeverFollowsALinkOutOfTheTree) {
    IsolatedHome home;
    writeFile(home.path("outside/keep.txt"), "keep");
    const QString temp = home.path("ZEKTEMP");
    writeFile(temp + "/copy.mid", "m");
    QFile::link(home.path("outside"), temp + "/planted");
    compile::DeleteFolderTree(temp + "/*.*");
    EXPECT_EQ(readFile(home.path("outside/keep.txt")), "keep");
    EXPECT_EQ(tree(temp), QStringList{});
    EXPECT_TRUE(QFileInfo(temp).isDir()) << "the folder itself stays";
}

}  // namespace
