// The in-process library path of the runner and the library binding, driven
// against fake libraries built by runner_fixtures.cmake.
#include "compile/CompilerLibrary.h"
#include "compile/CompilerRunner.h"
#include "compile/StagingRecord.h"
#include "support/TestEnv.h"
#include "test_runner_host.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace zek;

namespace {

const QStringList kBanner = {
    "dSakura ---------------------------------",
    "           in-process compiler via ZEK",
    "-----------------------------------------",
    "    Compiler Ver.2.50 fake",
    "--------------------------------- dSakura",
    "",
    "Compile Start ...",
};

class RunnerLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedCwd_ = QDir::currentPath();
        program_ = home_.programDir();
        work_ = home_.path("work");
        libFolder_ = home_.path("サクラ lib");
        QDir().mkpath(work_);
        QDir().mkpath(libFolder_);
        ASSERT_TRUE(QDir::setCurrent(program_));
        library_ = copyLibrary(ZEK_FAKE_LIB_V2, libFolder_ + "/libdsakura.so");
    }
    void TearDown() override { QDir::setCurrent(savedCwd_); }

    static QString copyLibrary(const char* built, const QString& target) {
        QFile::remove(target);
        EXPECT_TRUE(QFile::copy(QString::fromUtf8(built), target)) << target.toStdString();
        return target;
    }

    compile::CompilerRun libraryRun(const QString& sourceText) {
        const QString source = work_ + "/song.mml";
        test::writeFile(source, sourceText.toUtf8());
        auto r = test::makeRun(compile::kDSakura, library_);
        r.source = source;
        r.midi = work_ + "/song.mid";
        r.option = "ignored";
        r.programFolder = program_;
        return r;
    }

    std::optional<compile::CompileOutcome> run(const compile::CompilerRun& r) {
        return compile::RunCompiler(r, host_, lib_);
    }

    test::IsolatedHome home_;
    QString savedCwd_, program_, work_, libFolder_, library_;
    test::RecordingHost host_;
    compile::CompilerLibrary lib_;
};

TEST_F(RunnerLibraryTest, SuccessPrintsBannerAndOkInTheLibrarysFolder) {
    const auto outcome = run(libraryRun("t120 cde"));
    ASSERT_TRUE(outcome.has_value());
    EXPECT_FALSE(outcome->timedOut);
    EXPECT_EQ(outcome->exitCode, 0);
    EXPECT_EQ(host_.lines, kBanner + QStringList{"ok."});
    // Called in the library's folder with the whole source, then back home.
    EXPECT_EQ(QString::fromUtf8(test::readFile(work_ + "/song.mid")),
              "cwd=" + QFileInfo(libFolder_).canonicalFilePath() + "\nsource=t120 cde");
    EXPECT_EQ(QDir::currentPath(), QFileInfo(program_).canonicalFilePath());
    EXPECT_TRUE(host_.captions.isEmpty());
}

TEST_F(RunnerLibraryTest, FailureEndsWithTheLibrarysTextOrTheVersion) {
    const std::vector<std::pair<QString, QString>> cases = {
        {"fail here", "fail.mml(3) : unknown command"},
        {"fail-silent", "2.50 fake"},          // no message: the version text is still there
        {"overflow", QString(255, u'O')},      // never read past the buffer
    };
    for (const auto& [text, lastLine] : cases) {
        SCOPED_TRACE(text.toStdString());
        host_ = test::RecordingHost();
        const auto outcome = run(libraryRun(text));
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(outcome->exitCode, -1);
        EXPECT_FALSE(outcome->timedOut);
        EXPECT_EQ(host_.lines, kBanner + QStringList{lastLine});
        EXPECT_EQ(QDir::currentPath(), QFileInfo(program_).canonicalFilePath());
    }
}

TEST_F(RunnerLibraryTest, RelativeNamesMeanZeksFolderNotTheLibrarys) {
    ASSERT_TRUE(QDir::setCurrent(work_));
    test::writeFile(work_ + "/rel.mml", "cde");
    auto r = libraryRun("unused");
    r.source = "rel.mml";
    r.midi = "rel.mid";
    const auto outcome = run(r);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->exitCode, 0);
    EXPECT_TRUE(QFileInfo::exists(work_ + "/rel.mid"));
    EXPECT_FALSE(QFileInfo::exists(libFolder_ + "/rel.mid"));
}

TEST_F(RunnerLibraryTest, UnreadableSourceOrUnloadableLibraryIsAWarning) {
    const QString garbage = libFolder_ + "/garbage.so";
    test::writeFile(garbage, "not a library");
    const QString noSymbol = copyLibrary(ZEK_FAKE_LIB_NOSYM, libFolder_ + "/nosym.so");
    struct Case {
        QString library;
        QString source;
        QString warningStart;
        QString warningMentions;
    };
    const std::vector<Case> cases = {
        {library_, work_ + "/missing.mml", compile::kSourceUnreadableMessage, "missing.mml"},
        {garbage, work_ + "/song.mml", compile::kLibraryLoadFailedMessage, "garbage.so"},
        {noSymbol, work_ + "/song.mml", compile::kLibraryLoadFailedMessage, "MMLtoMIDI"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.library.toStdString());
        host_ = test::RecordingHost();
        auto r = libraryRun("cde");
        r.compilerPath = c.library;
        r.source = c.source;
        EXPECT_FALSE(run(r).has_value());
        ASSERT_EQ(host_.warnings.size(), 1);
        EXPECT_TRUE(host_.warnings.front().startsWith(c.warningStart + u'\n')) << host_.warnings.front().toStdString();
        EXPECT_TRUE(host_.warnings.front().contains(c.warningMentions)) << host_.warnings.front().toStdString();
        EXPECT_TRUE(host_.lines.isEmpty());
        EXPECT_EQ(QDir::currentPath(), QFileInfo(program_).canonicalFilePath());
    }
}

TEST_F(RunnerLibraryTest, BindsTheStagedCopyAndFollowsChanges) {
    // Version query without a compile, from the path setting itself.
    EXPECT_EQ(lib_.queryVersion(library_, program_), QByteArray("2.50 fake"));
    EXPECT_EQ(lib_.boundFile(), QFileInfo(library_).absoluteFilePath());

    // A staged copy of the same file name in the program folder wins.
    const QString staged = program_ + "/libdsakura.so";
    compile::StagingRecord record;
    ASSERT_TRUE(record.copyFile(QString::fromUtf8(ZEK_FAKE_LIB_V1), staged));
    EXPECT_EQ(lib_.queryVersion(library_, program_), QByteArray("1.10 other"));
    EXPECT_EQ(lib_.boundFile(), QFileInfo(staged).absoluteFilePath());

    // The staged copy replaced by another one is bound afresh.
    ASSERT_TRUE(record.copyFile(QString::fromUtf8(ZEK_FAKE_LIB_V2), staged));
    EXPECT_EQ(lib_.queryVersion(library_, program_), QByteArray("2.50 fake"));
    EXPECT_EQ(lib_.boundFile(), QFileInfo(staged).absoluteFilePath());

    // A file of that name that staging did not make is not a staged copy.
    QFile::remove(staged);
    copyLibrary(ZEK_FAKE_LIB_V1, staged);
    EXPECT_EQ(lib_.queryVersion(library_, program_), QByteArray("2.50 fake"));
    EXPECT_EQ(lib_.boundFile(), QFileInfo(library_).absoluteFilePath());

    // A changed path setting binds the new library.
    QFile::remove(staged);
    const QString other = copyLibrary(ZEK_FAKE_LIB_V1, libFolder_ + "/libother.so");
    EXPECT_EQ(lib_.queryVersion(other, program_), QByteArray("1.10 other"));
    EXPECT_EQ(lib_.boundFile(), QFileInfo(other).absoluteFilePath());

    const QString noSymbol = copyLibrary(ZEK_FAKE_LIB_NOSYM, libFolder_ + "/nosym.so");
    EXPECT_FALSE(lib_.queryVersion(noSymbol, program_).has_value());
    EXPECT_TRUE(lib_.errorText().contains("MMLtoMIDI"));
    EXPECT_TRUE(lib_.boundFile().isEmpty());
}

}  // namespace
