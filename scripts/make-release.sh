#!/usr/bin/env bash
# make-release.sh: packs the Windows program for pilots into OUTDIR/kestrel-VERSION-windows.zip: kestrel.exe, its
# click button.wav, the three sample theatres (theatres\*.bmp and .grid), setup.cmd, which writes the theatre paths of
# the folder it was unpacked to into the registry, and README.txt (the keys, the settings, feeding it).
#
# Usage: scripts/make-release.sh [OUTDIR]   (default build/release; `make release` builds what it needs first)
# Needs build/win32/kestrel.exe (KESTREL_WIN32_BUILD for another build folder) and build/theatres. Prints the zip's
# path. The text files get Windows line ends.
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-build/release}
exe=${KESTREL_WIN32_BUILD:-build/win32}/kestrel.exe
theatres=build/theatres
fail() { echo "make-release: $*" >&2; exit 1; }
[ -f "$exe" ] || fail "$exe is not built (make win32)"
for t in krasnodar caucasus georgia; do
  for f in "$theatres/kestrel-$t.bmp" "$theatres/kestrel-$t.grid"; do
    [ -s "$f" ] || fail "$f is missing (make theatres)"
  done
done
version=$(sed -n 's/.*IDS_VERSION "\([0-9.]*\)(.*/\1/p' resources/kestrel.rc)
[ -n "$version" ] || fail "no IDS_VERSION in resources/kestrel.rc"
name=kestrel-$version-windows

mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$(mktemp -d "$out/.stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT
folder=$stage/$name
mkdir -p "$folder/theatres"
cp "$exe" resources/button.wav "$folder/"
cp "$theatres"/kestrel-{krasnodar,caucasus,georgia}.{bmp,grid} "$folder/theatres/"

sed 's/\r*$/\r/' <resources/release/setup.cmd >"$folder/setup.cmd"
scripts/make-readme-txt.sh zip "$version" "$folder/README.txt"

(cd "$stage" && cmake -E tar cf "$stage/$name.zip" --format=zip "$name")
mv "$stage/$name.zip" "$out/$name.zip"
echo "$out/$name.zip"
