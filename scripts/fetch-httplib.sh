#!/usr/bin/env bash
# fetch-httplib.sh: the complete cpp-httplib header for the Windows build, from Debian's source package of the
# very version installed as libcpp-httplib-dev, with Debian's own patches applied.
#
# Debian ships cpp-httplib split: the installed httplib.h declares the library and libcpp-httplib.so holds the
# code, built for Linux. The MinGW build needs the code itself, which upstream keeps in one header; the source
# package has that header. apt works here on a private list of source indices under the output folder, so the
# machine's own apt configuration is left as it is.
#
# Usage: fetch-httplib.sh OUTPUT_DIR (default build/deps/cpp-httplib). Writes OUTPUT_DIR/httplib.h.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/deps/cpp-httplib}
version=$(dpkg-query -W -f='${Version}' libcpp-httplib-dev 2>/dev/null) || {
  echo "fetch-httplib: libcpp-httplib-dev is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
}
[ -f "$out/httplib.h" ] && [ "$(cat "$out/VERSION" 2>/dev/null)" = "$version" ] && exit 0

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
echo "fetch-httplib: cpp-httplib $version source from Debian"
apt-get "${apt_private[@]}" -qq update
(cd "$work/src" && apt-get "${apt_private[@]}" -qq source --download-only "cpp-httplib=$version" 2>/dev/null)
# apt has checked the files against the signed index; the .dsc's own signature needs a keyring we do not keep.
(cd "$work/src" && dpkg-source -x ./*.dsc tree >/dev/null 2>&1)
grep -q '^#define CPPHTTPLIB_VERSION' "$work/src/tree/httplib.h" || {
  echo "fetch-httplib: the source package has no complete httplib.h" >&2
  exit 1
}
cp "$work/src/tree/httplib.h" "$work/src/tree/LICENSE" "$out/"
echo "$version" >"$out/VERSION"
