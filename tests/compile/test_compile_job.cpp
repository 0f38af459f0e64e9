#include "compile/CompileJob.h"
#include "compile/CompilerLibrary.h"
#include "compile/CompilerTable.h"
#include "compile/EditorHandoff.h"
#include "notify/SstpScripts.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

using namespace zek;
using compile::CompileJob;
using compile::CompileOutcome;
using settings::Settings;
using test::IsolatedHome;
using test::readFile;
using test::writeFile;

namespace {

// Writes down, in order, everything the compile pipeline asks of the window.
class JobHost : public compile::CompileHost {
public:
    QStringList events;
    QStringList memo;
    QString source, midi, option;
    QString title = QStringLiteral("ZEK - MMLコンパイラ支援ツール");
    bool ready = true;
    QString folder;
    compile::CompilerLibrary library;

    void appendOutputLine(const QString& line) override {
        memo << line;
        events << "line:" + line;
    }
    QString caption() const override { return title; }
    void setCaption(const QString& c) override { title = c; }
    void showWarning(const QString& text) override { events << "warning:" + text; }
    void keepAlive() override {}
    bool settingsReady() const override { return ready; }
    QString programFolder() const override { return folder; }
    compile::CompilerLibrary& compilerLibrary() override { return library; }
    QString sourceText() const override { return source; }
    QString midiText() const override { return midi; }
    QString optionText() const override { return option; }
    void setFileNames(const QString& s, const QString& m) override {
        source = s;
        midi = m;
        events << "names:" + s + "|" + m;
    }
    void clearOutput(bool repaintNow) override {
        memo.clear();
        events << (repaintNow ? "clear+repaint" : "clear");
    }
    void restartIdleTimer() override { events << "idle"; }
    void restoreApplication() override { events << "restore"; }
    void bringToFront() override { events << "front"; }
    void rememberReturnWindow() override { events << "return-window"; }
    void addRecentFile(const QString& name) override { events << "recent:" + name; }
    void playWave(int which) override { events << QStringLiteral("wave%1").arg(which); }
    void startPlayer() override { events << "player"; }
    void closeMainWindow() override { events << "close"; }
    void sendSstp(const QString& script) override { events << "sstp:" + script; }
    void forceReturnWindowToFront() override { events << "force-return"; }
    QByteArray outputLog() const override {
        QByteArray out;
        for (const QString& l : memo)
            out += l.toUtf8() + "\n";
        return out;
    }

    bool has(const QString& prefix) const {
        return std::any_of(events.begin(), events.end(), [&](const QString& e) { return e.startsWith(prefix); });
    }
};

QString script(notify::SstpEvent e) { return "sstp:" + notify::SstpScript(e); }

class CompileJobTest : public ::testing::Test {
protected:
    IsolatedHome home;
    Settings s;
    JobHost host;
    CompileJob job{s, host};
    QString compiler = test::fixture("compilers/fake-compiler.sh");

    void SetUp() override {
        host.folder = home.programDir();
        s.sstp = 0;
        s.show = 0;
        for (int k = 0; k < 3; ++k)
            s.compilerPath(k) = compiler;
        QDir::setCurrent(home.root());
    }
    QString file(const QString& name, const QByteArray& content = "x") {
        const QString p = home.path(name);
        writeFile(p, content);
        return p;
    }
    void setTime(const QString& path, time_t t) {
        struct utimbuf u{t, t};
        ::utime(QFile::encodeName(path).constData(), &u);
    }
};

TEST_F(CompileJobTest, MidiNameIsDerivedFromTheFileNamePartOnly) {
    struct Case {
        const char* source;
        const char* outputFolder;
        const char* midi;
    } cases[] = {
        {"/m/song.smc", "", "/m/song.mid"},
        {"/m/SONG.MML", "", "/m/SONG.mid"},
        {"/m/song", "", "/m/song.mid"},
        {"/m/v1.0/song", "", "/m/v1.0/song.mid"},
        {"/m/a.b.mml", "", "/m/a.b.mid"},
        {"/m/song.smc", "/out/", "/out/song.mid"},
        {"/m/song.smc", "/out", "/out/song.mid"},
        {"song.mml", "", "song.mid"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(compile::DeriveMidiName(c.source, c.outputFolder), QString(c.midi)) << c.source;
}

TEST_F(CompileJobTest, SetSourceFileTakesTheStampAndFillsTheBoxes) {
    const QString src = file("a.mml");
    job.SetSourceFile(src, QString());
    EXPECT_EQ(host.midi, home.path("a.mid"));
    EXPECT_GT(s.sourceStamp, 0);
    job.SetSourceFile(src, "/typed/name.mid");
    EXPECT_EQ(host.midi, "/typed/name.mid") << "a typed MIDI name survives";
    job.SetSourceFile(home.path("missing.mml"), QString());
    EXPECT_EQ(s.sourceStamp, -1);
    job.SetSourceFile(QString(), "/x.mid");
    EXPECT_EQ(host.source, QString());
    EXPECT_EQ(host.midi, "/x.mid");
    job.SetSourceFile(QString(), QString());
    EXPECT_EQ(host.midi, QString());
    EXPECT_EQ(host.events.last(), "clear");
}

TEST_F(CompileJobTest, ASourceTypedIntoTheBoxGetsItsOwnMidiNameAndATypedMidiNameStays) {
    job.SetSourceFile(home.path("saints.mml"), QString());
    host.source = home.path("ode-to-joy.mml");  // typed over the old name
    job.SetSourceFileFromBoxes();
    EXPECT_EQ(host.midi, home.path("ode-to-joy.mid"));

    job.SetSourceFileFromBoxes();
    host.source = home.path("saints.mml");  // typed back after a compile of ode-to-joy
    job.SetSourceFileFromBoxes();
    EXPECT_EQ(host.midi, home.path("saints.mid")) << "the name stays derived through a compile";

    host.midi = "/typed/out.mid";
    job.SetSourceFileFromBoxes();
    EXPECT_EQ(host.midi, "/typed/out.mid") << "a MIDI name the user typed";
    host.source = home.path("third.mml");
    job.SetSourceFileFromBoxes();
    EXPECT_EQ(host.midi, "/typed/out.mid") << "a typed MIDI name stays with a typed source too";

    job.SetSourceFile(home.path("a.mml"), "/given/b.mid");
    host.source = home.path("c.mml");
    job.SetSourceFileFromBoxes();
    EXPECT_EQ(host.midi, "/given/b.mid") << "a MIDI name handed over with the source";

    host.midi.clear();
    job.SetSourceFileFromBoxes();
    EXPECT_EQ(host.midi, home.path("c.mid")) << "an empty box is derived";
}

TEST_F(CompileJobTest, AnUpperCasedDerivedNameIsStillDerivedForTheNextTypedSource) {
    s.ooji = 1;
    job.SetSourceFile(home.path("saints.mml"), QString());
    file("saints.mid", "MThd");
    job.HandleCompileOutcome(CompileOutcome{false, 0});
    ASSERT_EQ(host.midi, home.path("SAINTS.MID"));
    host.source = home.path("ode.mml");
    job.SetSourceFileFromBoxes();
    EXPECT_EQ(host.midi, home.path("ode.mid"));
}

TEST_F(CompileJobTest, ExtensionCheckIsOnTheUpperCasedExtension) {
    struct Case {
        int kind;
        const char* name;
        bool passes;
    } cases[] = {{0, "song.dsm", true}, {0, "SONG.Smc", true}, {0, "song.mml", false}, {0, "song", false},
                 {1, "a.MmL", true},   {2, "a.smc", false},    {3, "a.mml", true},    {0, "v1.smc/song", false}};
    for (const Case& c : cases) {
        s.compiler = c.kind;
        host.events.clear();
        host.source = home.path(c.name);
        host.midi.clear();
        s.compilerPath(c.kind).clear();  // stop right after the extension and recent-file steps
        job.RunCompile();
        const QString wrong = compile::compilerKindInfo(c.kind).wrongExtension;
        EXPECT_EQ(host.has("line:" + wrong), !c.passes) << c.name;
        EXPECT_EQ(host.has("recent:"), c.passes) << "only a passing name enters the recent files";
    }
}

TEST_F(CompileJobTest, WithoutTheExtensionCheckAnyNameReachesTheCompiler) {
    s.extr = 0;
    host.source = file("noext");
    host.option = "record";
    job.RunCompile();
    EXPECT_TRUE(QFile::exists(home.path("argv.rec")));
}

TEST_F(CompileJobTest, StartUpActionsComeFirstInTheirOrder) {
    s.rsiz = 1;
    s.show = 1;
    host.source = home.path("a.mml");  // wrong kind for SPICE: stops at once
    job.RunCompile();
    EXPECT_EQ(host.events, (QStringList{"idle", "restore", "return-window", "front", "clear+repaint",
                                        "line:SPICEｿｰｽﾌｧｲﾙではありません。"}));
    host.ready = false;
    host.events.clear();
    job.RunCompile();
    EXPECT_TRUE(host.events.isEmpty()) << "nothing before the first-run choice";
}

TEST_F(CompileJobTest, PreChecksReportTheFirstFailure) {
    s.compiler = 1;
    s.date = 1;
    const QString src = file("a.mml");
    const QString mid = file("a.mid");
    setTime(src, 1000000);
    setTime(mid, 1000000);  // as new as the source
    host.source = src;
    host.midi = mid;
    s.execmml2mid.clear();
    s.sstp = 1;
    job.RunCompile();
    EXPECT_TRUE(host.has("recent:" + src)) << "the recent list is updated before the date check";
    EXPECT_TRUE(host.has("line:" + compile::kMidiNotOlderLine));
    EXPECT_TRUE(host.has(script(notify::SstpEvent::MidiNotOlder)));
    EXPECT_FALSE(host.has("warning:")) << "the date check comes before the compiler check";
    EXPECT_TRUE(QFile::exists(mid));

    setTime(src, 2000000);  // now newer: the compiler check is next
    host.events.clear();
    job.RunCompile();
    EXPECT_TRUE(host.has("warning:" + compile::kNoCompilerMessage));
    EXPECT_TRUE(QFile::exists(mid)) << "the old output is deleted only after the compiler check";

    s.execmml2mid = home.programDir();  // a folder is no compiler
    host.events.clear();
    job.RunCompile();
    EXPECT_TRUE(host.has("warning:" + compile::kNoCompilerMessage));
}

TEST_F(CompileJobTest, AProtectedOldOutputStopsTheCompile) {
    s.compiler = 1;
    host.source = file("a.mml");
    host.midi = "/proc/version";  // cannot be deleted, by root either
    job.RunCompile();
    EXPECT_EQ(host.memo, QStringList{compile::kMidiInUseLine});
    EXPECT_FALSE(host.has("sstp:"));
}

TEST_F(CompileJobTest, TheSourceIsNeverDeletedAsTheOldOutput) {
    s.compiler = 1;
    s.extr = 0;
    host.source = file("a.mid", "my source");
    host.midi = host.source;
    job.RunCompile();
    EXPECT_EQ(host.memo, QStringList{compile::kMidiIsSourceLine});
    EXPECT_EQ(readFile(host.source), "my source");
}

TEST_F(CompileJobTest, CompilingRunsTheCompilerAfterTheOldOutputIsGone) {
    s.compiler = 2;
    s.sstp = 1;
    host.source = file("a.mml");
    host.midi = file("a.mid", "old");
    host.option = "exit3";
    job.RunCompile();
    EXPECT_FALSE(QFile::exists(host.midi));
    const int compiling = host.events.indexOf(script(notify::SstpEvent::Compiling));
    const int firstLine = host.events.indexOf("line:one");
    ASSERT_GE(compiling, 0);
    EXPECT_LT(compiling, firstLine);
    EXPECT_TRUE(host.has("line:two"));
    // Exit code 3: the failure steps.
    const int wave = host.events.indexOf("wave1");
    EXPECT_GT(wave, firstLine);
    EXPECT_EQ(host.events.at(wave + 1), "restore");
    EXPECT_TRUE(host.events.at(wave + 2).startsWith("sstp:\\h\\s4")) << host.events.at(wave + 2).toStdString();
    EXPECT_FALSE(host.has("front")) << "errf is 0";
}

TEST_F(CompileJobTest, OutcomeSteps) {
    s.sstp = 1;
    s.errf = 1;
    job.HandleCompileOutcome(CompileOutcome{true, 0});
    EXPECT_EQ(host.events, (QStringList{"line:" + compile::kTimedOutLine, "wave1", "restore",
                                        script(notify::SstpEvent::CompileTimedOut)}))
        << "a time-out never brings ZEK to the front";

    host.events.clear();
    job.HandleCompileOutcome(CompileOutcome{false, 1});
    ASSERT_EQ(host.events.size(), 4);
    EXPECT_EQ(host.events.mid(0, 3), (QStringList{"front", "wave1", "restore"}));

    s.sstp = 0;
    host.events.clear();
    job.HandleCompileOutcome(CompileOutcome{false, -1});
    EXPECT_FALSE(host.has("sstp:"));
}

TEST_F(CompileJobTest, SuccessRenamesStartsThePlayerQuitsAndStillNotifies) {
    s.sstp = 1;
    s.ooji = 1;
    s.next = 1;
    s.quit = 1;
    QDir().mkpath(home.path("mml"));
    host.source = home.path("mml/song.mml");
    host.midi = file("mml/song.mid", "MThd");
    job.HandleCompileOutcome(CompileOutcome{false, 0});
    EXPECT_TRUE(QFile::exists(home.path("mml/SONG.MID")));
    EXPECT_FALSE(QFile::exists(home.path("mml/song.mid")));
    EXPECT_EQ(host.midi, home.path("mml/SONG.MID")) << "the box names the file that now exists";
    EXPECT_EQ(host.events, (QStringList{"wave0", "names:" + host.source + "|" + host.midi, "player", "close",
                                        script(notify::SstpEvent::CompileSucceeded)}));
}

TEST_F(CompileJobTest, UpperCaseRenameNeverReplacesAnotherFile) {
    s.ooji = 1;
    host.midi = file("song.mid", "new");
    file("SONG.MID", "someone else's");
    job.HandleCompileOutcome(CompileOutcome{false, 0});
    EXPECT_EQ(readFile(home.path("SONG.MID")), "someone else's");
    EXPECT_EQ(readFile(home.path("song.mid")), "new");

    host.midi = home.path("none.mid");  // the compiler made no file: quiet failures
    host.events.clear();
    job.HandleCompileOutcome(CompileOutcome{false, 0});
    EXPECT_EQ(host.events, QStringList{"wave0"});
}

class EditorTest : public CompileJobTest {
protected:
    QString editor = test::fixture("compilers/record-launch.sh");
    QString record = home.path("editor.rec");

    void SetUp() override {
        CompileJobTest::SetUp();
        home.env().set("ZEK_LAUNCH_RECORD", QFile::encodeName(record));
        s.execeditor = editor;
    }
    QStringList launched() {
        if (!test::waitForFile(record))
            return {};
        QStringList out;
        for (const QByteArray& a : readFile(record).split('\0'))
            out << QString::fromUtf8(a);
        out.removeLast();
        QFile::remove(record);
        return out;
    }
};

TEST_F(EditorTest, ParameterWordsThenTheFileAsOneArgument) {
    s.parmeditor = "-r";
    compile::OpenInEditor(s, host, QStringLiteral("/m/my song.mml"));
    EXPECT_EQ(launched(), (QStringList{editor, "-r", "/m/my song.mml"}));
    s.parmeditor.clear();
    compile::OpenInEditor(s, host, QStringLiteral("/m/a.mml"));
    EXPECT_EQ(launched(), (QStringList{editor, "/m/a.mml"}));
    s.parmeditor = "-r";
    compile::OpenInEditor(s, host, QString());
    EXPECT_EQ(launched(), (QStringList{editor, "-r"})) << "an empty source box gives only the parameters";
}

TEST_F(EditorTest, TheLogIsTheMemoInUtf8WithLf) {
    host.memo = QStringList{"a.mml:3:5: error: 不明なコマンド", "", "done"};
    s.show = 1;
    compile::OpenInEditor(s, host, std::nullopt);
    const QString log = home.programDir() + "/SPICE.ERR";
    EXPECT_EQ(launched(), (QStringList{editor, log}));
    EXPECT_EQ(readFile(log), QByteArray("a.mml:3:5: error: 不明なコマンド\n\ndone\n"));
    EXPECT_TRUE(host.has("force-return"));
}

TEST_F(EditorTest, AnUnwritableProgramFolderWritesTheLogInTheStateFolder) {
    writeFile(home.programDir() + "/SPICE.ERR", "old log");
    host.folder = home.path("program/no-such-folder");
    host.memo = QStringList{"new"};
    compile::OpenInEditor(s, host, std::nullopt);
    const QString fallback = home.stateHome() + "/zek/SPICE.ERR";
    EXPECT_EQ(launched(), (QStringList{editor, fallback}));
    EXPECT_EQ(readFile(fallback), "new\n");
}

TEST_F(EditorTest, MissingEditorOrNoSettingsYet) {
    s.execeditor = home.programDir();
    compile::OpenInEditor(s, host, QStringLiteral("/a.mml"));
    EXPECT_EQ(host.events, QStringList{"warning:" + compile::kNoEditorMessage});
    host.ready = false;
    host.events.clear();
    compile::OpenInEditor(s, host, QStringLiteral("/a.mml"));
    EXPECT_TRUE(host.events.isEmpty());
    s.execeditor = home.path("not-a-program");
    writeFile(s.execeditor, "plain text");
    host.ready = true;
    home.env().set("PATH", QFile::encodeName(home.path("empty-path")));
    compile::OpenInEditor(s, host, QStringLiteral("/a.mml"));
    EXPECT_EQ(host.events, QStringList{"warning:" + compile::kEditorFailedMessage});
}

}  // namespace
