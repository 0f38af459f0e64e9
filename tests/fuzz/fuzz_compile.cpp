// libFuzzer target for the compiler core: any bytes as source (the first
// byte picks the options), includes from a small in-memory table that also
// offers the input itself, so cycles and repeats get exercised. Output must
// be a MIDI file our reader accepts; failure must leave no file image.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mml/Compiler.h"
#include "mml/SmfReader.h"

using namespace zek::mml;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CompileOptions options;
    // Smaller bounds than a real compile, so hostile inputs stay fast under
    // the sanitizers; the limit paths are the same code.
    options.maxEvents = 50'000;
    options.maxRereadBytes = 1u << 20;
    if (size > 0) {
        const uint8_t flags = data[0];
        options.format0 = flags & 1;
        options.swapOctaveArrows = flags & 2;
        options.swapVelocitySteps = flags & 4;
        options.textNotShiftJis = flags & 8;
        options.errorsAsWarnings = flags & 16;
        ++data;
        --size;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    IncludeLoader loader = [&text](const std::string& name, const std::string&) {
        IncludeLookup lookup;
        std::string body;
        if (name == "self.mml") {
            body = text;
        } else if (name == "part.mml") {
            body = "l8 [c d e | f]3 track 2 o3 g2";
        } else {
            lookup.error = "no such file";
            return lookup;
        }
        lookup.file = std::make_unique<LoadedInclude>(LoadedInclude{name, "", name, std::move(body)});
        return lookup;
    };
    SourceText source{"fuzz.mml", "", "fuzz.mml", text};
    CompileResult result = compile(source, options, loader);
    if (result.ok) {
        const std::vector<uint8_t> bytes = result.midi.toBytes();
        SmfReadResult read = readSmf(bytes);
        if (!read.file) std::abort();
        if (read.file->lengthTicks != result.songTicks) std::abort();
    } else if (!result.midi.tracks.empty() || result.errors == 0) {
        std::abort();
    }
    for (const Diagnostic& d : result.diagnostics) {
        if (d.message.empty() || (d.line == 0 && d.column != 0)) std::abort();
    }
    return 0;
}
