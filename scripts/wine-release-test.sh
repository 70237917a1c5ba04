#!/usr/bin/env bash
# wine-release-test.sh: the Windows release zip as a pilot meets it, under Wine: unpacked into a folder with a blank
# in its name, setup.cmd run, kestrel.exe started from that folder, DATABASES -> LOAD GEORGIA pressed, and the map
# found on the screen. On the way, the program's debugger output (Wine's warn+seh channel) is checked for its
# diagnostic lines: where the settings are, a setting it cannot use, a UDP port it cannot bind and, once the port is
# free, the moment it binds it.
#
# Called by run-wine-tests.sh with WINEPREFIX and DISPLAY set (the run's own prefix and Xvfb), after the smoke run,
# whose settings it removes first. Builds the zip with scripts/make-release.sh; about 20 seconds. Every wait is for a
# state (a line in the debugger output, a colour on the screen, a process ended); each has its own limit, which only
# ends a run that hangs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

: "${WINEPREFIX:?wine-release-test: WINEPREFIX is not set (run scripts/run-wine-tests.sh)}"
: "${DISPLAY:?wine-release-test: DISPLAY is not set (run scripts/run-wine-tests.sh)}"
feed=$root/build/native/tools/feed/kestrel-feed
if [ ! -x "$feed" ]; then
  [ -f build/native/build.ninja ] || cmake --preset native >/dev/null
  cmake --build build/native -j2 --target kestrel-feed >/dev/null
fi
[ -s build/theatres/kestrel-georgia.bmp ] || tools/theatres/make-theatres.sh build/theatres >/dev/null
hung=120 # seconds: a state not reached by then never will be

work=$(mktemp -d /tmp/kestrel-wine-release-XXXXXX)
zip=$(scripts/make-release.sh "$work/zip")
name=$(basename "$zip" .zip)
install="$WINEPREFIX/drive_c/KESTREL Release Test"
rm -rf "$install"
mkdir -p "$install"
(cd "$install" && cmake -E tar xf "$zip")
folder=$install/$name

program_pid= holder_pid=
finish() {
  if [ -n "$program_pid" ]; then
    # Closed as a pilot closes it; killed only when it does not end, so that nothing is left running.
    wine taskkill /im kestrel.exe >/dev/null 2>&1 || true
    until_true ended "$program_pid" || kill -KILL "$program_pid" 2>/dev/null || true
  fi
  [ -z "$holder_pid" ] || kill -INT "$holder_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$install"
}
trap finish EXIT

. scripts/checks.sh # the scripts run from the checkout's root
# until_true COMMAND...: polls the command until it succeeds; false when the state it checks has not come within
# the limit for a hung run.
until_true() {
  local limit=$((SECONDS + hung))
  while ! "$@"; do
    [ "$SECONDS" -lt "$limit" ] || return 1
    sleep 0.2
  done
}
ended() { ! kill -0 "$1" 2>/dev/null; }

# The pilot's registry has nothing of KESTREL yet; the smoke run before this one left its settings.
for key in 'HKLM\Software\Orvel\KESTREL' 'HKCU\Software\Orvel\KESTREL'; do
  wine reg delete "$key" /f >/dev/null 2>&1 || true
done

windows_folder=$(winepath -w "$folder")
wine cmd /c "$windows_folder\\setup.cmd" >"$work/setup.log" 2>&1 && setup=0 || setup=$?
check "setup.cmd ends with 0" [ "$setup" -eq 0 ]
registry_holds() { # registry_holds VALUE PATH: the value in HKLM is exactly the Windows path
  wine reg query 'HKLM\Software\Orvel\KESTREL' /v "$1" 2>/dev/null | tr -d '\r' | grep -qxF "    $1    REG_SZ    $2"
}
check "setup.cmd wrote the GEORGIA map of the unpacked folder" \
  registry_holds "GEORGIA map" "$windows_folder\\theatres\\kestrel-georgia.bmp"
check "setup.cmd wrote the KRASNODAR grid of the unpacked folder" \
  registry_holds "KRASNODAR_KRAI GRID" "$windows_folder\\theatres\\kestrel-krasnodar.grid"

# What a pilot may get wrong, for the diagnostic lines: a port that another program holds, and a setting that is no
# number. The window goes to the screen's corner, where the screenshots look for it. The holder lets the port go when
# the program has said it cannot bind it; its own time limit only ends it should this script be killed.
"$feed" record --port 0 --seconds 1800 /dev/null 2>"$work/holder.log" &
holder_pid=$!
until_true grep -q ' port [0-9]' "$work/holder.log" ||
  { echo "wine-release-test: kestrel-feed record never said which UDP port it holds" >&2; exit 1; }
port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/holder.log" | head -n 1)
setting() { wine reg add 'HKLM\Software\Orvel\KESTREL' /v "$1" /d "$2" /f >/dev/null 2>&1; }
setting "UDP Port" "$port"
setting "Step Move" "fast"
setting "MFD Mode" 1
setting OffsetX 0
setting OffsetY 0

(cd "$folder" && WINEDEBUG=-all,warn+seh exec wine kestrel.exe) >"$work/program.out" 2>"$work/program.err" &
program_pid=$!
told() { grep -qF "OutputDebugStringA \"$1" "$work/program.err"; }
check "debugger output: where the settings are" until_true told 'settings: kept in HKLM\\Software\\Orvel\\KESTREL'
check "debugger output: the unusable setting" \
  until_true told 'settings: \"Step Move\" is \"fast\", not a pan step from 1 to 500; using 100'
check "debugger output: the port it cannot bind, and why" until_true told "listener: cannot bind UDP port $port: "
kill -INT "$holder_pid"
wait "$holder_pid" || true
holder_pid=
check "debugger output: the port bound once it is free" until_true told "listener: listening on UDP port $port"

pixels() { # pixels of one colour in the window at the screen's corner
  import -window root -crop 425x425+0+0 +repage "$work/screen.png" 2>/dev/null &&
    convert "$work/screen.png" -fill black +opaque "$1" -fill white -opaque "$1" -format '%[fx:round(mean*w*h)]' info:
}
land() { pixels '#181C16'; } # the map's land colour
window=
find_window() { window=$(xdotool search --name 'v[0-9]' 2>/dev/null | head -n 1) && [ -n "$window" ]; }
until_true find_window || { echo "wine-release-test: the program's window did not appear" >&2; exit 1; }
xdotool windowfocus --sync "$window" 2>/dev/null || true
# The window's first frame, its label plates drawn: before it, a screen without land says nothing.
painted() { [ "$(pixels '#004000')" -gt 100 ]; }
until_true painted || { echo "wine-release-test: the window never showed its first frame (label plates)" >&2; exit 1; }
check "no map before LOAD GEORGIA" [ "$(land)" -lt 100 ]
# MODE to DATABASES, then LOAD GEORGIA, then MODE back to MONITORING. The display handles keys in the order they
# come, and a key for the same button as the one before acts only after a bezel poll in between, so between the
# MODE presses goes a key of no action on that page (7 on TAGGING, F1 on FAILURES STATUS and SQUAD GROUP): every key
# acts, whatever the timing, and the map on the screen is the state the whole sequence ends in.
xdotool key --window "$window" m 7 m F1 m F1 m 3 m
map_shown() { [ "$(land)" -gt 20000 ]; }
check "LOAD GEORGIA shows the map (over 20000 pixels of land)" until_true map_shown

if [ "$failures" -ne 0 ]; then
  echo "wine-release-test: $failures check(s) failed; logs in $work" >&2
  sed 's/^/wine-release-test: setup.cmd: /' "$work/setup.log" >&2
  exit 1
fi
rm -rf "$work"
echo "wine-release-test: passed"
