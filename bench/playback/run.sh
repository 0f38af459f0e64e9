#!/usr/bin/env bash
# Usage: bench/playback/run.sh <build-dir>
# The built-in player on a private sound server against FluidSynth's own
# player measured in the same run: CPU while playing, the time from the play
# command to the first sound, and a seek.
set -euo pipefail
build=$(cd "${1:?usage: run.sh <build-dir>}" && pwd)
cmake --build "$build" --target playback_bench -j2 >/dev/null
QT_QPA_PLATFORM=offscreen exec "$build/bench/playback_bench" "$build/bin"
