#!/usr/bin/env bash
# make-deb.sh: the Debian package, OUTDIR/kestrel_VERSION_amd64.deb, made by CPack's DEB generator from the native
# build: kestrel and kestrel-feed, the sample theatres and the click under /usr/share/kestrel, the system settings
# file naming them, the menu entry and icon, the man pages and the documents. Its dependencies come from
# dpkg-shlibdeps over the binaries.
#
# Usage: scripts/make-deb.sh [OUTDIR]   (default build/release; `make deb` builds what it needs first)
# Needs the native build configured (KESTREL_NATIVE_BUILD for another folder) and build/theatres. Prints the path.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/release}
build=${KESTREL_NATIVE_BUILD:-build/native}
[ -f "$build/CPackConfig.cmake" ] || cmake --preset native >/dev/null
cmake --build "$build" --target kestrel kestrel-feed kestrel_package_files >/dev/null
. scripts/cpack-package.sh
cpack_package "$build" DEB 'kestrel_*.deb' "$out"
