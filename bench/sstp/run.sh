#!/usr/bin/env bash
# Times one SendSstp against a local server that answers at once, and the
# no-server case, against a raw connect/send/recv round trip measured in the
# same run. Usage: bench/sstp/run.sh <build-dir>
set -euo pipefail
build=${1:?usage: $0 <build-dir>}
cmake --build "$build" --target sstp_bench -j2 >/dev/null
exec "$build/bench/sstp_bench"
