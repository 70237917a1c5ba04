#!/usr/bin/env bash
# fetch-libdeflate.sh: libdeflate's sources for the Windows build, from Debian's source package of the very version
# installed as libdeflate-dev, with Debian's own patches applied (scripts/debian-source.sh).
#
# The web display deflates its PNG frames with libdeflate (platform/png_writer.cpp). The portable build links
# Debian's libdeflate-dev; Debian has no MinGW build of it, so the Windows build compiles the same version's library
# sources into a static library of its own (CMakeLists.txt), and both front ends encode alike. `make win32` runs it.
#
# Usage: fetch-libdeflate.sh OUTPUT_DIR (default build/deps/libdeflate). Writes OUTPUT_DIR/libdeflate.h,
# common_defs.h, lib/ and COPYING; does nothing when they are there for the installed version.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/debian-source.sh
out=${1:-build/deps/libdeflate}
version=$(debian_source_version fetch-libdeflate libdeflate-dev)
[ -f "$out/libdeflate.h" ] && [ -f "$out/common_defs.h" ] && [ "$(cat "$out/VERSION" 2>/dev/null)" = "$version" ] && exit 0

mkdir -p "$out"
debian_source_unpack fetch-libdeflate libdeflate "$version"
for f in libdeflate.h common_defs.h lib/deflate_compress.c; do
  [ -f "$debian_source_tree/$f" ] || {
    echo "fetch-libdeflate: the source package has no $f" >&2
    exit 1
  }
done
rm -rf "${out:?}/lib"
cp -r "$debian_source_tree/lib" "$out/lib"
cp "$debian_source_tree/libdeflate.h" "$debian_source_tree/common_defs.h" "$debian_source_tree/COPYING" "$out/"
echo "$version" >"$out/VERSION"
