#!/usr/bin/env bash
# Configures and builds ZEK into build/ (program folder: build/bin).
# Usage: build.sh [target...]. Without targets everything is built (program,
# tests, benchmarks); "build.sh program" builds only what runs ZEK.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for t in "$@"; do
  targets+=(--target "$t")
done
cmake --build build -j "$jobs" "${targets[@]}"
