#include "MmlTestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace zek::mmltest {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::random_device rd;
    for (int i = 0; i < 100; ++i) {
        fs::path p = fs::temp_directory_path() / ("zekmml-test-" + std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            path_ = fs::canonical(p);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

mml::CompileResult compileText(const std::string& text, mml::CompileOptions options, const mml::IncludeLoader& loader) {
    mml::SourceText source{"test.mml", "", "", text};
    return mml::compile(source, options, loader);
}

mml::SmfFile readBack(const mml::CompileResult& result) {
    const std::vector<uint8_t> bytes = result.midi.toBytes();
    mml::SmfReadResult read = mml::readSmf(bytes);
    if (!read.file) throw std::runtime_error("own output unreadable: " + read.error);
    return std::move(*read.file);
}

std::string describe(const mml::SmfEvent& ev) {
    std::string s = std::to_string(ev.tick) + " ";
    if (ev.isMeta()) {
        if (ev.isTempo()) return s + "tempo " + std::to_string(ev.tempo());
        return s + "meta" + std::to_string(ev.metaType) + " " + ev.payload;
    }
    if (!ev.isChannel()) return s + "sysex";
    if (ev.channel() != 1) s += "ch" + std::to_string(ev.channel()) + " ";
    if (ev.isNoteOff()) return s + "off " + std::to_string(ev.data1);
    switch (ev.kind()) {
    case 0x90: return s + "on " + std::to_string(ev.data1) + " " + std::to_string(ev.data2);
    case 0xB0: return s + "cc " + std::to_string(ev.data1) + " " + std::to_string(ev.data2);
    case 0xC0: return s + "prog " + std::to_string(ev.data1);
    case 0xE0: return s + "bend " + std::to_string(ev.pitchBend());
    default: return s + "status " + std::to_string(ev.status);
    }
}

std::vector<std::string> eventsOf(const mml::SmfTrack& track) {
    std::vector<std::string> out;
    for (const auto& ev : track.events) out.push_back(describe(ev));
    return out;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += (out.empty() ? "" : ", ") + l;
    return out;
}

std::string diagnosticsText(const mml::CompileResult& result) {
    std::string out;
    for (const auto& d : result.diagnostics) {
        out += std::to_string(d.line) + ":" + std::to_string(d.column) + ": " +
               (d.severity == mml::Diagnostic::Severity::Error ? "" : "warning: ") + d.message + "\n";
    }
    return out;
}

ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         const std::string& cwd, int timeoutSeconds) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    std::vector<char*> args, envp;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        const int devnull = open("/dev/null", O_RDONLY);
        if (devnull >= 0) dup2(devnull, 0);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    close(fds[1]);
    ProcessResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    char buf[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, int(left.count())) <= 0) continue;
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        result.output.append(buf, size_t(n));
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) out.push_back(line);
    return out;
}

}  // namespace zek::mmltest
