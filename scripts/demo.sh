#!/usr/bin/env bash
# demo.sh: shows the portable display flying a sample route over the GEORGIA theatre with two squad peers.
#
# Everything the demo writes stays under build/demo: its own settings file and state folder (XDG_CONFIG_HOME and
# XDG_STATE_HOME point there, so a pilot's own ~/.config/kestrel/settings.ini is never read or touched), the
# recipients file and, without a screen, the screenshots. `make demo` builds the display and the feed in
# build/demo-build (nothing else: the demo runs no test suite), renders GEORGIA meanwhile and runs this; the other two
# sample theatres render here while the display runs.
#
# Environment: KESTREL_DEMO_PORT (UDP port of the display, default 10320, the simulator's usual one),
# KESTREL_DEMO_BUILD (the build folder of the display and the feed, default build/demo-build; build/native works too),
# KESTREL_DEMO_SECONDS (stop by itself after this many seconds; default: run until Ctrl+C),
# KESTREL_DEMO_SCREENSHOTS=1 (save screenshots even with a screen).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build=${KESTREL_DEMO_BUILD:-$root/build/demo-build}
kestrel=$build/kestrel
feed=$build/tools/feed/kestrel-feed
for program in "$kestrel" "$feed"; do
  [ -x "$program" ] || { echo "demo: $program is not built: run 'make demo'" >&2; exit 1; }
done

demo=$root/build/demo
theatres=$root/build/theatres
port=${KESTREL_DEMO_PORT:-10320}
seconds=${KESTREL_DEMO_SECONDS:-0}

# GEORGIA first: the display loads it at second 6. `make demo` has rendered it already; run by hand on a fresh clone,
# this renders it now.
tools/theatres/make-theatres.sh "$theatres" georgia

# A port another program already listens on would leave the display deaf: take the next free one.
port_taken() { ss -Hlun "sport = :$1" 2>/dev/null | grep -q .; }
if port_taken "$port"; then
  for candidate in $(seq $((port + 1)) $((port + 40))); do
    if ! port_taken "$candidate"; then
      echo "demo: UDP port $port is in use; the demo uses $candidate instead"
      port=$candidate
      break
    fi
  done
fi

mkdir -p "$demo/config/kestrel" "$demo/state"
# The display sends its own position (once the squad is joined) and its tags to these peers. The simulated peers only
# send, so nothing answers here; a squad mate's real KESTREL would be listed the same way.
cat >"$demo/recipients.txt" <<EOF
# Squad peers of the demo, one a line: [index]host:port
[1]127.0.0.1:$((port + 101))
[2]127.0.0.1:$((port + 102))
EOF
# Written afresh on every run, so the demo always starts the same way.
cat >"$demo/config/kestrel/settings.ini" <<EOF
UDP Port=$port
Recipients file=$demo/recipients.txt
KRASNODAR_KRAI MAP=$theatres/kestrel-krasnodar.bmp
KRASNODAR_KRAI GRID=$theatres/kestrel-krasnodar.grid
CAUCASUS_MOUNTAINS map=$theatres/kestrel-caucasus.bmp
CAUCASUS_MOUNTAINS grid=$theatres/kestrel-caucasus.grid
GEORGIA map=$theatres/kestrel-georgia.bmp
GEORGIA grid=$theatres/kestrel-georgia.grid
Pilot ID=1
Unit KM=0
MFD Mode=0
OffsetX=100
OffsetY=100
Window Width=425
Window Height=425
Step Move=25
EOF
export XDG_CONFIG_HOME=$demo/config
export XDG_STATE_HOME=$demo/state
export XDG_CONFIG_DIRS=$demo/system # no system-wide settings of an installed package either

kestrel_pid='' feed_pid='' xvfb_pid='' pruner_pid='' render_pid=''
stop_all() {
  trap - INT TERM EXIT
  # The rendering runs in a process group of its own (its GMT and Ghostscript with it); it removes its unfinished work.
  if [ -n "$render_pid" ]; then
    kill -TERM -- "-$render_pid" 2>/dev/null || true
    wait "$render_pid" 2>/dev/null || true
  fi
  # SIGTERM reaches the display as an ordinary close (SDL turns it into a quit event); the feed stops on it too.
  for pid in $kestrel_pid $feed_pid $pruner_pid; do
    kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in $kestrel_pid $feed_pid $pruner_pid; do
    wait "$pid" 2>/dev/null || true
  done
  if [ -n "$xvfb_pid" ]; then
    kill -TERM "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap 'echo; echo "demo: stopping"; stop_all; exit 0' INT TERM
trap stop_all EXIT

screenshots=
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  command -v Xvfb >/dev/null || { echo "demo: no display and no Xvfb (Debian package xvfb)" >&2; exit 1; }
  display_file=$demo/xvfb-display
  rm -f "$display_file"
  # Xvfb picks a free display number itself and writes it to descriptor 3. It runs in a session of its own, so that
  # Ctrl+C does not take the screen away before the display has closed its window.
  setsid Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
  done
  [ -s "$display_file" ] || { echo "demo: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=:$(head -n 1 "$display_file")
  export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} # a machine without a screen has no sound card either
  screenshots=$demo/screenshots
  echo "demo: no display (DISPLAY and WAYLAND_DISPLAY are empty): running on a virtual one, $DISPLAY (Xvfb)"
elif [ "${KESTREL_DEMO_SCREENSHOTS:-0}" = 1 ]; then
  screenshots=$demo/screenshots
fi

args=()
if [ -n "$screenshots" ]; then
  rm -rf "$screenshots"
  mkdir -p "$screenshots"
  args+=(--screenshot-dir "$screenshots")
  echo "demo: a screenshot every 5 seconds goes to $screenshots (kestrel-NNNN.png, NNNN = seconds since the start)"
fi
[ "$seconds" -gt 0 ] && args+=(--seconds "$seconds")

# The buttons the demo presses for the pilot, one a second: MODE three times to SQUAD GROUP and JOIN SQUAD (0), MODE
# to DATABASES and LOAD GEORGIA (3), MODE back to MONITORING; idle seconds (Z is no button) until the route has
# arrived (the feed repeats it every 5 seconds), then SET BULLS (8) on its first waypoint.
keys=M,M,M,0,M,3,M,Z,Z,Z,Z,Z,Z,Z,8
"$kestrel" --keys "$keys" "${args[@]}" &
kestrel_pid=$!

cat <<EOF
demo: the display listens on UDP port $port; settings in $XDG_CONFIG_HOME/kestrel/settings.ini
demo: it presses for you: MODE to SQUAD GROUP, JOIN SQUAD, MODE to DATABASES, LOAD GEORGIA, MODE to MONITORING, SET BULLS
demo: the keys (the table of README.md; a left click on a label presses its button too):
EOF
scripts/key-help.sh "$(($(tput cols 2>/dev/null || echo 100) - 1))"
echo "demo: press Ctrl+C to stop"

# The flight starts once the map is loaded (the load key goes at second 6 and takes about a second), so that the route
# and the first designation land on it.
sleep 9
if kill -0 "$kestrel_pid" 2>/dev/null; then
  feed_args=(fly --theatre georgia --peers 2 --squad 1 --pilot 1 --port "$port")
  [ "$seconds" -gt 0 ] && feed_args+=(--seconds "$seconds")
  "$feed" "${feed_args[@]}" &
  feed_pid=$!
fi

# KRASNODAR and CAUCASUS (when not rendered yet) from now on, once GEORGIA is loaded (the rendering would slow the
# display's start and its LOAD GEORGIA), at the lowest priority: a minute the first time, and until then LOAD
# KRASNODAR or LOAD CAUCASUS reports its map file missing.
if ! tools/theatres/make-theatres.sh -c "$theatres" krasnodar caucasus; then
  echo "demo: rendering the sample theatres KRASNODAR and CAUCASUS meanwhile (a minute the first time: load them after)"
  setsid nice -n 19 tools/theatres/make-theatres.sh "$theatres" krasnodar caucasus &
  render_pid=$!
fi

if [ -n "$screenshots" ]; then
  # The display saves one picture a second; keep every fifth and the newest, so a long demo does not fill the disk.
  (
    while sleep 5; do
      newest=$(ls "$screenshots" 2>/dev/null | tail -n 1)
      for f in "$screenshots"/kestrel-*.png; do
        [ -e "$f" ] || continue
        n=${f##*/kestrel-}
        n=$((10#${n%.png}))
        [ "${f##*/}" = "$newest" ] || [ $((n % 5)) -eq 0 ] || rm -f "$f"
      done
    done
  ) &
  pruner_pid=$!
fi

# Until the display is closed (or its time is up) or Ctrl+C.
wait "$kestrel_pid" || true
kestrel_pid=
echo "demo: the display has ended"
[ -z "$screenshots" ] || echo "demo: screenshots in $screenshots"
if [ -n "$render_pid" ] && kill -0 "$render_pid" 2>/dev/null; then
  echo "demo: the sample theatres are still rendering: waiting for them (Ctrl+C stops them; 'make theatres' resumes)"
fi
if [ -n "$render_pid" ]; then
  wait "$render_pid" || echo "demo: rendering the sample theatres failed; 'make theatres' shows why" >&2
  render_pid=
fi
