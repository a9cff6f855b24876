#!/usr/bin/env bash
# Builds the library and pintovel-render, then draws the bundled sample scene.
set -euo pipefail
cd "$(dirname "$0")/.."

# What the default preset needs to configure (it configures the tests too, hence GoogleTest)
# and pintovel-render to build. Installed here when run as root, else named and stopped on.
./tools/ensure-packages.sh cmake ninja-build g++ libgtest-dev libxml2-dev libpng-dev pkg-config

cmake --preset default
cmake --build --preset default --target pintovel-render
build/default/tools/pintovel-render/pintovel-render examples/scene.svg -o build/default/scene.png
echo "wrote build/default/scene.png"
