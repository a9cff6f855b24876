#!/usr/bin/env bash
# Installs the built library into a scratch prefix, then builds and runs the consumer project
# against the installed CMake package, and checks the pkg-config file.
# Usage: run-consumer.sh BUILD_DIR SOURCE_DIR SCRATCH_DIR
set -euo pipefail
build=$1 source=$2 scratch=$3
rm -rf "$scratch"
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
cmake -S "$source" -B "$scratch/build" -G Ninja -DCMAKE_PREFIX_PATH="$scratch/prefix" >/dev/null
cmake --build "$scratch/build" >/dev/null
LD_LIBRARY_PATH="$scratch/prefix/lib:${LD_LIBRARY_PATH:-}" "$scratch/build/consumer"
libdir=$(find "$scratch/prefix" -name pintovel.pc -printf '%h\n' | head -n 1)
PKG_CONFIG_PATH="$libdir" pkg-config --cflags --libs pintovel | grep -q -- '-lpintovel'
echo "pkg-config file ok"
