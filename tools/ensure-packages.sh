#!/usr/bin/env bash
# Makes sure that the Debian packages named on the command line are installed, for the two
# README commands on a fresh Debian 12 machine.
#
#   tools/ensure-packages.sh PACKAGE...
#
# A name with an architecture (wine32:i386) needs that architecture enabled in dpkg. Installed
# packages are asked of dpkg-query, not found out by trying a build. When all are there it
# prints nothing. When some are missing: as root it enables the architectures they need, runs
# apt-get update and installs them, saying what it installs; as anyone else it installs
# nothing and stops with status 1 and the exact lines to run as root.
set -euo pipefail

if [[ $# -eq 0 ]]; then
  echo "usage: tools/ensure-packages.sh PACKAGE..." >&2
  exit 2
fi

native=$(dpkg --print-architecture)

# A name without an architecture means the native one (or "all"): when the same package is also
# installed for another architecture, dpkg-query lists one line for each.
is_installed() {
  local wanted="$native"
  [[ "$1" == *:* ]] && wanted=${1##*:}
  dpkg-query -W -f='${db:Status-Status} ${Architecture}\n' "$1" 2>/dev/null |
    grep -qE "^installed ($wanted|all)\$"
}

missing=()
for package in "$@"; do
  is_installed "$package" || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

# Foreign architectures that the missing packages need and dpkg does not have yet.
architectures=()
enabled=" $(dpkg --print-foreign-architectures | tr '\n' ' ') "
for package in "${missing[@]}"; do
  [[ "$package" == *:* ]] || continue
  arch=${package##*:}
  [[ "$arch" == "$native" || "$enabled" == *" $arch "* ]] && continue
  [[ " ${architectures[*]:-} " == *" $arch "* ]] || architectures+=("$arch")
done

install_line="apt-get install -y --no-install-recommends ${missing[*]}"
if [[ "$(id -u)" -ne 0 ]]; then
  {
    echo "missing Debian packages: ${missing[*]}"
    echo "install them as root with:"
    for arch in "${architectures[@]:+${architectures[@]}}"; do
      echo "  dpkg --add-architecture $arch"
    done
    echo "  apt-get update"
    echo "  $install_line"
  } >&2
  exit 1
fi

echo "installing missing Debian packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
for arch in "${architectures[@]:+${architectures[@]}}"; do
  echo "+ dpkg --add-architecture $arch"
  dpkg --add-architecture "$arch"
done
echo "+ apt-get update"
apt-get update -qq
echo "+ $install_line"
# The list of what apt unpacks is long; it is kept for a failure only.
log=$(mktemp)
if ! apt-get install -y -q --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  exit 1
fi
rm -f "$log"
still=()
for package in "${missing[@]}"; do
  is_installed "$package" || still+=("$package")
done
if [[ ${#still[@]} -ne 0 ]]; then
  echo "apt-get left these packages uninstalled: ${still[*]}" >&2
  exit 1
fi
echo "installed: ${missing[*]}"
