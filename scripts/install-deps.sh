#!/usr/bin/env bash
# install-deps.sh: installs the Debian packages that building, testing and the demo need, when missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libsdl2-dev libcairo2-dev libpango1.0-dev fonts-dejavu-core libstb-dev libx11-dev libxext-dev zlib1g-dev
  libdeflate-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth xdotool imagemagick libx11-dev libxtst-dev
  gmt gmt-gshhg-high gmt-dcw ghostscript python3
  libcpp-httplib-dev dpkg-dev xz-utils chromium python3-websocket libcli11-dev
  nsis lintian help2man
)

# Usage: install-deps.sh [--demo]
#   --demo  leaves out the Windows build's cpp-httplib header (fetched from Debian's sources over the network), which
#           the demo does not build: `make test` fetches it when it first needs it.
windows_header=1
if [ "${1:-}" = --demo ]; then
  windows_header=0
elif [ $# -gt 0 ]; then
  echo "install-deps: unknown argument '$1' (the only one is --demo)" >&2
  exit 2
fi

# One query for the whole list: a query a package costs seconds on a busy machine.
installed=" $(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
  awk '$2 == "install" && $3 == "ok" && $4 == "installed" { printf "%s ", $1 }')"
missing=()
for p in "${packages[@]}"; do
  [[ $installed == *" $p "* ]] || missing+=("$p")
done
# The Windows build's cpp-httplib: the complete header of the installed version (scripts/fetch-httplib.sh).
fetch_httplib() {
  [ "$windows_header" = 1 ] || return 0
  [ -f build/deps/cpp-httplib/httplib.h ] || scripts/fetch-httplib.sh build/deps/cpp-httplib
}
cd "$(dirname "$0")/.."
if [ ${#missing[@]} -eq 0 ]; then
  fetch_httplib
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: these packages are missing: ${missing[*]}" >&2
  echo "install-deps: run 'make test' or 'make demo' as root, or install them with apt-get." >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fetch_httplib
