#pragma once
// The compile job: the source and MIDI names in the main window's tool bar,
// the rule that derives one from the other, and RunCompile, which runs the
// pre-checks in their fixed order before the compiler runs.
#include "compile/CompileOutcome.h"
#include "compile/CompilerRunner.h"
#include "settings/Settings.h"

#include <QString>

namespace zek::compile {

class CompilerLibrary;

// What the compile pipeline needs of the main window, besides the runner's needs.
class CompileHost : public RunnerHost {
public:
    virtual bool settingsReady() const = 0;
    virtual QString programFolder() const = 0;
    virtual CompilerLibrary& compilerLibrary() = 0;

    // The three tool-bar boxes.
    virtual QString sourceText() const = 0;
    virtual QString midiText() const = 0;
    virtual QString optionText() const = 0;
    virtual void setFileNames(const QString& source, const QString& midi) = 0;

    // The output memo: emptied, and repainted at once when asked.
    virtual void clearOutput(bool repaintNow) = 0;

    virtual void restartIdleTimer() = 0;       // the wallpaper's idle period starts again
    virtual void restoreApplication() = 0;     // un-minimise
    virtual void bringToFront() = 0;
    virtual void rememberReturnWindow() = 0;   // the foreground window, unless it is ZEK's own
    virtual void addRecentFile(const QString& name) = 0;
    virtual void playWave(int which) = 0;      // 0 success cue, 1 error cue
    virtual void startPlayer() = 0;
    virtual void closeMainWindow() = 0;        // takes effect once the compile has returned
    virtual void sendSstp(const QString& script) = 0;  // only called when `sstp` is 1

    // Editor hand-off.
    virtual void forceReturnWindowToFront() = 0;  // hwndReturn of the hand-off block
    virtual QByteArray outputLog() const = 0;     // the memo's lines, each ended by LF
};

// The MIDI name for a source: the extension of the file-name part replaced by
// (or, without one, extended by) ".mid"; with an output folder, that folder
// and the file-name part.
QString DeriveMidiName(const QString& source, const QString& outputFolder);

// The extension of the file-name part from its last ".", or empty.
QString FileExtension(const QString& path);
// The part after the last "/", and the part up to it with its trailing "/".
QString FileNamePart(const QString& path);
QString FolderPart(const QString& path);

class CompileJob {
public:
    CompileJob(settings::Settings& settings, CompileHost& host) : settings_(settings), host_(host) {}

    // Makes the names the current job and records the source's time stamp.
    void SetSourceFile(const QString& source, const QString& midi);

    // SetSourceFile with what the boxes hold now (the compile command). A
    // MIDI name the user typed survives; a MIDI box that still holds the name
    // derived from an earlier source is derived afresh from a source typed
    // since, so the new song never lands in the old song's file.
    void SetSourceFileFromBoxes();

    void RunCompile();

    // Acts on how a started compile ended.
    void HandleCompileOutcome(const CompileOutcome& outcome);

private:
    void notify(const QString& script);
    void renameToUpperCase();

    void showNames(const QString& source, const QString& midi, bool derived);

    settings::Settings& settings_;
    CompileHost& host_;
    QString shownSource_;  // the source name this job last put into the box
    QString derivedMidi_;  // the MIDI name it derived for it, empty when given
};

// Memo lines and messages of the compile job and its results.
inline const QString kMidiNotOlderLine = QStringLiteral("ｿｰｽﾌｧｲﾙよりMIDIｼｰｹﾝｽﾌｧｲﾙのが同じか新しいです。");
inline const QString kNoCompilerMessage = QStringLiteral("ｺﾝﾊﾟｲﾗのﾊﾟｽが登録されていません。");
inline const QString kMidiInUseLine = QStringLiteral("MIDﾌｧｲﾙが他のﾌﾟﾛｾｽにて使用中です。");
inline const QString kMidiIsSourceLine = QStringLiteral("MIDﾌｧｲﾙ名がｿｰｽﾌｧｲﾙ名と同じです。");
inline const QString kTimedOutLine = QStringLiteral("強制中断ﾀｲﾏｰにてｺﾝﾊﾟｲﾙを中止しました。");

}  // namespace zek::compile
