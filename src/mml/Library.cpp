// libzekmml.so: the in-process face of the compiler, two C functions for
// hosts that load the library with dlopen. No state survives a call.
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "mml/Compiler.h"
#include "mml/FileOutput.h"
#include "mml/IncludeSearch.h"
#include "mml/TextScan.h"
#include "mml/Version.h"

#define ZEKMML_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace zek::mml;

constexpr size_t kBufferSize = 256;  // the host's text buffer, NUL included

// Copies text into the host's buffer, cut at a character boundary.
void putText(char* buf, const std::string& text) {
    if (!buf) return;
    size_t n = std::min(text.size(), kBufferSize - 1);
    if (n < text.size() && isValidUtf8(text)) {
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
}

std::string hostIncludeFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return {};
    return (exe.parent_path() / "Include").string();
}

std::string describe(const Diagnostic& d) {
    std::string where = d.file.empty() ? "" : d.file + ", ";
    if (d.line > 0) where += "line " + std::to_string(d.line) + ", column " + std::to_string(d.column) + ": ";
    return where + d.message;
}

std::string failureText(const CompileResult& result) {
    const Diagnostic* first = nullptr;
    for (const Diagnostic& d : result.diagnostics) {
        if (d.severity == Diagnostic::Severity::Error) {
            first = &d;
            break;
        }
    }
    if (!first) return "compile failed";
    std::string text = describe(*first);
    if (result.stoppedEarly)
        text += " (and many more errors)";
    else if (result.errors == 2)
        text += " (and 1 more error)";
    else if (result.errors > 2)
        text += " (and " + std::to_string(result.errors - 1) + " more errors)";
    return text;
}

}  // namespace

ZEKMML_EXPORT void GetVerInfo(char* buf) { putText(buf, kVersionText); }

ZEKMML_EXPORT unsigned char MMLtoMIDI(const char* source, const char* midiPath, char* buf) {
    try {
        if (!source) {
            putText(buf, "no source text given");
            return 0;
        }
        if (!midiPath || !*midiPath) {
            putText(buf, "no MIDI file name given");
            return 0;
        }
        std::vector<std::string> folders{"", "Include"};
        const std::string hostFolder = hostIncludeFolder();
        if (!hostFolder.empty()) folders.push_back(hostFolder);
        // The host gives the source as text, not as a file; the MIDI file is
        // written beside the source unless an output folder is set, so its
        // folder lets an include beside the song be found as well.
        const std::string outputFolder = folderOf(midiPath);
        if (!outputFolder.empty()) folders.push_back(outputFolder);
        SourceText text{"", "", "", std::string_view(source)};
        CompileResult result = compile(text, CompileOptions{}, makeFolderIncludeLoader(std::move(folders)));
        if (!result.ok) {
            putText(buf, failureText(result));
            return 0;
        }
        const std::string writeError = writeFileAtomically(midiPath, result.midi);
        if (!writeError.empty()) {
            putText(buf, writeError);
            return 0;
        }
        return 1;
    } catch (const std::bad_alloc&) {
        putText(buf, "out of memory");
    } catch (const std::exception& e) {
        putText(buf, std::string("compile failed: ") + e.what());
    } catch (...) {
        putText(buf, "compile failed");
    }
    return 0;
}
