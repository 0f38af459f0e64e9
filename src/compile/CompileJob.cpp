#include "compile/CompileJob.h"

#include "compile/CompilerTable.h"
#include "notify/RandomInRange.h"
#include "notify/SstpScripts.h"
#include "platform/FileOps.h"
#include "platform/FileStamp.h"

#include <QThread>

namespace zek::compile {
namespace {

// Letters a to z become A to Z; everything else, double-byte text included, stays.
QString upperAscii(QString s) {
    for (QChar& c : s)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return s;
}

}  // namespace

QString FileNamePart(const QString& path) { return path.mid(path.lastIndexOf('/') + 1); }

QString FolderPart(const QString& path) { return path.left(path.lastIndexOf('/') + 1); }

QString FileExtension(const QString& path) {
    const QString name = FileNamePart(path);
    const int dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : name.mid(dot);
}

QString DeriveMidiName(const QString& source, const QString& outputFolder) {
    // Only the file-name part's extension is replaced, so a dot in a folder
    // name never sends the output into another folder.
    const QString folder = FolderPart(source);
    QString name = FileNamePart(source);
    const int dot = name.lastIndexOf('.');
    if (dot >= 0)
        name.truncate(dot);
    name += QStringLiteral(".mid");
    if (outputFolder.isEmpty())
        return folder + name;
    return outputFolder.endsWith('/') ? outputFolder + name : outputFolder + '/' + name;
}

void CompileJob::showNames(const QString& source, const QString& midi, bool derived) {
    host_.setFileNames(source, midi);
    shownSource_ = source;
    derivedMidi_ = derived ? midi : QString();
}

void CompileJob::SetSourceFile(const QString& source, const QString& midi) {
    settings_.sourceStamp = platform::plainFileStamp(source).value_or(-1);
    if (!midi.isEmpty())
        showNames(source, midi, false);
    else if (!source.isEmpty())
        showNames(source, DeriveMidiName(source, settings_.diroutfile), true);
    else
        showNames(QString(), QString(), false);
    host_.clearOutput(false);
}

void CompileJob::SetSourceFileFromBoxes() {
    const QString source = host_.sourceText();
    const QString midi = host_.midiText();
    const bool midiDerived = !derivedMidi_.isEmpty() && midi == derivedMidi_;
    if (midiDerived && source != shownSource_) {
        SetSourceFile(source, QString());  // typed over: its own name, not the earlier song's
        return;
    }
    SetSourceFile(source, midi);
    if (midiDerived)
        derivedMidi_ = midi;  // still the derived name, so a source typed later gets its own
}

void CompileJob::notify(const QString& script) {
    if (settings_.sstp == 1)
        host_.sendSstp(script);
}

void CompileJob::RunCompile() {
    if (!host_.settingsReady())
        return;
    const auto startTime = std::chrono::steady_clock::now();
    host_.restartIdleTimer();
    if (settings_.rsiz == 1)
        host_.restoreApplication();
    host_.rememberReturnWindow();
    if (settings_.show == 1)
        host_.bringToFront();
    host_.clearOutput(true);

    const int kind = settings_.compiler;
    const CompilerKindInfo& info = compilerKindInfo(kind);
    const QString source = host_.sourceText();
    const QString midi = host_.midiText();

    if (settings_.extr == 1 && !info.extensions.contains(FileExtension(source).toUpper())) {
        host_.appendOutputLine(info.wrongExtension);
        return;
    }
    if (!source.isEmpty())
        host_.addRecentFile(source);
    if (settings_.date == 1) {
        const auto sourceStamp = platform::plainFileStamp(source);
        const auto midiStamp = platform::plainFileStamp(midi);
        if (sourceStamp && midiStamp && *sourceStamp <= *midiStamp) {
            host_.appendOutputLine(kMidiNotOlderLine);
            notify(notify::SstpScript(notify::SstpEvent::MidiNotOlder));
            return;
        }
    }
    if (!platform::isExistingFile(settings_.compilerPath(kind))) {
        host_.showWarning(kNoCompilerMessage);
        return;
    }
    if (!midi.isEmpty()) {
        // Deleting the "old output" must never delete the source itself.
        if (platform::sameFile(source, midi)) {
            host_.appendOutputLine(kMidiIsSourceLine);
            return;
        }
        const int error = platform::removeFile(midi);
        if (error != 0 && platform::isAccessError(error)) {
            host_.appendOutputLine(kMidiInUseLine);
            return;
        }
    }
    notify(notify::SstpScript(notify::SstpEvent::Compiling));

    CompilerRun run;
    run.kind = kind;
    run.compilerPath = settings_.compilerPath(kind);
    run.source = source;
    run.midi = midi;
    run.option = host_.optionText();
    run.smcInclude = settings_.smcinclude;
    run.timerExit = settings_.timerexit;
    run.startTime = startTime;
    run.programFolder = host_.programFolder();
    const std::optional<CompileOutcome> outcome = RunCompiler(run, host_, host_.compilerLibrary());
    if (outcome)
        HandleCompileOutcome(*outcome);
}

void CompileJob::renameToUpperCase() {
    const QString midi = host_.midiText();
    const QString upper = FolderPart(midi) + upperAscii(FileNamePart(midi));
    if (upper == midi)
        return;
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (platform::renameNoReplace(midi, upper) == 0) {
            // Names are case-sensitive here: the box must name the file that
            // exists. A derived name stays one after the rename.
            const bool derived = !derivedMidi_.isEmpty() && midi == derivedMidi_;
            host_.setFileNames(host_.sourceText(), upper);
            if (derived)
                derivedMidi_ = upper;
            return;
        }
        QThread::msleep(1);
    }
}

void CompileJob::HandleCompileOutcome(const CompileOutcome& outcome) {
    if (outcome.timedOut) {
        host_.appendOutputLine(kTimedOutLine);
        host_.playWave(1);
        host_.restoreApplication();
        notify(notify::SstpScript(notify::SstpEvent::CompileTimedOut));
        return;
    }
    if (outcome.exitCode == 0) {
        host_.playWave(0);
        if (settings_.ooji == 1)
            renameToUpperCase();
        if (settings_.next == 1)
            host_.startPlayer();
        if (settings_.quit == 1)
            host_.closeMainWindow();
        notify(notify::SstpScript(notify::SstpEvent::CompileSucceeded));
        return;
    }
    if (settings_.errf == 1)
        host_.bringToFront();
    host_.playWave(1);
    host_.restoreApplication();
    if (settings_.sstp == 1)
        notify(notify::SstpScript(notify::CompileFailedEvent(notify::RandomInRange(1, 10))));
}

}  // namespace zek::compile
