#!/bin/sh
# Usage: bench/runner/run.sh <build-dir>
# Prints the runner's output throughput against a plain pipe read loop
# (measured in the same run) and its start overhead.
set -e
build=${1:?usage: run.sh <build-dir>}
exec "$build/bench/runner_bench" "${2:-1000000}"
