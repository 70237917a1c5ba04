#!/usr/bin/env bash
# check-grid-selftest.sh: feeds check-grid.sh a small hand-made theatre and broken variants of it, so that a checker that
# lets faults through is caught before it is trusted with the real maps. Needs ImageMagick's convert.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
check="$here/../../tools/theatres/check-grid.sh"
magick=/usr/bin/convert
[ -x "$magick" ] || magick=$(command -v convert) || { echo "check-grid-selftest: ImageMagick's convert is missing" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A 1000 x 900 theatre: nodes every 300 pixels, slightly skewed like a conic graticule, each node pixel in the graticule
# colour on a land-coloured background.
grid_lines() {
  local la lo x y
  for la in 440 435 430; do
    for lo in 380 385 390; do
      x=$((100 + (lo - 380) * 60 + (440 - la) * 7 / 5))
      y=$((120 + (440 - la) * 60 + (lo - 380) * 4 / 5))
      echo "[$la:$lo]$x:$y"
    done
  done
}
grid_lines >"$tmp/good.grid"
draw=$(awk -F'[]:[]' '{ printf "point %d,%d ", $4, $5 }' "$tmp/good.grid")
"$magick" -size 1000x900 xc:'rgb(24,28,22)' -fill 'rgb(36,46,62)' -draw "$draw" -alpha off -type TrueColor \
  "BMP3:$tmp/good.bmp"
"$magick" "$tmp/good.bmp" -alpha on -type TrueColorAlpha "BMP:$tmp/rgba.bmp"

passed=0
failed=0
# expect pass|fail PATTERN NAME -- ARGS...: runs the checker, which must give that result with output matching PATTERN.
expect() {
  local want=$1 pattern=$2 name=$3 out rc
  shift 4
  out=$(bash "$check" "$@" 2>&1)
  rc=$?
  if [ "$want" = "$([ $rc -eq 0 ] && echo pass || echo fail)" ] && grep -qE "$pattern" <<<"$out"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED: %s (wanted %s, exit %d, pattern /%s/):\n%s\n' "$name" "$want" "$rc" "$pattern" "$out"
  fi
}

# variant NAME SED-SCRIPT: a copy of the good grid changed by sed.
variant() { sed -e "$2" "$tmp/good.grid" >"$tmp/$1.grid"; }

expect pass 'ok, 9 nodes on a 1000x900 bitmap, 9 on the graticule' "well-formed theatre" -- "$tmp/good.bmp" "$tmp/good.grid"
expect pass 'ok' "window at the far corner still fits" -- "$tmp/good.bmp" "$tmp/good.grid" 575 475
expect fail 'does not fit' "window one pixel past the bottom edge" -- "$tmp/good.bmp" "$tmp/good.grid" 0 476

# One broken variant of each kind of fault: grid text, node codes, node geometry, the bitmap under the nodes, the
# bitmap file itself and a folder short of a theatre.
variant garbled 's/^\[435:385\].*/[435:385]700;420/'
expect fail 'not \[lat:lon\]x:y' "garbled line" -- "$tmp/good.bmp" "$tmp/garbled.grid"
variant quarter 's/^\[435:385\]/[435:387]/'
expect fail 'not half degrees' "quarter-degree code" -- "$tmp/good.bmp" "$tmp/quarter.grid"
variant twice 's/^\[435:390\]/[435:385]/'
expect fail 'appears twice' "repeated node" -- "$tmp/good.bmp" "$tmp/twice.grid"
variant westward 's/^\[435:390\].*/[435:390]300:428/'
expect fail 'x does not grow eastward' "row running backwards" -- "$tmp/good.bmp" "$tmp/westward.grid"
variant crowded 's/^\[440:385\].*/[440:385]150:124/'
expect fail 'pixels apart' "nodes implausibly close" -- "$tmp/good.bmp" "$tmp/crowded.grid"
awk -F'[]:[]' '{ printf "[%d:%d]%d:%d\n", $2, $3, $4 + 2, $5 }' "$tmp/good.grid" >"$tmp/shifted.grid"
expect fail 'graticule colour' "nodes two pixels off the graticule" -- "$tmp/good.bmp" "$tmp/shifted.grid"
expect fail '32 bits per pixel' "32-bit bitmap" -- "$tmp/rgba.bmp" "$tmp/good.grid"
head -c 1000 "$tmp/good.bmp" >"$tmp/truncated.bmp"
expect fail 'truncated' "truncated bitmap" -- "$tmp/truncated.bmp" "$tmp/good.grid"
mkdir "$tmp/partial"
cp "$tmp/good.bmp" "$tmp/partial/kestrel-krasnodar.bmp"
cp "$tmp/good.grid" "$tmp/partial/kestrel-krasnodar.grid"
expect fail 'kestrel-caucasus.grid: bitmap .* missing' "folder without every theatre" -- "$tmp/partial"

echo "check-grid: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
