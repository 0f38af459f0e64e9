// zekmml [options] source [midi]: the console face of the MML compiler.
// Exit 0 on success, 1 on compile errors, 2 on bad usage.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "mml/Compiler.h"
#include "mml/Crc32.h"
#include "mml/FileOutput.h"
#include "mml/IncludeSearch.h"
#include "mml/Version.h"

namespace {

using namespace zek::mml;

constexpr size_t kMaxSourceBytes = 64u << 20;

// ZEK reads stdout and stderr through one pipe, line by line: every line is
// flushed at once so the two streams stay in order.
void out(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
void err(const std::string& line) {
    std::fflush(stdout);
    std::fputs(line.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

const char* kUsage =
    "usage: zekmml [options] source [midi]\n"
    "  for .smc and .dsm sources:\n"
    "    -pc  print each track's length in clocks (480 per quarter note)\n"
    "    -ps  print a checksum (CRC-32) of the MIDI file\n"
    "    -v   verbose: print what the compiler does\n"
    "  for other sources (.mml):\n"
    "    -f   write a format 0 MIDI file (one track)\n"
    "    -x   swap the meaning of '<' and '>'\n"
    "    -v   swap the direction of the velocity steps '(' and ')'\n"
    "    -m   quoted texts are not Shift-JIS (read non-UTF-8 bytes one by one)\n"
    "    -w   report errors as warnings and still write the MIDI file\n"
    "  without a midi name the source name with the extension .mid is used;\n"
    "  includes are searched in the source's folder, then in each folder of SMC_INCLUDE.";

int usage(const std::string& problem) {
    err("zekmml: " + problem);
    err(kUsage);
    return 2;
}

std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return s;
}

bool isSmcSource(const std::string& source) {
    const size_t slash = source.find_last_of('/');
    const size_t dot = source.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    const std::string ext = lowerAscii(source.substr(dot));
    return ext == ".smc" || ext == ".dsm";
}

std::string formatLength(double ms) {
    const long long total = (long long)(ms + 0.5);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%lld:%02lld.%03lld", total / 60000, (total / 1000) % 60, total % 1000);
    return buf;
}

std::string plural(size_t n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

int run(int argc, char** argv) {
    std::vector<std::string> options;
    std::vector<std::string> names;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            options.push_back(arg);
        } else {
            names.push_back(arg);
        }
    }
    for (const std::string& o : options) {
        if (o == "--help") {
            out(kUsage);
            return 0;
        }
        if (o == "--version") {
            out(std::string("zekmml ") + kVersion);
            return 0;
        }
    }
    if (names.empty()) return usage("no source file given");
    if (names.size() > 2) return usage("too many file names: '" + names[2] + "'");
    const std::string& source = names[0];
    if (source.empty()) return usage("the source file name is empty");
    if (names.size() == 2 && names[1].empty()) return usage("the MIDI file name is empty");

    const bool smc = isSmcSource(source);
    CompileOptions compileOptions;
    bool printClocks = false, printChecksum = false, verbose = false;
    for (const std::string& raw : options) {
        const std::string o = lowerAscii(raw);
        if (smc && o == "-pc") printClocks = true;
        else if (smc && o == "-ps") printChecksum = true;
        else if (smc && o == "-v") verbose = true;
        else if (!smc && o == "-f") compileOptions.format0 = true;
        else if (!smc && o == "-x") compileOptions.swapOctaveArrows = true;
        else if (!smc && o == "-v") compileOptions.swapVelocitySteps = true;
        else if (!smc && o == "-m") compileOptions.textNotShiftJis = true;
        else if (!smc && o == "-w") compileOptions.errorsAsWarnings = true;
        else
            return usage("unknown option '" + raw + "' for a " + std::string(smc ? ".smc/.dsm" : ".mml") + " source");
    }
    const std::string midi = names.size() == 2 ? names[1] : defaultMidiName(source);

    if (verbose) out(std::string("zekmml ") + kVersion + ": compiling " + source + " to " + midi);
    FileRead read = readWholeFile(source, kMaxSourceBytes);
    if (!read.ok) {
        err(source + ": error: cannot read the source: " + read.error);
        return 1;
    }
    if (sameFile(source, midi)) {
        err(source + ": error: the MIDI file name names the source itself; nothing written");
        return 1;
    }

    std::vector<std::string> folders{folderOf(source)};
    if (const char* list = std::getenv("SMC_INCLUDE")) {
        for (std::string& f : splitSearchPath(list)) folders.push_back(std::move(f));
    }
    if (verbose) {
        std::string searched;
        for (const std::string& f : folders) searched += " " + (f.empty() ? std::string(".") : f);
        out("include folders:" + searched);
    }
    SourceText text{source, folderOf(source), identityOf(source), read.bytes};
    CompileResult result = compile(text, compileOptions, makeFolderIncludeLoader(std::move(folders)));

    for (const Diagnostic& d : result.diagnostics) err(formatDiagnostic(d, source));
    if (verbose) {
        for (const std::string& inc : result.includedFiles) out("included " + inc);
    }
    if (!result.ok) {
        err("zekmml: " + (result.stoppedEarly ? "more than " + plural(result.errors - 1, "error") : plural(result.errors, "error")) +
            "; no MIDI file written");
        return 1;
    }
    const std::string writeError = writeFileAtomically(midi, result.midi);
    if (!writeError.empty()) {
        err(midi + ": error: " + writeError);
        return 1;
    }
    if (printClocks || verbose) {
        for (const TrackSummary& t : result.tracks)
            out("track " + std::to_string(t.number) + ": " + std::to_string(t.endTick) + " clocks");
    }
    if (verbose) {
        for (const TrackSummary& t : result.tracks)
            out("track " + std::to_string(t.number) + ": channel " + std::to_string(t.channel) + ", " +
                plural(t.notes, "note"));
        out("wrote " + std::to_string(result.midi.byteSize()) + " bytes");
    }
    if (printChecksum) {
        uint32_t crc = 0;
        result.midi.write([&](const uint8_t* p, size_t n) {
            crc = crc32Update(crc, p, n);
            return true;
        });
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08X", unsigned(crc));
        out(std::string("checksum: ") + hex + " (CRC-32 of the MIDI file)");
    }
    std::string summary = "zekmml: wrote " + midi + " (format " + std::to_string(result.midi.format) + ", " +
                          plural(result.tracks.size(), "track") + ", " + plural(size_t(result.noteCount), "note") +
                          ", " + formatLength(result.lengthMs);
    if (result.warnings) summary += ", " + plural(result.warnings, "warning");
    out(summary + ")");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        err("zekmml: error: out of memory");
    } catch (const std::exception& e) {
        err(std::string("zekmml: error: ") + e.what());
    }
    return 1;
}
