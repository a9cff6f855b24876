#!/usr/bin/env bash
# Builds the library and runs the whole test suite: the native build, then the same suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, then the 32-bit x86 builds: pintovel.dll for
# Windows (cross-compiled with MinGW-w64, its tests run under Wine) and 32-bit Linux (-m32,
# SSE2 arithmetic like the DLL), then a smoke run of the benchmark.
#
# Some kernels of this machine kind refuse to run 32-bit x86 programs at all ("Exec format
# error"), and Wine's 32-bit part with them. There the DLL is still built and its host-side
# checks (export table, runtime DLLs, install tree, consumer build) run, its tests under Wine
# are skipped with a notice, and the 32-bit Linux suite runs under qemu-i386's user-mode
# emulation instead (IEEE double arithmetic, so the same bytes are expected).
set -euo pipefail
cd "$(dirname "$0")/.."

# Everything the four presets, the fuzz targets and the benchmark smoke run need: the
# compilers (clang and its sanitizer and libFuzzer runtimes, MinGW-w64, the -m32 multilib),
# Wine with its 32-bit part for the tests of the Windows DLL, GoogleTest and Google Benchmark,
# the libraries of pintovel-render, and FreeType, Cairo and a font for the benchmark. Installed
# here when run as root, else named and stopped on.
./tools/ensure-packages.sh cmake ninja-build g++ clang libclang-rt-14-dev g++-multilib \
  g++-mingw-w64-i686-posix wine wine32:i386 libgtest-dev libbenchmark-dev libxml2-dev \
  libpng-dev pkg-config libfreetype-dev libcairo2-dev fonts-dejavu-core qemu-user

# The Wine server of the Windows tests stays up for a minute after its last program; stop it
# when this script ends, however it ends.
stop_wine() {
  if command -v wineserver >/dev/null && [[ -d build/windows-i686/wine-prefix ]]; then
    WINEPREFIX="$PWD/build/windows-i686/wine-prefix" wineserver -k 2>/dev/null || true
  fi
}
trap stop_wine EXIT

cmake --preset default
cmake --build --preset default
ctest --preset default -j2

cmake --preset sanitize
cmake --build --preset sanitize
ctest --preset sanitize -j2

# Whether this machine runs 32-bit x86 programs natively.
runs_32bit_programs() {
  mkdir -p build/probe-i686
  printf 'int main(void) { return 0; }\n' >build/probe-i686/probe.c
  gcc -m32 build/probe-i686/probe.c -o build/probe-i686/probe && build/probe-i686/probe
} 2>/dev/null

if runs_32bit_programs; then
  cmake --preset windows-i686 -DPINTOVEL_RUN_TEST_PROGRAMS=ON
  cmake --build --preset windows-i686
  ctest --preset windows-i686 -j2
  cmake --preset linux-i686 -DPINTOVEL_RUN_TEST_PROGRAMS=ON -U CMAKE_CROSSCOMPILING_EMULATOR
  cmake --build --preset linux-i686
  ctest --preset linux-i686 -j2
else
  echo "*** This machine cannot run 32-bit x86 programs (Exec format error): the tests of"
  echo "*** pintovel.dll under Wine are SKIPPED; only its host-side checks run. The 32-bit"
  echo "*** Linux suite runs under qemu-i386 user-mode emulation."
  # The DLL's test programs are built but not registered: listing their tests would run them.
  cmake --preset windows-i686 -DPINTOVEL_RUN_TEST_PROGRAMS=OFF
  cmake --build --preset windows-i686
  ctest --preset windows-i686 -j2 \
    -R '^windows[.](install_tree|export_table|runtime_dlls|consumer_build)$'
  cmake --preset linux-i686 -DPINTOVEL_RUN_TEST_PROGRAMS=ON -DCMAKE_CROSSCOMPILING_EMULATOR=qemu-i386
  cmake --build --preset linux-i686
  # The consumer test runs the programs it builds directly, without the emulator.
  ctest --preset linux-i686 -j2 -E '^installed_package_consumer$'
fi

# The benchmark, built and run once with tiny times so that it cannot rot; no timing is judged.
./tools/run-bench.sh --smoke
