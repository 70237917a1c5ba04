#!/usr/bin/env bash
# fetch-libdeflate.sh: libdeflate's sources for the Windows build, from Debian's source package of the very version
# installed as libdeflate-dev, with Debian's own patches applied.
#
# The web display deflates its PNG frames with libdeflate (platform/png_writer.cpp). The portable build links
# Debian's libdeflate-dev; Debian has no MinGW build of it, so the Windows build compiles the same version's library
# sources into a static library of its own (CMakeLists.txt), and both front ends encode alike. `make win32` runs it. apt works here on a
# private list of source indices under a temporary folder, so the machine's own apt configuration is left as it is.
#
# Usage: fetch-libdeflate.sh OUTPUT_DIR (default build/deps/libdeflate). Writes OUTPUT_DIR/libdeflate.h,
# common_defs.h, lib/ and COPYING; does nothing when they are there for the installed version.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/deps/libdeflate}
version=$(dpkg-query -W -f='${Version}' libdeflate-dev 2>/dev/null) || {
  echo "fetch-libdeflate: libdeflate-dev is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
}
[ -f "$out/libdeflate.h" ] && [ -f "$out/common_defs.h" ] && [ "$(cat "$out/VERSION" 2>/dev/null)" = "$version" ] && exit 0

mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/src"
cat >"$work/sources.list" <<LIST
deb-src http://deb.debian.org/debian bookworm main
deb-src http://deb.debian.org/debian bookworm-updates main
deb-src http://deb.debian.org/debian-security bookworm-security main
LIST
apt_private=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
  -o "Dir::State::Lists=$work/lists" -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
echo "fetch-libdeflate: libdeflate $version source from Debian"
apt-get "${apt_private[@]}" -qq update
(cd "$work/src" && apt-get "${apt_private[@]}" -qq source --download-only "libdeflate=$version" 2>/dev/null)
# apt has checked the files against the signed index; the .dsc's own signature needs a keyring we do not keep.
(cd "$work/src" && dpkg-source -x ./*.dsc tree >/dev/null 2>&1)
for f in libdeflate.h common_defs.h lib/deflate_compress.c; do
  [ -f "$work/src/tree/$f" ] || {
    echo "fetch-libdeflate: the source package has no $f" >&2
    exit 1
  }
done
rm -rf "${out:?}/lib"
cp -r "$work/src/tree/lib" "$out/lib"
cp "$work/src/tree/libdeflate.h" "$work/src/tree/common_defs.h" "$work/src/tree/COPYING" "$out/"
echo "$version" >"$out/VERSION"
