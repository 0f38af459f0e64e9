#!/usr/bin/env bash
# bench/mml/run.sh <build-dir>: the MML compiler's speed and memory figures,
# with abc2midi measured in the same run as the baseline.
set -euo pipefail
build=${1:?usage: bench/mml/run.sh <build-dir>}
cmake --build "$build" --target mml_bench zekmml -j2 >/dev/null 2>&1
"$build/bench/mml_bench" "$build/bin/zekmml" "${ABC2MIDI:-/usr/bin/abc2midi}"
