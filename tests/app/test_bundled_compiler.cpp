// Out of the box: every compiler kind compiles the example songs with the
// compiler ZEK ships, without any path registered.
#include "app/Untmain.h"
#include "support/TestEnv.h"
#include "support/ZekProcess.h"
#include "ui/OutputMemo.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <gtest/gtest.h>

using namespace zek;
using test::IsolatedHome;

namespace {

struct KindCase {
    int kind;
    const char* song;
    const char* lastLine;  // how the memo ends
};

class BundledCompiler : public ::testing::TestWithParam<KindCase> {
protected:
    IsolatedHome home;
    app::SharedHandoffBlock raw{};
    app::HandoffBlock block{&raw};

    void SetUp() override {
        app::firstPaintDone = false;
        block.initialise(0);
        for (const char* file : {"zekmml", "libzekmml.so"}) {
            QFile::copy(QString::fromUtf8(ZEK_BIN_DIR) + "/" + file, home.programDir() + "/" + file);
        }
        const QString examples = QString::fromUtf8(ZEK_FIXTURES_DIR) + "/../../examples";
        QDir().mkpath(home.path("songs"));
        for (const QString& name : QDir(examples).entryList(QDir::Files))
            QFile::copy(examples + "/" + name, home.path("songs/" + name));
        QDir::setCurrent(home.root());
    }
};

TEST_P(BundledCompiler, CompilesTheExampleSong) {
    const KindCase& c = GetParam();
    test::writeFile(home.configHome() + "/Talmo/ZEK.conf",
                    QByteArray("[General]\nleft=0\nsstp=0\nshow=0\ncompiler=") + QByteArray::number(c.kind) + "\n");
    {
        app::TfrmMain w(block, home.programDir());
        w.SetSourceFile(home.path(QString("songs/") + c.song), QString());
        w.RunCompile();
        const QString midi = w.edtFnameMid->text();
        EXPECT_TRUE(test::readFile(midi).startsWith("MThd")) << w.mmoSmc->lines().join('\n').toStdString();
        ASSERT_GT(w.mmoSmc->lineCount(), 0);
        EXPECT_TRUE(w.mmoSmc->line(w.mmoSmc->lineCount() - 1).startsWith(c.lastLine))
            << w.mmoSmc->lines().join('\n').toStdString();
    }
    EXPECT_FALSE(QFile::exists(home.programDir() + "/Include")) << "nothing staged is left behind";
    EXPECT_TRUE(QFile::exists(home.programDir() + "/libzekmml.so")) << "the bundled library itself stays";
}

INSTANTIATE_TEST_SUITE_P(EveryKind, BundledCompiler,
                         ::testing::Values(KindCase{0, "sakura.smc", "zekmml: wrote"},
                                           KindCase{1, "ode-to-joy.mml", "zekmml: wrote"},
                                           KindCase{2, "saints.mml", "zekmml: wrote"},
                                           KindCase{3, "saints.mml", "ok."}));

}  // namespace
