#!/usr/bin/env bash
# Installs the built library into a scratch prefix (not the configured CMAKE_INSTALL_PREFIX),
# then builds and runs the host program of tests/consumer against it the two ways the README
# gives: through the CMake package and through pkg-config. The pkg-config build is done twice,
# from the prefix it was installed to and from a copy of the tree moved elsewhere, because the
# .pc file must describe the tree it lies in, whatever prefix was configured.
# Usage: run-consumer.sh BUILD_DIR SOURCE_DIR SCRATCH_DIR CXX [CXXFLAGS]
# CXX and CXXFLAGS are the build's own compiler and flags (-m32 for the 32-bit build).
set -euo pipefail
build=$1 source=$2 scratch=$3 cxx=$4
read -r -a cxxflags <<<"${5:-}"
rm -rf "$scratch"
mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd -P)

configured=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
if [[ "$configured" == "$scratch"* ]]; then
  echo "the build is configured to install into $configured; the test needs another prefix" >&2
  exit 1
fi
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null

# The CMake package.
cmake -S "$source" -B "$scratch/build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$scratch/prefix" >/dev/null
cmake --build "$scratch/build" >/dev/null
"$scratch/build/consumer"

# pkg-config, as the README says: PKG_CONFIG_PATH names the folder of pintovel.pc and the
# program finds the shared library through its run path.
build_with_pkg_config() {
  local prefix=$1 out=$2 pcdir includedir libdir
  pcdir=$(find "$prefix" -name pintovel.pc -printf '%h\n' | head -n 1)
  if [[ -z "$pcdir" ]]; then
    echo "no pintovel.pc under $prefix" >&2
    return 1
  fi
  # The header and the library must be taken from this tree and from nowhere else: a copy
  # installed into the configured prefix would otherwise hide a .pc file that points there.
  includedir=$(PKG_CONFIG_PATH="$pcdir" pkg-config --variable=includedir pintovel)
  libdir=$(PKG_CONFIG_PATH="$pcdir" pkg-config --variable=libdir pintovel)
  if [[ "$(realpath "$includedir")" != "$prefix/include" ]] ||
     [[ "$(realpath "$libdir")" != "$(realpath "$pcdir/..")" ]]; then
    echo "pintovel.pc under $prefix points at $includedir and $libdir" >&2
    return 1
  fi
  # shellcheck disable=SC2046  # pkg-config's output is a list of words
  "$cxx" "${cxxflags[@]}" -std=c++17 "$source/consumer.cpp" -o "$out" \
    $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs pintovel) -Wl,-rpath,"$libdir"
  "$out"
}
build_with_pkg_config "$scratch/prefix" "$scratch/consumer-pc"
cp -a "$scratch/prefix" "$scratch/moved"
rm -rf "$scratch/prefix"
build_with_pkg_config "$scratch/moved" "$scratch/consumer-pc-moved"
echo "pkg-config builds ok"
