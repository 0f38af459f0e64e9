// mml_bench <zekmml> [abc2midi]: compiles a generated 1 MB source (several
// tracks, loops, tempo changes) in process and through the console program,
// and abc2midi on an ABC tune with the same number of notes, in one run.
// Prints MB/s, the time ratio to abc2midi and peak memory over source size.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mml/Compiler.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Lcg {
    uint32_t state = 12345;
    uint32_t next(uint32_t n) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % n;
    }
};

// Four tracks of eighth-note phrases; every fourth phrase sits in a loop
// played twice; a tempo change every 64 phrases.
std::string makeMml(size_t targetBytes) {
    static const char* kNotes[] = {"c", "d", "e", "f", "g", "a", "b", "c+", "e-", "b-"};
    Lcg rng;
    std::string out = "#title \"bench\"\nt120\n";
    const size_t perTrack = targetBytes / 4;
    for (int track = 1; track <= 4; ++track) {
        out += "track " + std::to_string(track) + " @" + std::to_string(track * 10) + " o4 l8 v90\n";
        const size_t start = out.size();
        int phrase = 0;
        while (out.size() - start < perTrack) {
            const bool loop = phrase % 4 == 3;
            if (phrase % 64 == 63 && track == 1) out += "t" + std::to_string(100 + rng.next(60)) + " ";
            if (loop) out += "[";
            for (int i = 0; i < 8; ++i) {
                out += kNotes[rng.next(10)];
                if (rng.next(8) == 0) out += "4";
                out += ' ';
            }
            out += loop ? "]2\n" : "\n";
            ++phrase;
        }
    }
    return out;
}

// About the same number of notes as ABC: four voices of eighth notes, cut
// into several tunes because abc2midi refuses very long MIDI files. Returns
// the exact number of notes written.
uint64_t makeAbc(uint64_t notes, std::string& out) {
    static const char* kNotes[] = {"c", "d", "e", "f", "g", "a", "b", "^c", "_e", "_B"};
    constexpr int kTunes = 16;
    Lcg rng;
    const uint64_t perVoice = notes / (4 * kTunes) / 8 * 8;  // whole bars only
    for (int tune = 1; tune <= kTunes; ++tune) {
        out += "X:" + std::to_string(tune) + "\nT:bench\nM:4/4\nL:1/8\nQ:1/4=120\nK:C\n";
        for (int voice = 1; voice <= 4; ++voice) {
            out += "V:" + std::to_string(voice) + "\n";
            for (uint64_t i = 0; i < perVoice; ++i) {
                out += kNotes[rng.next(10)];
                if (i % 8 == 7) out += i % 64 == 63 ? "|\n" : "|";
            }
            out += "\n";
        }
        out += "\n";
    }
    return perVoice * 4 * kTunes;
}

void writeFile(const fs::path& p, const std::string& s) {
    std::ofstream(p, std::ios::binary) << s;
}

struct ChildRun {
    double seconds = 0;
    long maxRssKb = 0;
    int status = -1;
};

// Runs a program in `cwd` with output to /dev/null; wall time and the
// child's peak RSS.
ChildRun runChild(const std::vector<std::string>& argv, const std::string& cwd) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::fflush(stdout);  // the child must not inherit and repeat buffered lines
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
        if (chdir(cwd.c_str()) != 0) _exit(126);
        execv(args[0], args.data());
        _exit(127);
    }
    ChildRun run;
    rusage usage{};
    int status = 0;
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.maxRssKb = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

ChildRun bestOf(int times, const std::vector<std::string>& argv, const std::string& cwd) {
    ChildRun best;
    best.seconds = 1e9;
    for (int i = 0; i < times; ++i) {
        ChildRun r = runChild(argv, cwd);
        if (r.seconds < best.seconds) best = r;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: mml_bench <zekmml> [abc2midi]\n");
        return 2;
    }
    const std::string zekmml = argv[1];
    const std::string abc2midi = argc > 2 ? argv[2] : "/usr/bin/abc2midi";
    const fs::path dir = fs::temp_directory_path() / ("zekmml-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string work = dir.string();

    // The child processes run first, while this process is still small: a
    // forked child's peak RSS includes what it inherited before exec.
    size_t sourceBytes = 0;
    {
        const std::string mml = makeMml(1u << 20);
        sourceBytes = mml.size();
        writeFile(dir / "bench.mml", mml);
    }
    writeFile(dir / "tiny.mml", "c");
    const ChildRun tiny = bestOf(3, {zekmml, "tiny.mml", "tiny.mid"}, work);
    const ChildRun big = bestOf(3, {zekmml, "bench.mml", "bench.mid"}, work);

    std::string mml;
    {
        std::ifstream in(dir / "bench.mml", std::ios::binary);
        mml.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    double best = 1e9;
    zek::mml::CompileResult result;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        zek::mml::SourceText source{"bench.mml", "", "", mml};
        result = zek::mml::compile(source, {}, {});
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    if (!result.ok || big.status != 0) {
        std::fprintf(stderr, "bench source failed to compile\n");
        return 1;
    }
    const double mb = sourceBytes / 1048576.0;
    std::printf("source:            %.2f MB, %llu notes, %zu tracks, %zu MIDI bytes\n", mb,
                (unsigned long long)result.noteCount, result.tracks.size(), result.midi.byteSize());
    std::printf("in-process:        %.1f ms, %.1f MB/s (target >= 20 MB/s)\n", best * 1000, mb / best);
    std::printf("zekmml process:    %.1f ms, %.1f MB/s (reading, compiling, writing the file)\n", big.seconds * 1000,
                mb / big.seconds);
    const double peakMb = std::max(0L, big.maxRssKb - tiny.maxRssKb) / 1024.0;
    std::printf("peak memory:       %.2f MB above a one-note compile: %.1f x the source (target <= 10 x)\n", peakMb,
                peakMb / mb);

    if (access(abc2midi.c_str(), X_OK) == 0) {
        std::string abc;
        const uint64_t abcNotes = makeAbc(result.noteCount, abc);
        writeFile(dir / "bench.abc", abc);
        const ChildRun abcRun = bestOf(3, {abc2midi, "bench.abc"}, work);
        const double zekPerNote = big.seconds / double(result.noteCount);
        const double abcPerNote = abcRun.seconds / double(abcNotes);
        std::printf("abc2midi process:  %.1f ms for %llu notes in 16 tunes, exit %d\n", abcRun.seconds * 1000,
                    (unsigned long long)abcNotes, abcRun.status);
        std::printf("ratio:             zekmml takes %.0f ns per note, abc2midi %.0f: zekmml is %.2f x as fast\n",
                    zekPerNote * 1e9, abcPerNote * 1e9, abcPerNote / zekPerNote);
    } else {
        std::printf("abc2midi:          not installed (%s), no ratio\n", abc2midi.c_str());
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
