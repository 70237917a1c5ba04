#!/usr/bin/env bash
# measure-display.sh: the figures of a running display, portable or Windows (under Wine), on a private Xvfb:
#   - latency: kestrel-latency sends MONITOR datagrams that move the view and times the moved frame on the screen;
#   - CPU: the display's processor time while kestrel-feed flies over the map at 20 MONITOR datagrams a second;
#   - screenshots of the flight, to look at (every 10 seconds).
# The display runs borderless at the screen's corner with the GEORGIA sample theatre loaded by key presses.
#
# Usage: scripts/measure-display.sh portable|windows [SAMPLES] [FLIGHT_SECONDS]   (defaults 300 and 60)
# Everything it writes goes to a new folder under /tmp, printed at the end; it ends only what it started.
# KESTREL_BASELINE=PROGRAM (an older build/native/kestrel, or kestrel.exe for windows) measures that program first, the
# same way and back to back, so that the figures of both builds meet much the same load of a shared machine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

front=${1:-}
samples=${2:-300}
seconds=${3:-60}
case "$front" in portable | windows) ;; *)
  echo "usage: scripts/measure-display.sh portable|windows [SAMPLES] [FLIGHT_SECONDS]" >&2
  exit 2
  ;;
esac
if [ -n "${KESTREL_BASELINE:-}" ] && [ -z "${KESTREL_MEASURING_BASELINE:-}" ]; then
  [ -f "$KESTREL_BASELINE" ] || { echo "measure-display: KESTREL_BASELINE $KESTREL_BASELINE is not a file" >&2; exit 2; }
  echo "measure-display: == baseline: $KESTREL_BASELINE"
  KESTREL_MEASURING_BASELINE=1 "$0" "$@"
  echo "measure-display: == this build"
fi
feed=$root/build/native/tools/feed/kestrel-feed
latency=$root/build/native/tools/latency/kestrel-latency
program=$root/build/native/kestrel
exe=$root/build/win32/kestrel.exe
if [ -n "${KESTREL_MEASURING_BASELINE:-}" ]; then
  program=$KESTREL_BASELINE
  exe=$KESTREL_BASELINE
fi
for needed in "$feed" "$latency"; do
  [ -x "$needed" ] || { echo "measure-display: $needed is not built (make native)" >&2; exit 1; }
done
[ "$front" = portable ] && [ ! -x "$program" ] && { echo "measure-display: $program is not built" >&2; exit 1; }
[ "$front" = windows ] && [ ! -f "$exe" ] && { echo "measure-display: $exe is not built (make win32)" >&2; exit 1; }
theatres=$root/build/theatres
[ -s "$theatres/kestrel-georgia.bmp" ] || tools/theatres/make-theatres.sh "$theatres"

work=$(mktemp -d /tmp/kestrel-measure-XXXXXX)
mkdir -p "$work/screenshots"
port=$((20000 + $$ % 20000))
xvfb_pid= display_pid= feed_pid=
finish() {
  [ -n "$feed_pid" ] && kill -INT "$feed_pid" 2>/dev/null || true
  if [ -n "$display_pid" ]; then
    if [ "$front" = windows ]; then
      wine taskkill /im kestrel.exe >/dev/null 2>&1 || true
      for _ in $(seq 50); do kill -0 "$display_pid" 2>/dev/null || break; sleep 0.1; done
      wineserver -k 2>/dev/null || true
    fi
    kill -TERM "$display_pid" 2>/dev/null || true
  fi
  # Only the display and the feed: a bare `wait` would also wait for the screen, which nothing has ended yet.
  for pid in $feed_pid $display_pid; do wait "$pid" 2>/dev/null || true; done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null || true
}
trap finish EXIT

display_file=$work/xvfb-display
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "measure-display: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n 1 "$display_file")

if [ "$front" = portable ]; then
  mkdir -p "$work/config/kestrel" "$work/state"
  cat >"$work/config/kestrel/settings.ini" <<SETTINGS
UDP Port=$port
MFD Mode=1
OffsetX=0
OffsetY=0
GEORGIA map=$theatres/kestrel-georgia.bmp
GEORGIA grid=$theatres/kestrel-georgia.grid
SETTINGS
  # MODE four times to DATABASES, LOAD GEORGIA, MODE back to MONITORING: one key a second.
  XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state XDG_CONFIG_DIRS=$work/system SDL_AUDIODRIVER=dummy \
    "$program" --keys M,M,M,M,3,M >"$work/display.log" 2>&1 &
  display_pid=$!
  sleep 9
else
  export WINEPREFIX=$work/wineprefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i >/dev/null 2>&1
  wineserver -w
  key='HKLM\Software\Orvel\KESTREL'
  setting() { wine reg add "$key" /v "$1" /d "$2" /f >/dev/null 2>&1; }
  setting "UDP Port" "$port"
  setting "MFD Mode" 1
  setting OffsetX 0
  setting OffsetY 0
  setting "GEORGIA map" "$(winepath -w "$theatres/kestrel-georgia.bmp")"
  setting "GEORGIA grid" "$(winepath -w "$theatres/kestrel-georgia.grid")"
  wine "$exe" >"$work/display.log" 2>&1 &
  display_pid=$!
  window=
  for _ in $(seq 150); do
    window=$(xdotool search --name 'v[0-9]' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "measure-display: the program's window did not appear" >&2; exit 1; }
  for k in m m m m 3 m; do
    xdotool key --window "$window" "$k" 2>/dev/null
    sleep 0.6
  done
  sleep 2
fi

# The process that paints: the program itself, or under Wine the kestrel.exe process of this run's prefix.
painter=$display_pid
if [ "$front" = windows ]; then
  painter=
  for pid in $(pgrep -f 'kestrel.exe' || true); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      painter=$pid
    fi
  done
  [ -n "$painter" ] || { echo "measure-display: the kestrel.exe process of $WINEPREFIX was not found" >&2; exit 1; }
fi

echo "measure-display: $front front end on $DISPLAY, UDP port $port; load: $(uptime | sed 's/.*load average/load average/')"
# The lower middle of the window: the map moving under the ownship, clear of the labels and the messages.
"$latency" --port "$port" --area 100,230,225,110 --samples "$samples" --position 42.30,43.00 | tee "$work/latency.txt"

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hertz=$(getconf CLK_TCK)
before=$(ticks "$painter")
"$feed" fly --theatre georgia --rate 20 --port "$port" --seconds "$seconds" >"$work/feed.log" 2>&1 &
feed_pid=$!
for n in $(seq 1 $((seconds / 10))); do
  sleep 10
  import -window root -crop 425x425+0+0 +repage "$work/screenshots/flight-$(printf %03d $((n * 10))).png"
done
wait "$feed_pid" || true
feed_pid=
after=$(ticks "$painter")
cpu=$(awk -v t=$((after - before)) -v hz="$hertz" -v s="$seconds" 'BEGIN { printf "%.1f", 100 * t / hz / s }')
echo "measure-display: CPU of the display with the feed at 20 Hz over the map: $cpu% of one core over $seconds s" \
  "(load: $(uptime | sed 's/.*load average: //'))" | tee "$work/cpu.txt"
echo "measure-display: screenshots and logs in $work"
