#!/usr/bin/env bash
# Builds the library and runs the whole test suite: the native build, then the same suite under
# AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset default
cmake --build --preset default
ctest --preset default -j2

cmake --preset sanitize
cmake --build --preset sanitize
ctest --preset sanitize -j2
