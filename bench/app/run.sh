#!/usr/bin/env bash
# Usage: bench/app/run.sh <build-dir>
# Start-up against a minimal Qt program (under its own Xvfb), hand-off
# latency, and the memo and compile-overhead figures.
set -euo pipefail
build=$(cd "${1:?usage: run.sh <build-dir>}" && pwd)
work=$(mktemp -d)
trap 'kill ${xvfb:-} ${zek:-} 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/config/Talmo" "$work/runtime" "$work/program"
chmod 700 "$work/runtime"
cp "$build/bin/zek" "$work/program/zek"
printf '[General]\nleft=0\nsstp=0\nshow=0\nexecsmc=/bin/true\n' > "$work/config/Talmo/ZEK.conf"
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
unset TEMP TMP

display=:$(( 90 + RANDOM % 9 ))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
DISPLAY=$display "$build/bench/bench_startup" 15 "$build/bench/bench_empty_window" "$work/program/zek"
echo "(for reference, a window with one Japanese label against the empty window:)"
DISPLAY=$display "$build/bench/bench_startup" 15 "$build/bench/bench_empty_window" "$build/bench/bench_label_window"

: > "$work/song.smc"
QT_QPA_PLATFORM=offscreen "$work/program/zek" &
zek=$!
for _ in $(seq 100); do [ -e "$work/runtime/TALMO.ZEK" ] && break; sleep 0.05; done
sleep 0.5
QT_QPA_PLATFORM=offscreen "$build/bench/bench_handoff" 30 "$work/program/zek" "$work/runtime" "$work/song.smc"
kill -TERM "$zek"; wait "$zek" || true; zek=

"$build/bench/bench_memo"
