#!/usr/bin/env bash
# Runs one Windows program under Wine, headless and quiet. CTest uses it as the cross-compiling
# emulator of the Windows build (every test command and the GoogleTest discovery go through
# it); it also works by hand:
#
#   cmake/wine-run.sh [--prefix DIR] PROGRAM.exe [ARGS...]
#
# --prefix names the Wine prefix (default: $WINEPREFIX). A missing prefix is created on first
# use (about 10 s and 600 MB). A wine server is kept running for 60 s after the last program
# ends, so that the next start costs hundredths of a second instead of seconds.
#
# The program's exit code is passed through. Wine's own messages are off except for missing
# DLLs (otherwise a missing runtime DLL shows only as exit code 53); set PINTOVEL_WINEDEBUG to
# a WINEDEBUG value to see more.
set -euo pipefail

prefix="${WINEPREFIX:-}"
if [[ "${1:-}" == --prefix ]]; then
  [[ $# -ge 2 ]] || { echo "wine-run.sh: --prefix needs a directory" >&2; exit 2; }
  prefix="$2"
  shift 2
fi
if [[ -z "$prefix" ]]; then
  echo "wine-run.sh: no Wine prefix: pass --prefix DIR or set WINEPREFIX" >&2
  exit 2
fi
if [[ $# -lt 1 ]]; then
  echo "usage: wine-run.sh [--prefix DIR] PROGRAM.exe [ARGS...]" >&2
  exit 2
fi

mkdir -p "$(dirname "$prefix")"
export WINEPREFIX
WINEPREFIX="$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")"
export WINEARCH=win32
export WINEDEBUG="${PINTOVEL_WINEDEBUG:--all,err+module}"
# No Mono or Gecko install dialogs, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY

# One start-up at a time (CTest runs tests in parallel). Whatever Wine leaves running in the
# background must hold neither the caller's output open (CTest waits for every process that
# holds its pipe) nor the lock (fd 9, closed for every command started under it).
(
  flock 9
  if [[ ! -e "$WINEPREFIX/.pintovel-ready" ]]; then
    wineboot -i </dev/null >/dev/null 2>&1 9>&-
    # The registry reaches the disk when the boot's server ends.
    wineserver -w </dev/null >/dev/null 2>&1 9>&- || true
    touch "$WINEPREFIX/.pintovel-ready"
  fi
  # Exit code 0: no server was running and a persistent one has started. Its first client
  # starts Wine's service processes; let a throw-away program do that with quiet outputs.
  if wineserver -p60 </dev/null >/dev/null 2>&1 9>&-; then
    wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$WINEPREFIX.lock"

# Console output of a Windows program ends its lines with CR LF. GoogleTest's test list is
# parsed by CMake line by line, so the CRs go; every other run passes output through untouched.
for arg in "$@"; do
  if [[ "$arg" == --gtest_list_tests ]]; then
    wine "$@" | tr -d '\r'
    exit "${PIPESTATUS[0]}"
  fi
done
exec wine "$@"
