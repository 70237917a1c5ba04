#!/usr/bin/env bash
# wine-smoke.sh: the Windows program under Wine, end to end: settings in Wine's registry, the GEORGIA sample theatre
# loaded with key presses (xdotool), the native kestrel-feed flying to it over 127.0.0.1 with two squad peers, and
# screenshots of the virtual screen (ImageMagick's import) checked for the map, the ownship, the route, the map moving,
# the bullseye after SET BULLS, a tag after TAG CENTER, the squad mates after JOIN SQUAD and the DATABASES counts.
#
# Called by run-wine-tests.sh with WINEPREFIX and DISPLAY set (a fresh prefix and a private Xvfb); about 50 seconds.
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
# After the last key of a step: time for the page to be drawn anew before its screenshots.
settle() { sleep 1; }
# Pixels of one colour in a region (default: the whole window).
count() {
  local image=$1 colour=$2 region=${3:-425x425+0+0}
  convert "$work/$image.png" -crop "$region" +repage -fill black +opaque "$colour" -fill white -opaque "$colour" \
    -format '%[fx:round(mean*w*h)]' info:
}
# Three shots of one page, about 0.7 s apart: the event messages blink, shown one second and hidden the next, so at
# least one of three shots spread over more than a second but less than two is free of them.
shots() {
  local n
  for n in 1 2 3; do
    shot "$1-$n"
    [ "$n" = 3 ] || sleep 0.5
  done
}
# Of the three shots of a page, the one with the fewest pixels in the messages' colours (which are also those of the
# ownship, the bullseye and the squad mates).
quiet() {
  local best= least= n total c
  for n in 1 2 3; do
    total=0
    for c in '#FF0000' '#FF8000' '#FFFF00' '#FFFFFF' '#0080FF'; do
      total=$((total + $(count "$1-$n" "$c")))
    done
    if [ -z "$least" ] || [ "$total" -lt "$least" ]; then
      least=$total best=$1-$n
    fi
  done
  echo "$best"
}

shot start
press m m m m # MODE to DATABASES
settle
shots db0 # its counts before the load and before any flight
press 3 # LOAD GEORGIA
sleep 2
press m # back to MONITORING
# Two squad peers fly along, so SQUAD and TAG datagrams arrive besides the ownship's own.
"$feed" fly --theatre georgia --peers 2 --knots 1000 --port "$port" --seconds 90 >"$work/feed.log" 2>&1 &
feed_pid=$!
sleep 4
shot flying1
sleep 1
shot flying2
sleep 2
shots flying3 # not yet joined: no squad mates, no bullseye
press 8 # SET BULLS
settle
shots bulls
press m # TAGGING
settle
shot tag0
press 0 # TAG CENTER
settle
shots tag1
press m m 0 # FAILURES, SQUAD GROUP, JOIN SQUAD
settle
press m # DATABASES
settle
shots db1
press m # MONITORING
settle
shots squad

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
# Three seconds later the map under the ownship has moved: compare a band below it, clear of labels and messages.
moved=$(compare -metric AE -crop 240x110+90+280 "$work/flying1.png" "$work/flying3-1.png" null: 2>&1 || true)
moved=${moved%%.*}
check "map moved under the ownship: changed pixels below it" "${moved:-0}" -gt 300

# SET BULLS draws the bullseye's range rings, in white, around the ownship.
before=$(quiet flying3) after=$(quiet bulls)
white_before=$(count "$before" '#FFFFFF')
check "no bullseye before SET BULLS: white pixels" "$white_before" -lt 100
check "bullseye rings after SET BULLS: white pixels" "$(count "$after" '#FFFFFF')" -gt $((white_before + 400))
# TAG CENTER puts a tag under the view's centre; its symbol is filled with the unknown affiliation's pale yellow.
tag_before=$(count tag0 '#F5F184' 28x28+198+198)
check "no tag in the middle before TAG CENTER: its fill's pixels" "$tag_before" -lt 10
check "tag in the middle after TAG CENTER: its fill's pixels" "$(count "$(quiet tag1)" '#F5F184' 28x28+198+198)" \
  -gt $((tag_before + 40))
# The peers' SQUAD datagrams arrive all along; their aircraft are drawn, in blue, once the display joins the squad.
check "no squad mates before JOIN SQUAD: their blue's pixels" "$(count "$before" '#0080FF')" -lt 5
check "squad mates after JOIN SQUAD: their blue's pixels" "$(count "$(quiet squad)" '#0080FF')" -gt 40

# The DATABASES page, before the load and the flight, then after them: its centred lines of text (the current map,
# the version and the counts of routes, tags, messages, aircraft and hosts) are found by their colour, and each is
# compared between the two visits.
text_lines() { # text_lines IMAGE: "top bottom" of each line of the page's text, rows less than 5 apart joined
  convert "$work/$1.png" -crop 305x425+60+0 +repage -fill black +opaque '#66CC66' -fill white -opaque '#66CC66' \
    -scale 1x425! -depth 8 txt:- |
    awk 'NR > 1 && $3 != "#000000" { split($1, at, "[,:]"); print at[2] }' |
    awk 'NR == 1 { top = $1 } NR > 1 && $1 > last + 4 { print top, last; top = $1 } { last = $1 }
         END { if (NR) print top, last }'
}
db_before=$(quiet db0) db_after=$(quiet db1)
mapfile -t lines_before < <(text_lines "$db_before")
mapfile -t lines_after < <(text_lines "$db_after")
check "DATABASES text lines before the load" "${#lines_before[@]}" -eq 7
if [ "${#lines_before[@]}" -eq 7 ] && [ "${lines_before[*]}" = "${lines_after[*]}" ]; then
  changed() { # changed LINE: pixels that differ in that line between the two visits
    local top=${lines_before[$1]% *} bottom=${lines_before[$1]#* } n
    n=$(compare -metric AE -crop "305x$((bottom - top + 1))+60+$top" "$work/$db_before.png" "$work/$db_after.png" \
      null: 2>&1 || true)
    echo "${n%%.*}"
  }
  check "DATABASES current map changed (none, then GEORGIA): changed pixels" "$(changed 0)" -gt 15
  check "DATABASES version line unchanged: changed pixels" "$(changed 1)" -lt 10
  check "DATABASES route count changed (0, then the route's points): changed pixels" "$(changed 2)" -gt 15
  check "DATABASES tag count changed (0, then the peers' and the own tags): changed pixels" "$(changed 3)" -gt 15
  check "DATABASES aircraft count changed (0, then the two peers): changed pixels" "$(changed 5)" -gt 15
  check "DATABASES host count unchanged (no recipients): changed pixels" "$(changed 6)" -lt 10
else
  echo "wine-smoke: FAIL DATABASES text lines moved between the visits (${lines_before[*]} / ${lines_after[*]})"
  failures=$((failures + 1))
fi

if [ "$failures" -ne 0 ]; then
  echo "wine-smoke: $failures check(s) failed; screenshots and logs in $work" >&2
  exit 1
fi
rm -rf "$work"
echo "wine-smoke: passed"
