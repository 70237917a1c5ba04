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
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  echo "make-deb: CPack failed" >&2
  exit 1
}
deb=$(find "$work" -maxdepth 1 -name 'kestrel_*.deb' | head -n 1)
[ -n "$deb" ] || { cat "$work/cpack.log" >&2; echo "make-deb: CPack made no package" >&2; exit 1; }
mv "$deb" "$out/"
echo "$out/$(basename "$deb")"
