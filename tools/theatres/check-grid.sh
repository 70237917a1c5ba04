#!/usr/bin/env bash
# check-grid.sh: checks theatre bitmaps against their calibration grids, as the moving map will read them.
#
# Usage: tools/theatres/check-grid.sh [DIR]                       (DIR defaults to build/theatres under the repository root)
#        tools/theatres/check-grid.sh BMP GRID [START_X START_Y]   (one pair)
#
# For a directory, all three theatres (kestrel-krasnodar, -caucasus, -georgia) must be there, each checked with the
# start point of its catalogue entry. For every pair:
#   - the bitmap is an uncompressed 24-bit BMP and the 425 x 425 window at the start point lies on it;
#   - every grid line is "[lat:lon]x:y" with decimal integers and fits the reader's 31-character line buffer;
#   - codes are half degrees (multiples of 5) inside 40-47N, 36-48E, and no node appears twice;
#   - every node pixel lies on the bitmap; along a row (one latitude) x grows with longitude, along a column (one
#     longitude) y grows as latitude falls, and neighbouring nodes are between 100 and 1000 pixels apart;
#   - at least one complete half-degree cell, so some positions resolve at all;
#   - the node pixel shows the graticule colour (GRATICULE_BGR, the maps' 1 px half-degree lines) at 95 % of the nodes at
#     least: the rest may be covered by a border, a coast or a label drawn over the graticule.
# Exits non-zero, with one line per fault, when anything fails.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
readonly WINDOW=425
# The graticule colour of tools/theatres/make-theatres.sh (36/46/62) as it is stored in a BMP: blue, green, red.
GRATICULE_BGR=${GRATICULE_BGR:-"62 46 36"}

# u16 / u32 / s32 FILE OFFSET: little-endian integers from a file.
u16() { od -An -tu2 -j "$2" -N2 --endian=little "$1" | tr -d ' '; }
u32() { od -An -tu4 -j "$2" -N4 --endian=little "$1" | tr -d ' '; }
s32() { od -An -td4 -j "$2" -N4 --endian=little "$1" | tr -d ' '; }

# check_pair BMP GRID START_X START_Y: prints the faults found; returns 1 if any.
check_pair() {
  local bmp=$1 grid=$2 sx=$3 sy=$4 label
  label=$(basename "$grid")
  if [ ! -s "$bmp" ]; then echo "$label: bitmap $bmp is missing or empty"; return 1; fi
  if [ ! -s "$grid" ]; then echo "$label: grid file is missing or empty"; return 1; fi

  if [ "$(head -c2 "$bmp")" != "BM" ]; then echo "$label: $bmp is not a BMP file"; return 1; fi
  local data w h bpp comp
  data=$(u32 "$bmp" 10)
  w=$(s32 "$bmp" 18)
  h=$(s32 "$bmp" 22)
  bpp=$(u16 "$bmp" 28)
  comp=$(u32 "$bmp" 30)
  if [ "$bpp" != 24 ] || [ "$comp" != 0 ]; then
    echo "$label: bitmap has $bpp bits per pixel, compression $comp; want 24 and 0"
    return 1
  fi
  local bottom_up=1
  if [ "$h" -lt 0 ]; then h=$((-h)); bottom_up=0; fi
  local row=$(((w * 3 + 3) / 4 * 4))
  local size
  size=$(stat -c %s "$bmp")
  if [ "$size" -lt $((data + row * h)) ]; then echo "$label: bitmap is truncated ($size bytes)"; return 1; fi

  local faults=0
  if [ $((sx + WINDOW)) -gt "$w" ] || [ $((sy + WINDOW)) -gt "$h" ]; then
    echo "$label: the ${WINDOW}x$WINDOW window at start point $sx,$sy does not fit a ${w}x$h bitmap"
    faults=1
  fi

  # Structure of the grid, all in one pass; prints faults, then "NODE x y" for each node that parsed.
  local parsed
  parsed=$(awk -v w="$w" -v h="$h" -v label="$label" '
    function fault(msg) { print label ": " msg; bad = 1 }
    {
      if (length($0) > 29) fault("line " NR " is longer than the reader takes: " $0)
      if ($0 !~ /^\[[0-9]+:[0-9]+\][0-9]+:[0-9]+$/) { fault("line " NR " is not [lat:lon]x:y: \"" $0 "\""); next }
      split($0, f, /[^0-9]+/)
      la = f[2] + 0; lo = f[3] + 0; x = f[4] + 0; y = f[5] + 0
      if (la % 5 || lo % 5) fault("line " NR ": codes " la ":" lo " are not half degrees")
      if (la < 400 || la > 470 || lo < 360 || lo > 480) fault("line " NR ": node " la ":" lo " is outside 40-47N 36-48E")
      if ((la, lo) in X) fault("line " NR ": node " la ":" lo " appears twice")
      if (x >= w || y >= h) fault("line " NR ": node " la ":" lo " at " x "," y " is off the " w "x" h " bitmap")
      X[la, lo] = x; Y[la, lo] = y; n++
      print "NODE", x, y
    }
    END {
      if (n == 0) fault("no nodes")
      cells = 0
      for (k in X) {
        split(k, c, SUBSEP); la = c[1]; lo = c[2]
        if ((la, lo + 5) in X) {
          dx = X[la, lo + 5] - X[k]
          if (dx <= 0) fault("x does not grow eastward from " la ":" lo " (" X[k] ") to " la ":" lo + 5 " (" X[la, lo + 5] ")")
          else if (dx < 100 || dx > 1000) fault("nodes " la ":" lo " and " la ":" lo + 5 " are " dx " pixels apart")
        }
        if ((la - 5, lo) in X) {
          dy = Y[la - 5, lo] - Y[k]
          if (dy <= 0) fault("y does not grow southward from " la ":" lo " (" Y[k] ") to " la - 5 ":" lo " (" Y[la - 5, lo] ")")
          else if (dy < 100 || dy > 1000) fault("nodes " la ":" lo " and " la - 5 ":" lo " are " dy " pixels apart")
        }
        if (((la, lo + 5) in X) && ((la + 5, lo) in X) && ((la + 5, lo + 5) in X)) cells++
      }
      if (n > 0 && cells == 0) fault("no complete half-degree cell")
    }' "$grid")
  if grep -v '^NODE ' <<<"$parsed" | grep -q .; then
    grep -v '^NODE ' <<<"$parsed"
    faults=1
  fi
  if [ -n "$(tail -c1 "$grid")" ]; then echo "$label: last line has no newline"; faults=1; fi
  if grep -q $'\r' "$grid"; then echo "$label: carriage returns in the grid file"; faults=1; fi

  # The graticule under the nodes: one 3-byte read per node.
  local nodes=0 hits=0 x y off b g r
  while read -r _ x y; do
    if [ "$x" -ge "$w" ] || [ "$y" -ge "$h" ]; then continue; fi
    nodes=$((nodes + 1))
    if [ "$bottom_up" = 1 ]; then off=$((data + (h - 1 - y) * row + x * 3)); else off=$((data + y * row + x * 3)); fi
    read -r b g r < <(od -An -tu1 -j "$off" -N3 "$bmp")
    [ "$b $g $r" = "$GRATICULE_BGR" ] && hits=$((hits + 1))
  done < <(grep '^NODE ' <<<"$parsed")
  if [ "$nodes" -gt 0 ] && [ $((hits * 100)) -lt $((nodes * 95)) ]; then
    echo "$label: only $hits of $nodes node pixels show the graticule colour ($GRATICULE_BGR)"
    faults=1
  fi

  if [ "$faults" = 0 ]; then
    echo "$label: ok, $nodes nodes on a ${w}x$h bitmap, $hits on the graticule"
  fi
  return "$faults"
}

if [ $# -ge 2 ]; then
  check_pair "$1" "$2" "${3:-0}" "${4:-0}"
  exit $?
fi

dir=${1:-$root/build/theatres}
status=0
# Theatre files and the start point of their catalogue entry.
for entry in "krasnodar 0 0" "caucasus 3580 0" "georgia 3576 2134"; do
  read -r name sx sy <<<"$entry"
  check_pair "$dir/kestrel-$name.bmp" "$dir/kestrel-$name.grid" "$sx" "$sy" || status=1
done
exit $status
