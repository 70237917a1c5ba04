#!/usr/bin/env bash
# measure-display.sh: the figures of a running display, portable or Windows (under Wine), on a private Xvfb:
#   - latency: kestrel-latency sends MONITOR datagrams that move the view and times the moved frame on the screen;
#   - CPU: the display's processor time while kestrel-feed flies over the map at 20 MONITOR datagrams a second;
#   - screenshots of the flight, to look at (every 10 seconds).
# The display runs borderless at the screen's corner with the GEORGIA sample theatre loaded by key presses, on its
# MONITORING page.
#
# Usage: scripts/measure-display.sh [portable|windows|both] [SAMPLES] [FLIGHT_SECONDS]   (defaults both, 300, 60)
# Everything it writes goes to a new folder under /tmp, printed at the end; it ends only what it started.
#
# A baseline is measured the same way, back to back with this tree's build, so that both meet much the same load
# of a shared machine; the run ends with one table of every figure beside its baseline and the load average:
#   KESTREL_BASELINE_TREE=DIR   an older tree's builds: DIR/build/native/kestrel and DIR/build/win32/kestrel.exe
#   KESTREL_BASELINE=PROGRAM    one older program (build/native/kestrel, or kestrel.exe), for one front end
# KESTREL_PROFILE=1 also records where the display's processor time goes during each flight (perf record with
# call graphs; under Wine, of the kestrel.exe process) and prints the top of each profile.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

fronts=${1:-both}
samples=${2:-300}
seconds=${3:-60}
case "$fronts" in portable | windows) ;; both) fronts="portable windows" ;; *)
  echo "usage: scripts/measure-display.sh [portable|windows|both] [SAMPLES] [FLIGHT_SECONDS]" >&2
  exit 2
  ;;
esac
if [ -n "${KESTREL_BASELINE:-}" ] && [ "$fronts" = "portable windows" ]; then
  echo "measure-display: KESTREL_BASELINE is one program, for one front end; for both give KESTREL_BASELINE_TREE" >&2
  exit 2
fi
feed=$root/build/native/tools/feed/kestrel-feed
latency=$root/build/native/tools/latency/kestrel-latency
for needed in "$feed" "$latency"; do
  [ -x "$needed" ] || { echo "measure-display: $needed is not built (make native)" >&2; exit 1; }
done
if [ -n "${KESTREL_PROFILE:-}" ] && ! command -v perf >/dev/null; then
  echo "measure-display: KESTREL_PROFILE needs perf (linux-perf)" >&2
  exit 1
fi
# The program of a front end: this tree's, or the baseline's.
program_of() { # FRONT baseline|this
  local front=$1 which=$2
  if [ "$which" = this ]; then
    [ "$front" = portable ] && echo "$root/build/native/kestrel" || echo "$root/build/win32/kestrel.exe"
  elif [ -n "${KESTREL_BASELINE:-}" ]; then
    echo "$KESTREL_BASELINE"
  elif [ -n "${KESTREL_BASELINE_TREE:-}" ]; then
    [ "$front" = portable ] && echo "$KESTREL_BASELINE_TREE/build/native/kestrel" ||
      echo "$KESTREL_BASELINE_TREE/build/win32/kestrel.exe"
  fi
}
for front in $fronts; do
  for which in baseline this; do
    program=$(program_of "$front" "$which")
    [ -z "$program" ] || [ -f "$program" ] || {
      echo "measure-display: the $which $front program $program is not built" >&2
      exit 1
    }
  done
done
theatres=$root/build/theatres
[ -s "$theatres/kestrel-georgia.bmp" ] || tools/theatres/make-theatres.sh "$theatres"

work=$(mktemp -d /tmp/kestrel-measure-XXXXXX)
table=$work/table.txt
xvfb_pid='' display_pid='' feed_pid='' front=''
finish() {
  if [ -n "$feed_pid" ]; then kill -INT "$feed_pid" 2>/dev/null || true; fi
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
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  feed_pid='' display_pid='' xvfb_pid=
}
trap finish EXIT

load() { cut -d' ' -f1-3 /proc/loadavg; }

# measure FRONT PROGRAM LABEL: one display started, measured and ended; one row added to the table.
measure() {
  front=$1
  local program=$2 label=$3
  local run=$work/$front-$label
  mkdir -p "$run/screenshots"
  local port=$((20000 + ($$ + RANDOM) % 20000))
  echo "measure-display: == $front, $label: $program"
  local display_file=$run/xvfb-display
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  [ -s "$display_file" ] || { echo "measure-display: Xvfb did not start" >&2; exit 1; }
  DISPLAY=:$(head -n 1 "$display_file")
  export DISPLAY

  if [ "$front" = portable ]; then
    mkdir -p "$run/config/kestrel" "$run/state"
    cat >"$run/config/kestrel/settings.ini" <<SETTINGS
UDP Port=$port
MFD Mode=1
OffsetX=0
OffsetY=0
GEORGIA map=$theatres/kestrel-georgia.bmp
GEORGIA grid=$theatres/kestrel-georgia.grid
SETTINGS
    # MODE four times to DATABASES, LOAD GEORGIA, MODE back to MONITORING: one key a second.
    XDG_CONFIG_HOME=$run/config XDG_STATE_HOME=$run/state XDG_CONFIG_DIRS=$run/system SDL_AUDIODRIVER=dummy \
      "$program" --keys M,M,M,M,3,M >"$run/display.log" 2>&1 &
    display_pid=$!
    sleep 9
  else
    export WINEPREFIX=$run/wineprefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    wineboot -i >/dev/null 2>&1
    wineserver -w
    local key='HKLM\Software\Orvel\KESTREL'
    setting() { wine reg add "$key" /v "$1" /d "$2" /f >/dev/null 2>&1; }
    setting "UDP Port" "$port"
    setting "MFD Mode" 1
    setting OffsetX 0
    setting OffsetY 0
    setting "GEORGIA map" "$(winepath -w "$theatres/kestrel-georgia.bmp")"
    setting "GEORGIA grid" "$(winepath -w "$theatres/kestrel-georgia.grid")"
    wine "$program" >"$run/display.log" 2>&1 &
    display_pid=$!
    local window=''
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
  local painter=$display_pid
  if [ "$front" = windows ]; then
    painter=''
    for pid in $(pgrep -f 'kestrel.exe' || true); do
      if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
        painter=$pid
      fi
    done
    [ -n "$painter" ] || { echo "measure-display: the kestrel.exe process of $WINEPREFIX was not found" >&2; exit 1; }
  fi

  local load_latency
  load_latency=$(load)
  echo "measure-display: $front front end on $DISPLAY, UDP port $port; load average: $load_latency"
  # The lower middle of the window: the map moving under the ownship, clear of the labels and the messages.
  "$latency" --port "$port" --area 100,230,225,110 --samples "$samples" --position 42.30,43.00 | tee "$run/latency.txt"

  ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
  local hertz before after cpu perf_pid=''
  hertz=$(getconf CLK_TCK)
  before=$(ticks "$painter")
  "$feed" fly --theatre georgia --rate 20 --port "$port" --seconds "$seconds" >"$run/feed.log" 2>&1 &
  feed_pid=$!
  if [ -n "${KESTREL_PROFILE:-}" ]; then
    perf record -F 999 -g --call-graph dwarf,16384 -p "$painter" -o "$run/perf.data" -- sleep "$((seconds - 2))" \
      >"$run/perf.log" 2>&1 &
    perf_pid=$!
  fi
  for n in $(seq 1 $((seconds / 10))); do
    sleep 10
    import -window root -crop 425x425+0+0 +repage "$run/screenshots/flight-$(printf %03d $((n * 10))).png"
  done
  wait "$feed_pid" || true
  feed_pid=''
  after=$(ticks "$painter")
  if [ -n "$perf_pid" ]; then wait "$perf_pid" || true; fi
  cpu=$(awk -v t=$((after - before)) -v hz="$hertz" -v s="$seconds" 'BEGIN { printf "%.2f", 100 * t / hz / s }')
  local load_flight
  load_flight=$(load)
  echo "measure-display: CPU of the display with the feed at 20 Hz over the map: $cpu% of one core over $seconds s" \
    "(load average: $load_flight)" | tee "$run/cpu.txt"
  if [ -n "$perf_pid" ]; then
    perf report -i "$run/perf.data" --no-children --sort dso,symbol --stdio -g none 2>/dev/null |
      grep '%' | head -n 25 >"$run/profile-self.txt" || true
    perf report -i "$run/perf.data" --children --sort symbol --stdio -g none 2>/dev/null |
      grep '%' | grep -v '\] 0x0000' | head -n 40 >"$run/profile-children.txt" || true
    echo "measure-display: profile of the flight (self, top 25) in $run/profile-self.txt:"
    cut -c1-140 "$run/profile-self.txt"
  fi
  local median p99
  median=$(sed -n 's/.*median \([0-9.]*\) ms.*/\1/p' "$run/latency.txt")
  p99=$(sed -n 's/.*99th percentile \([0-9.]*\) ms.*/\1/p' "$run/latency.txt")
  printf '| %-8s | %-8s | %8s ms | %8s ms | %6s%% | %-16s | %-16s |\n' "$front" "$label" "${median:-?}" "${p99:-?}" \
    "$cpu" "$load_latency" "$load_flight" >>"$table"
  finish
}

for front in $fronts; do
  baseline=$(program_of "$front" baseline)
  if [ -n "$baseline" ]; then measure "$front" "$baseline" baseline; fi
  measure "$front" "$(program_of "$front" this)" this
done

echo
echo "measure-display: flight at 20 MONITOR/s for $seconds s on MONITORING; latency over $samples samples"
printf '| %-8s | %-8s | %11s | %11s | %7s | %-16s | %-16s |\n' "front" "build" "latency med" "latency p99" "CPU" \
  "load (latency)" "load (flight)"
echo "|----------|----------|-------------|-------------|---------|------------------|------------------|"
cat "$table"
echo "measure-display: screenshots, logs and profiles in $work"
