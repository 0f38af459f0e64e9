#pragma once
// What ZEK tells the desktop mascot: the sender name and one script per event.
// Every script is sent with the sender SstpSender and the option "0".
#include <QString>

namespace zek::notify {

// The sender text of every request.
inline constexpr char SstpSender[] = "MMLコンパイラ支援ツール - ZEK";

// One entry per script; events with several variants have one entry each.
enum class SstpEvent {
    Startup1,         // start-up, RandomInRange(1, 5) gave 1
    Startup2,         // ... gave 2
    Startup3,         // ... gave 3, 4 or 5
    Exit,             // the main window is destroyed
    MidiNotOlder,     // compile skipped: the MIDI file is as new as the source or newer
    Compiling,        // the compiler is about to run
    CompileTimedOut,  // the forced-stop timer ended the compile
    CompileSucceeded,
    CompileFailed1,   // compile failed, RandomInRange(1, 10) gave 1
    CompileFailed2,   // ... gave 2
    CompileFailed3,   // ... gave 3 to 10
    PlaybackFailed,   // the built-in player could not play the MIDI file
};

inline constexpr int SstpEventCount = static_cast<int>(SstpEvent::PlaybackFailed) + 1;

// The script text of `event`, without the end tag (SendSstp adds it).
QString SstpScript(SstpEvent event);

// The start-up variant for a roll of RandomInRange(1, 5): 1 and 2 have a
// script each, every other value takes the third.
SstpEvent StartupEvent(int roll);

// The failure variant for a roll of RandomInRange(1, 10): 1 and 2 have a
// script each, every other value takes the third.
SstpEvent CompileFailedEvent(int roll);

// The scripts chosen by the clock, as the main window and the compile
// pipeline send them.
QString StartupScript();
QString CompileFailedScript();

}  // namespace zek::notify
