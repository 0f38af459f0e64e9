#pragma once
// Helpers for the MML compiler's tests: temporary folders, compiling a text,
// events as short strings, and running a program with a chosen environment.
#include <filesystem>
#include <string>
#include <vector>

#include "mml/Compiler.h"
#include "mml/SmfReader.h"

namespace zek::mmltest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return (path_ / rel).string(); }

private:
    std::filesystem::path path_;
};

void writeText(const std::string& path, const std::string& text);
std::string readText(const std::string& path);

mml::CompileResult compileText(const std::string& text, mml::CompileOptions options = {},
                               const mml::IncludeLoader& loader = {});

mml::SmfFile readBack(const mml::CompileResult& result);

// "0 on 60 100", "216 off 60", "0 prog 0", "0 cc 7 100", "0 bend 0",
// "0 tempo 500000", "0 meta3 Title"; channel events off channel 1 begin
// with "chN " after the tick.
std::string describe(const mml::SmfEvent& ev);
std::vector<std::string> eventsOf(const mml::SmfTrack& track);
std::string joined(const std::vector<std::string>& lines);

// All diagnostics as "line:col: message" lines.
std::string diagnosticsText(const mml::CompileResult& result);

struct ProcessResult {
    int exitCode = -1;        // -1: did not exit normally
    std::string output;       // stdout and stderr through one pipe, as ZEK reads them
};
// Runs argv[0] with exactly `env` as its environment, in `cwd` if given.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                         const std::string& cwd = {}, int timeoutSeconds = 60);

std::vector<std::string> lines(const std::string& text);

}  // namespace zek::mmltest
