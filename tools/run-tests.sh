#!/usr/bin/env bash
# Builds the library and runs the whole test suite: the native build, then the same suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, then the 32-bit x86 builds: pintovel.dll for
# Windows (cross-compiled with MinGW-w64, its tests run under Wine) and 32-bit Linux (-m32).
set -euo pipefail
cd "$(dirname "$0")/.."

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
