#!/usr/bin/env bash
# Builds the library and pintovel-render, then draws the bundled sample scene.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default
cmake --build --preset default --target pintovel-render
build/default/tools/pintovel-render/pintovel-render examples/scene.svg -o build/default/scene.png
echo "wrote build/default/scene.png"
