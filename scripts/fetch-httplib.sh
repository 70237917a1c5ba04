#!/usr/bin/env bash
# fetch-httplib.sh: the complete cpp-httplib header for the Windows build, from Debian's source package of the
# very version installed as libcpp-httplib-dev, with Debian's own patches applied (scripts/debian-source.sh).
#
# Debian ships cpp-httplib split: the installed httplib.h declares the library and libcpp-httplib.so holds the
# code, built for Linux. The MinGW build needs the code itself, which upstream keeps in one header; the source
# package has that header.
#
# Usage: fetch-httplib.sh OUTPUT_DIR (default build/deps/cpp-httplib). Writes OUTPUT_DIR/httplib.h.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/debian-source.sh
out=${1:-build/deps/cpp-httplib}
version=$(debian_source_version fetch-httplib libcpp-httplib-dev)
[ -f "$out/httplib.h" ] && [ "$(cat "$out/VERSION" 2>/dev/null)" = "$version" ] && exit 0

mkdir -p "$out"
debian_source_unpack fetch-httplib cpp-httplib "$version"
grep -q '^#define CPPHTTPLIB_VERSION' "$debian_source_tree/httplib.h" || {
  echo "fetch-httplib: the source package has no complete httplib.h" >&2
  exit 1
}
cp "$debian_source_tree/httplib.h" "$debian_source_tree/LICENSE" "$out/"
echo "$version" >"$out/VERSION"
