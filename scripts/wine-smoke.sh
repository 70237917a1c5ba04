#!/usr/bin/env bash
# wine-smoke.sh: the Windows program under Wine, end to end: settings in Wine's registry, the GEORGIA sample theatre
# loaded with key presses (xdotool), the native kestrel-feed flying to it over 127.0.0.1, and screenshots of the
# virtual screen (ImageMagick's import) checked for the map, the ownship, the route and the map moving.
#
# Called by run-wine-tests.sh with WINEPREFIX and DISPLAY set (a fresh prefix and a private Xvfb); about 30 seconds.
# Needs build/win32/kestrel.exe; builds the native kestrel-feed when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

: "${WINEPREFIX:?wine-smoke: WINEPREFIX is not set (run scripts/run-wine-tests.sh)}"
: "${DISPLAY:?wine-smoke: DISPLAY is not set (run scripts/run-wine-tests.sh)}"
exe=$root/${KESTREL_WIN32_BUILD:-build/win32}/kestrel.exe
feed=$root/build/native/tools/feed/kestrel-feed
[ -f "$exe" ] || { echo "wine-smoke: $exe is not built" >&2; exit 1; }
if [ ! -x "$feed" ]; then
  echo "wine-smoke: building the native kestrel-feed"
  [ -f build/native/build.ninja ] || cmake --preset native >/dev/null
  cmake --build build/native -j2 --target kestrel-feed >/dev/null
fi
theatres=$root/build/theatres
[ -s "$theatres/kestrel-georgia.bmp" ] || tools/theatres/make-theatres.sh "$theatres"

work=$(mktemp -d /tmp/kestrel-wine-smoke-XXXXXX)
port=$((20000 + $$ % 20000))
program_pid= feed_pid=
finish() {
  for pid in $feed_pid; do kill -INT "$pid" 2>/dev/null || true; done
  if [ -n "$program_pid" ]; then
    # WM_CLOSE to its window (taskkill without /f) ends the program the ordinary way, within this run's own prefix;
    # the kill is for a program that would not go.
    wine taskkill /im kestrel.exe >/dev/null 2>&1 || true
    for _ in $(seq 50); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$program_pid" 2>/dev/null || true
  fi
  wait 2>/dev/null || true
}
trap finish EXIT

key='HKLM\Software\Orvel\KESTREL'
setting() { wine reg add "$key" /v "$1" /d "$2" /f >/dev/null 2>&1; }
setting "UDP Port" "$port"
setting "MFD Mode" 1 # borderless at the offsets: the window is exactly the 425 x 425 square at the screen's corner
setting OffsetX 0
setting OffsetY 0
setting "GEORGIA map" "$(winepath -w "$theatres/kestrel-georgia.bmp")"
setting "GEORGIA grid" "$(winepath -w "$theatres/kestrel-georgia.grid")"

wine "$exe" >"$work/program.log" 2>&1 &
program_pid=$!
window=
for _ in $(seq 150); do
  window=$(xdotool search --name 'v[0-9]' 2>/dev/null | head -n 1) || true
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "wine-smoke: the program's window did not appear" >&2; exit 1; }
xdotool windowfocus --sync "$window" 2>/dev/null || true

shot() { import -window root -crop 425x425+0+0 +repage "$work/$1.png"; }
press() {
  for k in "$@"; do
    xdotool key --window "$window" "$k"
    sleep 0.5
  done
}
# Pixels of one colour in a region (default: the whole window).
count() {
  local image=$1 colour=$2 region=${3:-425x425+0+0}
  convert "$work/$image.png" -crop "$region" +repage -fill black +opaque "$colour" -fill white -opaque "$colour" \
    -format '%[fx:round(mean*w*h)]' info:
}

shot start
press m m m m 3 # MODE to DATABASES, LOAD GEORGIA
sleep 2
press m # back to MONITORING
"$feed" fly --theatre georgia --knots 1000 --port "$port" --seconds 60 >"$work/feed.log" 2>&1 &
feed_pid=$!
sleep 4
shot flying1
sleep 1
shot flying2
sleep 3
shot flying3
sleep 1
shot flying4

failures=0
check() { # check DESCRIPTION VALUE OP LIMIT
  if [ "$2" "$3" "$4" ]; then
    echo "wine-smoke: ok   $1 ($2)"
  else
    echo "wine-smoke: FAIL $1 ($2, wanted $3 $4)"
    failures=$((failures + 1))
  fi
}
larger() { [ "$1" -ge "$2" ] && echo "$1" || echo "$2"; }
smaller() { [ "$1" -le "$2" ] && echo "$1" || echo "$2"; }

land_before=$(count start '#181C16')
land=$(count flying1 '#181C16')
check "no map before the load: land pixels" "$land_before" -lt 100
check "the GEORGIA map after the load: land pixels" "$land" -gt 20000
# The event messages blink every other second, in the ownship's yellow among others: the ownship is counted on the
# frame without them (the smaller count), the route colours, which no message uses, on either.
ownship=$(smaller "$(count flying1 '#FFFF00' 50x50+188+188)" "$(count flying2 '#FFFF00' 50x50+188+188)")
check "ownship in the middle of the view: yellow pixels" "$ownship" -gt 15
route=$(larger "$(count flying1 '#8000FF')" "$(count flying2 '#8000FF')")
cue=$(larger "$(count flying1 '#FF0080')" "$(count flying2 '#FF0080')")
check "route line: its colour's pixels" "$route" -gt 30
check "steering cue: its colour's pixels" "$cue" -gt 30
# Four seconds later the map under the ownship has moved: compare a band below it, clear of labels and messages.
moved=$(compare -metric AE -crop 240x110+90+280 "$work/flying1.png" "$work/flying3.png" null: 2>&1 || true)
moved=${moved%%.*}
check "map moved under the ownship: changed pixels below it" "${moved:-0}" -gt 300

if [ "$failures" -ne 0 ]; then
  echo "wine-smoke: $failures check(s) failed; screenshots and logs in $work" >&2
  exit 1
fi
rm -rf "$work"
echo "wine-smoke: passed"
