#!/usr/bin/env bash
# make-theatres.sh: renders the three theatre maps (24-bit BMP) and their half-degree calibration grids from GMT's coast data.
#
# Usage: tools/theatres/make-theatres.sh [-f | -c] [OUTDIR [NAME...]]
#   OUTDIR  defaults to build/theatres under the repository root
#   NAME    krasnodar, caucasus or georgia: only these theatres (default all three; `make demo` renders the GEORGIA
#           it flies over first and the others while the display runs)
#   -f      render again even when the outputs are newer than this script and its helper files.
#   -c      render nothing: exit 0 when every output is up to date, 1 when one would be rendered.
# KEEP_WORK=1 in the environment keeps each theatre's working folder (PostScript, region and projection) for inspection.
#
# Every theatre is a rectangle cut from one shared Lambert conformal conic plane, so the three maps agree with each other
# and a straight line on the bitmap is close to a great circle. The rectangle is laid out in projected metres at a fixed
# number of metres per pixel and rendered at 254 dpi with a scale of 1:(metres per pixel x 10^4), which makes one bitmap
# pixel exactly 0.01 cm of plot: the pixel of a plot coordinate u (cm) is trunc(u x 100). The calibration grid is computed
# with mapproject on the very same -R/-J, so grid nodes and the rendered graticule coincide.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
script="$here/$(basename "${BASH_SOURCE[0]}")"
places="$here/places.txt"
crop="$here/ppm-to-bmp.py"

force=0 check=0
case ${1:-} in
-f) force=1; shift ;;
-c) check=1; shift ;;
esac
outdir=${1:-$root/build/theatres}
[ $# -eq 0 ] || shift
wanted=("$@")
mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd)

for tool in gmt gs; do
  command -v "$tool" >/dev/null || { echo "make-theatres: '$tool' is missing (Debian packages gmt gmt-gshhg-high gmt-dcw ghostscript)" >&2; exit 1; }
done
command -v python3 >/dev/null || { echo "make-theatres: python3 is missing (Debian package python3)" >&2; exit 1; }

# The shared projection: central meridian 42E, origin latitude 43.5N, standard parallels 41.5N and 45.5N (the one-sixth
# rule for the 40-47N band of the theatres), so the scale is true to within 0.15 % anywhere in the three maps.
readonly PROJ=42/43.5/41.5/45.5
readonly DPI=254 # 100 pixels per cm of plot: the grid below multiplies plot centimetres by 100

# Theatres: name; the box of half-degree cells that must be complete on the bitmap (south, north, west, east, degrees);
# metres per pixel; the least width and height in pixels. The bitmap is the box's projected extent plus a margin of
# MARGIN pixels, widened to the least size where needed. The window opens at the catalogue start point (KRASNODAR 0,0;
# CAUCASUS 3580,0; GEORGIA 3576,2134) and spans 425 x 425 pixels, so CAUCASUS must reach well past x 4005 and GEORGIA
# past x 4001 and y 2559. Every corner must stay inside 40-47N, 36-48E, which the script checks.
theatres=(
  "krasnodar 43.5 46.5 36.5 41.5 150 0 0"       # Krasnodar krai: Azov coast, Kuban plain, Black Sea coast to Sochi
  "caucasus 41.0 44.5 37.5 47.5 200 4100 0"     # the main range from Anapa to the Caspian side
  "georgia 40.5 44.0 39.5 47.0 150 4100 2700"   # Georgia with Abkhazia, northern Armenia and the Turkish coast
)
readonly MARGIN=30
for name in "${wanted[@]}"; do
  known=0
  for t in "${theatres[@]}"; do [ "${t%% *}" = "$name" ] && known=1; done
  [ "$known" = 1 ] || { echo "make-theatres: there is no theatre '$name' (krasnodar, caucasus, georgia)" >&2; exit 2; }
done

# Night palette: everything dark and low in contrast except the borders, which a pilot must see at a glance.
readonly SEA=8/18/34 LAKE=10/26/46 LAND=24/28/22
readonly COAST=0.01c,60/84/100 # 1 px
readonly RIVER_MAJOR=0.02c,44/96/144 RIVER_MINOR=0.01c,36/80/124
readonly BORDER=0.03c,190/120/48 # national borders, 3 px amber
readonly REGION=0.01c,110/88/60,0.06c_0.04c:0c # federal subjects of Russia, 1 px dashed
readonly GRATICULE=0.01c,36/46/62 # 1 px; tools/theatres/check-grid.sh looks for this colour at the grid nodes
readonly TOWN=150/150/128 PEAK=160/136/100
# Russian federal subjects that touch the theatres (from the DCW data); their outlines are drawn as internal borders.
readonly SUBJECTS=RU.KDA,RU.AD,RU.ROS,RU.STA,RU.KC,RU.KB,RU.SE,RU.IN,RU.CE,RU.DA,RU.KL,RU.AST

started=$(date +%s.%N)
ticks=$(getconf CLK_TCK)
# Processor seconds (user+sys) of the finished children of this script, the tools they ran included.
children_cpu() { awk -v t="$ticks" '{ sub(/.*\) /, ""); print ($14 + $15) / t }' /proc/$$/stat; }

# A theatre's working folder goes when the script ends, also when it fails half-way.
current_work=
cleanup() { [ -z "$current_work" ] || [ -n "${KEEP_WORK:-}" ] || rm -rf "$current_work"; }
trap cleanup EXIT

# up_to_date FILE...: true when every file exists and is newer than this script, the place list and the cropper.
up_to_date() {
  local f
  for f in "$@"; do
    [ -s "$f" ] && [ "$f" -nt "$script" ] && [ "$f" -nt "$places" ] && [ "$f" -nt "$crop" ] || return 1
  done
}

# render NAME SOUTH NORTH WEST EAST MPP MIN_W MIN_H: writes kestrel-NAME.bmp and kestrel-NAME.grid into $outdir.
render() {
  local name=$1 south=$2 north=$3 west=$4 east=$5 mpp=$6 min_w=$7 min_h=$8
  local bmp="$outdir/kestrel-$name.bmp" grid="$outdir/kestrel-$name.grid"
  if [ "$force" = 0 ] && up_to_date "$bmp" "$grid"; then
    [ "$check" = 1 ] || echo "make-theatres: $name is up to date"
    return 0
  fi
  [ "$check" = 0 ] || exit 1
  local t0 c0
  t0=$(date +%s.%N)
  c0=$(children_cpu)
  local work
  work=$(mktemp -d "$outdir/.work-$name.XXXXXX")
  current_work=$work
  # GMT's classic mode keeps gmt.conf and gmt.history in the current folder: one private folder per theatre.
  (
    cd "$work"
    export GMT_TMPDIR="$work"
    # The rectangle in projected metres (from the projection's origin), whole metres so that it is exactly w x h pixels:
    # the extent of the box's nodes (extremes of a conic box lie on nodes: the corners, or the central meridian on the
    # curved parallels) plus the margin, then widened evenly to the least size.
    local layout
    layout=$(awk -v s="$south" -v n="$north" -v w="$west" -v e="$east" 'BEGIN {
        for (la = s; la <= n + 1e-9; la += 0.5) for (lo = w; lo <= e + 1e-9; lo += 0.5) print lo, la }' |
      gmt mapproject "-JL$PROJ/10c" -R36/48/40/47 -C -F |
      awk -v m="$mpp" -v g="$MARGIN" -v mw="$min_w" -v mh="$min_h" '
        NR == 1 { x0 = x1 = $1; y0 = y1 = $2 }
        { if ($1 < x0) x0 = $1; if ($1 > x1) x1 = $1; if ($2 < y0) y0 = $2; if ($2 > y1) y1 = $2 }
        END {
          if (NR == 0) exit 1
          w = int((x1 - x0) / m) + 1 + 2 * g; h = int((y1 - y0) / m) + 1 + 2 * g
          if (w < mw) w = mw; if (h < mh) h = mh
          xmin = int((x0 + x1) / 2 - w * m / 2); ymax = int((y0 + y1) / 2 + h * m / 2)
          print w, h, xmin, ymax
        }')
    local w h xmin ymax
    read -r w h xmin ymax <<<"$layout"
    [ -n "${ymax:-}" ] || { echo "make-theatres: mapproject failed for $name" >&2; exit 1; }
    local R="-R$xmin/$((xmin + w * mpp))/$((ymax - h * mpp))/$ymax+ue"
    local J="-Jl$PROJ/1:$((mpp * 10000))"
    echo "$R $J" >region.txt
    echo "$w $h" >size.txt

    # The corners must stay in the theatre band.
    printf '%s %s\n' "$xmin" "$ymax" "$((xmin + w * mpp))" "$ymax" "$xmin" "$((ymax - h * mpp))" \
      "$((xmin + w * mpp))" "$((ymax - h * mpp))" |
      gmt mapproject "-JL$PROJ/10c" -R36/48/40/47 -C -F -I |
      awk -v t="$name" '$1 < 36 || $1 > 48 || $2 < 40 || $2 > 47 {
        printf "make-theatres: corner %.3fE %.3fN of %s is outside 40-47N 36-48E\n", $1, $2, t > "/dev/stderr"; bad = 1 }
        END { exit bad }'

    # The page is the map: w x h pixels are w/100 x h/100 cm.
    gmt set PROJ_LENGTH_UNIT cm PS_PAGE_ORIENTATION portrait \
      PS_MEDIA "$(awk -v w="$w" -v h="$h" 'BEGIN { printf "%.2fcx%.2fc", w / 100, h / 100 }')"

    # The map must come out at exactly w x h pixels, or every grid node would be off.
    local size
    size=$(gmt mapproject "$R" "$J" -W)
    awk -v s="$size" -v w="$w" -v h="$h" 'BEGIN { split(s, a, /[ \t]+/);
      if (a[1] * 100 < w - 0.01 || a[1] * 100 > w + 0.01 || a[2] * 100 < h - 0.01 || a[2] * 100 > h + 0.01) {
        printf "make-theatres: plot is %s cm, expected %d x %d pixels\n", s, w, h > "/dev/stderr"; exit 1 } }'

    # The graticule as dense polylines: meridians and parallels every half degree over the whole theatre band.
    awk 'BEGIN {
      for (lo = 36; lo <= 48; lo += 0.5) { print ">"; for (la = 39.5; la <= 47.5 + 1e-9; la += 0.05) print lo, la }
      for (la = 39.5; la <= 47.5; la += 0.5) { print ">"; for (lo = 35.5; lo <= 48.5 + 1e-9; lo += 0.05) print lo, la }
    }' >graticule.txt
    awk '!/^#/ && NF >= 4 && $3 == "T" { print $1, $2 }' "$places" >towns.xy
    awk '!/^#/ && NF >= 4 && $3 == "P" { print $1, $2 }' "$places" >peaks.xy
    awk '!/^#/ && NF >= 4 { n = $4; for (i = 5; i <= NF; i++) n = n " " $i; print $1, $2, n }' "$places" >labels.txt

    local ps=map.ps
    local common=("$R" "$J" -Xa0 -Ya0 -Ve)
    # Layers bottom to top. Sea, land and lakes at full resolution; features under 0.5 km2 would be single specks. The
    # graticule goes under everything else so that borders and coasts stay unbroken.
    {
      gmt pscoast "${common[@]}" -Df -A0.5 -S$SEA -G$LAND -C$LAKE -K
      gmt psxy graticule.txt "${common[@]}" -W$GRATICULE -O -K
      gmt pscoast "${common[@]}" -Df -A0.5 -Ir/$RIVER_MINOR -I1/$RIVER_MAJOR -I2/$RIVER_MAJOR -O -K
      gmt pscoast "${common[@]}" -E"$SUBJECTS+p$REGION" -O -K
      gmt pscoast "${common[@]}" -Df -A0.5 -W1/$COAST -W2/$COAST -N1/$BORDER -O -K
      gmt psxy towns.xy "${common[@]}" -Sc0.05c -G$TOWN -O -K
      gmt psxy peaks.xy "${common[@]}" -St0.08c -G$PEAK -O -K
      gmt pstext labels.txt "${common[@]}" -F+f3.2p,Helvetica-Bold,$TOWN+jLM -D0.05c/0c -O
    } >"$ps"

    # Rasterise with crisp lines (a 1 px line stays one solid colour at 1:1) and smooth text. The page comes out rounded
    # up at its top and right; the map sits at its bottom-left corner.
    gmt psconvert "$ps" -Tm -E$DPI -Qg1 -Qt4 -Fmap
    python3 "$crop" map.ppm "$w" "$h" map.bmp "$name"

    # Grid: every half-degree node whose pixel lies on the bitmap, north to south, west to east. Plot y points up,
    # bitmap y points down.
    awk 'BEGIN { for (la = 470; la >= 400; la -= 5) for (lo = 360; lo <= 480; lo += 5) print lo / 10, la / 10, la, lo }' |
      gmt mapproject "$R" "$J" -Dc |
      awk -v w="$w" -v h="$h" '{
        u = $1 * 100; v = h - $2 * 100
        if (u < 0 || v < 0) next
        x = int(u); y = int(v)
        if (x >= w || y >= h) next
        printf "[%d:%d]%d:%d\n", $3, $4, x, y
      }' >map.grid
    # Every cell of the box must be complete, or positions inside it would not resolve.
    awk -v s="$south" -v n="$north" -v w="$west" -v e="$east" -v t="$name" '
      { split($0, f, /[^0-9]+/); have[f[2], f[3]] = 1 }
      END {
        for (la = s * 10; la <= n * 10; la += 5) for (lo = w * 10; lo <= e * 10; lo += 5) if (!((la, lo) in have)) {
          printf "make-theatres: node %d:%d of %s is off the bitmap\n", la, lo, t > "/dev/stderr"; bad = 1 }
        exit bad
      }' map.grid
  )
  local w h
  read -r w h <"$work/size.txt"
  mv -f "$work/map.bmp" "$bmp"
  mv -f "$work/map.grid" "$grid"
  cleanup
  current_work=
  local t1
  t1=$(date +%s.%N)
  printf 'make-theatres: %-10s %dx%d px, %d m/px, %d grid nodes, %.1f s, cpu %.1f s\n' "$name" "$w" "$h" "$mpp" \
    "$(wc -l <"$grid")" "$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')" \
    "$(awk -v a="$c0" -v b="$(children_cpu)" 'BEGIN { print b - a }')"
}

for t in "${theatres[@]}"; do
  if [ ${#wanted[@]} -gt 0 ] && [[ " ${wanted[*]} " != *" ${t%% *} "* ]]; then
    continue
  fi
  # shellcheck disable=SC2086
  render $t
done

[ "$check" = 1 ] || printf 'make-theatres: done in %.1f s, outputs in %s\n' "$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')" "$outdir"
