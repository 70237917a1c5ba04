#!/usr/bin/env bash
# ppm-to-bmp-selftest.sh: tools/theatres/ppm-to-bmp.py must write the very bytes ImageMagick writes for the same crop,
# since the sample theatres' bitmaps (and every test that reads them) depend on them: every row padding (widths of
# each remainder mod 4), crops smaller than the raster on both axes, a header with a comment, colours whose three
# bytes differ; and a raster too small or cut short is refused with the theatre's name. Needs ImageMagick's convert.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
crop="$here/../../tools/theatres/ppm-to-bmp.py"
magick=/usr/bin/convert
[ -x "$magick" ] || magick=$(command -v convert) || { echo "ppm-to-bmp-selftest: ImageMagick's convert is missing" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "ppm-to-bmp-selftest: $*" >&2; failures=$((failures + 1)); }

# ppm FILE W H [COMMENT]: a raster whose every pixel differs from its neighbours in each of its three bytes.
ppm() {
  python3 - "$@" <<'PY'
import sys
path, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
comment = b"# " + sys.argv[4].encode() + b"\n" if len(sys.argv) > 4 else b""
pixels = bytes((x * 7 + y * 13 + c * 101) % 256 for y in range(h) for x in range(w) for c in range(3))
with open(path, "wb") as f:
    f.write(b"P6\n" + comment + b"%d %d\n255\n" % (w, h) + pixels)
PY
}

# raster W x H, crop w x h
for case in "5 4 5 4" "6 3 6 3" "7 9 7 9" "8 2 8 2" "13 11 6 5" "9 7 1 1" "4 6 3 6" "10 10 10 1"; do
  read -r rw rh w h <<<"$case"
  ppm "$tmp/in.ppm" "$rw" "$rh" "made by the self-test"
  "$magick" "$tmp/in.ppm" -gravity SouthWest -crop "${w}x${h}+0+0" +repage -alpha off -type TrueColor "BMP3:$tmp/want.bmp"
  if ! python3 "$crop" "$tmp/in.ppm" "$w" "$h" "$tmp/got.bmp" test; then
    fail "${rw}x$rh cropped to ${w}x$h: refused"
  elif ! cmp -s "$tmp/want.bmp" "$tmp/got.bmp"; then
    fail "${rw}x$rh cropped to ${w}x$h: not ImageMagick's bytes ($(cmp "$tmp/want.bmp" "$tmp/got.bmp" 2>&1))"
  fi
done

# refused: a crop larger than the raster, a raster cut short, no PPM at all; each message names the theatre
ppm "$tmp/small.ppm" 4 4
head -c -5 "$tmp/small.ppm" >"$tmp/short.ppm"
printf 'P3\n4 4\n255\n' >"$tmp/ascii.ppm"
for case in "small.ppm 5 4" "small.ppm 4 5" "short.ppm 4 4" "ascii.ppm 1 1"; do
  read -r file w h <<<"$case"
  if python3 "$crop" "$tmp/$file" "$w" "$h" "$tmp/bad.bmp" georgia 2>"$tmp/err"; then
    fail "$file cropped to ${w}x$h: accepted"
  elif ! grep -q "georgia" "$tmp/err"; then
    fail "$file cropped to ${w}x$h: the message does not name the theatre: $(cat "$tmp/err")"
  fi
done

[ "$failures" -eq 0 ] && echo "ppm-to-bmp-selftest: ImageMagick's bytes in every case, bad rasters refused"
[ "$failures" -eq 0 ]
