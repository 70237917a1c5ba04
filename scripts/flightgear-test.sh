#!/usr/bin/env bash
# flightgear-test.sh (make flightgear-test): KESTREL flown by a real FlightGear, headless.
#
# FlightGear 2020.3 (Debian's flightgear, about 2.6 GB with its data; installed here when missing, never by
# install-deps.sh) flies the ufo over GEORGIA along a three-point route with the KESTREL add-on of sim/flightgear,
# software OpenGL on a private Xvfb. The portable display receives it; kestrel-feed records the same datagrams (two
# more generic channels of the same protocols, to its own port). The test add-on under tests/flightgear fails the
# gear after FAIL_AFTER seconds. tests/flightgear/pilot.cpp then works the display and waits for: GEORGIA with the
# ownship, the route and steering cue, the map moving the way FlightGear flies, and the failed gear on FAILURES.
# Last, kestrel-feed check must find nothing wrong with the recording.
#
# Everything runs in a private network namespace when it can be made (root): FlightGear then has loopback only. It is
# also started with no scenery download, no weather fetch, no multiplayer, no AI traffic and no servers.
# Results under build/flightgear: screens (*.png), flight.rec, check.txt, figures.txt and the programs' logs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${KESTREL_FG_OUT:-$root/build/flightgear}
fgfs=/usr/games/fgfs
fail_after=${KESTREL_FG_FAIL_AFTER:-30}
heading=105 # Kutaisi towards Gori, the first leg of the route

if [ -z "${KESTREL_FG_ISOLATED:-}" ]; then
  if [ ! -x "$fgfs" ]; then
    if [ "$(id -u)" -ne 0 ]; then
      echo "flightgear-test: FlightGear is not installed; run as root (apt-get install flightgear), about 2.6 GB" >&2
      exit 1
    fi
    echo "flightgear-test: installing FlightGear (Debian package flightgear, about 2.6 GB)"
    apt-get install -y flightgear
  fi
  for program in build/native/kestrel build/native/tools/feed/kestrel-feed build/native/tests/kestrel_flightgear_pilot \
    build/theatres/kestrel-georgia.bmp; do
    [ -e "$root/$program" ] || { echo "flightgear-test: $program is missing (make flightgear-test builds it)" >&2; exit 1; }
  done
  if unshare --net true 2>/dev/null; then
    exec unshare --net env KESTREL_FG_ISOLATED=1 "${BASH_SOURCE[0]}" "$@"
  fi
  echo "flightgear-test: no private network namespace (not root?); FlightGear's own options keep it off the network"
  KESTREL_FG_ISOLATED=options
fi
if [ "$KESTREL_FG_ISOLATED" = 1 ]; then
  ip link set lo up
fi

display_port=${KESTREL_FG_DISPLAY_PORT:-10420}
record_port=${KESTREL_FG_RECORD_PORT:-10421}
rm -rf "$out"
mkdir -p "$out/config/kestrel" "$out/state" "$out/fghome"
cat > "$out/config/kestrel/settings.ini" <<EOF
UDP Port=$display_port
GEORGIA map=$root/build/theatres/kestrel-georgia.bmp
GEORGIA grid=$root/build/theatres/kestrel-georgia.grid
MFD Mode=1
OffsetX=0
OffsetY=0
EOF

pids=()
stop() { # ends what this script started, by process id, newest first
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done
}
trap stop EXIT

exec 3> "$out/xvfb.display"
Xvfb -displayfd 3 -screen 0 1024x600x24 -nolisten tcp > "$out/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$out/xvfb.display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$out/xvfb.display")"

"$root/build/native/tools/feed/kestrel-feed" record --port "$record_port" "$out/flight.rec" 2> "$out/record.log" &
record_pid=$!
pids+=($record_pid)

# The add-on sends to the display; the two --generic channels send the very same properties to the recorder (the
# lines channel starts before the add-on has written a line, so it is given a true one to begin with). FlightGear's
# window is small and to the right of the display's: software OpenGL draws it on the processor, and the pilot reads
# the display from the screen's top left corner. Of a repeated option FlightGear keeps the first: these come first.
fg_start=$(date +%s.%N)
FG_HOME="$out/fghome" LIBGL_ALWAYS_SOFTWARE=1 DBUS_FATAL_WARNINGS=0 LC_ALL=C "$fgfs" \
  --addon="$root/sim/flightgear/addon" --data="$root/sim/flightgear/data" \
  --addon="$root/tests/flightgear/trigger-addon" --prop:/kestrel-test/fail-after-sec="$fail_after" \
  --prop:/kestrel/host=127.0.0.1 --prop:/kestrel/port="$display_port" --prop:/kestrel/rate=10 \
  --prop:/kestrel/agm/latitude-deg=42.20 --prop:/kestrel/agm/longitude-deg=42.95 \
  --prop:/kestrel/out/line="KESTREL FAIL: MFDFailure 0" \
  --generic=socket,out,10,127.0.0.1,"$record_port",udp,kestrel-monitor \
  --generic=socket,out,20,127.0.0.1,"$record_port",udp,kestrel-lines \
  --aircraft=ufo --lat=42.27 --lon=42.70 --heading=$heading --altitude=8000 \
  --wp=42.70,42.27@8000 --wp=44.113,41.985@8000 --wp=44.783,41.716@8000 \
  --prop:/controls/engines/engine/throttle=0.15 \
  --disable-terrasync --prop:/sim/sceneryloaded-override=true --disable-real-weather-fetch \
  --disable-ai-traffic --disable-sound --disable-splash-screen --disable-clouds --fog-fastest --timeofday=noon \
  --geometry=320x240 --prop:/sim/startup/xpos=600 --prop:/sim/startup/ypos=0 \
  > "$out/fgfs.log" 2>&1 &
fg_pid=$!
pids+=($fg_pid)

# FlightGear takes half a minute or more before it sends; a bad option shows a dialog and nothing ever comes.
for _ in $(seq 3000); do
  [ -s "$out/flight.rec" ] && break
  kill -0 $fg_pid 2>/dev/null || { echo "flightgear-test: fgfs ended early (see $out/fgfs.log)" >&2; exit 1; }
  sleep 0.1
done
[ -s "$out/flight.rec" ] || { echo "flightgear-test: no datagram from FlightGear within 300 s" >&2; exit 1; }
first_datagram=$(date +%s.%N)

XDG_CONFIG_HOME="$out/config" XDG_STATE_HOME="$out/state" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy \
  "$root/build/native/kestrel" > "$out/kestrel.log" 2>&1 &
pids+=($!)

status=0
"$root/build/native/tests/kestrel_flightgear_pilot" --display "$DISPLAY" --out "$out" --heading-deg $heading \
  > "$out/pilot.txt" 2> "$out/pilot.log" || status=$?
cat "$out/pilot.log" >&2

# The recording is kept to at least this long a flight (the copy under tests/ was made so).
min_seconds=${KESTREL_FG_MIN_SECONDS:-0}
while awk "BEGIN { exit !($(date +%s.%N) - $first_datagram < $min_seconds) }"; do
  kill -0 $fg_pid 2>/dev/null || break
  sleep 1
done

kill $fg_pid 2>/dev/null || true
kill -INT $record_pid 2>/dev/null || true
for _ in $(seq 100); do kill -0 $record_pid 2>/dev/null || break; sleep 0.1; done

check=0
"$root/build/native/tools/feed/kestrel-feed" check "$out/flight.rec" > "$out/check.txt" || check=$?
"$root/build/native/tools/feed/kestrel-feed" check --json "$out/flight.rec" > "$out/check.json" || true
if [ $check -ne 0 ] || ! grep -q '"errors":0,"warnings":0' "$out/check.json"; then
  echo "flightgear-test: kestrel-feed check found something wrong with the flight:" >&2
  cat "$out/check.txt" >&2
  status=1
fi

{
  echo "isolation=$([ "$KESTREL_FG_ISOLATED" = 1 ] && echo "private network namespace" || echo "options only")"
  echo "first_datagram_after_fgfs_start_s=$(awk "BEGIN { printf \"%.1f\", $first_datagram - $fg_start }")"
  moved=$(sed -n 's/^first_moved_frame_epoch=//p' "$out/pilot.txt")
  shown=$(sed -n 's/^monitoring_shown_epoch=//p' "$out/pilot.txt")
  if [ -n "$moved" ]; then echo "first_moved_frame_after_fgfs_start_s=$(awk "BEGIN { printf \"%.1f\", $moved - $fg_start }")"; fi
  if [ -n "$moved" ] && [ -n "$shown" ]; then echo "first_moved_frame_after_map_shown_s=$(awk "BEGIN { printf \"%.1f\", $moved - $shown }")"; fi
  grep -v "_epoch=" "$out/pilot.txt" || true
  echo "load=$(cut -d' ' -f1-3 /proc/loadavg)"
} > "$out/figures.txt"
cat "$out/check.txt" "$out/figures.txt"
if [ $status -eq 0 ]; then
  echo "flightgear-test: passed; screens in $out"
else
  echo "flightgear-test: FAILED; screens and logs in $out" >&2
fi
exit $status
