#pragma once
// The MML compiler core: source text in, Standard MIDI file image and
// positioned diagnostics out. No I/O of its own: include files come through
// an IncludeLoader, so the console program, the library and the fuzzer each
// decide where files are looked for.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mml/SmfWriter.h"

namespace zek::mml {

inline constexpr int kTicksPerQuarter = 480;

struct CompileOptions {
    bool format0 = false;             // one merged track instead of format 1
    bool swapOctaveArrows = false;    // '<' goes up and '>' down
    bool swapVelocitySteps = false;   // ')' gets softer and '(' louder
    bool textNotShiftJis = false;     // non-UTF-8 strings are single-byte text
    bool errorsAsWarnings = false;    // recoverable errors are reported as warnings
    size_t maxDiagnostics = 20;       // errors stop the compile past this; warnings go quiet
    // Bounds on what a source may expand to; past them the compile stops.
    size_t maxEvents = 4'000'000;
    uint64_t maxRereadBytes = 64ull << 20;  // text read again by loops and includes
};

struct Diagnostic {
    enum class Severity { Error, Warning };
    Severity severity = Severity::Error;
    std::string file;      // display name of the file, empty for a nameless main text
    uint32_t line = 0;     // 1-based; 0 when the message concerns no position
    uint32_t column = 0;   // 1-based byte column
    std::string message;
};

// One file's text as handed to the compiler.
struct SourceText {
    std::string displayName;    // used in diagnostics
    std::string folder;         // searched first for its own includes; may be empty
    std::string identity;       // canonical path, for include cycle detection; may be empty
    std::string_view bytes;     // must outlive the compile
};

// A file found by the loader; the compiler keeps it for the whole compile.
struct LoadedInclude {
    std::string displayName;
    std::string folder;
    std::string identity;
    std::string bytes;
};

struct IncludeLookup {
    std::unique_ptr<LoadedInclude> file;  // null when not found or unreadable
    std::string error;                    // why, when file is null
};

// Finds `name` as written in #include; `fromFolder` is the including file's folder.
using IncludeLoader = std::function<IncludeLookup(const std::string& name, const std::string& fromFolder)>;

struct TrackSummary {
    int number = 0;         // as written after `track`
    int channel = 0;        // channel of the track's last event, 1..16
    uint32_t endTick = 0;   // length in ticks ("clocks" at 480 per quarter note)
    uint32_t notes = 0;
};

struct CompileResult {
    bool ok = false;                 // false: no MIDI file must be written
    std::vector<Diagnostic> diagnostics;
    size_t errors = 0;               // errors reported, fatal ones included
    size_t warnings = 0;             // counted also past maxDiagnostics
    bool stoppedEarly = false;       // too many errors: more may follow
    SmfImage midi;
    std::vector<TrackSummary> tracks;
    uint32_t songTicks = 0;
    double lengthMs = 0;
    uint64_t noteCount = 0;
    std::vector<std::string> includedFiles;  // display names, in first-use order
};

CompileResult compile(const SourceText& main, const CompileOptions& options, const IncludeLoader& loader);

// "file:line:column: error: message" (or "warning:"), the form editors' quickfix lists read.
std::string formatDiagnostic(const Diagnostic& d, std::string_view fallbackFile);

}  // namespace zek::mml
