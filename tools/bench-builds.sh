# Shared by tools/run-bench.sh and tools/count-i686.sh (sourced, run from the repository root):
# package checks that install nothing, and the configuration of the two bench builds, x86-64 in
# build/bench and 32-bit x86 with the Windows DLL's floating point in build/bench-i686.

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# Prints the apt-get line for the packages in "$@" that are missing; fails when any is.
require() {
  local missing=()
  for package in "$@"; do installed "$package" || missing+=("$package"); done
  if ((${#missing[@]})); then
    echo "missing: apt-get install -y ${missing[*]}" >&2
    return 1
  fi
}

configure_bench_native() {
  cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPINTOVEL_BUILD_BENCH=ON \
    -DPINTOVEL_BUILD_TESTS=OFF -DPINTOVEL_BUILD_TOOLS=OFF -DPINTOVEL_WERROR=ON >/dev/null
}

# The i386 packages install beside the amd64 ones (dpkg --add-architecture i386 first).
configure_bench_i686() {
  PKG_CONFIG_LIBDIR=/usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig \
    cmake -S . -B build/bench-i686 -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/linux-i686.cmake" \
    -DCMAKE_CXX_FLAGS="-m32 -msse2 -mfpmath=sse" -DCMAKE_LIBRARY_ARCHITECTURE=i386-linux-gnu \
    -DPINTOVEL_BUILD_BENCH=ON -DPINTOVEL_BUILD_TESTS=OFF -DPINTOVEL_BUILD_TOOLS=OFF \
    -DPINTOVEL_WERROR=ON >/dev/null
}
