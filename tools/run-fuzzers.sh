#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) with clang in a build directory of their own and runs
# each for a fixed time, one after another, starting from the committed seed corpus.
#
#   tools/run-fuzzers.sh [SECONDS] [TARGET...]
#
# SECONDS is the time per target (default 60). TARGETs are among coverage, drawing, outlines
# and ribbon (default: all). Runs every target and fails if any reports a crash, a leak, a
# timeout or a broken check; the input that caused it is left as
# build/fuzz/findings/<target>/crash-* (or leak-*, timeout-*, oom-*). Inputs that found new coverage go to build/fuzz/corpus/<target>;
# the committed seeds are never changed.
#
# Environment: PINTOVEL_FUZZ_BUILD_DIR (default build/fuzz), PINTOVEL_FUZZ_JOBS (build jobs,
# default 2), CXX (default clang++).
set -euo pipefail

seconds="${1:-60}"
shift || true
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  targets=(coverage drawing outlines ribbon)
fi
case "$seconds" in
  ''|*[!0-9]*) echo "run-fuzzers: SECONDS must be a whole number, got '$seconds'" >&2; exit 2 ;;
esac

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PINTOVEL_FUZZ_BUILD_DIR:-$root/build/fuzz}"
jobs="${PINTOVEL_FUZZ_JOBS:-2}"

# -O1 -g without NDEBUG: the library's own assertions stay on while fuzzing. A Debug build with
# those flags, since the library raises Release and RelWithDebInfo builds of itself to -O3.
mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_CXX_COMPILER="${CXX:-clang++}" \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
  -DPINTOVEL_BUILD_TESTS=ON \
  -DPINTOVEL_BUILD_TOOLS=OFF \
  -DPINTOVEL_BUILD_FUZZERS=ON >"$build.configure.log" 2>&1 || {
  cat "$build.configure.log" >&2
  exit 1
}
cmake --build "$build" --target pintovel_fuzzers -j "$jobs"

status=0
for target in "${targets[@]}"; do
  exe="$build/tests/fuzz/${target}_fuzzer"
  seeds="$root/tests/fuzz/corpus/$target"
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  if [ ! -x "$exe" ]; then
    echo "run-fuzzers: no fuzzer named '$target'" >&2
    exit 2
  fi
  mkdir -p "$corpus" "$findings"
  echo "=== ${target}_fuzzer: ${seconds} s"
  # -rss_limit_mb bounds a run well below the machine's memory; -timeout flags an input that
  # runs for more than 10 s as a hang.
  if ! ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:allocator_may_return_null=0" \
       UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
       "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
         -artifact_prefix="$findings/" "$corpus" "$seeds" 2>"$build/${target}_fuzzer.log"; then
    echo "=== ${target}_fuzzer FAILED; last lines of $build/${target}_fuzzer.log:" >&2
    tail -n 60 "$build/${target}_fuzzer.log" >&2
    ls -1 "$findings" >&2 || true
    status=1
    continue
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' \
    "$build/${target}_fuzzer.log" || true
  echo "=== ${target}_fuzzer: no finding"
done
exit "$status"
