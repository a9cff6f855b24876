#!/usr/bin/env bash
# Builds the library and runs the whole test suite: the native build, then the same suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, then the 32-bit x86 builds: pintovel.dll for
# Windows (cross-compiled with MinGW-w64, its tests run under Wine) and 32-bit Linux (-m32).
set -euo pipefail
cd "$(dirname "$0")/.."

# Everything the four presets, the fuzz targets and the benchmark smoke run need: the
# compilers (clang and its sanitizer and libFuzzer runtimes, MinGW-w64, the -m32 multilib),
# Wine with its 32-bit part for the tests of the Windows DLL, GoogleTest and Google Benchmark,
# the libraries of pintovel-render, and FreeType, Cairo and a font for the benchmark. Installed
# here when run as root, else named and stopped on.
./tools/ensure-packages.sh cmake ninja-build g++ clang libclang-rt-14-dev g++-multilib \
  g++-mingw-w64-i686-posix wine wine32:i386 libgtest-dev libbenchmark-dev libxml2-dev \
  libpng-dev pkg-config libfreetype-dev libcairo2-dev fonts-dejavu-core

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

cmake --preset windows-i686
cmake --build --preset windows-i686
ctest --preset windows-i686 -j2

cmake --preset linux-i686
cmake --build --preset linux-i686
ctest --preset linux-i686 -j2
