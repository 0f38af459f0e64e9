#pragma once

namespace zek::compile {

// How a started compile ended, handed from the runner to the result handling.
struct CompileOutcome {
    bool timedOut = false;  // the time limit passed before all output was read
    int exitCode = 0;       // child: its exit code (128 + signal when killed); library: 0 or -1
};

}  // namespace zek::compile
