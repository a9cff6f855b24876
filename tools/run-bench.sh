#!/usr/bin/env bash
# Builds the benchmark suite and prints one table: every scene and engine, median CPU times of
# Google Benchmark repetitions, each engine's ratio to its peer in the same run, and the peak
# memory of one draw measured in a process of its own. First the x86-64 build (build/bench),
# then the 32-bit x86 build with the Windows DLL's floating point (-m32 -msse2 -mfpmath=sse,
# build/bench-i686) against the i386 FreeType and Cairo.
#
#   tools/run-bench.sh           the full table (about a quarter of an hour here)
#   tools/run-bench.sh --smoke   the x86-64 bench only, every case once with tiny times, a
#                                fraction of the glyphs, and a few memory-driver runs (CI)
#
# Environment: PINTOVEL_BENCH_REPETITIONS (default 5), PINTOVEL_BENCH_MIN_TIME (seconds,
# default 0.2). Installs nothing: a missing package stops the run (or, for a peer, leaves its
# cases out) with the exact apt-get line to install it.
set -euo pipefail
cd "$(dirname "$0")/.."

smoke=false
[[ "${1:-}" == "--smoke" ]] && smoke=true
repetitions="${PINTOVEL_BENCH_REPETITIONS:-5}"
min_time="${PINTOVEL_BENCH_MIN_TIME:-0.2}"

source tools/bench-builds.sh

require cmake ninja-build g++ pkg-config libbenchmark-dev || exit 1
require libfreetype-dev fonts-dejavu-core ||
  echo "(without FreeType the glyph scenes and the FreeType peer are left out)" >&2
require libcairo2-dev || echo "(without Cairo the Cairo peers are left out)" >&2

configure_native() {
  configure_bench_native
  cmake --build build/bench -j2 --target pintovel-bench pintovel-bench-memory >/dev/null
}

configure_i686() {
  configure_bench_i686
  cmake --build build/bench-i686 -j2 --target pintovel-bench pintovel-bench-memory >/dev/null
}

if $smoke; then
  configure_native
  build/bench/bench/pintovel-bench --glyph-stride=50 --no-warm-up --benchmark_repetitions=1 \
    --benchmark_min_time=0.0001
  build/bench/bench/pintovel-bench-memory triangles1k kernel
  build/bench/bench/pintovel-bench-memory triangles1k kernel-spans
  build/bench/bench/pintovel-bench-memory glyphs16 AllShapeDraw --glyph-stride=50 || true
  exit 0
fi

# Runs one build's bench into DIR/results.json and one memory-driver process per case into
# DIR/memory.txt. Progress goes to stderr.
measure() {
  local dir="$1"
  echo "== $dir: timing (repetitions $repetitions, min time $min_time s)" >&2
  "$dir/bench/pintovel-bench" --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only=true --benchmark_min_time="$min_time" \
    --benchmark_out="$dir/results.json" --benchmark_out_format=json >&2
  echo "== $dir: peak memory, one process per case" >&2
  : >"$dir/memory.txt"
  while read -r name; do
    "$dir/bench/pintovel-bench-memory" "${name%%/*}" "${name#*/}" >>"$dir/memory.txt" ||
      echo "memory driver failed on $name" >&2
  done < <("$dir/bench/pintovel-bench" --benchmark_list_tests=true)
}

configure_native
measure build/bench
runs=("x86-64:build/bench/results.json:build/bench/memory.txt")
notes=()

if require g++-multilib libbenchmark-dev:i386 libfreetype-dev:i386 libcairo2-dev:i386; then
  configure_i686
  # Some kernels run no 32-bit programs at all (no IA32 emulation); then there is nothing to
  # measure natively, and the table says so rather than emulating.
  if build/bench-i686/bench/pintovel-bench --benchmark_list_tests=true >/dev/null 2>&1; then
    measure build/bench-i686
    runs+=("x86-32:build/bench-i686/results.json:build/bench-i686/memory.txt")
  else
    notes+=(--note "x86-32 (-m32 -msse2 -mfpmath=sse) built, but this kernel does not execute \
32-bit programs, so it was not measured")
  fi
else
  notes+=(--note "x86-32 not built: i386 packages missing (see the apt-get line above; \
dpkg --add-architecture i386 && apt-get update first)")
fi

python3 bench/bench_table.py "${runs[@]}" "${notes[@]}"
