#!/usr/bin/env bash
# Builds and runs every benchmark in bench/; each prints its figures and its
# ratio against a baseline measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
for run in bench/*/run.sh; do
  echo "== ${run%/run.sh}"
  bash "$run" "$PWD/build"
done
