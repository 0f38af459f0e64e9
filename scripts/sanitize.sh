#!/usr/bin/env bash
# Builds the whole suite with AddressSanitizer (leaks included) and
# UndefinedBehaviorSanitizer in its own folder and runs it. Fails on a failed
# test and on any sanitizer report, also one from a child process whose exit
# code no test looks at (the real zek, zekmml, a second instance).
#   scripts/sanitize.sh [ctest arguments]
# ZEK_SANITIZE_DIR chooses the build folder (default build-asan).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${ZEK_SANITIZE_DIR:-build-asan}
jobs=$(nproc 2>/dev/null || echo 2)
root=$(pwd)

sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DZEK_BUILD_BENCH=OFF \
  -DCMAKE_C_FLAGS="-O1 $sanitize" -DCMAKE_CXX_FLAGS="-O1 $sanitize" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitize" -DCMAKE_SHARED_LINKER_FLAGS="$sanitize" \
  -DCMAKE_MODULE_LINKER_FLAGS="$sanitize" >/dev/null
cmake --build "$dir" -j "$jobs"

# A test process reports on its stderr, which ctest shows under the failed
# test. Its children (the real zek, zekmml) report into files named after
# the test that started them (the test main sets that up), so that no report
# is lost in a stderr that no test reads and none changes what a test reads.
logs=$(cd "$dir" && pwd)/sanitizer-reports
rm -rf "$logs"
mkdir -p "$logs"
export ZEK_SANITIZER_LOG_DIR=$logs
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

status=0
ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 900 "$@" || status=$?

reports=$(find "$logs" -type f | sort)
if [ -n "$reports" ]; then
  for r in $reports; do
    echo "=== sanitizer report $(basename "$r")"
    cat "$r"
  done
  echo "sanitize: $(echo "$reports" | wc -l) sanitizer report(s) from child processes, each file named after its test" >&2
  status=1
fi
[ "$status" -eq 0 ] && echo "sanitize: the whole suite ran clean"
exit "$status"
