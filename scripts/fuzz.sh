#!/usr/bin/env bash
# Builds the libFuzzer targets (MML compiler, MIDI reader, JPEG decoder) with clang (address and
# undefined-behaviour sanitizers) outside the CMake build and runs them.
#   scripts/fuzz.sh [seconds]      default 60 s for the compiler, 20 s each for the MIDI reader and the JPEG decoder
# FUZZ_BUILD_DIR chooses where binaries and the growing corpus go (default build/fuzz);
# ZEKMML names a built zekmml that compiles MIDI seeds for the reader (default build/bin/zekmml).
# Exit status is non-zero when a fuzzer finds a crash, a leak or a time-out.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=${FUZZ_BUILD_DIR:-build/fuzz}
cxx=${CXX_FUZZ:-clang++}
mkdir -p "$out"

flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -Isrc)
core=(src/mml/Compiler.cpp src/mml/TextScan.cpp src/mml/SmfWriter.cpp src/mml/SmfReader.cpp)

echo "fuzz: building with $cxx"
"$cxx" "${flags[@]}" tests/fuzz/fuzz_compile.cpp "${core[@]}" -o "$out/fuzz_compile"
"$cxx" "${flags[@]}" tests/fuzz/fuzz_smfreader.cpp src/mml/SmfReader.cpp -o "$out/fuzz_smfreader"
"$cxx" "${flags[@]}" tests/fuzz/fuzz_jpeg.cpp src/ui/JpegDecoder.cpp -ljpeg -o "$out/fuzz_jpeg"

# The seeds stay untouched: new inputs go to a working corpus in the build folder.
mkdir -p "$out/corpus_compile" "$out/corpus_smf" "$out/seeds_smf" "$out/corpus_jpeg"
for song in examples/*.mml examples/*.smc; do
  { printf '\0'; cat "$song"; } > "$out/corpus_compile/example-$(basename "$song")"
done
# MIDI seeds for the reader: the examples compiled by the fuzzer's own core.
zekmml=${ZEKMML:-build/bin/zekmml}
if [ -x "$zekmml" ]; then
  for song in examples/ode-to-joy.mml examples/sakura.smc; do
    "$zekmml" "$song" "$out/seeds_smf/$(basename "$song").mid" >/dev/null || true
  done
fi

run() {
  local bin=$1 time=$2; shift 2
  echo "fuzz: running $(basename "$bin") for ${time}s"
  "$bin" -max_total_time="$time" -timeout=30 -rss_limit_mb=2048 -max_len=8192 \
         -print_final_stats=1 -artifact_prefix="$out/" "$@" 2>"$out/$(basename "$bin").log" \
    || { tail -50 "$out/$(basename "$bin").log"; echo "fuzz: FINDING in $(basename "$bin")"; return 1; }
  grep -E '^stat::number_of_executed_units|^Done' "$out/$(basename "$bin").log" || true
  echo "fuzz: $(basename "$bin"): no finding"
}

run "$out/fuzz_compile" "$seconds" "$out/corpus_compile" tests/fuzz/corpus
short=$(( seconds / 3 > 5 ? seconds / 3 : 5 ))
run "$out/fuzz_smfreader" "$short" "$out/corpus_smf" "$out/seeds_smf"
run "$out/fuzz_jpeg" "$short" "$out/corpus_jpeg" tests/fixtures/pictures
