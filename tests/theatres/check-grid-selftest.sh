#!/usr/bin/env bash
# check-grid-selftest.sh: feeds check-grid.sh a small hand-made theatre and broken variants of it, so that a checker that
# lets faults through is caught before it is trusted with the real maps. Needs ImageMagick's convert.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
check="$here/check-grid.sh"
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
"$magick" "$tmp/good.bmp" -fill 'rgb(24,28,22)' -draw "$draw" -alpha off -type TrueColor "BMP3:$tmp/blank.bmp"

passed=0
failed=0
# expect RESULT WORDS NAME -- ARGS...: runs the checker; RESULT is pass or fail, WORDS a pattern its output must match.
expect() {
  local want=$1 pattern=$2 name=$3
  shift 4
  local out rc
  out=$(bash "$check" "$@" 2>&1)
  rc=$?
  if { [ "$want" = pass ] && [ $rc -eq 0 ]; } || { [ "$want" = fail ] && [ $rc -ne 0 ]; }; then
    if grep -qE "$pattern" <<<"$out"; then
      passed=$((passed + 1))
      return
    fi
  fi
  failed=$((failed + 1))
  echo "FAILED: $name (wanted $want, exit $rc, pattern /$pattern/):"
  printf '    %s\n' "${out//$'\n'/$'\n'    }"
}

# variant NAME SED-SCRIPT: a copy of the good grid changed by sed.
variant() { sed -e "$2" "$tmp/good.grid" >"$tmp/$1.grid"; }

expect pass 'ok, 9 nodes on a 1000x900 bitmap, 9 on the graticule' "well-formed theatre" -- "$tmp/good.bmp" "$tmp/good.grid"
expect pass 'ok' "window at the far corner still fits" -- "$tmp/good.bmp" "$tmp/good.grid" 575 475
expect fail 'does not fit' "window past the right edge" -- "$tmp/good.bmp" "$tmp/good.grid" 576 0
expect fail 'does not fit' "window past the bottom edge" -- "$tmp/good.bmp" "$tmp/good.grid" 0 476

variant garbled 's/^\[435:385\].*/[435:385]700;420/'
expect fail 'not \[lat:lon\]x:y' "garbled line" -- "$tmp/good.bmp" "$tmp/garbled.grid"
variant long 's/^\[435:385\]/[0000000000435:0000000385]/'
expect fail 'longer than the reader' "line too long for the reader" -- "$tmp/good.bmp" "$tmp/long.grid"
variant quarter 's/^\[435:385\]/[435:387]/'
expect fail 'not half degrees' "quarter-degree code" -- "$tmp/good.bmp" "$tmp/quarter.grid"
variant outside 's/^\[430:380\]/[395:380]/'
expect fail 'outside 40-47N' "node south of the theatre band" -- "$tmp/good.bmp" "$tmp/outside.grid"
variant twice 's/^\[435:390\]/[435:385]/'
expect fail 'appears twice' "repeated node" -- "$tmp/good.bmp" "$tmp/twice.grid"
variant offmap 's/^\[430:390\].*/[430:390]1000:732/'
expect fail 'off the 1000x900 bitmap' "node past the right edge" -- "$tmp/good.bmp" "$tmp/offmap.grid"
variant westward 's/^\[435:390\].*/[435:390]300:428/'
expect fail 'x does not grow eastward' "row running backwards" -- "$tmp/good.bmp" "$tmp/westward.grid"
variant northward 's/^\[430:385\].*/[430:385]414:400/'
expect fail 'y does not grow southward' "column running backwards" -- "$tmp/good.bmp" "$tmp/northward.grid"
variant crowded 's/^\[440:385\].*/[440:385]150:124/'
expect fail 'pixels apart' "nodes implausibly close" -- "$tmp/good.bmp" "$tmp/crowded.grid"
head -n 1 "$tmp/good.grid" >"$tmp/lonely.grid"
expect fail 'no complete half-degree cell' "single node" -- "$tmp/good.bmp" "$tmp/lonely.grid"
printf '%s' "$(cat "$tmp/good.grid")" >"$tmp/nonewline.grid"
expect fail 'no newline' "last line without newline" -- "$tmp/good.bmp" "$tmp/nonewline.grid"
sed 's/$/\r/' "$tmp/good.grid" >"$tmp/crlf.grid"
expect fail 'not \[lat:lon\]x:y' "carriage returns" -- "$tmp/good.bmp" "$tmp/crlf.grid"
: >"$tmp/empty.grid"
expect fail 'missing or empty' "empty grid file" -- "$tmp/good.bmp" "$tmp/empty.grid"

expect fail 'graticule colour' "nodes not on the graticule" -- "$tmp/blank.bmp" "$tmp/good.grid"
awk -F'[]:[]' '{ printf "[%d:%d]%d:%d\n", $2, $3, $4 + 2, $5 }' "$tmp/good.grid" >"$tmp/shifted.grid"
expect fail 'graticule colour' "nodes two pixels off" -- "$tmp/good.bmp" "$tmp/shifted.grid"
expect fail '32 bits per pixel' "32-bit bitmap" -- "$tmp/rgba.bmp" "$tmp/good.grid"
head -c 1000 "$tmp/good.bmp" >"$tmp/truncated.bmp"
expect fail 'truncated' "truncated bitmap" -- "$tmp/truncated.bmp" "$tmp/good.grid"
expect fail 'not a BMP' "not a bitmap" -- "$tmp/good.grid" "$tmp/good.grid"
mkdir "$tmp/partial"
cp "$tmp/good.bmp" "$tmp/partial/kestrel-krasnodar.bmp"
cp "$tmp/good.grid" "$tmp/partial/kestrel-krasnodar.grid"
expect fail 'kestrel-caucasus.grid: bitmap .* missing' "folder without every theatre" -- "$tmp/partial"

echo "check-grid: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
