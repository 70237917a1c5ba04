#!/usr/bin/env bash
# grid-accuracy.sh: measures how far the moving map's grid interpolation lies from the exact projection of the sample
# theatres, at random positions, and prints the median and maximum error in pixels per theatre.
#
# Usage: tools/theatres/grid-accuracy.sh [-n POINTS] [THEATRE_DIR [TEST_PROGRAM]]
#   THEATRE_DIR   where make-theatres.sh put kestrel-*.grid (default build/theatres)
#   TEST_PROGRAM  kestrel_tests, whose GridAccuracy test does the comparison (default build/native/tests/kestrel_tests)
#
# The exact pixel of a position comes from gmt mapproject with the theatres' shared Lambert projection (PROJ of
# make-theatres.sh) at the theatre's scale (1 pixel = 0.01 cm of plot): the bitmap is a rectangle of that plot, so a
# pixel is the plot position in hundredths of a centimetre shifted by the rectangle's corner. The corner is not stored
# beside the maps; it is recovered from the grid file itself: each node's pixel is the truncated shifted position, which
# confines the shift to an interval of a few hundredths of a pixel. An empty interval means that the grid and the
# script's parameters disagree, and the theatre is refused.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
make_theatres="$here/make-theatres.sh"

points=3000
if [ "${1:-}" = "-n" ]; then
  points=$2
  shift 2
fi
dir=${1:-$root/build/theatres}
program=${2:-$root/build/native/tests/kestrel_tests}

[ -d "$dir" ] || { echo "grid-accuracy: no folder $dir" >&2; exit 1; }
dir=$(cd "$dir" && pwd)
program=$(realpath -m "$program")
command -v gmt >/dev/null || { echo "grid-accuracy: gmt is missing (Debian package gmt)" >&2; exit 1; }
[ -x "$program" ] || { echo "grid-accuracy: $program is not built" >&2; exit 1; }

proj=$(sed -n 's/^readonly PROJ=\([^ #]*\).*/\1/p' "$make_theatres")
[ -n "$proj" ] || { echo "grid-accuracy: no PROJ in $make_theatres" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" # GMT keeps gmt.conf and gmt.history in the current folder
exact="$work/exact.txt"
: >"$exact"

# plot MPP: "lon lat" lines to plot positions in hundredths of a centimetre, i.e. pixels up to the rectangle's corner.
plot() { gmt mapproject -R36/48/40/47 "-Jl$proj/1:$(($1 * 10000))" -Dc | awk '{ printf "%.6f %.6f\n", $1 * 100, $2 * 100 }'; }

seed=1
for name in krasnodar caucasus georgia; do
  grid="$dir/kestrel-$name.grid"
  if [ ! -s "$grid" ]; then
    echo "grid-accuracy: $grid is missing (run tools/theatres/make-theatres.sh $dir)" >&2
    exit 1
  fi
  mpp=$(sed -n "s/^ *\"$name \([^\"]*\)\".*/\1/p" "$make_theatres" | awk '{ print $5 }')
  [ -n "$mpp" ] || { echo "grid-accuracy: no metres per pixel for $name in $make_theatres" >&2; exit 1; }

  # Nodes as "lon lat x y".
  sed -n 's/^\[\([0-9]*\):\([0-9]*\)\]\([0-9]*\):\([0-9]*\).*/\1 \2 \3 \4/p' "$grid" |
    awk '{ print $2 / 10, $1 / 10, $3, $4 }' >nodes.txt
  # x = trunc(X - ox) gives X - x - 1 < ox <= X - x; the bitmap's y runs down, y = trunc(oy - Y) gives
  # y + Y <= oy < y + 1 + Y. A thousandth of a pixel of slack absorbs mapproject's last digits.
  fit=$(cut -d' ' -f1,2 nodes.txt | plot "$mpp" | paste -d' ' - nodes.txt | awk '
    NR == 1 { xl = -1e18; xh = 1e18; yl = -1e18; yh = 1e18 }
    {
      X = $1; Y = $2; x = $5; y = $6
      if (X - x - 1 > xl) xl = X - x - 1
      if (X - x < xh) xh = X - x
      if (y + Y > yl) yl = y + Y
      if (y + 1 + Y < yh) yh = y + 1 + Y
    }
    END {
      if (NR == 0 || xl > xh + 0.001 || yl > yh + 0.001) { print "empty"; exit }
      printf "%.6f %.6f %.6f %.6f\n", (xl + xh) / 2, (yl + yh) / 2, xh - xl, yh - yl
    }')
  if [ "$fit" = empty ]; then
    echo "grid-accuracy: the nodes of $grid fit no rectangle of the $mpp m/px plot in -Jl$proj" >&2
    exit 1
  fi
  read -r ox oy xspan yspan <<<"$fit"
  printf 'grid-accuracy: %-10s %s m/px, rectangle corner recovered to %.4f x %.4f px\n' "$name" "$mpp" "$xspan" "$yspan"

  # Random positions over the codes' box; those outside complete cells are counted by the test, not measured.
  awk -v n="$points" -v s="$seed" '
    { la = $2; lo = $1; if (NR == 1 || la < s0) s0 = la; if (NR == 1 || la > n0) n0 = la
      if (NR == 1 || lo < w0) w0 = lo; if (NR == 1 || lo > e0) e0 = lo }
    END { srand(s); for (i = 0; i < n; i++) printf "%.7f %.7f\n", w0 + rand() * (e0 - w0), s0 + rand() * (n0 - s0) }
  ' nodes.txt >positions.txt
  plot "$mpp" <positions.txt | paste -d' ' - positions.txt |
    awk -v g="$grid" -v m="$mpp" -v ox="$ox" -v oy="$oy" '
      { printf "%s %s %s %s %.6f %.6f\n", g, m, $4, $3, $1 - ox, oy - $2 }' >>"$exact"
  seed=$((seed + 1))
done

KESTREL_EXACT_PIXELS="$exact" "$program" --gtest_filter='GridAccuracy.*'
