#pragma once

namespace zek::app {

// The process entry: becomes the running instance or hands the command line
// to the one that runs. Returns the process exit code.
int runProcess(int argc, char** argv);

}  // namespace zek::app
